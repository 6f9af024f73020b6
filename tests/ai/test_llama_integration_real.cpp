// LlamaCppIntegration and the engine on the real llama.cpp, with a tiny random
// model that the project's generator writes at test time.
#include "ai/AIAnalysisEngine.h"
#include "ai/LlamaCppIntegration.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace fs = std::filesystem;

class LlamaCppReal : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/dravik-llama-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        model = dir + "/tiny.gguf";
        const std::string command = "python3 " DRAVIK_GGUF_GENERATOR " " + model + " --seed 7";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }

    static LlamaCppConfig Config(const std::string& path)
    {
        LlamaCppConfig c;
        c.model_path = path;
        c.context_size = 512;
        c.batch_size = 32;
        c.threads = 2;
        c.max_tokens = 24;
        return c;
    }

    static std::string dir;
    static std::string model;
};

std::string LlamaCppReal::dir;
std::string LlamaCppReal::model;

TEST_F(LlamaCppReal, LoadCompleteAndCompleteAgain)
{
    LlamaCppIntegration llama(Config(model));
    CaptureStdout();
    ASSERT_TRUE(llama.Initialize());
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Initializing LlamaCpp integration...\nLoading model: " + model +
                       "\nModel size: 0 MB\n"
                       "Estimated memory usage: 0 MB\n"),
              std::string::npos);
    EXPECT_NE(out.find("Creating inference context...\nContext size: 512\nThreads: 2\n"
                       "LlamaCpp integration initialized successfully\n"),
              std::string::npos);
    EXPECT_TRUE(llama.IsLoaded());

    // The model's zeroed special rows keep it from ending early, so the text
    // has one piece per token unless the repetition stop fires.
    const std::string prompt = "Channel 1 reads 12.5 volts. What does it mean?";
    CaptureStdout();
    std::string first = llama.GenerateCompletion(prompt, 0);
    out = GetCapturedStdout();
    EXPECT_FALSE(first.empty());
    EXPECT_NE(out.find("Generating completion for prompt (max_tokens: 24)\n"), std::string::npos);
    EXPECT_NE(out.find("Freeing context resources...\nCreating inference context...\n"), std::string::npos);
    // BOS, one token per byte except the blanks, which have a token of their own.
    EXPECT_NE(out.find("Tokenized prompt: " + std::to_string(prompt.size() + 1) + " tokens\n"), std::string::npos);
    EXPECT_NE(out.find("Generated 10/24 tokens...\n"), std::string::npos);
    EXPECT_NE(out.find("\nGenerated "), std::string::npos);

    // Every completion starts from a fresh context, so the same prompt gives the same text.
    CaptureStdout();
    std::string second = llama.GenerateCompletion(prompt, 0);
    out = GetCapturedStdout();
    EXPECT_EQ(second, first);
    EXPECT_NE(out.find("Freeing context resources...\nCreating inference context...\n"), std::string::npos);

    // A prompt of several batches is decoded whole: its last byte changes the answer.
    const std::string lengthy = std::string(100, 'z') + prompt;
    CaptureStdout();
    const std::string whole = llama.GenerateCompletion(lengthy, 5);
    const std::string changed = llama.GenerateCompletion(lengthy.substr(0, lengthy.size() - 1) + "!", 5);
    out = GetCapturedStdout();
    EXPECT_NE(out.find("Tokenized prompt: " + std::to_string(lengthy.size() + 1) + " tokens\n"), std::string::npos);
    EXPECT_FALSE(whole.empty());
    EXPECT_NE(changed, whole);

    CaptureStdout();
    llama.Shutdown();
    EXPECT_EQ(GetCapturedStdout(), "Shutting down LlamaCpp integration...\nFreeing context resources...\n"
                                   "Freeing model resources...\nLlamaCpp integration shutdown complete\n");
    EXPECT_EQ(llama.GenerateCompletion(prompt, 0), "Error: LlamaCpp not initialized");
}

TEST_F(LlamaCppReal, StopRequestAndABatchAsLargeAsTheContext)
{
    // A stop asked for before the prompt decodes: the library's abort callback
    // ends the decode, and the completion returns empty without an error.
    LlamaCppConfig config = Config(model);
    config.batch_size = 512;
    config.max_tokens = 64;
    LlamaCppIntegration llama(config);
    CaptureStdout();
    ASSERT_TRUE(llama.Initialize());
    std::atomic<bool> stop{true};
    CaptureStderr();
    EXPECT_EQ(llama.GenerateCompletion("What does channel 1 show?", 0, &stop), "");
    std::string err = GetCapturedStderr();
    std::string out = GetCapturedStdout();
    EXPECT_EQ(err.find("Failed to decode"), std::string::npos) << err;
    EXPECT_NE(out.find("Generation stopped at 0 tokens\n"), std::string::npos) << out;

    // A prompt longer than the context is refused with a message, not an abort.
    stop = false;
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(llama.GenerateCompletion(std::string(700, 'q'), 0, &stop), PromptTooLongText);
    GetCapturedStdout();
    err = GetCapturedStderr();
    EXPECT_NE(err.find("701 tokens without the data context, at most 448 fit"), std::string::npos) << err;
}

TEST_F(LlamaCppReal, FilesThatAreNoModel)
{
    const std::string missing = dir + "/missing.gguf";
    const std::string empty = dir + "/empty.gguf";
    const std::string text = dir + "/text.gguf";
    std::ofstream(empty).close();
    std::ofstream(text) << "This is a plain text file and not a GGUF model at all.\n";

    {
        LlamaCppIntegration llama(Config(missing));
        CaptureStderr();
        EXPECT_FALSE(llama.Initialize());
        EXPECT_EQ(GetCapturedStderr(),
                  "Model file not found: " + missing + "\nFailed to load model: " + missing + "\n");
    }
    for (const std::string& path : {empty, text})
    {
        LlamaCppIntegration llama(Config(path));
        CaptureStdout();
        CaptureStderr();
        bool ok = llama.Initialize();
        std::string err = GetCapturedStderr(); // the library's own lines are in here too
        GetCapturedStdout();
        EXPECT_FALSE(ok);
        EXPECT_NE(err.find("Failed to load model from file\nFailed to load model: " + path + "\n"), std::string::npos)
            << err;
        EXPECT_FALSE(llama.IsLoaded());
        EXPECT_EQ(llama.GenerateCompletion("x", 0), "Error: LlamaCpp not initialized");
    }
}

TEST_F(LlamaCppReal, EngineAnswersThroughTheModel)
{
    AIAnalysisConfig config;
    config.modelPath = model;
    AIAnalysisEngine engine(config);
    CaptureStdout();
    ASSERT_TRUE(engine.Initialize());
    EXPECT_TRUE(engine.IsReady());
    std::string answer = engine.GenerateConversationalResponse("status?", "STATUS: All data channels normal\n\n");
    // A question longer than the context (2048, 128 kept for the answer) gets a message.
    CaptureStderr();
    EXPECT_EQ(engine.GenerateConversationalResponse(std::string(2000, '?'), ""),
              "Your question is too long for this AI model. Please ask a shorter question.");
    GetCapturedStderr();
    engine.Shutdown();
    std::string out = GetCapturedStdout();
    EXPECT_FALSE(answer.empty());
    // The last preset row (batch 128): the whole prompt is decoded, in batches.
    EXPECT_NE(out.find("Generating completion for prompt (max_tokens: 128)\n"), std::string::npos);
    EXPECT_NE(out.find("AI Analysis engine shutdown complete\n"), std::string::npos);
    EXPECT_FALSE(engine.IsReady());
}

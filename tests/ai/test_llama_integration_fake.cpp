// LlamaCppIntegration's algorithm against the scripted backend.
#include "ai/LlamaCppIntegration.h"
#include "fake_llama_backend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace
{
// Token ids of the byte table: byte b is token b + 3.
llama_token Tok(char c) { return 3 + (unsigned char)c; }

// A stand-in model file, removed at exit.
struct TempModelFile
{
    std::string path = std::filesystem::temp_directory_path() / ("fake_model_" + std::to_string(getpid()) + ".gguf");
    TempModelFile() { std::ofstream(path) << "fake"; }
    ~TempModelFile() { std::filesystem::remove(path); }
};

const std::string& ModelFile()
{
    static const TempModelFile file;
    return file.path;
}

LlamaCppConfig Config()
{
    LlamaCppConfig c;
    c.model_path = ModelFile();
    c.context_size = 2048;
    c.batch_size = 16;
    c.threads = 2;
    c.max_tokens = 8;
    c.repeat_penalty = 1.0f;
    return c;
}

std::shared_ptr<FakeLlamaScript> Script()
{
    auto s = std::make_shared<FakeLlamaScript>();
    s->pieces = FakeByteTokenTable();
    return s;
}

// The script's logits: token by step from a string, one byte per step.
void ScriptText(FakeLlamaScript& s, const std::string& text)
{
    const int32_t n = s.VocabSize();
    s.logitsByStep = [text, n](int step) {
        return OneHotLogits(n, Tok(text[(size_t)std::min<int>(step, (int)text.size() - 1)]));
    };
}

std::unique_ptr<LlamaCppIntegration> Ready(const std::shared_ptr<FakeLlamaScript>& s, LlamaCppConfig c = Config())
{
    auto llama = std::make_unique<LlamaCppIntegration>(c, MakeFakeLlamaBackend(s));
    CaptureStdout();
    bool ok = llama->Initialize();
    GetCapturedStdout();
    EXPECT_TRUE(ok);
    return llama;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}
} // namespace

TEST(LlamaCppIntegrationFake, ValidationBoundsAndMessages)
{
    struct Case
    {
        std::function<void(LlamaCppConfig&)> change;
        const char* line; // empty: valid
    };
    const float nan = std::nanf("");
    const Case cases[] = {
        {[](LlamaCppConfig& c) { c.model_path.clear(); }, "Model path is empty\n"},
        {[](LlamaCppConfig& c) { c.context_size = 511; }, "Invalid context size: 511\n"},
        {[](LlamaCppConfig& c) { c.context_size = 8193; }, "Invalid context size: 8193\n"},
        {[](LlamaCppConfig& c) { c.context_size = 8192; }, ""},
        {[](LlamaCppConfig& c) { c.context_size = 512; }, ""},
        {[](LlamaCppConfig& c) { c.batch_size = 0; }, "Invalid batch size: 0\n"},
        {[](LlamaCppConfig& c) { c.batch_size = 2049; }, "Invalid batch size: 2049\n"},
        {[](LlamaCppConfig& c) { c.batch_size = 2048; }, ""},
        // A batch larger than the context would abort inside llama.cpp.
        {[](LlamaCppConfig& c) {
             c.context_size = 512;
             c.batch_size = 1024;
         },
         "Invalid batch size: 1024 (larger than context size 512)\n"},
        {[](LlamaCppConfig& c) {
             c.context_size = 512;
             c.batch_size = 512;
         },
         ""},
        {[](LlamaCppConfig& c) { c.threads = 0; }, "Invalid thread count: 0\n"},
        {[](LlamaCppConfig& c) { c.threads = 17; }, "Invalid thread count: 17\n"},
        {[](LlamaCppConfig& c) { c.threads = 16; }, ""},
        {[](LlamaCppConfig& c) { c.temperature = -0.5f; }, "Invalid temperature: -0.5\n"},
        {[](LlamaCppConfig& c) { c.temperature = 2.5f; }, "Invalid temperature: 2.5\n"},
        {[&](LlamaCppConfig& c) { c.temperature = nan; }, ""},
        {[](LlamaCppConfig& c) { c.top_p = 1.5f; }, "Invalid top_p: 1.5\n"},
        {[](LlamaCppConfig& c) { c.max_tokens = 0; }, "Invalid max_tokens: 0\n"},
        {[](LlamaCppConfig& c) { c.max_tokens = 2049; }, "Invalid max_tokens: 2049\n"},
        {[](LlamaCppConfig& c) { c.repeat_penalty = 0.25f; }, "Invalid repeat_penalty: 0.25\n"},
        {[](LlamaCppConfig& c) { c.repeat_penalty = 2.0f; }, ""},
        {[](LlamaCppConfig& c) { c.repeat_penalty = 0.5f; }, ""},
        // Checks run in order: the first failure is the only line.
        {[](LlamaCppConfig& c) {
             c.threads = 0;
             c.max_tokens = 0;
         },
         "Invalid thread count: 0\n"},
    };
    for (const Case& tc : cases)
    {
        LlamaCppConfig c = Config();
        tc.change(c);
        auto script = Script();
        CaptureStderr();
        bool threw = false;
        try
        {
            LlamaCppIntegration llama(c, MakeFakeLlamaBackend(script));
        }
        catch (const std::invalid_argument& e)
        {
            threw = true;
            EXPECT_STREQ(e.what(), "Invalid LlamaCpp configuration");
        }
        EXPECT_EQ(GetCapturedStderr(), tc.line);
        EXPECT_EQ(threw, tc.line[0] != '\0') << tc.line;
        EXPECT_EQ(script->backendInits, 0); // no library call from the constructor
    }
}

TEST(LlamaCppIntegrationFake, InitializeShutdownAndParameters)
{
    auto s = Script();
    LlamaCppIntegration llama(Config(), MakeFakeLlamaBackend(s));
    EXPECT_FALSE(llama.IsLoaded());
    CaptureStdout();
    ASSERT_TRUE(llama.Initialize());
    std::string out = GetCapturedStdout();
    EXPECT_EQ(out, "Initializing LlamaCpp integration...\nLoading model: " + ModelFile() +
                       "\nModel size: 0 MB\nEstimated memory usage: 0 MB\nCreating inference context...\n"
                       "Context size: 2048\nThreads: 2\nLlamaCpp integration initialized successfully\n");
    EXPECT_TRUE(llama.IsLoaded());
    EXPECT_EQ(s->lastModelParams.n_gpu_layers, 0);
    EXPECT_EQ(s->lastModelParams.load_mode, LLAMA_LOAD_MODE_MMAP);
    EXPECT_EQ(s->lastContextParams.n_ctx, 2048u);
    EXPECT_EQ(s->lastContextParams.n_batch, 16u);
    EXPECT_EQ(s->lastContextParams.n_threads, 2);
    EXPECT_EQ(s->lastContextParams.n_threads_batch, 2);
    EXPECT_EQ(s->lastContextParams.n_ubatch, 512u); // left at the library's default

    // Ready already: nothing is loaded again.
    CaptureStdout();
    EXPECT_TRUE(llama.Initialize());
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(s->modelLoads, 1);

    CaptureStdout();
    llama.Shutdown();
    EXPECT_EQ(GetCapturedStdout(), "Shutting down LlamaCpp integration...\nFreeing context resources...\n"
                                   "Freeing model resources...\nLlamaCpp integration shutdown complete\n");
    EXPECT_FALSE(llama.IsLoaded());
    EXPECT_EQ(s->backendInits, 1);
    EXPECT_EQ(s->backendFrees, 1);
    EXPECT_EQ(s->modelFrees, 1);
    EXPECT_EQ(s->contextFrees, 1);

    CaptureStdout();
    llama.Shutdown();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(llama.GenerateCompletion("x", 0), "Error: LlamaCpp not initialized");
}

TEST(LlamaCppIntegrationFake, InitializeFailures)
{
    {
        LlamaCppConfig c = Config();
        c.model_path = "/nonexistent/dir/model.gguf";
        auto s = Script();
        LlamaCppIntegration llama(c, MakeFakeLlamaBackend(s));
        CaptureStderr();
        EXPECT_FALSE(llama.Initialize());
        EXPECT_EQ(GetCapturedStderr(), "Model file not found: /nonexistent/dir/model.gguf\n"
                                       "Failed to load model: /nonexistent/dir/model.gguf\n");
        EXPECT_EQ(s->backendInits, 0);
    }
    {
        auto s = Script();
        s->failLoad = true;
        LlamaCppIntegration llama(Config(), MakeFakeLlamaBackend(s));
        CaptureStdout();
        CaptureStderr();
        EXPECT_FALSE(llama.Initialize());
        EXPECT_EQ(GetCapturedStderr(), "Failed to load model from file\nFailed to load model: " + ModelFile() + "\n");
        GetCapturedStdout();
        EXPECT_EQ(s->backendInits, 1);
        EXPECT_EQ(s->backendFrees, 1); // paired even on failure
        EXPECT_FALSE(llama.IsLoaded());
    }
    {
        auto s = Script();
        s->failInitFromModelAt = 1;
        LlamaCppIntegration llama(Config(), MakeFakeLlamaBackend(s));
        CaptureStdout();
        CaptureStderr();
        EXPECT_FALSE(llama.Initialize());
        EXPECT_EQ(GetCapturedStderr(), "Failed to create inference context\nFailed to create inference context\n");
        EXPECT_NE(GetCapturedStdout().find("Freeing model resources...\n"), std::string::npos);
        EXPECT_EQ(s->modelFrees, 1);
        EXPECT_EQ(s->backendFrees, 1);
        // The destructor of a Created integration prints nothing.
    }
    {
        // A directory is no model file: file_size fails and the error reaches the caller.
        LlamaCppConfig c = Config();
        c.model_path = std::filesystem::temp_directory_path().string();
        LlamaCppIntegration llama(c, MakeFakeLlamaBackend(Script()));
        EXPECT_THROW(llama.Initialize(), std::filesystem::filesystem_error);
        // The mutex was released: a second try runs (and throws) again rather than hanging.
        EXPECT_THROW(llama.Initialize(), std::filesystem::filesystem_error);
    }
}

TEST(LlamaCppIntegrationFake, PromptDecodedWholeInBatches)
{
    // BOS + 15 bytes = 16 tokens = batch_size: decoded whole.
    {
        auto s = Script();
        ScriptText(*s, "ab");
        auto llama = Ready(s);
        CaptureStdout();
        EXPECT_EQ(llama->GenerateCompletion(std::string(15, 'p'), 1), "a");
        std::string out = GetCapturedStdout();
        EXPECT_NE(out.find("Tokenized prompt: 16 tokens\n"), std::string::npos);
        ASSERT_GE(s->decodedBatches.size(), 1u);
        const auto& prompt = s->decodedBatches[0];
        ASSERT_EQ(prompt.size(), 16u);
        EXPECT_EQ(prompt[0].token, FakeLlamaScript::BosToken);
        for (size_t i = 0; i < prompt.size(); i++)
        {
            EXPECT_EQ(prompt[i].pos, (llama_pos)i);
            EXPECT_EQ(prompt[i].logits, i == 15);
        }
        EXPECT_EQ(s->batchCapacities.back(), 16);
        EXPECT_EQ(s->logitIndices[0], 15);
        // The generated token continues at position 16.
        ASSERT_EQ(s->decodedBatches.size(), 2u);
        EXPECT_EQ(s->decodedBatches[1][0].pos, 16);
        EXPECT_EQ(s->decodedBatches[1][0].token, Tok('a'));
        EXPECT_EQ(s->liveBatches, 0);
    }
    // 17 tokens: the last one is a second batch, the only prompt token asking for logits.
    {
        auto s = Script();
        ScriptText(*s, "ab");
        auto llama = Ready(s);
        CaptureStdout();
        std::string prompt = std::string(14, 'p') + "XY";
        EXPECT_EQ(llama->GenerateCompletion(prompt, 2), "ab");
        std::string out = GetCapturedStdout();
        EXPECT_NE(out.find("Tokenized prompt: 17 tokens\n"), std::string::npos);
        const auto& batch = s->decodedBatches[0];
        ASSERT_EQ(batch.size(), 16u);
        EXPECT_EQ(batch[15].token, Tok('X'));
        EXPECT_FALSE(batch[15].logits);
        ASSERT_EQ(s->decodedBatches[1].size(), 1u);
        EXPECT_EQ(s->decodedBatches[1][0].token, Tok('Y'));
        EXPECT_TRUE(s->decodedBatches[1][0].logits);
        EXPECT_EQ(s->decodedBatches[1][0].pos, 16);
        EXPECT_EQ(s->decodedBatches[2][0].pos, 17);
        // After the prompt, logits are taken at index 0 of the one-token batch.
        EXPECT_EQ(s->logitIndices, (std::vector<int32_t>{0, 0}));
    }
    // Too long with room for the answer (max_tokens, at most half the context):
    // whole lines leave the end of the data part, never the head or the tail.
    {
        auto s = Script();
        const int32_t n = s->VocabSize();
        s->logitsByStep = [n](int) { return OneHotLogits(n, 2); };
        LlamaCppConfig c = Config();
        c.context_size = 512;
        auto llama = Ready(s, c);
        std::string data, decoded;
        for (char line = 'a'; line < 'k'; line++)
            data += std::string(39, line) + "\n";
        const std::string head(50, 'H'), tail(99, 'T');
        CaptureStdout();
        CaptureStderr();
        llama->GenerateCompletion(LlamaPrompt{head, data, tail}, 1000);
        EXPECT_EQ(GetCapturedStderr(), "Prompt too long for the context (550 tokens, at most 256 fit): left out 320 "
                                       "of 400 bytes of the data context\n");
        for (const auto& batch : s->decodedBatches)
            for (const FakeDecodedToken& t : batch)
                decoded += (char)(t.token - 3);
        EXPECT_EQ(decoded.substr(1), head + data.substr(0, 80) + tail);
        // Too long even without the data part: a message.
        CaptureStderr();
        EXPECT_EQ(llama->GenerateCompletion(LlamaPrompt{head, data, std::string(300, 'T')}, 1000), PromptTooLongText);
        EXPECT_EQ(GetCapturedStderr(), "Prompt too long for the context: 351 tokens without the data context, at "
                                       "most 256 fit (context 512)\n");
        // A prompt that fits runs until the context is full, and no further.
        s->logitsByStep = [n](int step) { return OneHotLogits(n, Tok("abcdefghij"[step % 10])); };
        EXPECT_EQ(llama->GenerateCompletion(std::string(249, 'q'), 1000).size(), 263u);
        EXPECT_EQ(s->decodedBatches.back()[0].pos, 511);
        GetCapturedStdout();
    }
}

TEST(LlamaCppIntegrationFake, RepetitionPenaltyAppliedPerOccurrence)
{
    // a stays above b after one and two divisions by 2, not after three.
    {
        auto s = Script();
        const int32_t n = s->VocabSize();
        s->logitsByStep = [n](int) {
            std::vector<float> row((size_t)n, 0.0f);
            row[(size_t)Tok('a')] = 10.0f;
            row[(size_t)Tok('b')] = 1.5f;
            return row;
        };
        LlamaCppConfig c = Config();
        c.repeat_penalty = 2.0f;
        auto llama = Ready(s, c);
        CaptureStdout();
        EXPECT_EQ(llama->GenerateCompletion("q", 5), "aaaba");
        GetCapturedStdout();
        // The library's logits are not changed.
        for (size_t k = 0; k < s->servedRows.size(); k++)
            EXPECT_EQ(*s->servedRows[k], s->servedLogits[k]);
    }
    // A negative logit is multiplied by the penalty: b, repeated, falls from
    // -1.5 to -3 below a at -1, rather than rising to -0.75 above it.
    {
        auto s = Script();
        const int32_t n = s->VocabSize();
        s->logitsByStep = [n](int step) {
            std::vector<float> row((size_t)n, -100.0f);
            row[(size_t)Tok('a')] = step == 0 ? -100.0f : -1.0f;
            row[(size_t)Tok('b')] = step == 0 ? 5.0f : -1.5f;
            return row;
        };
        LlamaCppConfig c = Config();
        c.repeat_penalty = 2.0f;
        auto llama = Ready(s, c);
        CaptureStdout();
        EXPECT_EQ(llama->GenerateCompletion("q", 2), "ba");
        GetCapturedStdout();
    }
    // Only the last 64 generated tokens count: x leads again once its one use
    // has left the window.
    {
        auto s = Script();
        const int32_t n = s->VocabSize();
        s->logitsByStep = [n](int step) {
            std::vector<float> row((size_t)n, 0.0f);
            if (step == 0)
                row[(size_t)Tok('x')] = 10.0f;
            else
            {
                row[(size_t)Tok('x')] = 3.0f;
                // A new token every step, so only x is ever penalised.
                row[(size_t)Tok((char)(130 + step))] = 2.0f;
            }
            return row;
        };
        LlamaCppConfig c = Config();
        c.repeat_penalty = 2.0f;
        c.max_tokens = 70;
        auto llama = Ready(s, c);
        CaptureStdout();
        std::string text = llama->GenerateCompletion("q", 0);
        GetCapturedStdout();
        ASSERT_EQ(text.size(), 70u);
        EXPECT_EQ(text[0], 'x');
        // Steps 1..64 see x among the last 64 (3/2 = 1.5 < 2); step 65 no longer does.
        EXPECT_EQ(text.find('x', 1), 65u);
    }
}

TEST(LlamaCppIntegrationFake, GreedyChoiceTiesAndNaN)
{
    auto s = Script();
    const int32_t n = s->VocabSize();
    s->logitsByStep = [n](int step) {
        std::vector<float> row((size_t)n, 0.0f);
        if (step == 0)
        {
            row[(size_t)Tok('y')] = 5.0f;
            row[(size_t)Tok('c')] = 5.0f; // lower id, same value
        }
        else
        {
            row[(size_t)Tok('d')] = 4.0f;
            row[(size_t)Tok('e')] = std::nanf(""); // never replaces the best
        }
        return row;
    };
    auto llama = Ready(s);
    CaptureStdout();
    EXPECT_EQ(llama->GenerateCompletion("q", 2), "cd");
    GetCapturedStdout();
}

TEST(LlamaCppIntegrationFake, EndOfGenerationFirstGivesEmptyText)
{
    auto s = Script();
    const int32_t n = s->VocabSize();
    s->logitsByStep = [n](int) { return OneHotLogits(n, 2); };
    auto llama = Ready(s);
    CaptureStdout();
    EXPECT_EQ(llama->GenerateCompletion("hello", 0), "");
    EXPECT_EQ(GetCapturedStdout(), "Generating completion for prompt (max_tokens: 8)\nFreeing context resources...\n"
                                   "Creating inference context...\nContext size: 2048\nThreads: 2\n"
                                   "Tokenized prompt: 6 tokens\nEnd of generation at 0 tokens (EoG)\n"
                                   "Generated 0 tokens\n");
    EXPECT_EQ(s->pieceCalls, 0);
    EXPECT_EQ(s->liveBatches, 0);
}

TEST(LlamaCppIntegrationFake, FiveEqualBytesStop)
{
    // Six dots: the check before the seventh token stops.
    {
        auto s = Script();
        ScriptText(*s, ".");
        auto llama = Ready(s);
        CaptureStdout();
        EXPECT_EQ(llama->GenerateCompletion("q", 20), "......");
        std::string out = GetCapturedStdout();
        EXPECT_NE(out.find("End of generation at 6 tokens (repetition detected)\n"), std::string::npos);
        EXPECT_NE(out.find("Generated 6 tokens\n"), std::string::npos);
    }
    // Exactly five equal bytes do not stop.
    {
        auto s = Script();
        ScriptText(*s, ".....z");
        auto llama = Ready(s);
        CaptureStdout();
        EXPECT_EQ(llama->GenerateCompletion("q", 7), ".....zz");
        EXPECT_EQ(GetCapturedStdout().find("repetition"), std::string::npos);
    }
    // Only the last five count: "abbbbb" stops, "aabbbb" goes on.
    {
        auto s = Script();
        ScriptText(*s, "abbbbbc");
        auto llama = Ready(s);
        CaptureStdout();
        EXPECT_EQ(llama->GenerateCompletion("q", 20), "abbbbb");
        ScriptText(*s, "1000000.5"); // a run of digits is a number, not a loop
        s->logitCalls = 0;
        EXPECT_EQ(llama->GenerateCompletion("q", 9), "1000000.5");
        GetCapturedStdout();
    }
    // Multi-byte pieces: the bytes count, not the tokens.
    {
        auto s = Script();
        s->pieces[(size_t)Tok('m')] = "---";
        ScriptText(*s, "m");
        auto llama = Ready(s);
        CaptureStdout();
        EXPECT_EQ(llama->GenerateCompletion("q", 20), "------");
        EXPECT_NE(GetCapturedStdout().find("End of generation at 2 tokens (repetition detected)"), std::string::npos);
    }
}

TEST(LlamaCppIntegrationFake, ProgressLinesAndTokenCount)
{
    auto s = Script();
    ScriptText(*s, "abcdefghijklmnopqrstuvwxyABC");
    LlamaCppConfig c = Config();
    c.max_tokens = 25;
    auto llama = Ready(s, c);
    CaptureStdout();
    EXPECT_EQ(llama->GenerateCompletion("q", 0), "abcdefghijklmnopqrstuvwxy");
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("(max_tokens: 25)\n"), std::string::npos);
    EXPECT_EQ(Count(out, "tokens...\n"), 2u);
    EXPECT_NE(out.find("Generated 10/25 tokens...\n"), std::string::npos);
    EXPECT_NE(out.find("Generated 20/25 tokens...\n"), std::string::npos);
    EXPECT_NE(out.find("Generated 25 tokens\n"), std::string::npos);

    // A negative count generates nothing.
    CaptureStdout();
    EXPECT_EQ(llama->GenerateCompletion("q", -3), "");
    EXPECT_NE(GetCapturedStdout().find("Generated 0 tokens\n"), std::string::npos);
}

TEST(LlamaCppIntegrationFake, StopRequestEndsTheCompletionEarly)
{
    // Asked while the fourth token decodes: the decode is aborted through the
    // context's callback, and the text so far comes back without an error.
    auto s = Script();
    std::atomic<bool> stop{false};
    const int32_t n = s->VocabSize();
    s->logitsByStep = [&stop, n](int step) {
        if (step == 3)
            stop = true;
        return OneHotLogits(n, Tok("abcdefgh"[step % 8]));
    };
    auto llama = Ready(s);
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(llama->GenerateCompletion("q", 0, &stop), "abcd");
    EXPECT_EQ(GetCapturedStderr(), "");
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Generation stopped at 4 tokens\nGenerated 4 tokens\n"), std::string::npos) << out;
    EXPECT_EQ(s->abortedDecodes, 1);
    EXPECT_EQ(s->liveBatches, 0);

    // Asked before the prompt is decoded: nothing is generated.
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(llama->GenerateCompletion("q", 0, &stop), "");
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_NE(GetCapturedStdout().find("Generation stopped at 0 tokens\n"), std::string::npos);
    EXPECT_EQ(s->abortedDecodes, 2);

    // Without a request the completion runs to its end, also with the flag given.
    stop = false;
    CaptureStdout();
    EXPECT_EQ(llama->GenerateCompletion("q", 0, &stop).size(), 8u);
    EXPECT_EQ(llama->GenerateCompletion("q", 0).size(), 8u);
    EXPECT_EQ(GetCapturedStdout().find("Generation stopped"), std::string::npos);
    EXPECT_EQ(s->abortedDecodes, 2);
}

TEST(LlamaCppIntegrationFake, ContextRecreationFailureLosesTheContext)
{
    auto s = Script();
    ScriptText(*s, "ok");
    s->failInitFromModelAt = 3; // Initialize, first completion, then this one
    auto llama = Ready(s);
    CaptureStdout();
    std::string first = llama->GenerateCompletion("q", 2);
    std::string out = GetCapturedStdout();
    EXPECT_EQ(first, "ok");
    EXPECT_NE(out.find("Freeing context resources...\nCreating inference context...\n"), std::string::npos);

    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(llama->GenerateCompletion("q", 2), "Error: Failed to recreate context");
    EXPECT_EQ(GetCapturedStderr(),
              "Failed to create inference context\nFailed to recreate context for new conversation\n");
    GetCapturedStdout();
    EXPECT_FALSE(llama->IsLoaded());

    CaptureStdout();
    EXPECT_EQ(llama->GenerateCompletion("q", 2), "Error: LlamaCpp not initialized");
    EXPECT_EQ(GetCapturedStdout(), "");
    // Initialize in the lost-context state returns true at once.
    EXPECT_TRUE(llama->Initialize());
    EXPECT_FALSE(llama->IsLoaded());

    CaptureStdout();
    llama->Shutdown();
    EXPECT_EQ(GetCapturedStdout(), "Shutting down LlamaCpp integration...\nFreeing model resources...\n"
                                   "LlamaCpp integration shutdown complete\n");
    EXPECT_EQ(s->backendFrees, 1);
}

TEST(LlamaCppIntegrationFake, ErrorTextsAndLoopFailures)
{
    struct Case
    {
        std::function<void(FakeLlamaScript&)> setup;
        std::string prompt;
        std::string text;
        std::string err;
    };
    const Case cases[] = {
        {[](FakeLlamaScript& s) { s.nullVocab = true; }, "q", "Error: Failed to get vocabulary",
         "Failed to get vocabulary from model\n"},
        {[](FakeLlamaScript& s) { s.failTokenize = true; }, "q", "Error: Failed to tokenize prompt",
         "Failed to tokenize prompt\n"},
        {[](FakeLlamaScript& s) { s.failDecodeAt = 1; }, "q", "Error: Failed to decode prompt",
         "Failed to decode prompt\n"},
        // Logits missing at the third step: the text so far.
        {[](FakeLlamaScript& s) { s.nullLogitsAt = 3; }, "q", "ab", "Failed to get logits from context\n"},
        {[](FakeLlamaScript& s) { s.vocabSizeOverride = 0; }, "q", "", "Invalid vocabulary size\n"},
        {[](FakeLlamaScript& s) { s.failPieceAt = 2; }, "q", "a", "Failed to convert token to text\n"},
        // The piece of the token whose decode fails is already in the text.
        {[](FakeLlamaScript& s) { s.failDecodeAt = 3; }, "q", "ab", "Failed to decode token\n"},
    };
    for (const Case& tc : cases)
    {
        auto s = Script();
        ScriptText(*s, "abcdef");
        auto llama = Ready(s);
        tc.setup(*s);
        CaptureStdout();
        CaptureStderr();
        std::string text = llama->GenerateCompletion(tc.prompt, 6);
        std::string err = GetCapturedStderr();
        GetCapturedStdout();
        EXPECT_EQ(text, tc.text);
        EXPECT_EQ(err, tc.err);
        EXPECT_EQ(s->liveBatches, 0) << tc.err;
        EXPECT_TRUE(llama->IsLoaded());
    }
}

TEST(LlamaCppIntegrationFake, PromptWithoutTokensIsATokenisingFailure)
{
    auto s = Script();
    ScriptText(*s, "a");
    auto llama = Ready(s);
    // With a BOS token the empty prompt is one token and generates.
    CaptureStdout();
    EXPECT_EQ(llama->GenerateCompletion("", 1), "a");
    GetCapturedStdout();
    EXPECT_EQ(s->decodedBatches[0].size(), 1u);

    // Without one it needs no token: there is nothing to decode.
    s->addBos = false;
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(llama->GenerateCompletion("", 1), "Error: Failed to tokenize prompt");
    EXPECT_EQ(GetCapturedStderr(), "Failed to tokenize prompt\n");
    GetCapturedStdout();
    EXPECT_EQ(s->decodedBatches.size(), 2u);
    EXPECT_EQ(s->liveBatches, 0);
}

// AIAnalysisEngine: presets, prompt, reply filters and tables, life cycle.
#include "ai/AIAnalysisEngine.h"
#include "fake_llama_backend.h"

#include <gtest/gtest.h>

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
const std::string Ctx = "STATUS: All data channels normal\n\nCurrent readings & averages:\n";

// A stand-in model file, removed at exit.
struct TempModelFile
{
    std::string path = std::filesystem::temp_directory_path() / ("engine_model_" + std::to_string(getpid()) + ".gguf");
    TempModelFile() { std::ofstream(path) << "fake"; }
    ~TempModelFile() { std::filesystem::remove(path); }
};

const std::string& ModelFile()
{
    static const TempModelFile file;
    return file.path;
}

AIAnalysisEngine::BackendFactory Fake(const std::shared_ptr<FakeLlamaScript>& s)
{
    return [s] { return MakeFakeLlamaBackend(s); };
}

std::shared_ptr<FakeLlamaScript> ScriptReplying(const std::string& text)
{
    auto s = std::make_shared<FakeLlamaScript>();
    s->pieces = FakeByteTokenTable();
    const int32_t n = s->VocabSize();
    // One byte per step, then the end-of-generation token.
    s->logitsByStep = [text, n](int step) {
        return OneHotLogits(n, step < (int)text.size() ? 3 + (unsigned char)text[(size_t)step] : 2);
    };
    return s;
}
} // namespace

TEST(AIAnalysisEngine, PresetByPath)
{
    struct Row
    {
        const char* path;
        uint32_t context, batch, threads, maxTokens;
    };
    const Row rows[] = {
        {"/w/application/ai/models/phi2/phi-2.gguf", 2048, 128, 4, 512},
        {"/m/phi-2.Q4.gguf", 2048, 128, 4, 512},
        {"/w/application/ai/models/llama3.2-3b/llama-3.2-3b-instruct.Q4_K_M.gguf", 4096, 256, 8, 768},
        {"/w/application/ai/models/llama3.2-8b/llama-3.2-8b-instruct.Q4_K_M.gguf", 4096, 256, 10, 768},
        {"/m/qwen-gemma.gguf", 4096, 256, 8, 256},
        {"/m/gemma.gguf", 2048, 128, 6, 128},
        {"/m/llama-3.2-3b-instruct.Q4_K_M.gguf", 2048, 128, 4, 128}, // hyphen after llama
        {"/m/PHI2/QWEN.gguf", 2048, 128, 4, 128},                    // capitals match nothing
        {"/phi2/llama3.2-3b/x.gguf", 2048, 128, 4, 512},             // first row that matches
    };
    for (const Row& r : rows)
    {
        LlamaCppConfig c = MakeLlamaCppPreset(r.path);
        EXPECT_EQ(c.model_path, r.path);
        EXPECT_EQ(c.context_size, r.context) << r.path;
        EXPECT_EQ(c.batch_size, r.batch) << r.path;
        EXPECT_EQ(c.threads, r.threads) << r.path;
        EXPECT_EQ(c.max_tokens, r.maxTokens) << r.path;
        EXPECT_FLOAT_EQ(c.temperature, 0.7f);
        EXPECT_FLOAT_EQ(c.top_p, 0.9f);
        EXPECT_FLOAT_EQ(c.repeat_penalty, 1.1f);
        EXPECT_FALSE(c.use_mlock);
        EXPECT_TRUE(c.use_mmap);
    }
}

TEST(AIAnalysisEngine, Prompt)
{
    EXPECT_EQ(BuildAnalysisPrompt("Why?", "CTX"),
              "You are an expert data analyst analyzing real-time data streams.\n\nDATA CONTEXT:\nCTX\n\n"
              "USER QUESTION: Why?\n\n"
              "Provide a technical, specific answer based on the actual data readings. "
              "Focus on what the data shows and what it means for system performance. "
              "Be concise but informative, highlighting any concerns or patterns you observe. "
              "Do not use code formatting, markdown, or special formatting. Just provide a clear, direct answer.");
}

TEST(AIAnalysisEngine, ReplyFilters)
{
    const std::string good = "The readings are steady and within range.";
    EXPECT_EQ(FilterModelReply(good, "q", Ctx), good);
    EXPECT_EQ(FilterModelReply(std::string(20, 'x'), "q", Ctx), std::string(20, 'x'));

    const std::string fallback = "I understand you're asking about: \"q\". " + Ctx +
                                 " I'm powered by advanced language models and can help with data analysis, anomaly "
                                 "detection, and system monitoring. Could you be more specific about what you'd like "
                                 "me to analyze?";
    EXPECT_EQ(FilterModelReply(std::string(19, 'x'), "q", Ctx), fallback);
    EXPECT_EQ(FilterModelReply("", "q", Ctx), fallback);
    EXPECT_EQ(FilterModelReply("AI Analysis Result: " + good + good, "q", Ctx), fallback);

    const std::string code = "Based on your data: " + Ctx +
                             " I can help you analyze patterns, detect anomalies, and provide insights about your "
                             "system's performance.";
    EXPECT_EQ(FilterModelReply("Use ``` blocks", "q", Ctx), code);
    EXPECT_EQ(FilterModelReply("in python", "q", Ctx), code);
    EXPECT_EQ(FilterModelReply("x# y", "q", Ctx), code);
    // Code markers win over shortness and the result marker.
    EXPECT_EQ(FilterModelReply("# AI Analysis Result:", "q", Ctx), code);
    // Python with a capital letter and a lone number sign are no code.
    const std::string prose = "Python#is not code here, really.";
    EXPECT_EQ(FilterModelReply(prose, "q", Ctx), prose);
}

TEST(AIAnalysisEngine, CannedTables)
{
    auto code = [](const std::string& q) { return FilterModelReply("```", q, Ctx); };
    auto fallback = [](const std::string& q) { return FilterModelReply("short", q, Ctx); };

    EXPECT_EQ(code("Hello there"), "Hello! I'm analyzing your data streams. " + Ctx +
                                       " I can help you understand what your data is telling us about your system.");
    EXPECT_EQ(code("How are you"),
              "I'm working well! " + Ctx +
                  " I'm monitoring your data streams and ready to help with analysis and insights.");
    EXPECT_EQ(code("What does this mean"), code("q")); // no greeting inside "this"

    EXPECT_EQ(fallback("HI"), "Hello! I'm your AI assistant powered by advanced language models. " + Ctx +
                                  " I can help you analyze your sensor data, detect anomalies, and provide insights "
                                  "about your system. What would you like me to analyze?");
    EXPECT_EQ(fallback("well, hello!"), fallback("hi"));
    EXPECT_EQ(fallback("Which channel is highest?"), fallback("channel"));
    EXPECT_EQ(fallback("Please ANALYZE"), "I'm ready to analyze your data. " + Ctx +
                                              " I can detect patterns, anomalies, and provide predictive insights. "
                                              "Which specific channels or time periods would you like me to focus on?");
    EXPECT_EQ(fallback("any anomaly?"), "Anomaly detection is active. " + Ctx +
                                            " I'm monitoring for unusual patterns in your sensor data. Let me know if "
                                            "you want me to analyze specific channels for anomalies.");
    EXPECT_EQ(fallback("CHANNEL 2?"), "I can see your channel data: " + Ctx +
                                          " Each channel represents different sensor measurements. Would you like me "
                                          "to analyze correlations between channels or focus on specific ones?");
    EXPECT_EQ(fallback("status"), "System Status: AI engine is active and monitoring. " + Ctx +
                                      " All systems operational. I'm ready to provide real-time analysis of your data "
                                      "streams.");
    EXPECT_EQ(FilterModelReply("short", "status", "ALERTS (1 issues detected):").find("operational"),
              std::string::npos); // operational only when the context says the channels are normal
    // No "how are you" row among the fallbacks; the last row repeats the question as typed.
    EXPECT_EQ(fallback("How are you").rfind("I understand you're asking about: \"How are you\". " + Ctx, 0), 0u);
    EXPECT_EQ(fallback("Voltage OK?").rfind("I understand you're asking about: \"Voltage OK?\". ", 0), 0u);
}

TEST(AIAnalysisEngine, LifeCycleAndAnswers)
{
    AIAnalysisConfig config;
    config.modelPath = ModelFile();
    auto s = ScriptReplying("The voltage is stable at twelve volts.");
    AIAnalysisEngine engine(config, Fake(s));
    EXPECT_FALSE(engine.IsReady());
    EXPECT_EQ(engine.GenerateConversationalResponse("q", Ctx),
              "AI analysis engine is not ready. Please try again later.");

    CaptureStdout();
    ASSERT_TRUE(engine.Initialize());
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("LlamaCpp integration initialized successfully\nAI Analysis engine initialized successfully\n"),
              std::string::npos);
    EXPECT_EQ(out.find("AI Analysis thread"), std::string::npos);
    EXPECT_TRUE(engine.IsReady());
    CaptureStdout();
    EXPECT_TRUE(engine.Initialize());
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(s->modelLoads, 1);

    CaptureStdout();
    std::string answer = engine.GenerateConversationalResponse("Voltage?", Ctx);
    out = GetCapturedStdout();
    EXPECT_EQ(answer, "The voltage is stable at twelve volts.");
    EXPECT_NE(out.find("(max_tokens: 128)"), std::string::npos); // the last preset row
    CaptureStdout();
    engine.Shutdown();
    out = GetCapturedStdout();
    EXPECT_EQ(out.substr(out.size() - 37), "AI Analysis engine shutdown complete\n");
    EXPECT_FALSE(engine.IsReady());
    EXPECT_EQ(engine.GenerateConversationalResponse("q", Ctx),
              "AI analysis engine is not ready. Please try again later.");
    CaptureStdout();
    engine.Shutdown();
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(AIAnalysisEngine, ShortTextsAndErrorTexts)
{
    AIAnalysisConfig config;
    config.modelPath = ModelFile();
    {
        auto s = ScriptReplying(""); // end of generation at once
        AIAnalysisEngine engine(config, Fake(s));
        CaptureStdout();
        ASSERT_TRUE(engine.Initialize());
        std::string answer = engine.GenerateConversationalResponse("Check the channel", Ctx);
        GetCapturedStdout();
        EXPECT_EQ(answer.rfind("I can see your channel data: " + Ctx, 0), 0u);
    }
    {
        // An integration error text of 20 bytes or more reaches the user as it is.
        auto s = ScriptReplying("x");
        s->failDecodeAt = 1;
        AIAnalysisEngine engine(config, Fake(s));
        CaptureStdout();
        CaptureStderr();
        ASSERT_TRUE(engine.Initialize());
        std::string answer = engine.GenerateConversationalResponse("q", Ctx);
        GetCapturedStderr();
        GetCapturedStdout();
        EXPECT_EQ(answer, "Error: Failed to decode prompt");
    }
    {
        // Once the integration has lost its context the engine is not ready.
        auto s = ScriptReplying("A long enough answer for the filter.");
        s->failInitFromModelAt = 2;
        AIAnalysisEngine engine(config, Fake(s));
        CaptureStdout();
        CaptureStderr();
        ASSERT_TRUE(engine.Initialize());
        std::string answer = engine.GenerateConversationalResponse("q", Ctx);
        GetCapturedStderr();
        GetCapturedStdout();
        EXPECT_EQ(answer, "Error: Failed to recreate context");
        EXPECT_FALSE(engine.IsReady());
        EXPECT_EQ(engine.GenerateConversationalResponse("q", Ctx),
                  "AI analysis engine is not ready. Please try again later.");
    }
}

TEST(AIAnalysisEngine, FailedInitializeAndEmptyPath)
{
    AIAnalysisConfig config;
    config.modelPath = ModelFile();
    auto s = ScriptReplying("x");
    s->failLoad = true;
    {
        AIAnalysisEngine engine(config, Fake(s));
        CaptureStdout();
        CaptureStderr();
        EXPECT_FALSE(engine.Initialize());
        std::string err = GetCapturedStderr();
        GetCapturedStdout();
        EXPECT_EQ(err.substr(err.size() - 42), "Failed to initialize LlamaCpp integration\n");
        EXPECT_FALSE(engine.IsReady());
        // Shut down after a failed Initialize, and destroyed: nothing printed.
        CaptureStdout();
        engine.Shutdown();
        EXPECT_EQ(GetCapturedStdout(), "");
        CaptureStdout();
    }
    EXPECT_EQ(GetCapturedStdout(), "");

    config.modelPath.clear();
    CaptureStderr();
    try
    {
        AIAnalysisEngine engine(config, Fake(s));
        ADD_FAILURE() << "an empty path must be rejected";
    }
    catch (const std::invalid_argument& e)
    {
        EXPECT_STREQ(e.what(), "Invalid LlamaCpp configuration");
    }
    EXPECT_EQ(GetCapturedStderr(), "Model path is empty\n");
}

TEST(AIAnalysisEngine, AnalysisThreadLines)
{
    AIAnalysisConfig config;
    config.modelPath = ModelFile();
    config.analysisSwitch2 = true;
    config.analysisIntervalMs = 20;
    auto s = ScriptReplying("x");
    AIAnalysisEngine engine(config, Fake(s));
    CaptureStdout();
    ASSERT_TRUE(engine.Initialize());
    // The thread prints its first line as it begins; wait for it through the engine's own stop.
    engine.Shutdown();
    std::string out = GetCapturedStdout();
    const size_t started = out.find("AI Analysis thread started\n");
    const size_t stopped = out.find("AI Analysis thread stopped\n");
    const size_t complete = out.find("AI Analysis engine shutdown complete\n");
    ASSERT_NE(started, std::string::npos) << out;
    ASSERT_NE(stopped, std::string::npos) << out;
    EXPECT_LT(started, stopped);
    EXPECT_LT(stopped, complete);
    EXPECT_LT(out.find("LlamaCpp integration shutdown complete"), complete);
}

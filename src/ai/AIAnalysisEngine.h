// Stands between the chat panel and the language model: chooses the model's
// preset, owns the integration, builds the prompt and filters the model's text.
#pragma once

#include "ai/LlamaCppIntegration.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct AIAnalysisConfig
{
    bool analysisSwitch1 = false;
    bool analysisSwitch2 = false;
    bool analysisSwitch3 = false;
    float analysisFactor = 0.7f;
    uint32_t analysisIntervalMs = 5000;
    int32_t analysisLimit = 50;
    std::string modelPath;
};

// The preset chosen by substrings of the model path.
LlamaCppConfig MakeLlamaCppPreset(const std::string& modelPath);

// The fixed prompt around the question and the data context, in the parts the
// integration decodes: the data context alone may be shortened to fit.
LlamaPrompt MakeAnalysisPrompt(const std::string& question, const std::string& dataContext);
std::string BuildAnalysisPrompt(const std::string& question, const std::string& dataContext);

// The model's text, or a canned reply when it looks like code, is shorter than
// 20 bytes or carries "AI Analysis Result:".
std::string FilterModelReply(const std::string& text, const std::string& question, const std::string& dataContext);

// The reply tables' greeting test on a lower-cased question: "hello" or "hi" as
// a whole word, so "this" or "which" is no greeting.
bool IsGreeting(const std::string& lowerQuestion);

class AIAnalysisEngine
{
public:
    // Makes the backend of the integration; tests script the library with it.
    using BackendFactory = std::function<std::unique_ptr<LlamaBackend>()>;

    explicit AIAnalysisEngine(const AIAnalysisConfig& config);
    AIAnalysisEngine(const AIAnalysisConfig& config, const BackendFactory& makeBackend);
    ~AIAnalysisEngine();
    AIAnalysisEngine(const AIAnalysisEngine&) = delete;
    AIAnalysisEngine& operator=(const AIAnalysisEngine&) = delete;

    // stop, when given and set while the model loads, cancels the load.
    bool Initialize(const std::atomic<bool>* stop = nullptr);
    bool IsReady() const;
    void Shutdown();
    // stop, when given and set, ends the model's generation early; the text the
    // model had then is returned unfiltered.
    std::string GenerateConversationalResponse(const std::string& question, const std::string& dataContext,
                                               const std::atomic<bool>* stop = nullptr);
    // After a failed Initialize: why, and whether a stop request cancelled the load.
    std::string LoadFailure();
    bool LoadStopped();

private:
    void AnalysisThread();

    AIAnalysisConfig config;
    std::unique_ptr<LlamaCppIntegration> llama;
    std::atomic<bool> initialized{false};
    std::atomic<bool> running{false};
    std::unique_ptr<std::thread> analysisThread;
    std::mutex mutex;
};

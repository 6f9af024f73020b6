#include "ai/AIAnalysisEngine.h"

#include <cctype>
#include <chrono>
#include <exception>
#include <iostream>

LlamaCppConfig MakeLlamaCppPreset(const std::string& modelPath)
{
    LlamaCppConfig preset;
    auto has = [&](const char* key) { return modelPath.find(key) != std::string::npos; };
    auto set = [&](uint32_t context, uint32_t batch, uint32_t threads, uint32_t maxTokens) {
        preset.context_size = context;
        preset.batch_size = batch;
        preset.threads = threads;
        preset.max_tokens = maxTokens;
    };
    if (has("phi2") || has("phi-2"))
        set(2048, 128, 4, 512);
    else if (has("llama3.2-3b"))
        set(4096, 256, 8, 768);
    else if (has("llama3.2-8b"))
        set(4096, 256, 10, 768);
    else if (has("qwen"))
        set(4096, 256, 8, 256);
    else if (has("gemma"))
        set(2048, 128, 6, 128);
    else
        set(2048, 128, 4, 128);
    preset.model_path = modelPath;
    preset.temperature = 0.7f;
    preset.top_p = 0.9f;
    preset.repeat_penalty = 1.1f;
    preset.use_mlock = false;
    preset.use_mmap = true;
    return preset;
}

LlamaPrompt MakeAnalysisPrompt(const std::string& question, const std::string& dataContext)
{
    LlamaPrompt prompt;
    prompt.head = "You are an expert data analyst analyzing real-time data streams.\n\n";
    prompt.head += "DATA CONTEXT:\n";
    prompt.data = dataContext;
    prompt.tail = "\n\n";
    prompt.tail += "USER QUESTION: ";
    prompt.tail += question;
    prompt.tail += "\n\n";
    prompt.tail += "Provide a technical, specific answer based on the actual data readings. ";
    prompt.tail += "Focus on what the data shows and what it means for system performance. ";
    prompt.tail += "Be concise but informative, highlighting any concerns or patterns you observe. ";
    prompt.tail += "Do not use code formatting, markdown, or special formatting. Just provide a clear, direct answer.";
    return prompt;
}

std::string BuildAnalysisPrompt(const std::string& question, const std::string& dataContext)
{
    const LlamaPrompt prompt = MakeAnalysisPrompt(question, dataContext);
    return prompt.head + prompt.data + prompt.tail;
}

static std::string Lowered(const std::string& text)
{
    std::string lower = text;
    for (char& c : lower)
        c = (char)std::tolower((unsigned char)c);
    return lower;
}

// Letters, digits and the bytes of UTF-8 sequences make up words.
static bool IsWordByte(char c) { return std::isalnum((unsigned char)c) || (unsigned char)c >= 0x80; }

static bool ContainsWord(const std::string& text, const std::string& word)
{
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
    {
        const size_t end = at + word.size();
        if ((at == 0 || !IsWordByte(text[at - 1])) && (end == text.size() || !IsWordByte(text[end])))
            return true;
    }
    return false;
}

bool IsGreeting(const std::string& lowerQuestion)
{
    return ContainsWord(lowerQuestion, "hello") || ContainsWord(lowerQuestion, "hi");
}

static std::string CodeOutputReply(const std::string& question, const std::string& dataContext)
{
    const std::string q = Lowered(question);
    if (IsGreeting(q))
        return "Hello! I'm analyzing your data streams. " + dataContext +
               " I can help you understand what your data is telling us about your system.";
    if (q.find("how are you") != std::string::npos)
        return "I'm working well! " + dataContext +
               " I'm monitoring your data streams and ready to help with analysis and insights.";
    return "Based on your data: " + dataContext +
           " I can help you analyze patterns, detect anomalies, and provide insights about your system's performance.";
}

static std::string FallbackReply(const std::string& question, const std::string& dataContext)
{
    const std::string q = Lowered(question);
    auto has = [&](const char* key) { return q.find(key) != std::string::npos; };
    if (IsGreeting(q))
        return "Hello! I'm your AI assistant powered by advanced language models. " + dataContext +
               " I can help you analyze your sensor data, detect anomalies, and provide insights about your system. "
               "What would you like me to analyze?";
    if (has("analyze"))
        return "I'm ready to analyze your data. " + dataContext +
               " I can detect patterns, anomalies, and provide predictive insights. Which specific channels or time "
               "periods would you like me to focus on?";
    if (has("anomal"))
        return "Anomaly detection is active. " + dataContext +
               " I'm monitoring for unusual patterns in your sensor data. Let me know if you want me to analyze "
               "specific channels for anomalies.";
    if (has("channel"))
        return "I can see your channel data: " + dataContext +
               " Each channel represents different sensor measurements. Would you like me to analyze correlations "
               "between channels or focus on specific ones?";
    if (has("status"))
    {
        // Operational only when the context says so, never beside its alerts.
        const bool normal = dataContext.find("STATUS: All data channels normal") != std::string::npos;
        return "System Status: AI engine is active and monitoring. " + dataContext +
               (normal ? " All systems operational." : "") +
               " I'm ready to provide real-time analysis of your data streams.";
    }
    return "I understand you're asking about: \"" + question + "\". " + dataContext +
           " I'm powered by advanced language models and can help with data analysis, anomaly detection, and system "
           "monitoring. Could you be more specific about what you'd like me to analyze?";
}

std::string FilterModelReply(const std::string& text, const std::string& question, const std::string& dataContext)
{
    if (text.find("```") != std::string::npos || text.find("python") != std::string::npos ||
        text.find("# ") != std::string::npos)
        return CodeOutputReply(question, dataContext);
    if (text.find("AI Analysis Result:") == std::string::npos && text.size() >= 20)
        return text;
    return FallbackReply(question, dataContext);
}

AIAnalysisEngine::AIAnalysisEngine(const AIAnalysisConfig& config_)
    : AIAnalysisEngine(config_, [] { return MakeLlamaCppBackend(); })
{}

AIAnalysisEngine::AIAnalysisEngine(const AIAnalysisConfig& config_, const BackendFactory& makeBackend) : config(config_)
{
    llama.reset(new LlamaCppIntegration(MakeLlamaCppPreset(config.modelPath), makeBackend()));
}

AIAnalysisEngine::~AIAnalysisEngine() { Shutdown(); }

bool AIAnalysisEngine::Initialize(const std::atomic<bool>* stop)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (initialized)
        return true;
    // A shut-down engine has no integration left to load.
    if (!llama || !llama->Initialize(stop))
    {
        if (!llama || !llama->LoadStopped())
            std::cerr << "Failed to initialize LlamaCpp integration" << std::endl;
        return false;
    }
    if (config.analysisSwitch1 || config.analysisSwitch2 || config.analysisSwitch3)
    {
        running = true;
        analysisThread = std::make_unique<std::thread>(&AIAnalysisEngine::AnalysisThread, this);
    }
    initialized = true;
    std::cout << "AI Analysis engine initialized successfully" << std::endl;
    return true;
}

std::string AIAnalysisEngine::LoadFailure()
{
    std::lock_guard<std::mutex> lock(mutex);
    return llama ? llama->LoadFailure() : std::string("the AI engine was shut down");
}

bool AIAnalysisEngine::LoadStopped()
{
    std::lock_guard<std::mutex> lock(mutex);
    return llama && llama->LoadStopped();
}

bool AIAnalysisEngine::IsReady() const { return initialized && llama && llama->IsLoaded(); }

void AIAnalysisEngine::AnalysisThread()
{
    std::cout << "AI Analysis thread started" << std::endl;
    while (running)
        std::this_thread::sleep_for(std::chrono::milliseconds(config.analysisIntervalMs));
    std::cout << "AI Analysis thread stopped" << std::endl;
}

void AIAnalysisEngine::Shutdown()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!initialized)
            return;
        running = false;
        if (analysisThread && analysisThread->joinable())
        {
            analysisThread->join();
            analysisThread.reset();
        }
        if (llama)
        {
            llama->Shutdown();
            llama.reset();
        }
        initialized = false;
    }
    std::cout << "AI Analysis engine shutdown complete" << std::endl;
}

std::string AIAnalysisEngine::GenerateConversationalResponse(const std::string& question,
                                                             const std::string& dataContext,
                                                             const std::atomic<bool>* stop)
{
    if (!IsReady())
        return "AI analysis engine is not ready. Please try again later.";
    try
    {
        const std::string text = llama->GenerateCompletion(MakeAnalysisPrompt(question, dataContext), 0, stop);
        if (stop != nullptr && stop->load())
            return text;
        // Only the question can make the prompt too long: the data context is
        // shortened to fit.
        if (text == PromptTooLongText)
            return "Your question is too long for this AI model. Please ask a shorter question.";
        return FilterModelReply(text, question, dataContext);
    }
    catch (const std::exception& e)
    {
        std::cout << "Error generating conversational response: " << e.what() << std::endl;
        return "I encountered an error processing your request. Please try again.";
    }
}

// The one contact with the language model: loads a GGUF model with llama.cpp and
// generates greedy completions, each in a freshly created context.
#pragma once

#include "ai/LlamaBackend.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct LlamaCppConfig
{
    std::string model_path;
    uint32_t context_size = 2048;
    uint32_t batch_size = 128;
    uint32_t threads = 4;
    float temperature = 0.7f;
    float top_p = 0.9f;
    uint32_t max_tokens = 128;
    float repeat_penalty = 1.1f;
    bool use_mlock = false;
    bool use_mmap = true;
};

// A prompt in three parts, decoded as head + data + tail. When the whole prompt
// would leave the answer too little room in the context, only data is
// shortened, by whole lines from its end.
struct LlamaPrompt
{
    std::string head;
    std::string data;
    std::string tail;
};

// What GenerateCompletion returns when the prompt does not fit the context even
// without its data part.
extern const char* const PromptTooLongText;

class LlamaCppIntegration
{
public:
    // Throws std::invalid_argument("Invalid LlamaCpp configuration") when the
    // configuration is out of range. The second form is for tests that script
    // the library.
    explicit LlamaCppIntegration(const LlamaCppConfig& config);
    LlamaCppIntegration(const LlamaCppConfig& config, std::unique_ptr<LlamaBackend> backend);
    ~LlamaCppIntegration();
    LlamaCppIntegration(const LlamaCppIntegration&) = delete;
    LlamaCppIntegration& operator=(const LlamaCppIntegration&) = delete;

    // stop, when given, is read while the model loads: once set, the load is
    // cancelled, nothing stays loaded and Initialize returns false.
    bool Initialize(const std::atomic<bool>* stop = nullptr);
    void Shutdown();
    bool IsLoaded() const;
    // stop, when given, is read between tokens and while a batch decodes: once
    // set, the completion ends early and returns the text it has.
    std::string GenerateCompletion(const std::string& prompt, int32_t max_tokens,
                                   const std::atomic<bool>* stop = nullptr);
    std::string GenerateCompletion(const LlamaPrompt& prompt, int32_t max_tokens,
                                   const std::atomic<bool>* stop = nullptr);
    // After a failed Initialize: why, in a few words for the user, and whether a
    // stop request cancelled the load (then there is no failure to report).
    std::string LoadFailure();
    bool LoadStopped();

private:
    bool ValidateConfig();
    bool LoadModel();
    bool CreateContext();
    void FreeContext();
    void FreeModel();
    void ShutdownLocked();
    bool StopRequested() const;
    bool Tokenize(const llama_vocab* vocab, const std::string& text, std::vector<llama_token>& tokens);
    bool FitPrompt(const llama_vocab* vocab, const LlamaPrompt& prompt, int32_t budget,
                   std::vector<llama_token>& tokens);
    static bool AbortDecode(void* self);
    static bool LoadProgress(float progress, void* self);

    const LlamaCppConfig config;
    std::atomic<llama_model*> model{nullptr};
    std::atomic<llama_context*> ctx{nullptr};
    std::atomic<bool> initialized{false};
    std::mutex mutex;
    uint64_t estimated_memory_bytes = 0;
    std::string loadFailure;  // guarded by mutex
    bool loadStopped = false; // guarded by mutex
    // The running load's or completion's stop request; null outside them.
    std::atomic<const std::atomic<bool>*> stopRequest{nullptr};
    std::unique_ptr<LlamaBackend> backend;
};

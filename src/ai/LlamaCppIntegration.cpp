#include "ai/LlamaCppIntegration.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <vector>

namespace
{
// Frees the batch on every way out of the completion.
struct BatchOwner
{
    LlamaBackend& backend;
    llama_batch batch;
    ~BatchOwner() { backend.BatchFree(batch); }
};

// Holds the stop request of a load or a completion for the length of the call.
struct StopScope
{
    std::atomic<const std::atomic<bool>*>& slot;
    StopScope(std::atomic<const std::atomic<bool>*>& slot_, const std::atomic<bool>* stop) : slot(slot_)
    {
        slot = stop;
    }
    ~StopScope() { slot = nullptr; }
};
} // namespace

LlamaCppIntegration::LlamaCppIntegration(const LlamaCppConfig& config_)
    : LlamaCppIntegration(config_, MakeLlamaCppBackend())
{}

LlamaCppIntegration::LlamaCppIntegration(const LlamaCppConfig& config_, std::unique_ptr<LlamaBackend> backend_)
    : config(config_), backend(std::move(backend_))
{
    if (!ValidateConfig())
        throw std::invalid_argument("Invalid LlamaCpp configuration");
}

LlamaCppIntegration::~LlamaCppIntegration()
{
    std::lock_guard<std::mutex> lock(mutex);
    ShutdownLocked();
}

bool LlamaCppIntegration::ValidateConfig()
{
    if (config.model_path.empty())
    {
        std::cerr << "Model path is empty" << std::endl;
        return false;
    }
    if (config.context_size < 512 || config.context_size > 8192)
    {
        std::cerr << "Invalid context size: " << config.context_size << std::endl;
        return false;
    }
    if (config.batch_size < 1 || config.batch_size > 2048)
    {
        std::cerr << "Invalid batch size: " << config.batch_size << std::endl;
        return false;
    }
    // llama.cpp cannot decode a batch larger than its context and aborts.
    if (config.batch_size > config.context_size)
    {
        std::cerr << "Invalid batch size: " << config.batch_size << " (larger than context size " << config.context_size
                  << ")" << std::endl;
        return false;
    }
    if (config.threads < 1 || config.threads > 16)
    {
        std::cerr << "Invalid thread count: " << config.threads << std::endl;
        return false;
    }
    if (config.temperature < 0.0f || config.temperature > 2.0f)
    {
        std::cerr << "Invalid temperature: " << config.temperature << std::endl;
        return false;
    }
    if (config.top_p < 0.0f || config.top_p > 1.0f)
    {
        std::cerr << "Invalid top_p: " << config.top_p << std::endl;
        return false;
    }
    if (config.max_tokens < 1 || config.max_tokens > 2048)
    {
        std::cerr << "Invalid max_tokens: " << config.max_tokens << std::endl;
        return false;
    }
    if (config.repeat_penalty < 0.5f || config.repeat_penalty > 2.0f)
    {
        std::cerr << "Invalid repeat_penalty: " << config.repeat_penalty << std::endl;
        return false;
    }
    return true;
}

bool LlamaCppIntegration::LoadModel()
{
    const std::filesystem::path path(config.model_path);
    if (!std::filesystem::exists(path))
    {
        std::cerr << "Model file not found: " << config.model_path << std::endl;
        loadFailure = "model file not found: " + config.model_path;
        return false;
    }
    const uint64_t size = std::filesystem::file_size(path);
    estimated_memory_bytes = size * 2;
    std::cout << "Loading model: " << config.model_path << std::endl;
    std::cout << "Model size: " << size / 1048576 << " MB" << std::endl;
    std::cout << "Estimated memory usage: " << estimated_memory_bytes / 1048576 << " MB" << std::endl;

    backend->BackendInit();
    llama_model_params params = backend->ModelDefaultParams();
    params.n_gpu_layers = 0;
    // This llama.cpp names its mmap and mlock switches together as one load mode.
    if (config.use_mmap)
        params.load_mode = config.use_mlock ? LLAMA_LOAD_MODE_MMAP_MLOCK : LLAMA_LOAD_MODE_MMAP;
    else
        params.load_mode = config.use_mlock ? LLAMA_LOAD_MODE_MLOCK : LLAMA_LOAD_MODE_NONE;
    // Lets a stop request cancel a long load between the library's tensor reads.
    params.progress_callback = &LlamaCppIntegration::LoadProgress;
    params.progress_callback_user_data = this;

    model = backend->ModelLoadFromFile(config.model_path.c_str(), params);
    if (model == nullptr)
    {
        // A cancelled load is the user closing or switching, not a broken file.
        if (StopRequested())
        {
            std::cout << "Model load stopped" << std::endl;
            loadStopped = true;
        }
        else
        {
            std::cerr << "Failed to load model from file" << std::endl;
            loadFailure = "llama.cpp could not load the model file " + config.model_path;
        }
        backend->BackendFree();
        return false;
    }
    return true;
}

bool LlamaCppIntegration::CreateContext()
{
    if (model == nullptr)
    {
        std::cerr << "Cannot create context: model not loaded" << std::endl;
        return false;
    }
    std::cout << "Creating inference context..." << std::endl;
    std::cout << "Context size: " << config.context_size << std::endl;
    std::cout << "Threads: " << config.threads << std::endl;

    llama_context_params params = backend->ContextDefaultParams();
    params.n_ctx = config.context_size;
    params.n_batch = config.batch_size;
    params.n_threads = (int32_t)config.threads;
    params.n_threads_batch = (int32_t)config.threads;
    // Lets a stop request end a long decode between the library's compute steps.
    params.abort_callback = &LlamaCppIntegration::AbortDecode;
    params.abort_callback_data = this;

    ctx = backend->InitFromModel(model, params);
    if (ctx == nullptr)
    {
        std::cerr << "Failed to create inference context" << std::endl;
        return false;
    }
    return true;
}

void LlamaCppIntegration::FreeContext()
{
    if (ctx == nullptr)
        return;
    std::cout << "Freeing context resources..." << std::endl;
    backend->Free(ctx);
    ctx = nullptr;
}

void LlamaCppIntegration::FreeModel()
{
    if (model == nullptr)
        return;
    std::cout << "Freeing model resources..." << std::endl;
    backend->ModelFree(model);
    backend->BackendFree();
    model = nullptr;
}

bool LlamaCppIntegration::Initialize(const std::atomic<bool>* stop)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (initialized)
        return true;
    StopScope stopScope(stopRequest, stop);
    loadFailure.clear();
    loadStopped = false;
    std::cout << "Initializing LlamaCpp integration..." << std::endl;
    if (!LoadModel())
    {
        if (!loadStopped)
            std::cerr << "Failed to load model: " << config.model_path << std::endl;
        return false;
    }
    if (!CreateContext())
    {
        std::cerr << "Failed to create inference context" << std::endl;
        loadFailure = "llama.cpp could not create an inference context for " + config.model_path;
        FreeModel();
        return false;
    }
    initialized = true;
    std::cout << "LlamaCpp integration initialized successfully" << std::endl;
    return true;
}

void LlamaCppIntegration::ShutdownLocked()
{
    if (!initialized)
        return;
    std::cout << "Shutting down LlamaCpp integration..." << std::endl;
    FreeContext();
    FreeModel();
    initialized = false;
    std::cout << "LlamaCpp integration shutdown complete" << std::endl;
}

void LlamaCppIntegration::Shutdown()
{
    std::lock_guard<std::mutex> lock(mutex);
    ShutdownLocked();
}

std::string LlamaCppIntegration::LoadFailure()
{
    std::lock_guard<std::mutex> lock(mutex);
    return loadFailure;
}

bool LlamaCppIntegration::LoadStopped()
{
    std::lock_guard<std::mutex> lock(mutex);
    return loadStopped;
}

bool LlamaCppIntegration::IsLoaded() const { return initialized && model != nullptr && ctx != nullptr; }

bool LlamaCppIntegration::StopRequested() const
{
    const std::atomic<bool>* stop = stopRequest.load();
    return stop != nullptr && stop->load();
}

bool LlamaCppIntegration::AbortDecode(void* self) { return static_cast<LlamaCppIntegration*>(self)->StopRequested(); }

// The load goes on while this returns true.
bool LlamaCppIntegration::LoadProgress(float, void* self)
{
    return !static_cast<LlamaCppIntegration*>(self)->StopRequested();
}

std::string LlamaCppIntegration::GenerateCompletion(const std::string& prompt, int32_t max_tokens,
                                                    const std::atomic<bool>* stop)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!initialized || model == nullptr || ctx == nullptr)
        return "Error: LlamaCpp not initialized";
    StopScope stopScope(stopRequest, stop);

    if (max_tokens == 0)
        max_tokens = (int32_t)config.max_tokens;
    std::cout << "Generating completion for prompt (max_tokens: " << max_tokens << ")" << std::endl;

    FreeContext();
    if (!CreateContext())
    {
        std::cerr << "Failed to recreate context for new conversation" << std::endl;
        return "Error: Failed to recreate context";
    }

    const llama_vocab* vocab = backend->ModelGetVocab(model);
    if (vocab == nullptr)
    {
        std::cerr << "Failed to get vocabulary from model" << std::endl;
        return "Error: Failed to get vocabulary";
    }

    // A prompt that needs no token at all (or more than an int can count) has
    // nothing to decode: that is a tokenising failure too.
    int32_t query = -1;
    if (prompt.size() <= (size_t)INT32_MAX)
        query = backend->Tokenize(vocab, prompt.data(), (int32_t)prompt.size(), nullptr, 0, true, true);
    if (prompt.size() > (size_t)INT32_MAX || query >= 0 || query == INT32_MIN)
    {
        std::cerr << "Failed to tokenize prompt" << std::endl;
        return "Error: Failed to tokenize prompt";
    }
    const int32_t n = -query;
    std::vector<llama_token> tokens((size_t)n, 0);
    if (backend->Tokenize(vocab, prompt.data(), (int32_t)prompt.size(), tokens.data(), n, true, true) < 0)
    {
        std::cerr << "Failed to tokenize prompt" << std::endl;
        return "Error: Failed to tokenize prompt";
    }
    std::cout << "Tokenized prompt: " << n << " tokens" << std::endl;

    // Only the first batch_size tokens of a longer prompt reach the model.
    const int32_t m = std::min(n, (int32_t)config.batch_size);
    BatchOwner owner{*backend, backend->BatchInit(m, 0, 1)};
    llama_batch& batch = owner.batch;
    for (int32_t i = 0; i < m; i++)
    {
        batch.token[i] = tokens[(size_t)i];
        batch.pos[i] = i;
        batch.n_seq_id[i] = 1;
        batch.seq_id[i][0] = 0;
        batch.logits[i] = false;
    }
    batch.logits[m - 1] = true;
    batch.n_tokens = m;

    if (backend->Decode(ctx, batch) != 0)
    {
        if (StopRequested())
        {
            std::cout << "Generation stopped at 0 tokens" << std::endl;
            return std::string();
        }
        std::cerr << "Failed to decode prompt" << std::endl;
        return "Error: Failed to decode prompt";
    }

    std::string text;
    int32_t n_past = m;
    int32_t generated = 0;
    std::vector<llama_token> generatedTokens;
    std::vector<float> logits;
    while (generated < max_tokens)
    {
        if (StopRequested())
        {
            std::cout << "Generation stopped at " << generated << " tokens" << std::endl;
            break;
        }
        if (generated > 0 && generated % 10 == 0)
            std::cout << "Generated " << generated << "/" << max_tokens << " tokens..." << std::endl;

        if (batch.n_tokens < 1)
        {
            std::cerr << "Invalid batch size in generation loop" << std::endl;
            break;
        }
        const float* row = backend->GetLogitsIth(ctx, batch.n_tokens - 1);
        if (row == nullptr)
        {
            std::cerr << "Failed to get logits from context" << std::endl;
            break;
        }
        const int32_t n_vocab = backend->VocabNTokens(vocab);
        if (n_vocab < 1)
        {
            std::cerr << "Invalid vocabulary size" << std::endl;
            break;
        }
        logits.assign(row, row + n_vocab);

        // Each occurrence among the last 64 generated tokens divides once more.
        const size_t recent = std::min<size_t>(64, generatedTokens.size());
        for (size_t k = 0; k < recent; k++)
        {
            const llama_token id = generatedTokens[generatedTokens.size() - 1 - k];
            if (id >= 0 && id < n_vocab)
                logits[(size_t)id] /= config.repeat_penalty;
        }

        // The first of equal maxima wins; a NaN never replaces an earlier value.
        llama_token token = 0;
        float best = logits[0];
        for (int32_t i = 1; i < n_vocab; i++)
        {
            if (logits[(size_t)i] > best)
            {
                best = logits[(size_t)i];
                token = i;
            }
        }

        if (backend->VocabIsEog(vocab, token))
        {
            std::cout << "End of generation at " << generated << " tokens (EoG)" << std::endl;
            break;
        }
        if (text.size() > 5 && std::all_of(text.end() - 5, text.end(), [&](char c) { return c == text.back(); }))
        {
            std::cout << "End of generation at " << generated << " tokens (repetition detected)" << std::endl;
            break;
        }

        char piece[256];
        const int32_t length = backend->TokenToPiece(vocab, token, piece, sizeof(piece), 0, true);
        if (length < 0)
        {
            std::cerr << "Failed to convert token to text" << std::endl;
            break;
        }
        text.append(piece, (size_t)std::min<int32_t>(length, (int32_t)sizeof(piece)));

        batch.token[0] = token;
        batch.pos[0] = n_past;
        batch.n_seq_id[0] = 1;
        batch.seq_id[0][0] = 0;
        batch.logits[0] = true;
        batch.n_tokens = 1;
        n_past++;
        generated++;
        generatedTokens.push_back(token);

        if (backend->Decode(ctx, batch) != 0)
        {
            // An aborted decode is the stop request, seen at the next step.
            if (StopRequested())
                continue;
            std::cerr << "Failed to decode token" << std::endl;
            break;
        }
    }

    std::cout << "Generated " << generated << " tokens" << std::endl;
    return text;
}

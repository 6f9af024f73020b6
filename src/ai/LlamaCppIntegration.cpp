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

const char* const PromptTooLongText = "Error: Prompt too long for the model's context";

// The text's tokens. The buffer has room for a token per byte and the special
// ones, so one call does it; a size query first would tokenise the text twice.
// A text that needs no token (or more than an int can count) fails too.
bool LlamaCppIntegration::Tokenize(const llama_vocab* vocab, const std::string& text, std::vector<llama_token>& tokens)
{
    tokens.clear();
    if (text.size() > (size_t)INT32_MAX - 2)
        return false;
    tokens.resize(text.size() + 2);
    int32_t n =
        backend->Tokenize(vocab, text.data(), (int32_t)text.size(), tokens.data(), (int32_t)tokens.size(), true, true);
    if (n < 0 && n != INT32_MIN)
    {
        tokens.resize((size_t)-n);
        n = backend->Tokenize(vocab, text.data(), (int32_t)text.size(), tokens.data(), -n, true, true);
    }
    if (n <= 0 || (size_t)n > tokens.size())
    {
        tokens.clear();
        return false;
    }
    tokens.resize((size_t)n);
    return true;
}

// Tokenises head + data + tail into at most budget tokens, leaving out whole
// lines from the end of data when the whole prompt is longer. False, with
// tokens empty, when tokenising fails; false with the too-long tokens when even
// head + tail do not fit.
bool LlamaCppIntegration::FitPrompt(const llama_vocab* vocab, const LlamaPrompt& prompt, int32_t budget,
                                    std::vector<llama_token>& tokens)
{
    const std::string& data = prompt.data;
    auto keep = [&](size_t kept) { return Tokenize(vocab, prompt.head + data.substr(0, kept) + prompt.tail, tokens); };
    if (!keep(data.size()))
        return false;
    const size_t whole = tokens.size();
    if ((int64_t)whole <= budget)
        return true;
    if (!keep(0))
        return false;
    if ((int64_t)tokens.size() > budget)
    {
        std::cerr << "Prompt too long for the context: " << tokens.size()
                  << " tokens without the data context, at most " << budget << " fit (context " << config.context_size
                  << ")" << std::endl;
        return false;
    }

    // The longest cut that fits, by bisection over the cuts after data's line
    // ends: cuts[lo] fits, and cuts[hi] (the whole, past the end) does not.
    std::vector<size_t> cuts{0};
    for (size_t i = 0; i + 1 < data.size(); i++)
        if (data[i] == '\n')
            cuts.push_back(i + 1);
    size_t lo = 0, hi = cuts.size();
    while (hi - lo > 1)
    {
        const size_t mid = (lo + hi) / 2;
        if (!keep(cuts[mid]))
            return false;
        if ((int64_t)tokens.size() <= budget)
            lo = mid;
        else
            hi = mid;
    }
    // tokens are the last cut tried: cuts[lo] unless that one did not fit.
    if ((int64_t)tokens.size() > budget && !keep(cuts[lo]))
        return false;
    std::cerr << "Prompt too long for the context (" << whole << " tokens, at most " << budget << " fit): left out "
              << data.size() - cuts[lo] << " of " << data.size() << " bytes of the data context" << std::endl;
    return true;
}

std::string LlamaCppIntegration::GenerateCompletion(const std::string& prompt, int32_t max_tokens,
                                                    const std::atomic<bool>* stop)
{
    return GenerateCompletion(LlamaPrompt{prompt, std::string(), std::string()}, max_tokens, stop);
}

std::string LlamaCppIntegration::GenerateCompletion(const LlamaPrompt& prompt, int32_t max_tokens,
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

    // The prompt leaves room for the answer in the context: max_tokens, but at
    // most half the context, so a large max_tokens never shuts every prompt out.
    const int32_t contextSize = (int32_t)config.context_size;
    const int32_t room = std::max(0, std::min(max_tokens, contextSize / 2));
    std::vector<llama_token> tokens;
    if (!FitPrompt(vocab, prompt, contextSize - room, tokens))
    {
        if (!tokens.empty())
            return PromptTooLongText;
        std::cerr << "Failed to tokenize prompt" << std::endl;
        return "Error: Failed to tokenize prompt";
    }
    const int32_t n = (int32_t)tokens.size();
    std::cout << "Tokenized prompt: " << n << " tokens" << std::endl;

    // The whole prompt, in batches of at most batch_size tokens; only its last
    // token asks for logits.
    const int32_t capacity = std::min(n, (int32_t)config.batch_size);
    BatchOwner owner{*backend, backend->BatchInit(capacity, 0, 1)};
    llama_batch& batch = owner.batch;
    for (int32_t start = 0; start < n; start += capacity)
    {
        const int32_t count = std::min(capacity, n - start);
        for (int32_t i = 0; i < count; i++)
        {
            batch.token[i] = tokens[(size_t)(start + i)];
            batch.pos[i] = start + i;
            batch.n_seq_id[i] = 1;
            batch.seq_id[i][0] = 0;
            batch.logits[i] = start + i == n - 1;
        }
        batch.n_tokens = count;
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
    }

    std::string text;
    int32_t n_past = n;
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

        // Each occurrence among the last 64 generated tokens penalises once more.
        // A negative logit is multiplied, not divided: dividing would move it up
        // towards zero and make the repeated token likelier.
        const size_t recent = std::min<size_t>(64, generatedTokens.size());
        for (size_t k = 0; k < recent; k++)
        {
            const llama_token id = generatedTokens[generatedTokens.size() - 1 - k];
            if (id < 0 || id >= n_vocab)
                continue;
            float& logit = logits[(size_t)id];
            if (logit > 0.0f)
                logit /= config.repeat_penalty;
            else
                logit *= config.repeat_penalty;
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
        // Five equal bytes are a loop, but a run of digits is a number.
        if (text.size() > 5 && (text.back() < '0' || text.back() > '9') &&
            std::all_of(text.end() - 5, text.end(), [&](char c) { return c == text.back(); }))
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

        // A full context takes no more tokens: this one ends the answer.
        if (n_past > contextSize)
        {
            std::cout << "End of generation at " << generated << " tokens (context full)" << std::endl;
            break;
        }
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

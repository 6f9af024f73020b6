#include "fake_llama_backend.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace
{
struct FakeModel
{
    int tag = 1;
};
struct FakeContext
{
    int tag = 2;
};
struct FakeVocab
{
    int tag = 3;
};

class FakeLlamaBackend final : public LlamaBackend
{
public:
    explicit FakeLlamaBackend(std::shared_ptr<FakeLlamaScript> s) : script(std::move(s)) {}

    void BackendInit() override
    {
        Record([&] { script->backendInits++; });
    }
    void BackendFree() override
    {
        Record([&] { script->backendFrees++; });
    }
    llama_model_params ModelDefaultParams() override
    {
        llama_model_params p{};
        p.n_gpu_layers = -1;
        p.load_mode = LLAMA_LOAD_MODE_AUTO;
        return p;
    }
    llama_model* ModelLoadFromFile(const char*, llama_model_params params) override
    {
        script->loadEntered++;
        // The library asks the callback once per tensor it reads.
        const auto end = std::chrono::steady_clock::now() + script->loadDelay;
        do
        {
            if (params.progress_callback && !params.progress_callback(0.5f, params.progress_callback_user_data))
            {
                std::lock_guard<std::mutex> lock(script->recordMutex);
                script->cancelledLoads++;
                return nullptr;
            }
            if (std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < end);
        std::lock_guard<std::mutex> lock(script->recordMutex);
        script->modelLoads++;
        script->lastModelParams = params;
        if (script->crashOnLoad)
            std::abort();
        if (script->failLoad)
            return nullptr;
        return reinterpret_cast<llama_model*>(&model);
    }
    void ModelFree(llama_model* m) override
    {
        if (script->inDecode)
            script->overlapDetected = true;
        std::lock_guard<std::mutex> lock(script->recordMutex);
        if (m == reinterpret_cast<llama_model*>(&model))
            script->modelFrees++;
    }
    llama_context_params ContextDefaultParams() override
    {
        llama_context_params p{};
        p.n_ubatch = 512;
        p.n_seq_max = 1;
        return p;
    }
    llama_context* InitFromModel(llama_model*, llama_context_params params) override
    {
        std::lock_guard<std::mutex> lock(script->recordMutex);
        script->contextInits++;
        script->lastContextParams = params;
        abortCallback = params.abort_callback;
        abortData = params.abort_callback_data;
        if (script->failInitFromModelAt == script->contextInits)
            return nullptr;
        return reinterpret_cast<llama_context*>(&context);
    }
    void Free(llama_context* c) override
    {
        if (script->inDecode)
            script->overlapDetected = true;
        std::lock_guard<std::mutex> lock(script->recordMutex);
        if (c == reinterpret_cast<llama_context*>(&context))
            script->contextFrees++;
    }
    const llama_vocab* ModelGetVocab(const llama_model*) override
    {
        return script->nullVocab ? nullptr : reinterpret_cast<const llama_vocab*>(&vocab);
    }
    int32_t Tokenize(const llama_vocab*, const char* text, int32_t text_len, llama_token* tokens, int32_t n_tokens_max,
                     bool add_special, bool) override
    {
        std::vector<llama_token> out;
        if (add_special && script->addBos)
            out.push_back(FakeLlamaScript::BosToken);
        for (int32_t i = 0; i < text_len; i++)
            out.push_back(script->ByteTokenBase + (unsigned char)text[i]);
        if ((int32_t)out.size() > n_tokens_max)
            return -(int32_t)out.size();
        if (script->failTokenize)
            return -1;
        for (size_t i = 0; i < out.size(); i++)
            tokens[i] = out[i];
        return (int32_t)out.size();
    }
    llama_batch BatchInit(int32_t n, int32_t, int32_t n_seq_max) override
    {
        llama_batch b{};
        b.token = new llama_token[(size_t)n];
        b.pos = new llama_pos[(size_t)n];
        b.n_seq_id = new int32_t[(size_t)n];
        b.seq_id = new llama_seq_id*[(size_t)n + 1];
        for (int32_t i = 0; i < n; i++)
            b.seq_id[i] = new llama_seq_id[(size_t)n_seq_max];
        b.seq_id[n] = nullptr;
        b.logits = new int8_t[(size_t)n];
        std::lock_guard<std::mutex> lock(script->recordMutex);
        script->batchCapacities.push_back(n);
        script->liveBatches++;
        capacity = n;
        return b;
    }
    void BatchFree(llama_batch b) override
    {
        delete[] b.token;
        delete[] b.pos;
        delete[] b.n_seq_id;
        for (llama_seq_id** s = b.seq_id; *s != nullptr; s++)
            delete[] * s;
        delete[] b.seq_id;
        delete[] b.logits;
        std::lock_guard<std::mutex> lock(script->recordMutex);
        script->liveBatches--;
    }
    int32_t Decode(llama_context*, llama_batch batch) override
    {
        if (script->inDecode.exchange(true))
            script->overlapDetected = true;
        script->decodeEntered++;
        // The delay passes in small steps, with the abort callback asked between
        // them as the library's compute steps do.
        const auto end = std::chrono::steady_clock::now() + script->decodeDelay;
        do
        {
            if (abortCallback && abortCallback(abortData))
            {
                std::lock_guard<std::mutex> lock(script->recordMutex);
                script->abortedDecodes++;
                script->inDecode = false;
                return 2;
            }
            if (std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                    std::chrono::milliseconds(1), end - std::chrono::steady_clock::now()));
        } while (std::chrono::steady_clock::now() < end);
        std::vector<FakeDecodedToken> decoded;
        for (int32_t i = 0; i < batch.n_tokens && i < capacity; i++)
            decoded.push_back({batch.token[i], batch.pos[i], batch.logits[i] != 0});
        int32_t result = 0;
        {
            std::lock_guard<std::mutex> lock(script->recordMutex);
            script->decodes++;
            script->decodedBatches.push_back(decoded);
            lastBatch = decoded;
            if (script->failDecodeAt == script->decodes)
                result = 1;
        }
        script->inDecode = false;
        return result;
    }
    float* GetLogitsIth(llama_context*, int32_t i) override
    {
        std::lock_guard<std::mutex> lock(script->recordMutex);
        script->logitCalls++;
        script->logitIndices.push_back(i);
        if (script->nullLogitsAt == script->logitCalls)
            return nullptr;
        if (i < 0 || i >= (int32_t)lastBatch.size() || !lastBatch[(size_t)i].logits)
            return nullptr;
        std::vector<float> row = script->logitsByStep ? script->logitsByStep(script->logitCalls - 1)
                                                      : std::vector<float>((size_t)script->VocabSize(), 0.0f);
        row.resize((size_t)std::max(script->VocabSize(), 1), 0.0f);
        script->servedLogits.push_back(row);
        script->servedRows.push_back(std::make_unique<std::vector<float>>(row));
        return script->servedRows.back()->data();
    }
    int32_t VocabNTokens(const llama_vocab*) override { return script->VocabSize(); }
    bool VocabIsEog(const llama_vocab*, llama_token token) override { return script->eogTokens.count(token) != 0; }
    int32_t TokenToPiece(const llama_vocab*, llama_token token, char* buf, int32_t length, int32_t, bool) override
    {
        std::lock_guard<std::mutex> lock(script->recordMutex);
        script->pieceCalls++;
        if (script->failPieceAt == script->pieceCalls)
            return -1;
        if (token < 0 || token >= (llama_token)script->pieces.size())
            return -1;
        const std::string& piece = script->pieces[(size_t)token];
        if ((int32_t)piece.size() > length)
            return -(int32_t)piece.size();
        piece.copy(buf, piece.size());
        return (int32_t)piece.size();
    }

private:
    template <typename F> void Record(F f)
    {
        std::lock_guard<std::mutex> lock(script->recordMutex);
        f();
    }

    std::shared_ptr<FakeLlamaScript> script;
    FakeModel model;
    FakeContext context;
    FakeVocab vocab;
    int32_t capacity = 0;
    std::vector<FakeDecodedToken> lastBatch;
    ggml_abort_callback abortCallback = nullptr;
    void* abortData = nullptr;
};
} // namespace

std::vector<std::string> FakeByteTokenTable()
{
    std::vector<std::string> table{"<unk>", "<s>", "</s>"};
    for (int b = 0; b < 256; b++)
        table.push_back(std::string(1, (char)b));
    return table;
}

std::unique_ptr<LlamaBackend> MakeFakeLlamaBackend(std::shared_ptr<FakeLlamaScript> script)
{
    return std::make_unique<FakeLlamaBackend>(std::move(script));
}

std::vector<float> OneHotLogits(int32_t size, llama_token token, float value)
{
    std::vector<float> row((size_t)size, 0.0f);
    row[(size_t)token] = value;
    return row;
}

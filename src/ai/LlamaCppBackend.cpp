#include "ai/LlamaBackend.h"

namespace
{
class LlamaCppBackend final : public LlamaBackend
{
public:
    void BackendInit() override { llama_backend_init(); }
    void BackendFree() override { llama_backend_free(); }
    llama_model_params ModelDefaultParams() override { return llama_model_default_params(); }
    llama_model* ModelLoadFromFile(const char* path, llama_model_params params) override
    {
        return llama_model_load_from_file(path, params);
    }
    void ModelFree(llama_model* model) override { llama_model_free(model); }
    llama_context_params ContextDefaultParams() override { return llama_context_default_params(); }
    llama_context* InitFromModel(llama_model* model, llama_context_params params) override
    {
        return llama_init_from_model(model, params);
    }
    void Free(llama_context* ctx) override { llama_free(ctx); }
    const llama_vocab* ModelGetVocab(const llama_model* model) override { return llama_model_get_vocab(model); }
    int32_t Tokenize(const llama_vocab* vocab, const char* text, int32_t text_len, llama_token* tokens,
                     int32_t n_tokens_max, bool add_special, bool parse_special) override
    {
        return llama_tokenize(vocab, text, text_len, tokens, n_tokens_max, add_special, parse_special);
    }
    llama_batch BatchInit(int32_t n_tokens, int32_t embd, int32_t n_seq_max) override
    {
        return llama_batch_init(n_tokens, embd, n_seq_max);
    }
    void BatchFree(llama_batch batch) override { llama_batch_free(batch); }
    int32_t Decode(llama_context* ctx, llama_batch batch) override { return llama_decode(ctx, batch); }
    float* GetLogitsIth(llama_context* ctx, int32_t i) override { return llama_get_logits_ith(ctx, i); }
    int32_t VocabNTokens(const llama_vocab* vocab) override { return llama_vocab_n_tokens(vocab); }
    bool VocabIsEog(const llama_vocab* vocab, llama_token token) override { return llama_vocab_is_eog(vocab, token); }
    int32_t TokenToPiece(const llama_vocab* vocab, llama_token token, char* buf, int32_t length, int32_t lstrip,
                         bool special) override
    {
        return llama_token_to_piece(vocab, token, buf, length, lstrip, special);
    }
};
} // namespace

std::unique_ptr<LlamaBackend> MakeLlamaCppBackend() { return std::make_unique<LlamaCppBackend>(); }

// The narrow seam between LlamaCppIntegration and llama.cpp: one operation per
// llama.cpp call the integration makes, with the library's own types. The
// program uses the backend on the real library; tests may give a scripted one.
#pragma once

#include <llama.h>

#include <memory>

class LlamaBackend
{
public:
    virtual ~LlamaBackend() = default;

    virtual void BackendInit() = 0;
    virtual void BackendFree() = 0;
    virtual llama_model_params ModelDefaultParams() = 0;
    virtual llama_model* ModelLoadFromFile(const char* path, llama_model_params params) = 0;
    virtual void ModelFree(llama_model* model) = 0;
    virtual llama_context_params ContextDefaultParams() = 0;
    virtual llama_context* InitFromModel(llama_model* model, llama_context_params params) = 0;
    virtual void Free(llama_context* ctx) = 0;
    virtual const llama_vocab* ModelGetVocab(const llama_model* model) = 0;
    virtual int32_t Tokenize(const llama_vocab* vocab, const char* text, int32_t text_len, llama_token* tokens,
                             int32_t n_tokens_max, bool add_special, bool parse_special) = 0;
    virtual llama_batch BatchInit(int32_t n_tokens, int32_t embd, int32_t n_seq_max) = 0;
    virtual void BatchFree(llama_batch batch) = 0;
    virtual int32_t Decode(llama_context* ctx, llama_batch batch) = 0;
    virtual float* GetLogitsIth(llama_context* ctx, int32_t i) = 0;
    virtual int32_t VocabNTokens(const llama_vocab* vocab) = 0;
    virtual bool VocabIsEog(const llama_vocab* vocab, llama_token token) = 0;
    virtual int32_t TokenToPiece(const llama_vocab* vocab, llama_token token, char* buf, int32_t length, int32_t lstrip,
                                 bool special) = 0;
};

// The backend on the real llama.cpp.
std::unique_ptr<LlamaBackend> MakeLlamaCppBackend();

// A scripted stand-in for llama.cpp: a token table, logits chosen by the test,
// failures on request, and a record of every call the integration makes.
#pragma once

#include "ai/LlamaBackend.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct FakeDecodedToken
{
    llama_token token;
    llama_pos pos;
    bool logits;
};

struct FakeLlamaScript
{
    // Token table: id -> piece. Tokenising maps each prompt byte b to token
    // ByteToken(b), after BosToken when add_special is set.
    std::vector<std::string> pieces;
    static constexpr llama_token BosToken = 1;
    llama_token ByteTokenBase = 3;
    std::set<llama_token> eogTokens{2};
    bool addBos = true;

    // Logits of the k-th GetLogitsIth call: logitsByStep(k). Default: all zero.
    std::function<std::vector<float>(int step)> logitsByStep;

    // Failures: call numbers count from 1; 0 means never.
    bool failLoad = false;
    bool crashOnLoad = false; // the load takes the process down, as a damaged file can
    int failInitFromModelAt = 0;
    bool nullVocab = false;
    bool failTokenize = false;
    int failDecodeAt = 0;
    int nullLogitsAt = 0;
    int failPieceAt = 0;
    int vocabSizeOverride = -1;
    std::chrono::milliseconds decodeDelay{0};
    std::chrono::milliseconds loadDelay{0}; // passes in steps, asking the load's progress callback

    // Record.
    std::mutex recordMutex;
    int backendInits = 0, backendFrees = 0, modelLoads = 0, modelFrees = 0;
    int contextInits = 0, contextFrees = 0, decodes = 0, logitCalls = 0, pieceCalls = 0;
    int abortedDecodes = 0; // decodes ended by the context's abort callback
    int cancelledLoads = 0; // loads ended by the progress callback
    std::atomic<int> loadEntered{0};
    int liveBatches = 0;
    llama_model_params lastModelParams{};
    llama_context_params lastContextParams{};
    std::vector<std::vector<FakeDecodedToken>> decodedBatches;
    std::vector<int32_t> batchCapacities;
    std::vector<int32_t> logitIndices;
    std::vector<std::vector<float>> servedLogits; // copies kept by the fake, checked unchanged
    std::vector<std::unique_ptr<std::vector<float>>> servedRows;

    // Overlap detection for the concurrency tests.
    std::atomic<bool> inDecode{false};
    std::atomic<bool> overlapDetected{false};
    std::atomic<int> decodeEntered{0};

    int32_t VocabSize() const { return vocabSizeOverride >= 0 ? vocabSizeOverride : (int32_t)pieces.size(); }
};

// A token table of the three special tokens and one token per byte.
std::vector<std::string> FakeByteTokenTable();

std::unique_ptr<LlamaBackend> MakeFakeLlamaBackend(std::shared_ptr<FakeLlamaScript> script);

// Logits that make `token` the only maximum in a vocabulary of `size`.
std::vector<float> OneHotLogits(int32_t size, llama_token token, float value = 10.0f);

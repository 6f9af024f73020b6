// The "AI Assistant" chat window: history, input line, the engine that answers
// and the one background reply at a time.
//
// Threads: everything runs on the UI thread except GenerateResponse (the reply
// task, on a pool thread) and ForceReloadModel (the model download thread,
// through ReloadAIChatModel). Lock order: AIChatInstanceMutex, then the panel
// mutex, then the channel data mutex or the engine's locks. messagesMutex and
// choiceMutex are taken last and never held while another lock is taken.
#pragma once

#include "ai/AIAnalysisEngine.h"

#include <imgui.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct ChatMessage
{
    std::string text;
    bool isUser = false;
    int64_t timestampMs = 0;
};

// What became of a reload of the chat's model after a download.
enum ModelReloadResult
{
    ModelReloadReady,
    ModelReloadFailed,  // the model did not load; the failure text says why
    ModelReloadStopped, // the chat was closed meanwhile, or another load took over
    ModelReloadNoPanel, // no chat panel: the model loads when the chat opens
};

// A model file as the switch check sees it: there or not, its size and the
// time it last changed.
struct ModelFileState
{
    bool exists = false;
    uintmax_t size = 0;
    std::filesystem::file_time_type changed{};
    bool operator==(const ModelFileState&) const = default;
};

ModelFileState GetModelFileState(const std::string& path);

// A chosen model and the state of its file.
struct ModelFileChoice
{
    int id = -1;
    std::string path;
    ModelFileState file;
    bool operator==(const ModelFileChoice&) const = default;
};

// What one load of the chat's model came to.
struct ModelLoadResult
{
    bool ready = false;
    bool stopped = false;   // a stop request cancelled it: not a failure to report
    bool refused = false;   // the file's load never finished in an earlier run
    ModelFileChoice choice; // the model tried, its file as the load began
    std::string failure;    // why it did not load
};

class AIChatPanel
{
public:
    static constexpr size_t MaxMessages = 100;
    static constexpr size_t InputCapacity = 512;

    AIChatPanel();
    ~AIChatPanel();
    AIChatPanel(const AIChatPanel&) = delete;
    AIChatPanel& operator=(const AIChatPanel&) = delete;

    void AddMessage(const std::string& text, bool isUser);
    void SendMessage(const std::string& text);
    void Render();
    void RenderMessageArea();
    void RenderInput();
    void Update();

    // The reply task: holds the panel mutex for its whole run. labels are the
    // channel labels taken on the UI thread when the question was sent.
    std::string GenerateResponse(const std::string& question, const std::vector<std::string>& labels);
    std::string BuildDataContext(const std::vector<std::string>& labels);

    // Engine set-up, tear-down and the model switch.
    bool InitializeAI();
    // Loads model id (the settings' choice when negative) into a new engine.
    ModelLoadResult LoadModel(int id);
    void ShutdownAI();
    void CheckModelSwitch();
    // failure, when given, receives why a failed reload did not load the model;
    // model, the id of the model it tried.
    ModelReloadResult ForceReloadModel(std::string* failure = nullptr, int32_t* model = nullptr);

    // A copy of the history, safe from any thread.
    std::vector<ChatMessage> GetMessages();

    bool visible = true;
    std::vector<ChatMessage> messages; // guarded by messagesMutex
    char input[InputCapacity] = {};
    bool autoScroll = true;
    bool focusInput = false;
    ImVec4 userColor = ImVec4(0.2f, 0.5f, 0.9f, 1.0f);
    ImVec4 aiColor = ImVec4(1.0f, 1.0f, 1.0f, 1.0f);
    ImVec4 messageAreaBgColor = ImVec4(0.95f, 0.95f, 0.95f, 1.0f);
    std::unique_ptr<AIAnalysisEngine> engine;
    // Atomic: the switch check reads it without the mutex while a reload on the
    // download thread writes it.
    std::atomic<bool> aiInitialized{false};
    std::mutex mutex;
    std::atomic<bool> isProcessing{false};
    std::future<std::string> pendingResponse;
    float thinkingPhase = 0.0f;
    std::atomic<int> currentModelIndex{0};

    // Set by ShutdownAI while it waits for the mutex: a running reply stops
    // between tokens and a running load is cancelled, instead of running to
    // their end. Stays set once the panel is closing.
    std::atomic<bool> stopRequest{false};
    // Set by ShutdownAIChat before it waits for a reload on the download thread.
    std::atomic<bool> closing{false};
    // The last InitializeAI refused the model because its load never finished
    // in an earlier run; the switch check loads it once the user has chosen.
    std::atomic<bool> loadRefused{false};
    // The input line had keyboard focus on the last frame.
    bool inputFocused = false;

    // The history is also written by a reload on the download thread.
    std::mutex messagesMutex;
    // The greeting has been shown (guarded by messagesMutex).
    bool greeted = false;

    // The model the engine runs (while aiInitialized) and the one last tried,
    // each with its file as the load began. Loads write them under the panel
    // mutex; choiceMutex lets the switch check read them without waiting for a
    // reply or a load.
    std::mutex choiceMutex;
    ModelFileChoice loadedChoice;
    ModelFileChoice triedChoice;
    // UI thread: the choice the switch check last saw and since when, so that a
    // file still being written is not loaded.
    ModelFileChoice seenChoice;
    std::chrono::steady_clock::time_point seenSince;

    // The first model ready in this chat is announced by the greeting.
    void AddReadyMessage(const std::string& text);
    void RecordTried(const ModelFileChoice& choice);
    bool ModelFileSettled(const ModelFileChoice& choice);
    void RestorePreviousModel(const ModelFileChoice& previous, const ModelLoadResult& failed);
};

// The canned reply for a question while no data flows; context is inserted whole.
std::string CannedChatReply(const std::string& question, const std::string& context);

extern std::unique_ptr<AIChatPanel> AIChatPanelInstance;
// Held while the instance is replaced or reloaded from the download thread, so a
// reload never runs on a panel being destroyed.
extern std::mutex AIChatInstanceMutex;

void InitializeAIChat();
void ShutdownAIChat();
// failure, when given, receives why a failed reload did not load the model;
// model, the id of the model it tried (left alone when no load was tried).
ModelReloadResult ReloadAIChatModel(std::string* failure = nullptr, int32_t* model = nullptr);

// The backend the panel's engines are built on; empty means the real llama.cpp.
// Tests set a scripted one.
void SetAIChatBackendFactory(AIAnalysisEngine::BackendFactory factory);

#include "ai/AIChatPanel.h"

#include "ai/AIDataContext.h"
#include "ai/AISettings.h"
#include "dock/Dock.h"
#include "ui/ChannelLabels.h"
#include "ui/DashboardSettings.h"

#include <imgui_internal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <thread>

std::unique_ptr<AIChatPanel> AIChatPanelInstance;
std::mutex AIChatInstanceMutex;

static AIAnalysisEngine::BackendFactory ChatBackendFactory;

static const char* const UserGlyph = "\xef\x80\x87";      // U+F007
static const char* const AssistantGlyph = "\xef\x95\x84"; // U+F544

void SetAIChatBackendFactory(AIAnalysisEngine::BackendFactory factory) { ChatBackendFactory = std::move(factory); }

static void PrintLine(const std::string& line) { std::cout << line << std::endl; }

static const char* ModelDisplayName(int id)
{
    switch (id)
    {
    case 0: return "Phi Mini 2";
    case 1: return "Llama 3.2 3B";
    case 2: return "Llama 3.2 1B";
    }
    return "Unknown model";
}

// Why a model file is not loaded again after a load of it never finished.
static std::string RefusalText(const std::string& path)
{
    return "The model file " + path +
           " did not finish loading last time (the program may have crashed while loading it), so it is not "
           "loaded again. Choose or download a model in Settings > AI Model Settings to try again.";
}

// The chat line that says which model did not load, and why.
static std::string LoadFailureText(const ModelLoadResult& load)
{
    if (load.refused)
        return RefusalText(load.choice.path);
    std::string text = std::string("Could not load ") + ModelDisplayName(load.choice.id);
    if (!load.failure.empty())
        text += ": " + load.failure;
    return text + ".";
}

//-----------------------------------------------------------------------------
// Panel life
//-----------------------------------------------------------------------------

static const char* const ReadyGreeting = "AI Assistant ready! Ask me about your data.";
static const char* const UnavailableText =
    "AI model unavailable. Please ensure the AI model is properly installed and configured.";

// The history starts with the greeting or the unavailable line once the first
// load has run (InitializeAIChat).
AIChatPanel::AIChatPanel() = default;

AIChatPanel::~AIChatPanel()
{
    ShutdownAI();
    // A reply still running ends before its future goes; its text is dropped.
    if (pendingResponse.valid())
        pendingResponse.wait();
}

void InitializeAIChat()
{
    if (AIChatPanelInstance)
        return;
    // The panel is built and its model loaded before it is published, so a
    // reload from the download thread never sees a half-made panel.
    std::unique_ptr<AIChatPanel> panel = std::make_unique<AIChatPanel>();
    PrintLine("AI Chat Panel initialized");
    PrintLine("Initializing AI analysis engine...");
    const ModelLoadResult load = panel->LoadModel(-1);
    if (load.ready)
    {
        PrintLine("AI analysis engine initialized successfully!");
        panel->AddReadyMessage(ReadyGreeting);
    }
    else
    {
        PrintLine("AI analysis engine initialization failed - AI model unavailable");
        PrintLine("Note: AI Chat will show 'AI model unavailable' message");
        panel->AddMessage(UnavailableText, false);
        if (!load.stopped)
            panel->AddMessage(LoadFailureText(load), false);
    }
    std::lock_guard<std::mutex> lock(AIChatInstanceMutex);
    AIChatPanelInstance = std::move(panel);
}

void ShutdownAIChat()
{
    // A reload on the download thread holds the instance lock while it loads:
    // ask it to stop first. Only this thread replaces the instance, so reading
    // it needs no lock here.
    if (AIChatPanelInstance)
    {
        AIChatPanelInstance->closing.store(true);
        AIChatPanelInstance->stopRequest.store(true);
    }
    std::unique_ptr<AIChatPanel> panel;
    {
        // Waits for a reload running on the download thread.
        std::lock_guard<std::mutex> lock(AIChatInstanceMutex);
        panel = std::move(AIChatPanelInstance);
    }
    if (!panel)
        return;
    panel.reset();
    PrintLine("AI Chat Panel shutdown");
}

ModelReloadResult ReloadAIChatModel(std::string* failure, int32_t* model)
{
    std::lock_guard<std::mutex> lock(AIChatInstanceMutex);
    if (!AIChatPanelInstance)
        return ModelReloadNoPanel;
    return AIChatPanelInstance->ForceReloadModel(failure, model);
}

//-----------------------------------------------------------------------------
// Messages
//-----------------------------------------------------------------------------

void AIChatPanel::AddMessage(const std::string& text, bool isUser)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    std::lock_guard<std::mutex> lock(messagesMutex);
    messages.push_back(ChatMessage{text, isUser, ms});
    if (messages.size() > MaxMessages)
        messages.erase(messages.begin());
    autoScroll = true;
}

std::vector<ChatMessage> AIChatPanel::GetMessages()
{
    std::lock_guard<std::mutex> lock(messagesMutex);
    return messages;
}

void AIChatPanel::SendMessage(const std::string& text)
{
    AddMessage(text, true);
    if (isProcessing.load())
    {
        AddMessage("Please wait for the current response to complete...", false);
        return;
    }

    bool available;
    {
        std::lock_guard<std::mutex> lock(mutex);
        available = aiInitialized.load() && engine && engine->IsReady();
    }
    if (!available)
    {
        AddMessage(UnavailableText, false);
        return;
    }

    isProcessing.store(true);
    thinkingPhase = 0.0f;
    // The labels are UI-thread state: take them here, the task gets a copy.
    std::vector<std::string> labels;
    GetChannelLabels(labels);
    pendingResponse = std::async(std::launch::async, [this, question = text, labels = std::move(labels)] {
        return GenerateResponse(question, labels);
    });
}

//-----------------------------------------------------------------------------
// Reply task
//-----------------------------------------------------------------------------

std::string AIChatPanel::BuildDataContext(const std::vector<std::string>& labels)
{
    return BuildDataContextText(labels);
}

std::string CannedChatReply(const std::string& question, const std::string& context)
{
    std::string lower = question;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    auto has = [&lower](const char* word) { return lower.find(word) != std::string::npos; };

    if (IsGreeting(lower))
        return "Hello! I'm your AI assistant. " + context +
               " Once you connect a serial device and start receiving data, I'll be able to help you analyze your "
               "data streams.";
    if (has("how are you"))
        return "I'm ready to help! " + context +
               " Connect a serial device to start receiving data, and I'll be able to provide real-time analysis.";
    if (has("analyze") || has("data"))
        return "I'm ready to analyze data, but " + context +
               " Please connect a serial device first to start receiving data readings.";
    return "I understand your question: \"" + question + "\". " + context +
           " Once you have active data streams, I can help with analysis, anomaly detection, and system monitoring.";
}

std::string AIChatPanel::GenerateResponse(const std::string& question, const std::vector<std::string>& labels)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!engine || !aiInitialized.load())
        return "AI is not ready. Please try again later.";
    try
    {
        const std::string context = BuildDataContext(labels);
        if (context.find("No data streams currently active") != std::string::npos)
            return CannedChatReply(question, context);
        const std::string reply = engine->GenerateConversationalResponse(question, context, &stopRequest);
        if (stopRequest.load())
        {
            const std::string note = "(Reply stopped: the AI model is being switched or closed.)";
            return reply.empty() ? note : reply + "\n" + note;
        }
        return reply;
    }
    catch (const std::exception& e)
    {
        PrintLine(std::string("Error generating AI response: ") + e.what());
        return "I encountered an error processing your request. Please try again.";
    }
}

//-----------------------------------------------------------------------------
// Drawing
//-----------------------------------------------------------------------------

void AIChatPanel::Render()
{
    if (!visible)
        return;
    if (GetThemeIndex() == 0)
    {
        aiColor = ImVec4(0.0f, 0.0f, 0.0f, 1.0f);
        messageAreaBgColor = ImVec4(0.95f, 0.95f, 0.95f, 1.0f);
    }
    else
    {
        aiColor = ImVec4(1.0f, 1.0f, 1.0f, 1.0f);
        messageAreaBgColor = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
    }
    ImGui::SetNextWindowSize(ImVec2(400.0f, 500.0f), ImGuiCond_FirstUseEver);
    if (dock::Begin("AI Assistant", nullptr, 0))
    {
        RenderMessageArea();
        ImGui::Separator();
        RenderInput();
        Update();
    }
    dock::End();
}

void AIChatPanel::RenderMessageArea()
{
    ImGui::PushStyleColor(ImGuiCol_ChildBg, messageAreaBgColor);
    if (ImGui::BeginChild("MessageArea", ImVec2(0.0f, -60.0f), ImGuiChildFlags_Borders,
                          ImGuiWindowFlags_AlwaysVerticalScrollbar))
    {
        std::lock_guard<std::mutex> lock(messagesMutex);
        for (const ChatMessage& message : messages)
        {
            ImGui::PushID(&message);
            ImGui::PushStyleColor(ImGuiCol_Text, message.isUser ? userColor : aiColor);
            ImGui::SetWindowFontScale(1.2f);
            if (message.isUser)
                ImGui::TextWrapped("%s You: %s", UserGlyph, message.text.c_str());
            else
                ImGui::TextWrapped("%s: %s", AssistantGlyph, message.text.c_str());
            ImGui::SetWindowFontScale(1.0f);
            ImGui::PopStyleColor();
            ImGui::Spacing();
            ImGui::PopID();
        }

        if (isProcessing.load())
        {
            ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.6f, 0.6f, 0.6f, 1.0f));
            ImGui::SetWindowFontScale(1.2f);
            thinkingPhase += 2.0f * ImGui::GetIO().DeltaTime;
            const int dots = (int)std::fmod(std::floor(thinkingPhase), 4.0f);
            static const char* const Dots[] = {"", ".", "..", "..."};
            ImGui::TextWrapped("%s: Thinking%s", AssistantGlyph, Dots[dots & 3]);
            ImGui::SetWindowFontScale(1.0f);
            ImGui::PopStyleColor();
            ImGui::Spacing();
        }

        if (autoScroll && ImGui::GetScrollY() >= ImGui::GetScrollMaxY())
            ImGui::SetScrollHereY(1.0f);
    }
    ImGui::EndChild();
    ImGui::PopStyleColor();
}

// Appends one character as UTF-8 when the whole sequence fits in the line.
static void AppendUtf8(char* input, unsigned code)
{
    char bytes[4];
    int n;
    if (code < 0x80)
    {
        bytes[0] = (char)code;
        n = 1;
    }
    else if (code < 0x800)
    {
        bytes[0] = (char)(0xC0 | (code >> 6));
        bytes[1] = (char)(0x80 | (code & 0x3F));
        n = 2;
    }
    else if (code < 0x10000)
    {
        bytes[0] = (char)(0xE0 | (code >> 12));
        bytes[1] = (char)(0x80 | ((code >> 6) & 0x3F));
        bytes[2] = (char)(0x80 | (code & 0x3F));
        n = 3;
    }
    else
    {
        bytes[0] = (char)(0xF0 | (code >> 18));
        bytes[1] = (char)(0x80 | ((code >> 12) & 0x3F));
        bytes[2] = (char)(0x80 | ((code >> 6) & 0x3F));
        bytes[3] = (char)(0x80 | (code & 0x3F));
        n = 4;
    }
    const size_t len = std::strlen(input);
    if (len + (size_t)n > AIChatPanel::InputCapacity - 1)
        return;
    std::memcpy(input + len, bytes, (size_t)n);
    input[len + (size_t)n] = 0;
}

// Removes the last character, with all of its UTF-8 bytes.
static void RemoveLastUtf8(char* input)
{
    size_t len = std::strlen(input);
    while (len > 0)
    {
        len--;
        const unsigned char c = (unsigned char)input[len];
        if ((c & 0xC0) != 0x80)
            break;
    }
    input[len] = 0;
}

void AIChatPanel::RenderInput()
{
    const bool dark = GetThemeIndex() != 0;
    ImGui::SetWindowFontScale(1.2f);

    const ImVec2 pos = ImGui::GetCursorScreenPos();
    const ImVec2 size(ImGui::GetContentRegionAvail().x - 70.0f, 1.2f * ImGui::GetFontSize());
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddRectFilled(pos, ImVec2(pos.x + size.x, pos.y + size.y),
                        dark ? IM_COL32(38, 38, 38, 255) : IM_COL32(242, 242, 242, 255), 0.0f);
    draw->AddRect(pos, ImVec2(pos.x + size.x, pos.y + size.y), IM_COL32(100, 100, 100, 255), 0.0f, 0, 1.0f);

    ImGui::SetCursorScreenPos(pos);
    ImGui::InvisibleButton("##ChatInput", ImVec2(std::max(size.x, 1.0f), std::max(size.y, 1.0f)));
    if (ImGui::IsItemClicked(ImGuiMouseButton_Left) || focusInput)
    {
        ImGui::SetKeyboardFocusHere(-1);
        focusInput = false;
    }

    bool send = false;
    const bool active = ImGui::IsItemFocused() || ImGui::IsItemActive();
    if (active)
    {
        ImGuiIO& io = ImGui::GetIO();
        for (int i = 0; i < io.InputQueueCharacters.Size; i++)
            if (io.InputQueueCharacters[i] != 0)
                AppendUtf8(input, (unsigned)io.InputQueueCharacters[i]);
        if (ImGui::IsKeyPressed(ImGuiKey_Enter, true) || ImGui::IsKeyPressed(ImGuiKey_KeypadEnter, true))
            send = true;
        if (ImGui::IsKeyPressed(ImGuiKey_Backspace, true))
            RemoveLastUtf8(input);
    }
    // Escape clears the line only when pressed in it. Keyboard navigation takes
    // the focus off the line on the frame Escape goes down, so the focus of the
    // last frame counts; Escape in the message list leaves the text alone.
    if ((active || inputFocused) && ImGui::IsKeyPressed(ImGuiKey_Escape, true))
    {
        std::memset(input, 0, sizeof(input));
        focusInput = true;
    }
    inputFocused = active;

    const ImU32 textColor = dark ? IM_COL32(255, 255, 255, 255) : IM_COL32(0, 0, 0, 255);
    const ImVec2 textPos(pos.x + 4.0f, pos.y + 4.0f);
    draw->AddText(textPos, textColor, input);
    if (active && std::fmod(ImGui::GetTime(), 1.0) < 0.5)
    {
        const float x = textPos.x + ImGui::CalcTextSize(input).x + 2.0f;
        draw->AddLine(ImVec2(x, textPos.y), ImVec2(x, textPos.y + ImGui::GetFontSize() - 4.0f), textColor, 2.0f);
    }
    ImGui::SetWindowFontScale(1.0f);

    ImGui::SameLine();
    const bool processing = isProcessing.load();
    ImGui::BeginDisabled(processing);
    if (ImGui::Button("Send"))
        send = true;
    ImGui::EndDisabled();

    if (send && !isProcessing.load())
    {
        const std::string text = input;
        if (!text.empty())
        {
            std::memset(input, 0, sizeof(input));
            SendMessage(text);
            focusInput = true;
        }
    }

    ImGui::TextUnformatted(isProcessing.load() ? "AI is thinking... (your data continues flowing)"
                                               : "Press Enter to send message");
}

void AIChatPanel::Update()
{
    CheckModelSwitch();
    if (isProcessing.load() && pendingResponse.valid())
    {
        if (pendingResponse.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        {
            const std::string reply = pendingResponse.get();
            AddMessage(reply, false);
            isProcessing.store(false);
            thinkingPhase = 0.0f;
        }
    }
}

//-----------------------------------------------------------------------------
// Engine set-up, switch and reload
//-----------------------------------------------------------------------------

// A model file written this long ago, or seen unchanged this long, is complete
// as far as the check can tell; one still being copied in changes sooner.
static constexpr std::chrono::seconds ModelFileSettleTime{2};

static const char* const SwitchedText = "AI model switched successfully! New model is ready.";
static const char* const SwitchFailedText = "Failed to switch AI model. Please check settings.";
static const char* const ReloadedText = "AI model reloaded successfully! Model is ready to use.";
static const char* const ReloadFailedText = "Failed to reload AI model. Please check model availability.";

static std::string ResolveModelPath(const AIConfig& config, int id)
{
    if (!config.modelPathOverride.empty())
        return config.modelPathOverride;
    return config.GetModelPath(id);
}

// One stat a frame. Any error counts as a missing file.
ModelFileState GetModelFileState(const std::string& path)
{
    ModelFileState state;
    struct stat info;
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return state;
    state.exists = true;
    state.size = (uintmax_t)info.st_size;
    const std::chrono::sys_time<std::chrono::nanoseconds> changed{std::chrono::seconds(info.st_mtim.tv_sec) +
                                                                  std::chrono::nanoseconds(info.st_mtim.tv_nsec)};
    state.changed = std::chrono::file_clock::from_sys(changed);
    return state;
}

void AIChatPanel::AddReadyMessage(const std::string& text)
{
    bool first;
    {
        std::lock_guard<std::mutex> lock(messagesMutex);
        first = !greeted;
        greeted = true;
    }
    AddMessage(first ? ReadyGreeting : text, false);
}

void AIChatPanel::RecordTried(const ModelFileChoice& choice)
{
    std::lock_guard<std::mutex> lock(choiceMutex);
    triedChoice = choice;
}

bool AIChatPanel::InitializeAI() { return LoadModel(-1).ready; }

ModelLoadResult AIChatPanel::LoadModel(int id)
{
    std::lock_guard<std::mutex> lock(mutex);
    ModelLoadResult result;
    try
    {
        const AIConfig config = GetAIConfig();
        if (id < 0)
            id = config.modelId;
        result.choice.id = id;
        PrintLine(std::string("Selected AI Model: ") + ModelDisplayName(id));

        AIAnalysisConfig analysis;
        analysis.analysisSwitch1 = config.analysisSwitch1;
        analysis.analysisSwitch2 = config.analysisSwitch2;
        analysis.analysisSwitch3 = config.analysisSwitch3;
        analysis.analysisFactor = 0.7f;
        analysis.analysisIntervalMs = (uint32_t)config.analysisIntervalMs;
        analysis.analysisLimit = config.analysisLimit;

        const std::string path = ResolveModelPath(config, id);
        result.choice.path = path;
        result.choice.file = GetModelFileState(path);
        RecordTried(result.choice);
        PrintLine("Model path from config: " + path);
        if (result.choice.file.exists)
            PrintLine("Model file found: " + path + " (Size: " + std::to_string(result.choice.file.size / 1048576) +
                      " MB)");
        else
            PrintLine("Model file NOT found: " + path);

        // A load of this file that never returned in an earlier run most likely
        // took the program down: do not try it again until the user chooses.
        loadRefused.store(false);
        if (!path.empty() && ReadModelLoadMarker() == path)
        {
            PrintLine("Warning: " + RefusalText(path));
            result.refused = true;
            result.failure = "the model file " + path + " did not finish loading last time";
            loadRefused.store(true);
            engine.reset();
            return result;
        }

        analysis.modelPath = path;
        engine.reset();
        if (ChatBackendFactory)
            engine = std::make_unique<AIAnalysisEngine>(analysis, ChatBackendFactory);
        else
            engine = std::make_unique<AIAnalysisEngine>(analysis);

        // The marker names the file while the library loads it; a crash leaves it behind.
        const bool marked = WriteModelLoadMarker(path);
        bool ready = false;
        try
        {
            ready = engine->Initialize(&stopRequest);
        }
        catch (...)
        {
            if (marked)
                RemoveModelLoadMarker();
            throw;
        }
        if (marked)
            RemoveModelLoadMarker();

        if (ready)
        {
            aiInitialized.store(true);
            currentModelIndex.store(id);
            {
                std::lock_guard<std::mutex> choiceLock(choiceMutex);
                loadedChoice = result.choice;
            }
            PrintLine("AI Analysis engine initialized successfully!");
            result.ready = true;
            return result;
        }
        // A load cancelled by a close or a switch is no failure to report.
        result.stopped = engine->LoadStopped();
        result.failure = engine->LoadFailure();
        if (!result.stopped)
            PrintLine("Failed to initialize AI Analysis engine");
        engine.reset();
        return result;
    }
    catch (const std::exception& e)
    {
        PrintLine(std::string("Exception initializing AI: ") + e.what());
        result.failure = e.what();
        engine.reset();
        return result;
    }
}

void AIChatPanel::ShutdownAI()
{
    // A running reply or model load holds the mutex until it ends: ask it to
    // stop now rather than wait for all of it.
    stopRequest.store(true);
    std::lock_guard<std::mutex> lock(mutex);
    if (engine)
    {
        engine->Shutdown();
        engine.reset();
    }
    aiInitialized.store(false);
    stopRequest.store(false);
    // A close asked meanwhile keeps its request for the loads still to come.
    if (closing.load())
        stopRequest.store(true);
}

bool AIChatPanel::ModelFileSettled(const ModelFileChoice& choice)
{
    const auto now = std::chrono::steady_clock::now();
    if (!(choice == seenChoice))
    {
        seenChoice = choice;
        seenSince = now;
    }
    const auto age = std::filesystem::file_time_type::clock::now() - choice.file.changed;
    return age >= ModelFileSettleTime || now - seenSince >= ModelFileSettleTime;
}

// After a failed load: says which model failed, and loads again the model the
// chat ran before when its file is still the one it ran.
void AIChatPanel::RestorePreviousModel(const ModelFileChoice& previous, const ModelLoadResult& failed)
{
    std::string text = LoadFailureText(failed);
    if (previous.id >= 0 && GetModelFileState(previous.path) == previous.file)
    {
        const ModelLoadResult again = LoadModel(previous.id);
        if (again.ready)
            text += std::string(" Still using ") + ModelDisplayName(previous.id) + ".";
        else if (!again.stopped)
            text += std::string(" ") + ModelDisplayName(previous.id) + " could not be loaded again either.";
        // The failed choice stays the one tried, so it is not tried every frame.
        RecordTried(failed.choice);
    }
    AddMessage(text, false);
}

void AIChatPanel::CheckModelSwitch()
{
    // Every frame: one stat of the settings file and one of the chosen model's.
    ReloadAISettingsIfChanged();
    const AIConfig config = GetAIConfig();
    ModelFileChoice want;
    want.id = config.modelId;
    want.path = ResolveModelPath(config, want.id);
    want.file = GetModelFileState(want.path);

    ModelFileChoice loaded, tried;
    {
        std::lock_guard<std::mutex> lock(choiceMutex);
        loaded = loadedChoice;
        tried = triedChoice;
    }
    const bool working = aiInitialized.load();
    if (working && want == loaded)
    {
        // The running model counts as the last one tried, so a model that
        // failed earlier is tried again when the user chooses it again.
        RecordTried(want);
        return;
    }
    // A refused model is tried again once the user has chosen or downloaded a model.
    std::error_code error;
    const bool refusalLifted = loadRefused.load() && !std::filesystem::exists(ModelLoadMarkerPath(), error);
    if (want == tried && !refusalLifted)
        return;
    if (want.file.exists && !ModelFileSettled(want))
        return;

    const bool newChoice = want.id != tried.id || want.path != tried.path;
    // Another model than the one the chat ran is a switch, also when its file
    // only appeared after the switch to it failed; the same model's changed
    // file is a reload. A chat that never ran one goes by the last try.
    const bool switching = loaded.id >= 0 ? want.id != loaded.id || want.path != loaded.path : newChoice;
    if (!want.file.exists || want.file.size == 0)
    {
        RecordTried(want);
        if (!want.file.exists && newChoice)
            AddMessage("Cannot switch: Model file not found: " + want.path, false);
        else if (want.file.exists)
            AddMessage("Cannot switch: Model file is corrupted (0 bytes). Please download a valid model.", false);
        return;
    }

    if (!working)
        PrintLine("Loading the chosen AI model: " + want.path);
    else if (want.id != currentModelIndex.load())
        PrintLine("Model switch detected! Switching from " + std::to_string(currentModelIndex.load()) + " to " +
                  std::to_string(want.id));
    else
        PrintLine("Model file changed, loading it again: " + want.path);
    ShutdownAI();
    currentModelIndex.store(want.id);
    const ModelLoadResult load = LoadModel(want.id);
    if (load.ready)
    {
        AddReadyMessage(switching ? SwitchedText : ReloadedText);
        return;
    }
    if (load.stopped)
        return;
    AddMessage(switching ? SwitchFailedText : ReloadFailedText, false);
    RestorePreviousModel(working ? loaded : ModelFileChoice(), load);
}

ModelReloadResult AIChatPanel::ForceReloadModel(std::string* failure, int32_t* model)
{
    PrintLine("Force reloading AI model...");
    ModelFileChoice previous;
    if (aiInitialized.load())
    {
        std::lock_guard<std::mutex> lock(choiceMutex);
        previous = loadedChoice;
    }
    ShutdownAI();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // Closed meanwhile: the panel goes, there is nothing to load it for.
    if (closing.load())
        return ModelReloadStopped;
    ReloadAISettingsQuietly();
    const ModelLoadResult load = LoadModel(-1);
    if (model)
        *model = load.choice.id;
    if (load.ready)
    {
        AddReadyMessage(ReloadedText);
        PrintLine("AI model reloaded successfully!");
        return ModelReloadReady;
    }
    if (load.stopped)
        return ModelReloadStopped;
    AddMessage(ReloadFailedText, false);
    PrintLine("Failed to reload AI model.");
    if (failure)
        *failure = load.failure;
    RestorePreviousModel(previous, load);
    return ModelReloadFailed;
}

// Chat panel: history, canned replies, the send path's answers, the reply task
// on the scripted backend, the model switch and reload.
#include "chat_test_setup.h"

#include "serial/ChannelData.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>

using chattest::ChatDirectory;
using chattest::OpenChat;
using chattest::ScriptReplying;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace
{
const std::string NoData = "No data streams currently active. Connect a serial device to see real-time data.";
const std::string Greeting = "AI Assistant ready! Ask me about your data.";
const std::string Unavailable =
    "AI model unavailable. Please ensure the AI model is properly installed and configured.";

std::string Reply(AIChatPanel& panel)
{
    EXPECT_TRUE(panel.pendingResponse.valid());
    return panel.pendingResponse.valid() ? panel.pendingResponse.get() : std::string();
}

void SetHistories(const std::vector<std::vector<float>>& histories)
{
    std::lock_guard<std::mutex> lock(ChannelDataMutex);
    ChannelHistories = histories;
}

std::string LastText(AIChatPanel& panel)
{
    std::vector<ChatMessage> m = panel.GetMessages();
    return m.empty() ? std::string() : m.back().text;
}

// Two frames' switch checks, and the history after them.
std::vector<ChatMessage> TwoFrames(AIChatPanel& panel)
{
    panel.CheckModelSwitch();
    panel.CheckModelSwitch();
    return panel.GetMessages();
}
} // namespace

TEST(AIChatPanel, HistoryKeepsTheLatestHundred)
{
    AIChatPanel panel;
    panel.AddMessage("m0", false);
    std::vector<ChatMessage> m = panel.GetMessages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_FALSE(m[0].isUser);
    const int64_t now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    EXPECT_LE(std::llabs(m[0].timestampMs - now), 5000);

    for (int i = 1; i <= 100; i++)
        panel.AddMessage("m" + std::to_string(i), i % 2 == 0);
    m = panel.GetMessages();
    ASSERT_EQ(m.size(), 100u);
    EXPECT_EQ(m.front().text, "m1"); // the first message went first
    EXPECT_EQ(m.back().text, "m100");
    EXPECT_TRUE(m.back().isUser);
    for (size_t i = 1; i < m.size(); i++)
        EXPECT_LE(m[i - 1].timestampMs, m[i].timestampMs);
}

TEST(AIChatPanel, CannedRepliesByKeyword)
{
    EXPECT_EQ(CannedChatReply("Hi", NoData),
              "Hello! I'm your AI assistant. " + NoData +
                  " Once you connect a serial device and start receiving data, I'll be able to help you analyze your "
                  "data streams.");
    const std::string hello = CannedChatReply("hello", NoData);
    EXPECT_EQ(CannedChatReply("HELLO", NoData), hello);
    // Greetings count as whole words only: not the "hi" inside this or which.
    EXPECT_EQ(CannedChatReply("Hi, machine!", NoData), hello);
    EXPECT_EQ(CannedChatReply("Which is this?", NoData).rfind("I understand your question: \"Which is this?\"", 0), 0u);
    EXPECT_EQ(CannedChatReply("How are you", NoData),
              "I'm ready to help! " + NoData +
                  " Connect a serial device to start receiving data, and I'll be able to provide real-time analysis.");
    const std::string analyze = "I'm ready to analyze data, but " + NoData +
                                " Please connect a serial device first to start receiving data readings.";
    EXPECT_EQ(CannedChatReply("Show data", NoData), analyze);
    EXPECT_EQ(CannedChatReply("Analyze trend", NoData), analyze);
    EXPECT_EQ(CannedChatReply("Status?", NoData),
              "I understand your question: \"Status?\". " + NoData +
                  " Once you have active data streams, I can help with analysis, anomaly detection, and system "
                  "monitoring.");
    // Bytes above 127 stay as they are, and the question is quoted as typed.
    EXPECT_EQ(CannedChatReply("\xc3\x84RGER", "c"), "I understand your question: \"\xc3\x84RGER\". c Once you have "
                                                    "active data streams, I can help with analysis, anomaly "
                                                    "detection, and system monitoring.");
}

TEST(AIChatPanel, UnavailableModelAndPleaseWait)
{
    ChatDirectory dir;
    dir.Settings(1, true);
    CaptureStdout();
    AIChatPanel panel;
    EXPECT_FALSE(panel.InitializeAI()); // no model file
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Model file NOT found: " + AIConfig().GetModelPath(1)), std::string::npos) << out;
    EXPECT_FALSE(panel.engine);

    panel.SendMessage("Hi");
    std::vector<ChatMessage> m = panel.GetMessages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, "Hi");
    EXPECT_TRUE(m[0].isUser);
    EXPECT_EQ(m[1].text, Unavailable);
    EXPECT_FALSE(panel.isProcessing.load());
    EXPECT_FALSE(panel.pendingResponse.valid());

    // While a reply is pending the question is shown and dropped.
    panel.isProcessing.store(true);
    panel.SendMessage("again");
    m = panel.GetMessages();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[2].text, "again");
    EXPECT_EQ(m[3].text, "Please wait for the current response to complete...");
    EXPECT_FALSE(panel.pendingResponse.valid());
    panel.isProcessing.store(false);

    // The task itself answers "not ready" without an engine.
    EXPECT_EQ(panel.GenerateResponse("q", {}), "AI is not ready. Please try again later.");
}

TEST(AIChatPanel, ReplyTaskOnTheScriptedModel)
{
    ChatDirectory dir;
    dir.Settings(1, true);
    dir.ModelFile(1);
    dir.UseScript(ScriptReplying("The voltage looks steady to me."));
    AIChatPanel panel;
    CaptureStdout();
    ASSERT_TRUE(panel.InitializeAI());
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Selected AI Model: Llama 3.2 3B\n"), std::string::npos) << out;
    EXPECT_NE(out.find("(Size: 0 MB)"), std::string::npos) << out;
    EXPECT_TRUE(panel.aiInitialized.load());
    EXPECT_EQ(panel.currentModelIndex.load(), 1);

    // No channels: the canned reply, without asking the model.
    SetHistories({});
    panel.SendMessage("How are you");
    EXPECT_TRUE(panel.isProcessing.load());
    EXPECT_EQ(Reply(panel), CannedChatReply("How are you", NoData));
    panel.isProcessing.store(false);

    // With a channel, every question goes to the model, whatever it says.
    SetHistories({{1.0f, 1.5f}});
    panel.SendMessage("Hi");
    const std::string answer = Reply(panel);
    EXPECT_NE(answer.find("The voltage looks steady to me."), std::string::npos) << answer;
    panel.isProcessing.store(false);
    SetHistories({});
}

TEST(AIChatPanel, ModelSwitchAndForcedReload)
{
    ChatDirectory dir;
    dir.Settings(1, true);
    dir.ModelFile(1);
    dir.UseScript(ScriptReplying("x"));
    CaptureStdout();
    AIChatPanel& panel = OpenChat();
    ASSERT_TRUE(panel.aiInitialized.load());

    // Same model: nothing happens.
    panel.CheckModelSwitch();
    EXPECT_EQ(panel.GetMessages().size(), 1u);

    // A model without a file: one chat line, the old engine stays.
    dir.Settings(0, true);
    std::vector<ChatMessage> m = TwoFrames(panel);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[1].text, "Cannot switch: Model file not found: " + AIConfig().GetModelPath(0));
    EXPECT_EQ(panel.currentModelIndex.load(), 1); // the model the engine runs
    EXPECT_TRUE(panel.aiInitialized.load());
    EXPECT_TRUE(panel.engine);

    // An empty file is refused.
    dir.ModelFile(2, 0);
    dir.Settings(2, true);
    panel.CheckModelSwitch();
    EXPECT_EQ(LastText(panel), "Cannot switch: Model file is corrupted (0 bytes). Please download a valid model.");

    // Back to the model the engine still runs: nothing to load.
    dir.Settings(1, true);
    panel.CheckModelSwitch();
    EXPECT_EQ(panel.GetMessages().size(), 3u);

    // A file that the engine cannot load, and the old model fails again too:
    // the chat says which failed and is left without a model.
    dir.ModelFile(0);
    auto failing = ScriptReplying("x");
    failing->failLoad = true;
    dir.UseScript(failing);
    dir.Settings(0, true);
    panel.CheckModelSwitch();
    m = panel.GetMessages();
    EXPECT_EQ(m.rbegin()[1].text, "Failed to switch AI model. Please check settings.");
    EXPECT_NE(m.back().text.find(". Llama 3.2 3B could not be loaded again either."), std::string::npos);
    EXPECT_FALSE(panel.aiInitialized.load());
    EXPECT_FALSE(panel.engine);

    // The forced reload brings it back, and reports a failure too.
    dir.Settings(1, true);
    dir.UseScript(ScriptReplying("x"));
    panel.ForceReloadModel();
    EXPECT_EQ(LastText(panel), "AI model reloaded successfully! Model is ready to use.");
    EXPECT_TRUE(panel.aiInitialized.load());
    std::filesystem::remove(AIConfig().GetModelPath(1));
    panel.ForceReloadModel();
    EXPECT_EQ(panel.GetMessages().rbegin()[1].text, "Failed to reload AI model. Please check model availability.");
    ShutdownAIChat();
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Model switch detected! Switching from 1 to 0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Force reloading AI model...\n"), std::string::npos);
    EXPECT_NE(out.find("Failed to reload AI model.\n"), std::string::npos);
}

TEST(AIChatPanel, AModelWhoseLoadCrashedIsNotLoadedAgainUntilChosen)
{
    ChatDirectory dir;
    dir.Settings(1, true);
    const std::string model = dir.ModelFile(1);
    auto crashing = ScriptReplying("x");
    crashing->crashOnLoad = true;
    dir.UseScript(crashing);
    // The library takes the process down while loading: the marker stays behind.
    EXPECT_DEATH(InitializeAIChat(), "");
    EXPECT_EQ(ReadModelLoadMarker(), model);

    // The next start does not load that file; the chat and the console say why.
    auto script = ScriptReplying("x");
    dir.UseScript(script);
    CaptureStdout();
    AIChatPanel& panel = OpenChat();
    std::string out = GetCapturedStdout();
    EXPECT_EQ(script->modelLoads, 0);
    EXPECT_FALSE(panel.aiInitialized.load());
    const std::string why = "The model file " + model +
                            " did not finish loading last time (the program may have crashed while loading it), so "
                            "it is not loaded again. Choose or download a model in Settings > AI Model Settings to "
                            "try again.";
    EXPECT_EQ(panel.GetMessages().front().text, Unavailable);
    EXPECT_EQ(LastText(panel), why);
    EXPECT_NE(out.find("Warning: " + why + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("AI analysis engine initialization failed - AI model unavailable\n"), std::string::npos);
    panel.CheckModelSwitch();
    EXPECT_EQ(script->modelLoads, 0);

    // The user chooses a model (the settings section removes the marker): the
    // next frame loads it, and a load that returns leaves no marker.
    RemoveModelLoadMarker();
    CaptureStdout();
    panel.CheckModelSwitch();
    GetCapturedStdout();
    EXPECT_EQ(script->modelLoads, 1);
    EXPECT_TRUE(panel.aiInitialized.load());
    EXPECT_EQ(LastText(panel), Greeting); // the first model this chat has
    EXPECT_EQ(ReadModelLoadMarker(), "");
    CaptureStdout();
    ShutdownAIChat();

    // A failed load leaves none either; a marker naming another file stops nothing.
    auto failing = ScriptReplying("x");
    failing->failLoad = true;
    dir.UseScript(failing);
    EXPECT_FALSE(AIChatPanel().InitializeAI());
    EXPECT_EQ(ReadModelLoadMarker(), "");
    ASSERT_TRUE(WriteModelLoadMarker((dir.path / "other.gguf").string()));
    dir.UseScript(script);
    AIChatPanel other;
    EXPECT_TRUE(other.InitializeAI());
    GetCapturedStdout();
    RemoveModelLoadMarker();
}

TEST(AIChatPanel, GlobalPanelLife)
{
    ChatDirectory dir;
    dir.Settings(1, true);
    CaptureStdout();
    InitializeAIChat();
    ASSERT_TRUE(AIChatPanelInstance);
    AIChatPanel* first = AIChatPanelInstance.get();
    InitializeAIChat(); // a panel exists: nothing happens
    EXPECT_EQ(AIChatPanelInstance.get(), first);
    ShutdownAIChat();
    EXPECT_FALSE(AIChatPanelInstance);
    ShutdownAIChat();
    ReloadAIChatModel(); // no panel: nothing
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("AI Chat Panel initialized\nInitializing AI analysis engine...\n"), std::string::npos) << out;
    EXPECT_NE(out.find("AI analysis engine initialization failed - AI model unavailable\nNote: AI Chat will show 'AI "
                       "model unavailable' message\n"),
              std::string::npos);
    EXPECT_EQ(out.find("AI Chat Panel shutdown\n"), out.rfind("AI Chat Panel shutdown\n"));
    EXPECT_NE(out.find("AI Chat Panel shutdown\n"), std::string::npos);
}

TEST(AIChatPanel, LoadsTheChosenModelWhenItCanAndKeepsAWorkingOne)
{
    ChatDirectory dir;
    const std::string tiny = (dir.path / "tiny.gguf").string();
    ASSERT_EQ(std::system(("python3 " DRAVIK_GGUF_GENERATOR " " + tiny + " --seed 7").c_str()), 0);
    dir.Settings(1, true);
    CaptureStdout();
    testing::internal::CaptureStderr();
    AIChatPanel& panel = OpenChat(); // no model file: unavailable, no greeting
    EXPECT_EQ(panel.GetMessages().front().text, Unavailable);
    // A file that is no model appears: tried once, not every frame; then the model replaces it.
    dir.ModelFile(1);
    EXPECT_EQ(TwoFrames(panel).size(), 4u);
    dir.ModelFile(1, 0, tiny);
    EXPECT_EQ(TwoFrames(panel).size(), 5u);
    EXPECT_EQ(LastText(panel), Greeting);
    // A switch to a broken file keeps the working model and says which failed.
    dir.ModelFile(0);
    dir.Settings(0, true);
    EXPECT_EQ(TwoFrames(panel).size(), 7u);
    EXPECT_EQ(LastText(panel), "Could not load Phi Mini 2: llama.cpp could not load the model file " +
                                   AIConfig().GetModelPath(0) + ". Still using Llama 3.2 3B.");
    // A choice whose file is still being written waits for it; a whole one loads.
    std::filesystem::last_write_time(dir.ModelFile(2), std::filesystem::file_time_type::clock::now());
    dir.Settings(2, true);
    EXPECT_EQ(TwoFrames(panel).size(), 7u);
    dir.ModelFile(2, 0, tiny);
    panel.CheckModelSwitch();
    EXPECT_EQ(LastText(panel), "AI model switched successfully! New model is ready.");
    ShutdownAIChat();
    testing::internal::GetCapturedStderr();
    GetCapturedStdout();
}

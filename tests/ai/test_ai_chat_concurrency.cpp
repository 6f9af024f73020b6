// Chat panel threads: a reply task beside the main thread's polling and
// shut-down, and a forced reload from another thread beside the main thread.
#include "chat_test_setup.h"

#include "serial/ChannelData.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using chattest::ChatDirectory;
using chattest::OpenChat;
using chattest::ScriptReplying;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace
{
std::shared_ptr<FakeLlamaScript> SlowScript()
{
    auto s = ScriptReplying("A reply that takes a while to come.");
    s->decodeDelay = std::chrono::milliseconds(2);
    return s;
}
} // namespace

TEST(AIChatConcurrency, ReplyBesidePollingAndShutdown)
{
    ChatDirectory dir;
    dir.Settings(1, true);
    dir.ModelFile(1);
    auto script = SlowScript();
    dir.UseScript(script);
    {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        ChannelHistories = {{1.0f, 2.0f, 3.0f}};
    }
    CaptureStdout();
    AIChatPanel& panel = OpenChat();
    ASSERT_TRUE(panel.aiInitialized.load());

    // Poll as the frames do; a second question meanwhile is refused.
    panel.SendMessage("What do you see?");
    panel.SendMessage("And now?");
    while (panel.pendingResponse.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
    {
        panel.CheckModelSwitch();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::string reply = panel.pendingResponse.get();
    panel.isProcessing.store(false);
    EXPECT_NE(reply.find("A reply that takes a while to come."), std::string::npos) << reply;
    std::vector<ChatMessage> m = panel.GetMessages();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[3].text, "Please wait for the current response to complete...");
    EXPECT_EQ(script->modelLoads, 1);

    // A long reply (768 tokens at 50 ms each): a model switch stops it between
    // tokens; the reply still arrives, after the switch's line, and says so.
    const int32_t n = script->VocabSize();
    script->logitsByStep = [n](int step) { return OneHotLogits(n, 3 + 'a' + step % 26); };
    script->decodeDelay = std::chrono::milliseconds(50);
    dir.ModelFile(0);
    int decodesBefore = script->decodeEntered.load();
    panel.SendMessage("Tell me everything.");
    while (script->decodeEntered.load() < decodesBefore + 3)
        std::this_thread::yield();
    dir.Settings(0, true);
    panel.CheckModelSwitch();
    EXPECT_EQ(panel.GetMessages().back().text, "AI model switched successfully! New model is ready.");
    const std::string stopped = panel.pendingResponse.get();
    panel.isProcessing.store(false);
    EXPECT_NE(stopped.find("(Reply stopped: the AI model is being switched or closed.)"), std::string::npos) << stopped;
    EXPECT_LT(script->decodeEntered.load(), decodesBefore + 100);

    // Shut down while a long reply runs: the reply stops, the model is freed.
    decodesBefore = script->decodeEntered.load();
    panel.SendMessage("Once more?");
    while (script->decodeEntered.load() < decodesBefore + 3)
        std::this_thread::yield();
    ShutdownAIChat();
    EXPECT_FALSE(AIChatPanelInstance);
    EXPECT_EQ(script->modelFrees, 2);
    EXPECT_LT(script->decodeEntered.load(), decodesBefore + 100);

    // Shut down while a very long prompt decode runs: the library's abort
    // callback ends it.
    script->decodeDelay = std::chrono::minutes(10);
    InitializeAIChat();
    ASSERT_TRUE(AIChatPanelInstance);
    decodesBefore = script->decodeEntered.load();
    const int abortedBefore = script->abortedDecodes;
    AIChatPanelInstance->SendMessage("What now?");
    while (script->decodeEntered.load() == decodesBefore)
        std::this_thread::yield();
    ShutdownAIChat();
    EXPECT_EQ(script->abortedDecodes, abortedBefore + 1);
    EXPECT_FALSE(script->overlapDetected.load());
    GetCapturedStdout();
    {
        std::lock_guard<std::mutex> lock(ChannelDataMutex);
        ChannelHistories.clear();
    }
}

TEST(AIChatConcurrency, ReloadFromAnotherThread)
{
    ChatDirectory dir;
    dir.Settings(1, true);
    dir.ModelFile(1);
    dir.UseScript(ScriptReplying("Steady."));
    CaptureStdout();
    AIChatPanel& panel = OpenChat();

    std::atomic<bool> reloadEnded{false};
    std::thread downloader([&] {
        ReloadAIChatModel();
        reloadEnded = true;
    });
    // The main thread goes on with its frames meanwhile; fewer messages than the history keeps, so the
    // reload's message cannot be pushed out however early it comes.
    for (int i = 0; !reloadEnded && i < 60000; i++)
    {
        panel.CheckModelSwitch();
        if (i < 50)
            panel.AddMessage("frame " + std::to_string(i), true);
        (void)panel.GetMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    downloader.join();
    std::vector<ChatMessage> m = panel.GetMessages();
    bool reloaded = false;
    for (const ChatMessage& message : m)
        reloaded |= message.text == "AI model reloaded successfully! Model is ready to use.";
    EXPECT_TRUE(reloaded);
    EXPECT_TRUE(panel.aiInitialized.load());

    // A reload racing the panel's destruction: one of them waits for the other.
    std::thread late([] { ReloadAIChatModel(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ShutdownAIChat();
    late.join();
    EXPECT_FALSE(AIChatPanelInstance);
    GetCapturedStdout();
}

TEST(AIChatConcurrency, CloseDuringAReloadStopsItsLoad)
{
    ChatDirectory dir;
    dir.Settings(1, true);
    dir.ModelFile(1);
    auto script = ScriptReplying("x");
    dir.UseScript(script);
    CaptureStdout();
    testing::internal::CaptureStderr();
    InitializeAIChat();
    // The download thread's reload would load for a minute: the close cancels it.
    script->loadDelay = std::chrono::minutes(1);
    ModelReloadResult result = ModelReloadReady;
    std::thread downloader([&] { result = ReloadAIChatModel(); });
    while (script->loadEntered.load() < 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ShutdownAIChat();
    downloader.join();
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(result, ModelReloadStopped);
    EXPECT_EQ(script->cancelledLoads, 1);
    // Nothing stays loaded, no marker stays behind, and no broken model is reported.
    EXPECT_EQ(script->backendInits, script->backendFrees);
    EXPECT_EQ(script->modelLoads, script->modelFrees);
    EXPECT_EQ(ReadModelLoadMarker(), "");
    EXPECT_NE(out.find("Model load stopped\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Failed"), std::string::npos) << out;
    EXPECT_EQ(err.find("Failed"), std::string::npos) << err;
}

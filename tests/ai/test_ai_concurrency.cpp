// Threads around the AI core: the quiet settings re-read beside other threads'
// output and beside a save, and completions beside a shutdown. Run under
// ThreadSanitizer with the scripted backend.
#include "ai/AISettings.h"
#include "ai/LlamaCppIntegration.h"
#include "fake_llama_backend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>
#include <unistd.h>

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace fs = std::filesystem;

namespace
{
std::string TempFile(const std::string& name)
{
    std::string p = fs::temp_directory_path() / (name + "_" + std::to_string(getpid()));
    return p;
}
} // namespace

TEST(AIConcurrency, QuietReReadKeepsOtherThreadsOutput)
{
    aiSettingsFileName = TempFile("ai_settings_quiet.cfg");
    std::ofstream(aiSettingsFileName) << "ai_model=2\nai_enabled=true\n";

    const int lines = 3000;
    std::atomic<bool> stop{false};
    std::atomic<int> rereads{0};
    CaptureStdout();
    // At least one whole re-read, however the threads are scheduled.
    std::thread rereader([&] {
        while (!stop || rereads == 0)
        {
            ReloadAISettingsQuietly();
            rereads++;
        }
    });
    for (int i = 0; i < lines; i++)
        std::cout << "line " << i << std::endl;
    stop = true;
    rereader.join();
    std::string out = GetCapturedStdout();

    size_t count = 0;
    for (size_t at = out.find("line "); at != std::string::npos; at = out.find("line ", at + 1))
        count++;
    EXPECT_EQ(count, (size_t)lines);
    EXPECT_EQ(out.find("AI settings"), std::string::npos);
    EXPECT_TRUE(std::cout.good());
    EXPECT_EQ(GetSelectedModel(), 2);
    fs::remove(aiSettingsFileName);
    aiSettingsFileName = "ai_settings.cfg";
}

TEST(AIConcurrency, SaveOnOneThreadReReadOnAnother)
{
    aiSettingsFileName = TempFile("ai_settings_save.cfg");
    SetSelectedModel(2);
    SetAIEnabled(true);
    CaptureStdout();
    SaveAISettings();

    std::atomic<bool> stop{false};
    std::thread saver([&] {
        while (!stop)
            SaveAISettings();
    });
    for (int i = 0; i < 500; i++)
    {
        ReloadAISettingsQuietly();
        // The file is never seen half written: every read finds both lines.
        EXPECT_TRUE(IsAIEnabled());
        EXPECT_EQ(GetAIConfig().modelId, 2);
    }
    stop = true;
    saver.join();
    GetCapturedStdout();
    std::ifstream in(aiSettingsFileName);
    std::string a, b;
    std::getline(in, a);
    std::getline(in, b);
    EXPECT_EQ(a, "ai_model=2");
    EXPECT_EQ(b, "ai_enabled=true");
    fs::remove(aiSettingsFileName);
    aiSettingsFileName = "ai_settings.cfg";
}

TEST(AIConcurrency, CompletionAndShutdownNeverOverlap)
{
    const std::string model = TempFile("concurrency_model.gguf");
    std::ofstream(model) << "fake";
    for (int round = 0; round < 5; round++)
    {
        auto s = std::make_shared<FakeLlamaScript>();
        s->pieces = FakeByteTokenTable();
        const int32_t n = s->VocabSize();
        s->logitsByStep = [n](int step) { return OneHotLogits(n, 3 + 'a' + step % 20); };
        s->decodeDelay = std::chrono::milliseconds(1);
        LlamaCppConfig c;
        c.model_path = model;
        c.context_size = 512;
        c.batch_size = 64;
        c.threads = 1;
        c.max_tokens = 40;
        LlamaCppIntegration llama(c, MakeFakeLlamaBackend(s));

        CaptureStdout();
        CaptureStderr();
        ASSERT_TRUE(llama.Initialize());
        std::string first, second;
        std::atomic<bool> polling{true};
        std::thread poller([&] {
            while (polling)
                (void)llama.IsLoaded();
        });
        std::thread a([&] { first = llama.GenerateCompletion("prompt", 0); });
        std::thread b([&] { second = llama.GenerateCompletion("prompt", 0); });
        while (s->decodeEntered == 0)
            std::this_thread::yield();
        llama.Shutdown();
        a.join();
        b.join();
        polling = false;
        poller.join();
        GetCapturedStderr();
        GetCapturedStdout();

        EXPECT_FALSE(s->overlapDetected);
        EXPECT_FALSE(llama.IsLoaded());
        // A completion that started ran to its end; one that came after the
        // shutdown found nothing to run on.
        for (const std::string* text : {&first, &second})
            EXPECT_TRUE(text->size() == 40 || *text == "Error: LlamaCpp not initialized") << *text;
        EXPECT_EQ(s->liveBatches, 0);
        EXPECT_EQ(s->modelFrees, 1);
    }
    fs::remove(model);
}

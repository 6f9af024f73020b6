// The AI settings file: reading, writing, the quiet re-read and the derived config.
#include "ai/AISettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace fs = std::filesystem;

class AISettingsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("dravik-ai-settings-" + std::to_string(getpid()));
        fs::create_directories(dir);
        file = (dir / "ai_settings.cfg").string();
        fs::remove(file);
        aiSettingsFileName = file;
        selectedModel = 1;
        aiEnabled = false;
        aiSettingsLoaded = false;
    }
    void TearDown() override
    {
        fs::remove_all(dir);
        aiSettingsFileName = "ai_settings.cfg";
    }
    void Write(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
    std::string Read()
    {
        std::ifstream in(file, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Reads the file afresh, as at start-up, and returns what it printed.
    std::string Load(const std::string& text)
    {
        Write(text);
        aiSettingsLoaded = false;
        CaptureStdout();
        LoadAISettings();
        return GetCapturedStdout();
    }

    fs::path dir;
    std::string file;
};

TEST_F(AISettingsTest, MissingFileUsesDefaultsAndSaysSoOnce)
{
    CaptureStdout();
    EXPECT_FALSE(IsAIEnabled());
    EXPECT_FALSE(IsAIEnabled());
    AIConfig config = GetAIConfig();
    EXPECT_EQ(GetCapturedStdout(), "No AI settings file found, using defaults\n");
    EXPECT_EQ(config.modelId, 1);
    EXPECT_EQ(selectedModel, 1);
}

TEST_F(AISettingsTest, LineParsing)
{
    EXPECT_EQ(Load("ai_enabled=true\n"), "AI settings loaded from " + file + "\n");
    EXPECT_EQ(selectedModel, 1);
    EXPECT_TRUE(aiEnabled);

    struct Case
    {
        const char* text;
        int32_t model;
        bool enabled;
    };
    const Case cases[] = {
        {"ai_model=2abc\n", 2, false},          // digits, then ignored letters
        {"ai_model= 2\n", 2, false},            // leading white space skipped
        {"ai_model=\t+0x\n", 0, false},         // sign taken
        {"ai_model=-3\n", -3, false},           // kept as given
        {" ai_model=0\n", 1, false},            // a key not at the start is no key
        {"xai_model=0\nfoo\n\n", 1, false},     // other lines ignored
        {"ai_model=0\nai_model=2\n", 2, false}, // the last one wins
        {"ai_enabled=True\n", 1, false},        // exact and case-sensitive
        {"ai_enabled=true \n", 1, false},       // nothing after the word
        {"ai_enabled=yes\n", 1, false},
        {"ai_enabled=true\nai_enabled=false\n", 1, false},
        {"ai_enabled=true\r\nai_model=0\r\n", 0, true}, // CR LF line ends read as in text mode
        {"ai_model=2", 2, false},                       // no line feed at the end
    };
    for (const Case& tc : cases)
    {
        selectedModel = 1;
        aiEnabled = false;
        Load(tc.text);
        EXPECT_EQ(selectedModel, tc.model) << tc.text;
        EXPECT_EQ(aiEnabled, tc.enabled) << tc.text;
    }

    // A key the file does not carry keeps its current value.
    selectedModel = 2;
    aiEnabled = true;
    Load("ai_other=1\n");
    EXPECT_EQ(selectedModel, 2);
    EXPECT_TRUE(aiEnabled);
}

TEST_F(AISettingsTest, ValueThatIsNoNumberKeepsTheCurrentOneAndSaysSoOnce)
{
    selectedModel = 2;
    std::string out = Load("ai_model=abc\nai_enabled=true\n");
    EXPECT_EQ(selectedModel, 2);
    EXPECT_TRUE(aiEnabled); // the rest of the file is still read
    EXPECT_NE(out.find("Warning: ai_model value \"abc\" in " + file + " is not a number, keeping model 2\n"),
              std::string::npos);
    // Read again: no second warning for the same value.
    out = Load("ai_model=abc\nai_enabled=true\n");
    EXPECT_EQ(out.find("Warning"), std::string::npos);

    const char* const bad[] = {
        "ai_model=\n",           "ai_model=-\n",           "ai_model=99999999999\n",
        "ai_model=2147483648\n", "ai_model=-2147483649\n", "ai_model=123456789012345678901234567890\n"};
    for (const char* text : bad)
    {
        selectedModel = 0;
        out = Load(text);
        EXPECT_EQ(selectedModel, 0) << text;
        EXPECT_NE(out.find("Warning: ai_model value"), std::string::npos) << text;
    }
    // A huge value is echoed cut to a readable length.
    out = Load("ai_model=" + std::string(10'000'000, 'x') + "\n");
    EXPECT_NE(out.find("Warning: ai_model value \"" + std::string(80, 'x') + "...\" in "), std::string::npos);
    EXPECT_LT(out.size(), 400u);

    Load("ai_model=2147483647\n");
    EXPECT_EQ(selectedModel, 2147483647);
    Load("ai_model=-2147483648\n");
    EXPECT_EQ(selectedModel, -2147483648);
}

TEST_F(AISettingsTest, SaveWritesTwoLinesAndSevenStaysSeven)
{
    Load("ai_model=7\n");
    EXPECT_EQ(selectedModel, 7);
    AIConfig config = GetAIConfig();
    EXPECT_EQ(config.modelId, 1);
    EXPECT_TRUE(config.modelIdNonZero);
    EXPECT_EQ(config.contextSize, 4096);
    EXPECT_EQ(config.batchSize, 256);
    EXPECT_EQ(config.threads, 12);
    EXPECT_EQ(config.maxTokens, 768);

    aiEnabled = true;
    CaptureStdout();
    SaveAISettings();
    EXPECT_EQ(GetCapturedStdout(), "AI settings saved to " + file + "\n");
    EXPECT_EQ(Read(), "ai_model=7\nai_enabled=true\n");
    EXPECT_TRUE(aiSettingsLoaded); // a save does not touch the flag

    selectedModel = -3;
    aiEnabled = false;
    CaptureStdout();
    SaveAISettings();
    GetCapturedStdout();
    EXPECT_EQ(Read(), "ai_model=-3\nai_enabled=false\n");
}

TEST_F(AISettingsTest, ConfigTable)
{
    struct Row
    {
        int32_t selection, id;
        bool nonZero;
        int32_t context, batch, threads, maxTokens;
    };
    const Row rows[] = {{0, 0, false, 2048, 128, 4, 512},
                        {1, 1, true, 4096, 256, 10, 768},
                        {2, 2, true, 4096, 256, 12, 768},
                        {-1, 1, true, 4096, 256, 12, 768}};
    aiSettingsLoaded = true;
    for (const Row& r : rows)
    {
        selectedModel = r.selection;
        AIConfig c = GetAIConfig();
        EXPECT_EQ(c.modelId, r.id);
        EXPECT_EQ(c.modelIdNonZero, r.nonZero);
        EXPECT_EQ(c.contextSize, r.context);
        EXPECT_EQ(c.batchSize, r.batch);
        EXPECT_EQ(c.threads, r.threads);
        EXPECT_EQ(c.maxTokens, r.maxTokens);
        EXPECT_TRUE(c.modelPathOverride.empty());
        EXPECT_FLOAT_EQ(c.temperature, 0.7f);
        EXPECT_FALSE(c.analysisSwitch1 || c.analysisSwitch2 || c.analysisSwitch3);
        EXPECT_EQ(c.analysisIntervalMs, 5000);
        EXPECT_EQ(c.analysisLimit, 50);
    }
    const std::string models = (fs::current_path() / "application" / "ai" / "models").string();
    AIConfig c;
    EXPECT_EQ(c.GetModelPath(0), models + "/phi2/phi-2.gguf");
    EXPECT_EQ(c.GetModelPath(1), models + "/llama3.2-3b/llama-3.2-3b-instruct.Q4_K_M.gguf");
    EXPECT_EQ(c.GetModelPath(2), models + "/llama3.2-8b/llama-3.2-8b-instruct.Q4_K_M.gguf");
    EXPECT_EQ(c.GetModelPath(5), "");
}

TEST_F(AISettingsTest, EditsReachOnlyThroughTheQuietReRead)
{
    Load("ai_model=0\nai_enabled=true\n");
    Write("ai_model=2\nai_enabled=false\n");
    CaptureStdout();
    EXPECT_TRUE(IsAIEnabled()); // read once: the edit is not seen
    EXPECT_EQ(GetAIConfig().modelId, 0);
    ReloadAISettingsQuietly();
    EXPECT_FALSE(IsAIEnabled());
    EXPECT_EQ(GetAIConfig().modelId, 2);
    // The quiet re-read prints nothing, also for a missing file.
    fs::remove(file);
    ReloadAISettingsQuietly();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_TRUE(aiSettingsLoaded);
    EXPECT_EQ(selectedModel, 2);
    // std::cout is untouched by the quiet re-read.
    EXPECT_TRUE(std::cout.good());

    // The chat's per-frame check reads the file only when its stat changed. An
    // old file is not read again: a value set in memory alone stays.
    Write("ai_model=0\nai_enabled=true\n");
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(1));
    ReloadAISettingsIfChanged();
    EXPECT_EQ(selectedModel, 0);
    selectedModel = 2;
    ReloadAISettingsIfChanged();
    EXPECT_EQ(selectedModel, 2);
    // Rewritten in place with the same size, twice within one clock tick: both seen.
    Write("ai_model=1\nai_enabled=true\n");
    ReloadAISettingsIfChanged();
    EXPECT_EQ(selectedModel, 1);
    Write("ai_model=0\nai_enabled=true\n");
    ReloadAISettingsIfChanged();
    EXPECT_EQ(selectedModel, 0);
}

TEST_F(AISettingsTest, FailedSaveKeepsTheValuesInMemory)
{
    Write("ai_model=0\nai_enabled=false\n");
    // A directory in the file's place cannot be opened for writing.
    aiSettingsFileName = (dir / "sub").string();
    fs::create_directories(aiSettingsFileName);
    selectedModel = 2;
    aiEnabled = true;
    CaptureStdout();
    SaveAISettings();
    EXPECT_EQ(GetCapturedStdout(), "Failed to save AI settings to " + aiSettingsFileName + "\n");
    EXPECT_EQ(selectedModel, 2);
    EXPECT_TRUE(aiEnabled);
    EXPECT_EQ(Read(), "ai_model=0\nai_enabled=false\n");

    EXPECT_TRUE(AISettingsSaveFailed());

    // A device in the file's place is never replaced.
    aiSettingsFileName = "/dev/full";
    CaptureStdout();
    SaveAISettings();
    EXPECT_EQ(GetCapturedStdout(), "Failed to save AI settings to /dev/full\n");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));

    // A write that fails after the new file is open (the disk fills up: here a
    // file size limit) leaves the old file whole and no stray file beside it.
    aiSettingsFileName = file;
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    if (child == 0)
    {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{10, 10};
        setrlimit(RLIMIT_FSIZE, &limit);
        dup2(pipeFds[1], STDOUT_FILENO);
        SaveAISettings();
        std::cout.flush();
        _exit(AISettingsSaveFailed() ? 0 : 1);
    }
    close(pipeFds[1]);
    std::string childOut;
    char buf[256];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof(buf))) > 0;)
        childOut.append(buf, (size_t)n);
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(childOut, "Failed to save AI settings to " + file + "\n");
    EXPECT_EQ(Read(), "ai_model=0\nai_enabled=false\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2); // the file and sub

    // The next good save replaces the file and clears the failure.
    CaptureStdout();
    SaveAISettings();
    GetCapturedStdout();
    EXPECT_FALSE(AISettingsSaveFailed());
    EXPECT_EQ(Read(), "ai_model=2\nai_enabled=true\n");
}

TEST_F(AISettingsTest, DirectoryInPlaceOfTheFileCountsAsMissing)
{
    fs::create_directories(file);
    selectedModel = 2;
    CaptureStdout();
    LoadAISettings();
    EXPECT_EQ(GetCapturedStdout(), "No AI settings file found, using defaults\n");
    EXPECT_EQ(selectedModel, 2);
    EXPECT_TRUE(aiSettingsLoaded);
}

// The model catalogue: records, verdicts from given machine figures, the
// downloaded test at its thresholds, memory parsing and the model paths.
#include "ai/AISettings.h"
#include "ai/ModelManager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

class ModelManagerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        saved = fs::current_path();
        dir = fs::temp_directory_path() / ("dravik-models-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    void TearDown() override
    {
        fs::current_path(saved);
        fs::remove_all(dir);
    }
    // A sparse file of the given size, so thresholds in the GiB range cost no disk.
    static void MakeFile(const std::string& path, uint64_t bytes)
    {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary).close();
        fs::resize_file(path, bytes);
    }
    fs::path saved, dir;
};

TEST_F(ModelManagerTest, CatalogueRecordsAndPaths)
{
    ModelManager m;
    const std::string models = (dir / "application" / "ai" / "models").string();
    ASSERT_EQ(m.modelCatalogue.size(), 3u);

    const ModelInfo phi = m.GetModelInfo(0);
    EXPECT_EQ(phi.name, "Phi Mini 2");
    EXPECT_EQ(phi.localPath, models + "/phi2/phi-2.gguf");
    EXPECT_EQ(phi.expectedSizeMB, 1700u);
    EXPECT_EQ(phi.contextSize, 2048);
    EXPECT_EQ(phi.batchSize, 128);
    EXPECT_EQ(phi.threads, 4);
    EXPECT_EQ(phi.modelFlag, 0);
    EXPECT_FALSE(phi.downloaded);

    const ModelInfo l3 = m.GetModelInfo(1);
    EXPECT_EQ(l3.localPath, models + "/llama3.2-3b/llama-3.2-3b-instruct.Q4_K_M.gguf");
    EXPECT_EQ(l3.expectedSizeMB, 2200u);
    EXPECT_EQ(l3.threads, 10);
    EXPECT_EQ(l3.modelFlag, 1);

    const ModelInfo l8 = m.GetModelInfo(2);
    EXPECT_EQ(l8.name, "Llama 3.2 1B");
    EXPECT_EQ(l8.localPath, models + "/llama3.2-8b/llama-3.2-8b-instruct.Q4_K_M.gguf");
    EXPECT_EQ(l8.expectedSizeMB, 800u);
    EXPECT_EQ(l8.threads, 12);

    // URLs: <host>/<owner>/<repository>/resolve/main/<file>, HTTPS.
    const std::string files[3][2] = {
        {"/phi-2-GGUF/resolve/main/", "phi-2.Q4_K_M.gguf"},
        {"/Llama-3.2-3B-Instruct-GGUF/resolve/main/", "Llama-3.2-3B-Instruct-Q4_K_M.gguf"},
        {"/Llama-3.2-1B-Instruct-GGUF/resolve/main/", "Llama-3.2-1B-Instruct-Q4_K_M.gguf"}};
    for (int id = 0; id < 3; id++)
    {
        const std::string url = m.GetModelInfo(id).downloadUrl;
        EXPECT_EQ(url.rfind("https://", 0), 0u) << url;
        const std::string tail = files[id][0] + files[id][1];
        ASSERT_GE(url.size(), tail.size());
        EXPECT_EQ(url.substr(url.size() - tail.size()), tail);
    }

    // Unknown ids: empty record, not downloaded, empty path.
    const ModelInfo none = m.GetModelInfo(5);
    EXPECT_EQ(none.id, 0);
    EXPECT_TRUE(none.name.empty() && none.localPath.empty() && none.downloadUrl.empty());
    EXPECT_EQ(none.expectedSizeMB, 0u);
    EXPECT_FALSE(none.downloaded || none.compatible);
    EXPECT_FALSE(m.IsModelDownloaded(5));
    EXPECT_FALSE(m.IsModelDownloaded(-1));
    AIConfig c;
    EXPECT_EQ(c.GetModelPath(5), "");
    EXPECT_EQ(c.GetModelPath(1), l3.localPath);

    // The host is overridable for tests; the rest of the URL stays.
    SetModelHostUrl("http://127.0.0.1:9");
    EXPECT_EQ(ModelManager().GetModelInfo(0).downloadUrl.rfind("http://127.0.0.1:9/", 0), 0u);
    SetModelHostUrl("https://huggingface.co");
}

TEST_F(ModelManagerTest, CompatibilityVerdictsFromAvailableMemoryAndCores)
{
    ModelManager m;
    auto verdicts = [&](int available, int total, int cores) {
        m.systemInfo.availableRamGB = available;
        m.systemInfo.totalRamGB = total;
        m.systemInfo.cpuCores = cores;
        m.UpdateCompatibility();
    };
    verdicts(3, 64, 16);
    EXPECT_TRUE(m.systemInfo.compatibleTier0);
    EXPECT_FALSE(m.systemInfo.compatibleTier1);
    EXPECT_FALSE(m.systemInfo.compatibleTier2);
    EXPECT_EQ(m.GetModelInfo(0).compatibilityText, "Compatible with all systems");
    EXPECT_TRUE(m.GetModelInfo(0).compatible);
    EXPECT_EQ(m.GetModelInfo(1).compatibilityText, "Requires at least 4GB RAM and 4 CPU cores");
    EXPECT_EQ(m.GetModelInfo(2).compatibilityText, "Requires at least 8GB RAM and 8 CPU cores");
    EXPECT_FALSE(m.GetModelInfo(1).compatible || m.GetModelInfo(2).compatible);

    verdicts(8, 8, 8);
    for (int id = 0; id < 3; id++)
        EXPECT_TRUE(m.GetModelInfo(id).compatible) << id;
    EXPECT_EQ(m.GetModelInfo(1).compatibilityText, "Compatible with your system");
    EXPECT_EQ(m.GetModelInfo(2).compatibilityText, "Compatible with your system");

    // The fallback figures (6 GiB available): model 1 with 4 cores, never model 2.
    verdicts(6, 8, 4);
    EXPECT_TRUE(m.GetModelInfo(1).compatible);
    EXPECT_FALSE(m.GetModelInfo(2).compatible);
    verdicts(6, 8, 3);
    EXPECT_FALSE(m.GetModelInfo(1).compatible);
    // Available, not total, decides.
    verdicts(7, 32, 8);
    EXPECT_FALSE(m.GetModelInfo(2).compatible);
}

TEST_F(ModelManagerTest, SystemInformationFromThisMachine)
{
    uint64_t total = 0, available = 0;
    EXPECT_TRUE(ParseMemInfo("MemTotal:       16314432 kB\nMemFree:         1234 kB\n"
                             "MemAvailable:    9437184 kB\nBuffers: 1 kB\n",
                             total, available));
    EXPECT_EQ(total, 16314432ull * 1024);
    EXPECT_EQ(available, 9437184ull * 1024);
    EXPECT_EQ((int)(available >> 30), 9);
    EXPECT_FALSE(ParseMemInfo("MemTotal: 100 kB\nMemFree: 50 kB\n", total, available));
    EXPECT_FALSE(ParseMemInfo("", total, available));
    EXPECT_FALSE(ParseMemInfo("garbage\nMemAvailable: x kB\n", total, available));

    ModelManager m;
    EXPECT_GT(m.systemInfo.totalRamGB, 0);
    EXPECT_LE(m.systemInfo.availableRamGB, m.systemInfo.totalRamGB);
    EXPECT_EQ(m.systemInfo.cpuCores, (int)std::thread::hardware_concurrency());
    EXPECT_EQ(m.systemInfo.cpuName.rfind(" cores)"), m.systemInfo.cpuName.size() - 7);
    EXPECT_EQ(ParseCpuName("processor\t: 0\nvendor_id\t: GenuineIntel\nmodel\t\t: 165\n"
                           "model name\t: Intel(R) Core(TM)   i7-10850H CPU @ 2.70GHz\n"),
              "Intel(R) Core(TM) i7-10850H CPU @ 2.70GHz");
    EXPECT_EQ(ParseCpuName("processor\t: 0\nBogoMIPS\t: 108.00\nHardware\t: BCM2835\n"), "BCM2835");
    EXPECT_EQ(ParseCpuName("processor\t: 0\nflags\t: fpu\n"), "");
    EXPECT_FALSE(m.systemInfo.hasGpu);
    EXPECT_EQ(m.systemInfo.gpuName, "Unknown");
}

TEST_F(ModelManagerTest, DownloadedTestThresholds)
{
    const uint64_t MiB = 1048576;
    const std::string phi = ModelManager().GetModelInfo(0).localPath;
    const std::string l8 = ModelManager().GetModelInfo(2).localPath;

    MakeFile(phi, 0);
    EXPECT_FALSE(ModelManager().IsModelDownloaded(0));
    MakeFile(phi, 1360 * MiB);
    EXPECT_FALSE(ModelManager().IsModelDownloaded(0));
    // Remainders below a whole MiB do not count.
    MakeFile(phi, 1361 * MiB - 1);
    EXPECT_FALSE(ModelManager().IsModelDownloaded(0));
    MakeFile(phi, 1361 * MiB);
    ModelManager m;
    EXPECT_TRUE(m.IsModelDownloaded(0));
    EXPECT_TRUE(m.GetModelInfo(0).downloaded);
    // Each call probes the file again.
    fs::remove(phi);
    EXPECT_FALSE(m.IsModelDownloaded(0));

    MakeFile(l8, 641 * MiB);
    EXPECT_TRUE(ModelManager().IsModelDownloaded(2));
    MakeFile(l8, 640 * MiB);
    EXPECT_FALSE(ModelManager().IsModelDownloaded(2));
    // A directory in place of the file is no model.
    fs::remove(l8);
    fs::create_directories(l8);
    EXPECT_FALSE(ModelManager().IsModelDownloaded(2));
}

// The model catalogue: three GGUF models, where they come from, where they lie
// on disk, and whether this machine can run them. Cheap to build; the settings
// section builds one per frame.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

struct SystemInfo
{
    int32_t totalRamGB = 0;
    int32_t availableRamGB = 0;
    int32_t cpuCores = 0;
    bool hasGpu = false;
    std::string gpuName = "Unknown";
    std::string cpuName;
    bool compatibleTier0 = true;
    bool compatibleTier1 = false;
    bool compatibleTier2 = false;
};

struct ModelInfo
{
    int32_t id = 0;
    std::string name;
    std::string description;
    std::string downloadUrl;
    std::string localPath;
    uint64_t expectedSizeMB = 0;
    bool downloaded = false;
    bool compatible = false;
    std::string compatibilityText;
    int32_t contextSize = 0;
    int32_t batchSize = 0;
    int32_t threads = 0;
    int32_t modelFlag = 0;
};

class ModelManager
{
public:
    ModelManager();

    ModelInfo GetModelInfo(int id) const;
    bool IsModelDownloaded(int id) const;
    // cancelled, when set, is asked while the file arrives; true ends the download.
    bool DownloadModel(int id, std::function<void(int)> progress, std::function<bool()> cancelled = nullptr);
    bool DownloadFile(const std::string& url, const std::string& outputPath, std::function<void(int)> progress,
                      std::function<bool()> cancelled = nullptr);

    SystemInfo DetectSystemInfo();
    ModelInfo BuildModelInfo(int id);
    void UpdateCompatibility();

    SystemInfo systemInfo;
    std::map<int, ModelInfo> modelCatalogue;
    // Why the last download failed, in words for the user; empty when it did not.
    std::string downloadError;
};

// Memory figures in bytes as /proc/meminfo gives them (kB lines). False when
// either MemTotal or MemAvailable is missing.
bool ParseMemInfo(const std::string& text, uint64_t& totalBytes, uint64_t& availableBytes);

// The processor's name from the text of /proc/cpuinfo; empty when it has none.
std::string ParseCpuName(const std::string& cpuinfo);

// The local path of catalogue model id, as its record has it: empty for an id
// outside the catalogue or when the working directory cannot be read. Opens no
// file and measures nothing.
std::string ModelLocalPath(int id);

// The downloaded test: the file holds more than 80 % of the expected MiB.
bool IsModelFileDownloaded(const std::string& localPath, uint64_t expectedSizeMB);

// Scheme and host the download URLs start with. Tests point it at 127.0.0.1.
void SetModelHostUrl(const std::string& url);
std::string GetModelHostUrl();

#include "ai/ModelManager.h"

#include "ai/AISettings.h"

#include <sys/sysinfo.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <iostream>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

// The download thread builds a catalogue while a test may set the host.
static std::mutex ModelHostMutex;
static std::string ModelHostUrl = "https://huggingface.co";

void SetModelHostUrl(const std::string& url)
{
    std::lock_guard<std::mutex> lock(ModelHostMutex);
    ModelHostUrl = url;
}

std::string GetModelHostUrl()
{
    std::lock_guard<std::mutex> lock(ModelHostMutex);
    return ModelHostUrl;
}

bool ParseMemInfo(const std::string& text, uint64_t& totalBytes, uint64_t& availableBytes)
{
    bool have_total = false, have_available = false;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
    {
        std::istringstream fields(line);
        std::string key, unit;
        uint64_t value = 0;
        if (!(fields >> key >> value))
            continue;
        fields >> unit;
        const uint64_t scale = unit == "kB" ? 1024 : 1;
        if (key == "MemTotal:")
        {
            totalBytes = value * scale;
            have_total = true;
        }
        else if (key == "MemAvailable:")
        {
            availableBytes = value * scale;
            have_available = true;
        }
    }
    return have_total && have_available;
}

// Physical and available memory in bytes. MemAvailable counts reclaimable cache,
// which sysinfo's freeram does not; sysinfo is the fallback for old kernels.
static bool QueryMemory(uint64_t& totalBytes, uint64_t& availableBytes)
{
    std::ifstream file("/proc/meminfo");
    if (file)
    {
        std::stringstream text;
        text << file.rdbuf();
        if (ParseMemInfo(text.str(), totalBytes, availableBytes))
            return true;
    }
    struct sysinfo si;
    if (sysinfo(&si) != 0)
        return false;
    totalBytes = (uint64_t)si.totalram * si.mem_unit;
    availableBytes = ((uint64_t)si.freeram + si.bufferram) * si.mem_unit;
    return true;
}

// The words of text, one blank between each.
static std::string FoldBlanks(const std::string& text)
{
    std::istringstream words(text);
    std::string folded, word;
    while (words >> word)
        folded += (folded.empty() ? "" : " ") + word;
    return folded;
}

// The processor's own name: the first "model name" line (x86), else what other
// architectures call it. Runs of blanks are folded; empty when none is given.
std::string ParseCpuName(const std::string& cpuinfo)
{
    static const char* const keys[] = {"model name", "Hardware", "Processor", "cpu model", "cpu"};
    for (const char* key : keys)
    {
        std::istringstream in(cpuinfo);
        std::string line;
        while (std::getline(in, line))
        {
            const size_t colon = line.find(':');
            if (colon == std::string::npos || FoldBlanks(line.substr(0, colon)) != key)
                continue;
            const std::string value = FoldBlanks(line.substr(colon + 1));
            if (!value.empty())
                return value;
        }
    }
    return std::string();
}

// Read once: the name does not change while the program runs, and the
// settings section builds a catalogue every frame.
static const std::string& CpuName()
{
    static const std::string name = [] {
        std::ifstream file("/proc/cpuinfo");
        std::stringstream text;
        if (file)
            text << file.rdbuf();
        const std::string parsed = ParseCpuName(text.str());
        return parsed.empty() ? std::string("Unknown processor") : parsed;
    }();
    return name;
}

SystemInfo ModelManager::DetectSystemInfo()
{
    SystemInfo info;
    uint64_t total = 0, available = 0;
    if (QueryMemory(total, available))
    {
        info.totalRamGB = (int32_t)(total >> 30);
        info.availableRamGB = (int32_t)(available >> 30);
    }
    else
    {
        info.totalRamGB = 8;
        info.availableRamGB = 6;
    }
    info.cpuCores = (int32_t)std::thread::hardware_concurrency();
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    info.cpuName = CpuName() + " (" + std::to_string(processors > 0 ? processors : 0) + " cores)";
    info.hasGpu = false;
    info.gpuName = "Unknown";
    return info;
}

bool IsModelFileDownloaded(const std::string& localPath, uint64_t expectedSizeMB)
{
    // A directory opens for reading here and reports a huge end position.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(localPath, ec))
        return false;
    std::ifstream file(localPath, std::ios::binary | std::ios::ate);
    if (!file)
        return false;
    const std::streamoff size = file.tellg();
    if (size < 0)
        return false;
    const uint64_t mib = (uint64_t)size >> 20;
    return (double)mib > (double)expectedSizeMB * 0.8;
}

struct CatalogueRow
{
    const char* name;
    const char* description;
    const char* owner;
    const char* repository;
    const char* file;
    const char* subDir;
    const char* localFile;
    uint64_t expectedSizeMB;
    int32_t contextSize, batchSize, threads, modelFlag;
};

static const CatalogueRow Catalogue[3] = {
    {"Phi Mini 2", "Lightweight model (2.7B parameters) - Fast and efficient", "TheBloke", "phi-2-GGUF",
     "phi-2.Q4_K_M.gguf", "phi2", "phi-2.gguf", 1700, 2048, 128, 4, 0},
    {"Llama 3.2 3B", "Balanced model (3.2B parameters) - Good performance/quality ratio", "bartowski",
     "Llama-3.2-3B-Instruct-GGUF", "Llama-3.2-3B-Instruct-Q4_K_M.gguf", "llama3.2-3b",
     "llama-3.2-3b-instruct.Q4_K_M.gguf", 2200, 4096, 256, 10, 1},
    {"Llama 3.2 1B", "Compact model (1.2B parameters) - Fastest, smallest memory use", "bartowski",
     "Llama-3.2-1B-Instruct-GGUF", "Llama-3.2-1B-Instruct-Q4_K_M.gguf", "llama3.2-8b",
     "llama-3.2-8b-instruct.Q4_K_M.gguf", 800, 4096, 256, 12, 1},
};

// The models directory under the working directory, or empty when the working
// directory cannot be read (removed, or no longer reachable). The catalogue is
// built every frame: the failure is reported once, until the directory is back.
static std::string ModelsDirectory()
{
    static std::atomic<bool> reported{false};
    std::error_code error;
    const std::filesystem::path cwd = std::filesystem::current_path(error);
    if (error)
    {
        if (!reported.exchange(true))
            std::cerr << "Error: Cannot read the working directory (" << error.message()
                      << "); the AI models are not available" << std::endl;
        return std::string();
    }
    reported = false;
    return (cwd / "application" / "ai" / "models").string();
}

std::string ModelLocalPath(int id)
{
    if (id < 0 || id > 2)
        return std::string();
    const std::string models_dir = ModelsDirectory();
    if (models_dir.empty())
        return std::string();
    return models_dir + "/" + Catalogue[id].subDir + "/" + Catalogue[id].localFile;
}

ModelInfo ModelManager::BuildModelInfo(int id)
{
    ModelInfo info;
    info.id = id;
    if (id >= 0 && id <= 2)
    {
        const CatalogueRow& row = Catalogue[id];
        info.name = row.name;
        info.description = row.description;
        info.downloadUrl = GetModelHostUrl() + "/" + row.owner + "/" + row.repository + "/resolve/main/" + row.file;
        info.localPath = ModelLocalPath(id);
        info.expectedSizeMB = row.expectedSizeMB;
        info.contextSize = row.contextSize;
        info.batchSize = row.batchSize;
        info.threads = row.threads;
        info.modelFlag = row.modelFlag;
    }
    info.downloaded = IsModelFileDownloaded(info.localPath, info.expectedSizeMB);
    return info;
}

ModelManager::ModelManager()
{
    systemInfo = DetectSystemInfo();
    for (int id = 0; id <= 2; id++)
        modelCatalogue[id] = BuildModelInfo(id);
    UpdateCompatibility();
}

void ModelManager::UpdateCompatibility()
{
    systemInfo.compatibleTier0 = true;
    systemInfo.compatibleTier1 = systemInfo.availableRamGB >= 4 && systemInfo.cpuCores >= 4;
    systemInfo.compatibleTier2 = systemInfo.availableRamGB >= 8 && systemInfo.cpuCores >= 8;
    for (auto& [id, info] : modelCatalogue)
    {
        if (id == 0)
        {
            info.compatible = systemInfo.compatibleTier0;
            info.compatibilityText = "Compatible with all systems";
        }
        else if (id == 1)
        {
            info.compatible = systemInfo.compatibleTier1;
            info.compatibilityText =
                info.compatible ? "Compatible with your system" : "Requires at least 4GB RAM and 4 CPU cores";
        }
        else if (id == 2)
        {
            info.compatible = systemInfo.compatibleTier2;
            info.compatibilityText =
                info.compatible ? "Compatible with your system" : "Requires at least 8GB RAM and 8 CPU cores";
        }
    }
}

ModelInfo ModelManager::GetModelInfo(int id) const
{
    auto it = modelCatalogue.find(id);
    return it != modelCatalogue.end() ? it->second : ModelInfo();
}

bool ModelManager::IsModelDownloaded(int id) const
{
    auto it = modelCatalogue.find(id);
    if (it == modelCatalogue.end())
        return false;
    return IsModelFileDownloaded(it->second.localPath, it->second.expectedSizeMB);
}

// The path alone: the chat asks it every frame, and a whole catalogue would
// measure the memory and open every model file.
std::string AIConfig::GetModelPath(int modelId) const { return ModelLocalPath(modelId); }

#include "ai/AISettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <ctime>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

std::string aiSettingsFileName = "ai_settings.cfg";
int32_t selectedModel = 1;
bool aiEnabled = false;
bool aiSettingsLoaded = false;
std::mutex AISettingsMutex;

// Bad "ai_model=" values already reported, so that the per-frame quiet re-read
// reports each one once.
static std::set<std::string> ReportedBadModelValues;

enum class ParseResult
{
    Ok,
    NoNumber,
    OutOfRange
};

// Base-10 conversion in the manner of std::stoi: leading white space skipped, an
// optional sign, the digits; anything after the digits is ignored.
static ParseResult ParseLeadingInt(const std::string& text, int32_t& out)
{
    size_t i = 0;
    while (i < text.size() && std::isspace((unsigned char)text[i]))
        i++;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i >= text.size() || !std::isdigit((unsigned char)text[i]))
        return ParseResult::NoNumber;
    long long value = 0;
    for (; i < text.size() && std::isdigit((unsigned char)text[i]); i++)
    {
        value = value * 10 + (text[i] - '0');
        if (value > (long long)INT32_MAX + 1)
            return ParseResult::OutOfRange;
    }
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return ParseResult::OutOfRange;
    out = (int32_t)value;
    return ParseResult::Ok;
}

// A value cut to a readable length, at a character boundary.
static std::string EchoOf(const std::string& value)
{
    const size_t limit = 80;
    if (value.size() <= limit)
        return value;
    size_t end = limit;
    while (end > 0 && ((unsigned char)value[end] & 0xC0) == 0x80)
        end--;
    return value.substr(0, end) + "...";
}

static void ReportBadModelValue(const std::string& value, ParseResult result)
{
    // Keyed by the echo and the length, so a huge value is not kept whole.
    const std::string echo = EchoOf(value);
    if (!ReportedBadModelValues.insert(echo + "#" + std::to_string(value.size())).second)
        return;
    std::cout << "Warning: ai_model value \"" << echo << "\" in " << aiSettingsFileName
              << (result == ParseResult::OutOfRange ? " is out of range" : " is not a number") << ", keeping model "
              << selectedModel << std::endl;
}

// The caller holds AISettingsMutex. Quiet reads print none of the status lines.
static void LoadAISettingsLocked(bool quiet)
{
    if (aiSettingsLoaded)
        return;

    // A directory opens as a stream on Linux but cannot be read: it counts as missing.
    std::error_code error;
    std::ifstream file;
    if (!std::filesystem::is_directory(aiSettingsFileName, error))
        file.open(aiSettingsFileName);
    if (!file.is_open())
    {
        if (!quiet)
            std::cout << "No AI settings file found, using defaults" << std::endl;
        aiSettingsLoaded = true;
        return;
    }

    const std::string modelKey = "ai_model=";
    const std::string enabledKey = "ai_enabled=";
    std::string line;
    while (std::getline(file, line))
    {
        // Text mode: a CR before the line feed is part of the line end.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, modelKey.size(), modelKey) == 0)
        {
            std::string value = line.substr(modelKey.size());
            int32_t model = 0;
            ParseResult result = ParseLeadingInt(value, model);
            if (result == ParseResult::Ok)
                selectedModel = model;
            else
                ReportBadModelValue(value, result);
        }
        else if (line.compare(0, enabledKey.size(), enabledKey) == 0)
        {
            aiEnabled = line.substr(enabledKey.size()) == "true";
        }
    }
    file.close();
    if (!quiet)
        std::cout << "AI settings loaded from " << aiSettingsFileName << std::endl;
    aiSettingsLoaded = true;
}

void LoadAISettings()
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    LoadAISettingsLocked(false);
}

static std::atomic<bool> LastSaveFailed{false};

bool AISettingsSaveFailed() { return LastSaveFailed.load(); }

// Writes all of text to a new file at path and makes it durable; false on any failure.
static bool WriteWholeFile(const std::string& path, const std::string& text, mode_t mode)
{
    // A file left by an earlier failed save goes; the new one is made afresh.
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    bool ok = true;
    size_t written = 0;
    while (ok && written < text.size())
    {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n > 0)
            written += (size_t)n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            ok = false;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok;
}

void SaveAISettings()
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    std::ostringstream text;
    text << "ai_model=" << selectedModel << "\n";
    text << "ai_enabled=" << (aiEnabled ? "true" : "false") << "\n";

    // The new file goes beside the old one (a rename stays within one file
    // system) and keeps its permissions. A link is followed to its file; anything
    // but a regular file in the way (a directory, a device) is never replaced.
    std::error_code error;
    std::filesystem::path target(aiSettingsFileName);
    if (std::filesystem::is_symlink(target, error))
    {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
        if (!error)
            target = resolved;
    }
    const std::filesystem::file_status status = std::filesystem::status(target, error);
    const bool replaceable = !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
    const mode_t mode = std::filesystem::exists(status) ? ((mode_t)status.permissions() & 07777) : 0666;
    const std::string temp = target.string() + ".tmp";
    std::string reason = "not a regular file";
    if (!replaceable || !WriteWholeFile(temp, text.str(), mode) || ::rename(temp.c_str(), target.c_str()) != 0)
    {
        if (replaceable)
        {
            reason = std::strerror(errno);
            ::unlink(temp.c_str());
        }
        std::cout << "Failed to save AI settings to " << aiSettingsFileName << std::endl;
        std::cerr << "Error: " << aiSettingsFileName << ": " << reason << "; the file is left as it was" << std::endl;
        LastSaveFailed = true;
        return;
    }
    LastSaveFailed = false;
    std::cout << "AI settings saved to " << aiSettingsFileName << std::endl;
}

// Reads without printing instead of muting std::cout: muting it would drop the
// lines other threads print meanwhile.
void ReloadAISettingsQuietly()
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    aiSettingsLoaded = false;
    LoadAISettingsLocked(true);
}

// The settings file as ReloadAISettingsIfChanged last read it (guarded by AISettingsMutex).
struct SettingsFileStamp
{
    std::string name;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modifiedNs = 0, changedNs = 0;
    bool operator==(const SettingsFileStamp&) const = default;
};
static SettingsFileStamp LastReadStamp;
static int64_t LastReadNs = 0;
static bool LastReadValid = false;

static int64_t Nanoseconds(const timespec& t) { return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec; }

void ReloadAISettingsIfChanged()
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    SettingsFileStamp stamp;
    stamp.name = aiSettingsFileName;
    struct stat info;
    if (::stat(aiSettingsFileName.c_str(), &info) == 0)
    {
        stamp.exists = true;
        stamp.device = info.st_dev;
        stamp.inode = info.st_ino;
        stamp.size = info.st_size;
        stamp.modifiedNs = Nanoseconds(info.st_mtim);
        stamp.changedNs = Nanoseconds(info.st_ctim);
    }
    // A file rewritten in place within one tick of the file system's clock keeps
    // its stamp: one written less than a second before the last read is read again.
    const bool settled = !stamp.exists || stamp.modifiedNs + 1000000000 < LastReadNs;
    if (aiSettingsLoaded && LastReadValid && stamp == LastReadStamp && settled)
        return;
    aiSettingsLoaded = false;
    LoadAISettingsLocked(true);
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    LastReadStamp = stamp;
    LastReadNs = Nanoseconds(now);
    LastReadValid = true;
}

bool IsAIEnabled()
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    LoadAISettingsLocked(false);
    return aiEnabled;
}

int32_t ModelIdFromSelection(int32_t selection)
{
    if (selection == 0 || selection == 1 || selection == 2)
        return selection;
    return 1;
}

AIConfig GetAIConfig()
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    LoadAISettingsLocked(false);

    AIConfig config;
    config.modelId = ModelIdFromSelection(selectedModel);
    config.modelIdNonZero = selectedModel != 0;
    switch (selectedModel)
    {
    case 0:
        config.contextSize = 2048;
        config.batchSize = 128;
        config.threads = 4;
        config.maxTokens = 512;
        break;
    case 1:
        config.contextSize = 4096;
        config.batchSize = 256;
        config.threads = 10;
        config.maxTokens = 768;
        break;
    default:
        config.contextSize = 4096;
        config.batchSize = 256;
        config.threads = 12;
        config.maxTokens = 768;
        break;
    }
    config.modelPathOverride.clear();
    config.temperature = 0.7f;
    config.analysisSwitch1 = config.analysisSwitch2 = config.analysisSwitch3 = false;
    config.analysisIntervalMs = 5000;
    config.analysisLimit = 50;
    return config;
}

int32_t GetSelectedModel()
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    return selectedModel;
}

// A value set here is read back from the file on the next check, saved or not,
// as every check used to read the file.
void SetSelectedModel(int32_t model)
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    selectedModel = model;
    LastReadValid = false;
}

void SetAIEnabled(bool enabled)
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    aiEnabled = enabled;
    LastReadValid = false;
}

std::string ModelLoadMarkerPath()
{
    const std::filesystem::path settings(aiSettingsFileName);
    return (settings.parent_path() / "ai_model_loading.marker").string();
}

// The marker's path as the last write used it, for a signal handler, which can neither
// allocate nor lock. The path changes only with the settings file name, in practice never.
static char MarkerPathForSignal[4096];
static std::atomic<bool> MarkerPathForSignalSet{false};

bool WriteModelLoadMarker(const std::string& modelPath)
{
    // Written whole before the load starts: a crash of the process keeps it.
    const std::string path = ModelLoadMarkerPath();
    if (path.size() < sizeof(MarkerPathForSignal))
    {
        if (path != MarkerPathForSignal)
        {
            MarkerPathForSignalSet.store(false);
            std::memcpy(MarkerPathForSignal, path.c_str(), path.size() + 1);
        }
        MarkerPathForSignalSet.store(true);
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const ssize_t n = ::write(fd, modelPath.data(), modelPath.size());
    const bool ok = ::close(fd) == 0 && n == (ssize_t)modelPath.size();
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

void RemoveModelLoadMarker()
{
    MarkerPathForSignalSet.store(false);
    ::unlink(ModelLoadMarkerPath().c_str());
}

void RemoveModelLoadMarkerInSignalHandler()
{
    if (MarkerPathForSignalSet.load())
        ::unlink(MarkerPathForSignal);
}

std::string ReadModelLoadMarker()
{
    std::error_code error;
    const std::string path = ModelLoadMarkerPath();
    if (!std::filesystem::is_regular_file(path, error))
        return std::string();
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

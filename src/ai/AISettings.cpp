#include "ai/AISettings.h"

#include <cctype>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

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

static void ReportBadModelValue(const std::string& value, ParseResult result)
{
    if (!ReportedBadModelValues.insert(value).second)
        return;
    std::cout << "Warning: ai_model value \"" << value << "\" in " << aiSettingsFileName
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

void SaveAISettings()
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    std::ofstream file(aiSettingsFileName, std::ios::out | std::ios::trunc);
    if (!file.is_open())
    {
        std::cout << "Failed to save AI settings to " << aiSettingsFileName << std::endl;
        return;
    }
    file << "ai_model=" << selectedModel << "\n";
    file << "ai_enabled=" << (aiEnabled ? "true" : "false") << "\n";
    file.close();
    // A full disk shows only here; do not call that a save.
    if (file.fail())
    {
        std::cout << "Failed to save AI settings to " << aiSettingsFileName << std::endl;
        return;
    }
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

void SetSelectedModel(int32_t model)
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    selectedModel = model;
}

void SetAIEnabled(bool enabled)
{
    std::lock_guard<std::mutex> lock(AISettingsMutex);
    aiEnabled = enabled;
}

// AI settings: the selected model and the enabled switch, kept in "ai_settings.cfg".
// Every function here takes AISettingsMutex, so the main thread and the download
// thread may call them concurrently. Code that reads or writes the globals
// directly holds AISettingsMutex (or uses the getters and setters).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

extern std::string aiSettingsFileName;
extern int32_t selectedModel;
extern bool aiEnabled;
extern bool aiSettingsLoaded;
extern std::mutex AISettingsMutex;

struct AIConfig
{
    int32_t modelId = 1;
    bool modelIdNonZero = true;
    std::string modelPathOverride;
    int32_t contextSize = 4096;
    int32_t batchSize = 256;
    int32_t threads = 12;
    float temperature = 0.7f;
    int32_t maxTokens = 768;
    bool analysisSwitch1 = false;
    bool analysisSwitch2 = false;
    bool analysisSwitch3 = false;
    int32_t analysisIntervalMs = 5000;
    int32_t analysisLimit = 50;

    // Local path of a catalogue model, empty for an id outside the catalogue.
    std::string GetModelPath(int modelId) const;
};

void LoadAISettings();
// Writes a new file beside the old one and renames it over it, so a failed save
// leaves the old file whole.
void SaveAISettings();
// The last save failed; cleared by the next save that succeeds.
bool AISettingsSaveFailed();
void ReloadAISettingsQuietly();
// ReloadAISettingsQuietly when the file may have changed since the last read: one
// stat when it has not. The chat's switch check calls it every frame.
void ReloadAISettingsIfChanged();
bool IsAIEnabled();
AIConfig GetAIConfig();

// Locked access to the globals, for the settings section and the download thread.
int32_t GetSelectedModel();
void SetSelectedModel(int32_t model);
void SetAIEnabled(bool enabled);

// The model-load marker, a file beside the settings file that names the model
// file whose load is under way. A crash inside the library leaves it behind, and
// that file is then not loaded again until the user chooses or downloads a model.
std::string ModelLoadMarkerPath();
// False when the marker cannot be written; the load goes ahead anyway.
bool WriteModelLoadMarker(const std::string& modelPath);
void RemoveModelLoadMarker();
// The same from a signal handler: only unlink, on the path the last write used.
void RemoveModelLoadMarkerInSignalHandler();
// The model file the marker names, or empty when there is no marker.
std::string ReadModelLoadMarker();

// The catalogue id of a selectedModel value: 0, 1 and 2 stay, anything else is 1.
int32_t ModelIdFromSelection(int32_t selection);

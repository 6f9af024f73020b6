// A working directory for chat panel tests: the AI settings file, catalogue
// model files where asked for, and the panel's engines on the scripted backend.
#pragma once

#include "ai/AIChatPanel.h"
#include "ai/AISettings.h"
#include "fake_llama_backend.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace chattest
{

// A script whose model answers `text`, one byte per step.
inline std::shared_ptr<FakeLlamaScript> ScriptReplying(const std::string& text)
{
    auto s = std::make_shared<FakeLlamaScript>();
    s->pieces = FakeByteTokenTable();
    const int32_t n = s->VocabSize();
    s->logitsByStep = [text, n](int step) {
        return OneHotLogits(n, step < (int)text.size() ? 3 + (unsigned char)text[(size_t)step] : 2);
    };
    return s;
}

// Opens the program's chat, as the main window does, and returns it.
inline AIChatPanel& OpenChat()
{
    InitializeAIChat();
    EXPECT_TRUE(AIChatPanelInstance);
    return *AIChatPanelInstance;
}

class ChatDirectory
{
public:
    explicit ChatDirectory(bool chdirInto = true) : chdirInto(chdirInto)
    {
        static int counter = 0;
        path = std::filesystem::temp_directory_path() /
               ("dravik-chat-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path);
        previous = std::filesystem::current_path();
        if (chdirInto)
            std::filesystem::current_path(path);
        aiSettingsFileName = (path / "ai_settings.cfg").string();
    }
    ~ChatDirectory()
    {
        SetAIChatBackendFactory(nullptr);
        aiSettingsFileName = "ai_settings.cfg";
        if (chdirInto)
            std::filesystem::current_path(previous);
        std::filesystem::remove_all(path);
    }

    // Writes the settings file and makes the next read see it.
    void Settings(int model, bool enabled)
    {
        std::ofstream(aiSettingsFileName, std::ios::binary)
            << "ai_model=" << model << "\nai_enabled=" << (enabled ? "true" : "false") << "\n";
        ReloadAISettingsQuietly();
    }

    // Creates the catalogue file of a model id with `bytes` bytes or a copy of `from`, written a minute ago.
    std::string ModelFile(int id, size_t bytes = 16, const std::string& from = "")
    {
        const std::string file = AIConfig().GetModelPath(id);
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        if (from.empty())
            std::ofstream(file, std::ios::binary) << std::string(bytes, 'g');
        else
            std::filesystem::copy_file(from, file, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1));
        return file;
    }

    void UseScript(const std::shared_ptr<FakeLlamaScript>& script)
    {
        SetAIChatBackendFactory([script] { return MakeFakeLlamaBackend(script); });
    }

    std::filesystem::path path;

private:
    bool chdirInto;
    std::filesystem::path previous;
};

} // namespace chattest

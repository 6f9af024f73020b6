// The catalogue's local model paths, as far as the chat panel needs them:
// <working directory>/application/ai/models/<sub-directory>/<file>.
#include "ai/AISettings.h"

#include <filesystem>

std::string AIConfig::GetModelPath(int modelId) const
{
    static const char* const SubDirs[] = {"phi2", "llama3.2-3b", "llama3.2-8b"};
    static const char* const Files[] = {"phi-2.gguf", "llama-3.2-3b-instruct.Q4_K_M.gguf",
                                        "llama-3.2-8b-instruct.Q4_K_M.gguf"};
    if (modelId < 0 || modelId > 2)
        return std::string();
    std::filesystem::path dir = std::filesystem::current_path() / "application" / "ai" / "models";
    return dir.string() + "/" + SubDirs[modelId] + "/" + Files[modelId];
}

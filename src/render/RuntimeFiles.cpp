#include "render/RuntimeFiles.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace nrender
{
std::string ProgramDirectory()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::string FindRuntimeFile(const std::string& path)
{
    std::error_code ec;
    if (fs::exists(path, ec))
        return path;
    const std::string program_dir = ProgramDirectory();
    if (program_dir.empty())
        return path;
    const std::string beside = program_dir + "/" + path;
    return fs::exists(beside, ec) ? beside : path;
}
} // namespace nrender

// The program's run-time files (fonts/, media/, the shaders) are looked for
// from the working directory first, then beside the executable, so the program
// starts complete from any folder.
#pragma once

#include <string>

namespace nrender
{
// The folder of the running program, empty when it cannot be told.
std::string ProgramDirectory();

// path itself when it exists from the working directory; otherwise the same
// relative path beside the program when it exists there; otherwise path.
std::string FindRuntimeFile(const std::string& path);
} // namespace nrender

// The folder of the running program: the module file's, or the packed game's.
// Files that belong with a game (its CD-audio tracks) are looked up there.
#pragma once
#include <string>

namespace kr {

// Records the folder of the file the program came from.
void setProgramFile(const std::string& path);
// The folder, or "." (the current directory) when no file was recorded.
std::string programDirectory();

}  // namespace kr

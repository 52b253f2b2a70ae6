#pragma once
// What the Linux files of the program share beyond FileSystem.h.
#include <optional>
#include <string>

namespace vantoril {

// The user's home folder: $HOME, else the one the user database names; only
// an absolute path counts.
std::optional<std::string> homeFolder();
// The base of the user's own data: $XDG_DATA_HOME, else ~/.local/share; as
// the XDG rules say, only an absolute path counts.
std::optional<std::string> dataHomeFolder();
// Creates the folder and each missing folder on the way to it, as mkdir -p.
void makeFolders(const std::string& path);

}  // namespace vantoril

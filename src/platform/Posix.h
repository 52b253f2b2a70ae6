#pragma once
// What the Linux files of the program share beyond FileSystem.h.
#include <optional>
#include <string>
#include <string_view>

namespace vantoril {

// The user's home folder: $HOME, else the one the user database names; only
// an absolute path counts.
std::optional<std::string> homeFolder();
// A base folder of the XDG rules: $`variable` (XDG_DATA_HOME,
// XDG_CONFIG_HOME), else `underHome` in the home folder ("/.local/share",
// "/.config"); as those rules say, only an absolute path counts.
std::optional<std::string> xdgFolder(const char* variable, std::string_view underHome);
// Creates the folder and each missing folder on the way to it, as mkdir -p.
void makeFolders(const std::string& path);

}  // namespace vantoril

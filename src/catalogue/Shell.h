#pragma once
// Command lines handed to the shell to open files, folders and addresses.
#include <string>
#include <string_view>
#include <vector>

#include "platform/CommandLine.h"

namespace vantoril::shell {

using commandline::kBrowserPath;
using commandline::kProtocolHandlerPrefix;
inline constexpr std::u16string_view kMakersPage = u"https://vantoril.example.org/";

// prefix + '"' + path + '"'
std::u16string openCommand(std::u16string_view path);
// browser path + ' ' + arguments, the arguments unchanged and unquoted
std::u16string browserCommand(std::u16string_view arguments);

}  // namespace vantoril::shell

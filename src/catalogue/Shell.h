#pragma once
// Command lines handed to the shell to open files, folders and addresses.
#include <string>
#include <string_view>
#include <vector>

#include "platform/CommandLine.h"

namespace vantoril::shell {

using commandline::kBrowserPath;
using commandline::kProtocolHandlerPrefix;
// The maker's page: the program's own user guide, installed beside the
// program file, which every browser opens offline.
inline constexpr std::string_view kGuideFile = "guide.html";
// The guide's file:// address ("file:///usr/lib/vantoril/guide.html",
// "file:///C:/Program%20Files/Vantoril/guide.html") of the guide in
// `programFolder`; every byte outside letters, digits and -._~/: is
// percent-encoded, so it holds no blank and reads the same in every locale.
std::u16string guideAddress(const std::string& programFolder);

// prefix + '"' + path + '"'
std::u16string openCommand(std::u16string_view path);
// browser path + ' ' + arguments, the arguments unchanged and unquoted
std::u16string browserCommand(std::u16string_view arguments);

}  // namespace vantoril::shell

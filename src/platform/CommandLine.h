#pragma once
// The command lines the program hands to the shell, as Windows reads them,
// and what they mean where there is no Windows shell.
#include <string>
#include <string_view>
#include <vector>

namespace vantoril::commandline {

// Opens its argument with the program associated with it.
inline constexpr std::u16string_view kProtocolHandlerPrefix = u"rundll32 url.dll,FileProtocolHandler ";
// The browser at its fixed place, every separator written as two backslashes.
inline constexpr std::u16string_view kBrowserPath = u"C:\\\\Program Files\\\\Internet Explorer\\\\IEXPLORE.exe";

// Splits arguments by the Windows rules: blanks and tabs separate; double
// quotes group; backslashes escape only before a quote.
std::vector<std::u16string> splitArguments(std::u16string_view arguments);

// What a command line opens: the protocol handler's argument (the rest of
// the line less its enclosing quotes), or the
// browser's arguments (split also at the line ends an address read from a
// file brings along). Throws Failure for any other command line.
std::vector<std::u16string> thingsToOpen(std::u16string_view commandLine);

}  // namespace vantoril::commandline

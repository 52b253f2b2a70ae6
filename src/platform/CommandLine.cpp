#include "platform/CommandLine.h"

#include "platform/Failure.h"
#include "platform/Text.h"

namespace vantoril::commandline {

std::vector<std::u16string> splitArguments(std::u16string_view s) {
  std::vector<std::u16string> args;
  std::size_t i = 0;
  const std::size_t n = s.size();
  for (;;) {
    while (i < n && (s[i] == u' ' || s[i] == u'\t')) ++i;
    if (i >= n) break;
    std::u16string arg;
    bool quoted = false;
    while (i < n && (quoted || (s[i] != u' ' && s[i] != u'\t'))) {
      if (s[i] == u'\\') {
        std::size_t slashes = 0;
        while (i < n && s[i] == u'\\') ++slashes, ++i;
        if (i < n && s[i] == u'"') {
          arg.append(slashes / 2, u'\\');
          if (slashes % 2 == 1) {
            arg += u'"';
            ++i;
          }
        } else {
          arg.append(slashes, u'\\');
        }
      } else if (s[i] == u'"') {
        if (quoted && i + 1 < n && s[i + 1] == u'"') {
          arg += u'"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += s[i++];
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::vector<std::u16string> thingsToOpen(std::u16string_view line) {
  if (line.starts_with(kProtocolHandlerPrefix)) {
    // The handler gets the rest of the line as it stands, less its quotes.
    std::u16string_view path = line.substr(kProtocolHandlerPrefix.size());
    if (path.size() >= 2 && path.front() == u'"' && path.back() == u'"') path = path.substr(1, path.size() - 2);
    return {std::u16string(path)};
  }
  if (line.starts_with(kBrowserPath) && (line.size() == kBrowserPath.size() || line[kBrowserPath.size()] == u' ')) {
    std::vector<std::u16string> things;
    for (auto& arg : splitArguments(line.substr(kBrowserPath.size()))) {
      while (!arg.empty() && (arg.back() == CR || arg.back() == LF)) arg.pop_back();
      while (!arg.empty() && (arg.front() == CR || arg.front() == LF)) arg.erase(0, 1);
      if (!arg.empty()) things.push_back(std::move(arg));
    }
    return things;
  }
  throw Failure("无法启动程序：不认识的命令行 “" + toUtf8(line) + "”");
}

}  // namespace vantoril::commandline

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
    // Each line of an address read from a file is a thing of its own.
    std::vector<std::u16string> things;
    for (const auto& arg : splitArguments(line.substr(kBrowserPath.size()))) {
      std::size_t from = 0;
      while (from <= arg.size()) {
        std::size_t end = arg.find_first_of(u"\r\n", from);
        if (end == std::u16string::npos) end = arg.size();
        if (end > from) things.push_back(arg.substr(from, end - from));
        from = end + 1;
      }
    }
    return things;
  }
  throw Failure("无法启动程序：不认识的命令行 “" + toUtf8(line) + "”");
}

}  // namespace vantoril::commandline

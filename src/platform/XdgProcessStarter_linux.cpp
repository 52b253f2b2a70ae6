#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/CommandLine.h"
#include "platform/Failure.h"
#include "platform/Posix.h"
#include "platform/Text.h"
#include "platform/XdgProcessStarter.h"

extern char** environ;

namespace vantoril {

namespace {

// Starts a program with standard input from /dev/null and standard output
// to `out` (-1: inherited); the posix_spawn error, 0 when it started.
int spawn(const std::vector<std::string>& command, pid_t& child, int out = -1) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out >= 0) {
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  std::vector<char*> argv;
  for (const auto& a : command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const int rc = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc;
}

// Starts a program and returns at once; a detached thread reaps it when it
// ends, so no zombie stays behind, and hands its wait status to `ended`.
// The posix_spawn error, 0 when it started.
int startDetached(const std::vector<std::string>& command, std::function<void(int status)> ended = nullptr) {
  pid_t child = 0;
  const int rc = spawn(command, child);
  if (rc != 0) return rc;
  std::thread([child, ended = std::move(ended)] {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (ended) ended(status);
  }).detach();
  return 0;
}

// What a short-lived program prints; empty when it cannot start, fails or
// takes more than five seconds (it is then ended).
std::string outputOf(const std::vector<std::string>& command) {
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return {};
  pid_t child = 0;
  const int rc = spawn(command, child, pipe[1]);
  ::close(pipe[1]);
  std::string out;
  if (rc == 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      pollfd p{pipe[0], POLLIN, 0};
      const int ready = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
      if (ready < 0 && errno == EINTR) continue;
      char buffer[4096];
      const ssize_t n = ready > 0 ? ::read(pipe[0], buffer, sizeof buffer) : -1;
      if (n < 0 && ready > 0 && errno == EINTR) continue;
      if (n > 0) {
        out.append(buffer, static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0) {  // timed out, or the pipe failed
        ::kill(child, SIGKILL);
        out.clear();
      }
      break;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out.clear();
  }
  ::close(pipe[0]);
  return out;
}

// The folders that hold desktop files, the user's first.
std::vector<std::string> applicationFolders() {
  std::vector<std::string> folders;
  if (const auto dataHome = xdgFolder("XDG_DATA_HOME", "/.local/share")) folders.push_back(*dataHome + "/applications/");
  const char* dataDirs = std::getenv("XDG_DATA_DIRS");
  std::stringstream dirs(dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share");
  // Only absolute paths count, as for the user's own folder.
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (dir.starts_with('/')) folders.push_back(dir + "/applications/");
  return folders;
}

// The command of the desktop's default web browser; empty when none is set
// or its desktop file cannot be read.
std::vector<std::string> defaultBrowserCommand() {
  std::string id = outputOf({"xdg-settings", "get", "default-web-browser"});
  while (!id.empty() && std::isspace(static_cast<unsigned char>(id.back()))) id.pop_back();
  if (!id.ends_with(".desktop") || id.find('/') != std::string::npos) return {};
  for (const auto& folder : applicationFolders()) {
    std::ifstream file(folder + id, std::ios::binary);
    if (!file) continue;
    std::stringstream text;
    text << file.rdbuf();
    return desktopEntryCommand(text.str());
  }
  return {};
}

// Starts the web browser with no address: the desktop's default browser,
// else the user's $BROWSER (through sensible-browser), else the system's
// x-www-browser.
void startBrowser() {
  std::vector<std::vector<std::string>> candidates;
  std::string why;
  if (auto command = defaultBrowserCommand(); !command.empty()) candidates.push_back(std::move(command));
  else why = "桌面没有设定默认浏览器（xdg-settings get default-web-browser）";
  if (const char* browser = std::getenv("BROWSER"); browser && *browser) candidates.push_back({"sensible-browser"});
  candidates.push_back({"x-www-browser"});
  for (const auto& command : candidates) {
    const int rc = startDetached(command);
    if (rc == 0) return;
    why += (why.empty() ? "" : "；") + command[0] + " 无法启动：" + std::strerror(rc);
  }
  throw Failure("找不到可以打开空白网页的网页浏览器：" + why);
}

// A double-quoted argument of an Exec key: \" \` \$ \\ stand for the
// character after the backslash.
bool quotedEscape(char c) { return c == '"' || c == '`' || c == '$' || c == '\\'; }

}  // namespace

std::vector<std::string> desktopEntryCommand(std::string_view desktopFile) {
  // The Exec value of the [Desktop Entry] group, its string escapes undone.
  std::string exec;
  bool inEntry = false, found = false;
  std::size_t from = 0;
  while (!found && from < desktopFile.size()) {
    std::size_t end = desktopFile.find('\n', from);
    if (end == std::string_view::npos) end = desktopFile.size();
    std::string_view line = desktopFile.substr(from, end - from);
    from = end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.starts_with('[')) {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    const std::size_t eq = line.find('=');
    if (!inEntry || eq == std::string_view::npos) continue;
    std::string_view key = line.substr(0, eq);
    while (key.ends_with(' ')) key.remove_suffix(1);
    if (key != "Exec") continue;
    std::string_view value = line.substr(eq + 1);
    while (value.starts_with(' ')) value.remove_prefix(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (value[i] != '\\' || i + 1 == value.size()) {
        exec += value[i];
        continue;
      }
      switch (value[++i]) {
        case 's': exec += ' '; break;
        case 'n': exec += '\n'; break;
        case 't': exec += '\t'; break;
        case 'r': exec += '\r'; break;
        case '\\': exec += '\\'; break;
        default: exec += '\\', exec += value[i];
      }
    }
    found = true;
  }

  // Arguments part at blanks outside double quotes; a field code is taken
  // out, and an argument that was nothing but field codes goes with it.
  std::vector<std::string> command;
  std::size_t i = 0;
  while (i < exec.size()) {
    while (i < exec.size() && (exec[i] == ' ' || exec[i] == '\t')) ++i;
    if (i == exec.size()) break;
    std::string arg;
    bool quoted = false, onlyFieldCodes = true;
    for (; i < exec.size() && (quoted || (exec[i] != ' ' && exec[i] != '\t')); ++i) {
      const char c = exec[i];
      if (c == '"') {
        quoted = !quoted;
        onlyFieldCodes = false;
      } else if (quoted && c == '\\' && i + 1 < exec.size() && quotedEscape(exec[i + 1])) {
        arg += exec[++i];
        onlyFieldCodes = false;
      } else if (c == '%' && i + 1 < exec.size()) {
        if (exec[++i] == '%') arg += '%', onlyFieldCodes = false;
      } else {
        arg += c;
        onlyFieldCodes = false;
      }
    }
    if (!onlyFieldCodes) command.push_back(std::move(arg));
  }
  return command;
}

std::string fileAddress(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string address = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) && byte < 0x80) address += c;
    else if (c == '-' || c == '.' || c == '_' || c == '~' || c == '/') address += c;
    else address += {'%', kHex[byte >> 4], kHex[byte & 15]};
  }
  return address;
}

void XdgProcessStarter::tellLateFailures(std::function<void(const std::string& message)> failed) {
  const std::lock_guard<std::mutex> lock(listener_->mutex);
  listener_->failed = std::move(failed);
}

void XdgProcessStarter::start(const std::u16string& commandLine, WindowStyle) {
  const auto things = commandline::thingsToOpen(commandLine);
  if (things.empty()) return startBrowser();
  for (const auto& thing : things) {
    const std::string named = fileNameBytes(thing);
    const std::string argument = named.starts_with('/') ? fileAddress(named) : named;
    const auto ended = [listener = listener_, opener = opener_, named](int status) {
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
      // In a person's words: xdg-open ends with 3 when it finds no program
      // for the file, 4 when the one it found fails, 2 when there is no file.
      const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      const std::string why = code == 3 || code == 4 ? "没有能打开它的程序，或那个程序打开失败"
                              : code == 2           ? "找不到它"
                                                    : opener + " 中途失败";
      const std::lock_guard<std::mutex> lock(listener->mutex);
      if (listener->failed) listener->failed("无法打开 " + named + "：" + why);
    };
    if (const int rc = startDetached({opener_, argument}, ended); rc != 0)
      failWithErrno("无法启动 " + opener_ + " 来打开 " + named, rc);
  }
}

}  // namespace vantoril

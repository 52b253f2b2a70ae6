#pragma once
// Stand-ins for the services of the window, and a throw-away program folder.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/PageRequest.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vantoril::test {

// Pages by address; an unknown address fails like a refused download. Pages
// fetched ahead are downloaded when collected; `calls` logs "ahead",
// "collect" and "abandon" with each ticket's address.
class FakeDownloader final : public Downloader {
 public:
  std::map<std::u16string, std::u16string> pages;
  std::vector<std::u16string> requested;
  std::vector<std::string> calls;
  std::map<Ticket, std::u16string> held;  // fetched ahead, not yet collected or abandoned
  std::size_t mostHeld = 0;
  bool offline = false;  // every download fails as with no network
  std::function<void()> onDownload;  // called at every download, before it answers

  std::u16string download(const std::u16string& address) override {
    requested.push_back(address);
    if (onDownload) onDownload();
    if (offline) throw page::hostUnresolved(toUtf8(address));
    const auto it = pages.find(address);
    if (it == pages.end()) throw page::failed(toUtf8(address), "没有这个网页");
    return it->second;
  }
  Ticket fetchAhead(const std::u16string& address) override {
    const Ticket ticket = Downloader::fetchAhead(address);
    calls.push_back("ahead " + toUtf8(address));
    held[ticket] = address;
    mostHeld = std::max(mostHeld, held.size());
    return ticket;
  }
  std::u16string collect(Ticket ticket, const std::function<void()>& whileWaiting) override {
    release("collect ", ticket);
    if (whileWaiting) whileWaiting();
    return Downloader::collect(ticket, whileWaiting);
  }
  void abandon(Ticket ticket) override {
    release("abandon ", ticket);
    Downloader::abandon(ticket);
  }

 private:
  void release(const std::string& what, Ticket ticket) {
    const auto it = held.find(ticket);
    if (it == held.end()) throw std::logic_error(what + "of a ticket not held");
    calls.push_back(what + toUtf8(it->second));
    held.erase(it);
  }
};

class RecordingStarter final : public ProcessStarter {
 public:
  struct Call {
    std::u16string commandLine;
    WindowStyle style;
  };
  std::vector<Call> calls;
  std::string failure;  // when set, every start fails with it, as with no program to open the file
  void start(const std::u16string& commandLine, WindowStyle style) override {
    calls.push_back({commandLine, style});
    if (!failure.empty()) throw Failure(failure);
  }
};

// Answers the input boxes in order; an exhausted script answers as Cancel.
class ScriptedInput final : public InputBox {
 public:
  struct Question {
    std::u16string prompt, title, defaultText;
  };
  std::deque<std::u16string> answers;
  std::vector<Question> asked;
  std::u16string ask(const std::u16string& prompt, const std::u16string& title,
                     const std::u16string& defaultText) override {
    asked.push_back({prompt, title, defaultText});
    if (answers.empty()) return {};
    std::u16string a = answers.front();
    answers.pop_front();
    return a;
  }
};

class CollectingReport final : public ErrorReport {
 public:
  std::vector<std::string> messages;
  int informed = 0;  // of the messages, those that were no failure
  void report(const std::string& message) override { messages.push_back(message); }
  void inform(const std::string& message) override {
    messages.push_back(message);
    ++informed;
  }
};

// A path as the program names it (UTF-8) and back, on every platform.
inline std::string utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}
inline std::filesystem::path fsPath(std::string_view utf8) { return std::u8string(utf8.begin(), utf8.end()); }

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    for (int attempt = 0; path_.empty(); ++attempt) {
      if (attempt == 100) throw std::runtime_error("cannot create a temporary folder");
      const auto folder = std::filesystem::temp_directory_path() / ("vantoril-" + std::to_string(random()));
      if (std::filesystem::create_directory(folder)) path_ = utf8Path(folder);
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(fsPath(path_), std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(fsPath(path_), ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Makes `folder` the current folder for its lifetime, then goes back.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(fsPath(folder));
  }
  ~InFolder() { std::filesystem::current_path(previous_); }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

// The lines of `text`, without their line ends.
inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Writes `text` as GBK bytes, creating the parent folders.
inline void writeGbk(const std::string& path, std::u16string_view text) {
  std::filesystem::create_directories(fsPath(path).parent_path());
  writeWholeFile(path, cp936::encode(text));
}

inline std::string readBytes(const std::string& path) { return readWholeFile(path); }

inline bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// The line of a run's report that names `place` ("place: cause"), or "".
inline std::string reportLine(const std::string& message, const std::string& place) {
  const std::string start = "\n" + place + ": ";
  const std::size_t at = message.find(start);
  if (at == std::string::npos) return {};
  return message.substr(at + 1, message.find('\n', at + 1) - at - 1);
}

// CR LF pairs in `bytes`: a data file's lines.
inline std::size_t crlfCount(std::string_view bytes) {
  std::size_t n = 0;
  for (std::size_t at = 0; (at = bytes.find("\r\n", at)) != std::string_view::npos; at += 2) ++n;
  return n;
}

// A Form1 on a temporary program folder, with every service faked.
struct FormFixture {
  TempFolder folder;
  FakeDownloader downloader;
  RecordingStarter starter;
  ScriptedInput input;
  CollectingReport report;
  std::unique_ptr<Form1> form;
  std::optional<std::chrono::system_clock::time_point> now;  // the form's clock; none: the system's
  explicit FormFixture(RunObserver* observer = nullptr) {
    form = std::make_unique<Form1>(folder.path(), Form1Services{downloader, starter, input, report, observer, nullptr, [this] {
                                                                  return now ? *now : std::chrono::system_clock::now();
                                                                }});
  }
  std::string website(const std::string& relative = "") const { return folder / ("WebSite/" + relative); }
  std::string weatherData(const std::string& relative = "") const { return folder / ("WeatherData/" + relative); }
};

}  // namespace vantoril::test

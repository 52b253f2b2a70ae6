#include "runlog/RunLog.h"

#include <array>
#include <charconv>
#include <ctime>
#include <exception>
#include <iostream>
#include <utility>
#include <vector>

#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vantoril::runlog {

namespace {

// The count fields of a summary line, in order, each "<label> <number>".
constexpr std::array<std::string_view, 6> kLabels = {"地名", "记录", "暂存", "跳过", "错误", "退出码"};

// Worked out once a second, not for every line: localtime reads the time
// zone file again each time.
std::string now() {
  thread_local std::time_t second = -1;
  thread_local std::string text;
  const std::time_t t = std::time(nullptr);
  if (t != second) {
    char local[32] = "";
    if (const std::tm* tm = std::localtime(&t)) std::strftime(local, sizeof local, "%Y-%m-%d %H:%M:%S", tm);
    second = t;
    text = local;
  }
  return text;
}

// A field holds no tab and no line break.
std::string field(std::string_view text) {
  std::string f(text);
  for (char& c : f)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return f;
}

std::vector<std::string_view> split(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

std::optional<int> number(std::string_view field, std::string_view label) {
  if (!field.starts_with(label) || field.size() < label.size() + 2 || field[label.size()] != ' ') return std::nullopt;
  const std::string_view digits = field.substr(label.size() + 1);
  int n = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (error != std::errc() || end != digits.data() + digits.size() || n < 0) return std::nullopt;
  return n;
}

std::optional<Summary> parseSummary(std::string_view line) {
  const std::vector<std::string_view> f = split(line);
  if ((f.size() != 8 && f.size() != 9) || f[1] != kSummaryMark) return std::nullopt;
  std::array<int, kLabels.size()> n{};
  for (std::size_t i = 0; i < kLabels.size(); ++i) {
    const auto value = number(f[2 + i], kLabels[i]);
    if (!value) return std::nullopt;
    n[i] = *value;
  }
  Summary s;
  s.time = std::string(f[0]);
  s.counts = {n[0], n[1], n[2], n[3], n[4]};
  s.exitCode = n[5];
  if (f.size() == 9) s.note = std::string(f[8]);
  s.line = std::string(line);
  return s;
}

// Past its bound the log keeps its newer half. (Its writer counted the
// bytes up to the bound: the file is read without looking at its size first.)
void trim(const std::string& path) {
  const std::string all = readWholeFile(path);
  if (all.size() <= kMostBytes) return;
  // From the first line that starts in the newer half; never later than
  // the last line, the one just written.
  std::size_t from = all.find('\n', all.size() / 2);
  from = from == std::string::npos ? all.size() : from + 1;
  const std::size_t lastLine = all.size() < 2 ? 0 : all.rfind('\n', all.size() - 2);
  from = std::min(from, lastLine == std::string::npos ? 0 : lastLine + 1);
  replaceFile(path, std::string_view(all).substr(from));
}

}  // namespace

std::string logPath(const std::string& folder) { return folder + pathSeparator() + kLogFileName; }

std::optional<Summary> lastSummary(const std::string& folder) {
  const std::optional<std::string> all = readFileIfExists(logPath(folder));
  if (!all) return std::nullopt;
  return lastSummaryIn(*all);
}

std::optional<Summary> lastSummaryIn(std::string_view all) {
  // Line by line from the end; `end` is where the line ends (its '\n', or the end of the log).
  for (std::size_t end = all.size(); end > 0;) {
    const std::size_t newline = all.rfind('\n', end - 1);
    const std::size_t start = newline == std::string_view::npos ? 0 : newline + 1;
    std::string_view line = all.substr(start, end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (auto s = parseSummary(line)) return s;
    end = newline == std::string_view::npos ? 0 : newline;
  }
  return std::nullopt;
}

RunLog::RunLog(std::string folder, bool mayTrim) : path_(logPath(folder)), mayTrim_(mayTrim) {}

void RunLog::place(std::u16string_view place, std::string_view what) {
  write(now() + '\t' + field(toUtf8(place)) + '\t' + field(what) + '\n');
}

std::string summaryLine(std::string_view time, const Counts& c, int exitCode, std::string_view note) {
  const std::array<int, kLabels.size()> n = {c.places, c.recorded, c.kept, c.skipped, c.failed, exitCode};
  std::string line = field(time) + '\t' + std::string(kSummaryMark);
  for (std::size_t i = 0; i < kLabels.size(); ++i) line += '\t' + std::string(kLabels[i]) + ' ' + std::to_string(n[i]);
  if (!note.empty()) line += '\t' + field(note);
  return line;
}

void RunLog::summary(const Counts& c, int exitCode, std::string_view note) {
  write(summaryLine(now(), c, exitCode, note) + '\n');
  // A trim a crash cut short left its temporary file: a run holding the
  // run lock removes it.
  if (mayTrim_) {
    try {
      removeFileIfExists(temporaryPath(path_));
    } catch (const std::exception&) {
    }
  }
}

void RunLog::notice(std::string_view what, std::string_view mark) {
  write(now() + '\t' + std::string(mark) + '\t' + field(what) + '\n');
}

void RunLog::write(std::string line) {
  try {
    appendOrCreateFile(path_, line);
    if (mayTrim_) {
      // The size is looked up once and then counted on: only a run holding
      // the run lock writes more than a line.
      size_ = size_ ? *size_ + line.size() : fileSize(path_);
      if (*size_ > kMostBytes) {
        size_.reset();
        trim(path_);
      }
    }
  } catch (const std::exception& e) {
    if (!std::exchange(complained_, true)) std::cerr << "无法写入运行记录 " << path_ << "：" << e.what() << '\n';
  }
}

}  // namespace vantoril::runlog

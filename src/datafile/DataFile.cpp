#include "datafile/DataFile.h"

#include <algorithm>
#include <optional>
#include <string>

#include "datafile/FolderNames.h"
#include "datafile/Format.h"
#include "datafile/LastRecord.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "datafile/RecordedValue.h"

namespace vantoril::datafile {

std::string folder(const std::string& programFolder) { return programFolder + pathSeparator() + "WeatherData"; }

namespace {

// A file of the place in the data folder: "<place>-WeatherData<ending>".
std::string placeFile(const std::string& programFolder, std::u16string_view place, std::string_view ending) {
  return folder(programFolder) + pathSeparator() + fileNameBytes(place) + "-WeatherData" + std::string(ending);
}

}  // namespace

std::string path(const std::string& programFolder, std::u16string_view place) {
  return placeFile(programFolder, place, ".xls");
}

namespace {

bool isControl(char16_t c) { return c < 0x20 || c == 0x7F; }

// Characters, a pair of surrogates counting once.
std::size_t characters(std::u16string_view value) {
  std::size_t n = 0;
  for (char16_t c : value) n += (c & 0xFC00) != 0xDC00;
  return n;
}

// The value as a message shows it: its first characters, control
// characters written as \xNN.
std::string shown(std::u16string_view value) {
  constexpr std::size_t kShown = 16;
  std::u16string text;
  for (std::size_t i = 0; i < value.size() && i < kShown; ++i) {
    if (!isControl(value[i])) {
      text += value[i];
      continue;
    }
    static constexpr char16_t hex[] = u"0123456789ABCDEF";
    text += {u'\\', u'x', hex[value[i] >> 4], hex[value[i] & 15]};
  }
  if (value.size() > kShown) text += u"…";
  return "“" + toUtf8(text) + "”";
}

}  // namespace

std::u16string recordText(std::u16string_view observationTime, const SeriesLists& lists) {
  // What the record keeps is data, never code: a value that is not a plain
  // number or a placeholder (a formula, also behind a blank; a date, a
  // time, an exponent or a word, which a spreadsheet would change) is
  // refused, and a control character (a tab or line break would also shift
  // the record's columns or lines) or a value longer than any reading is
  // said as such.
  const auto refuse = [](const std::string& field, std::u16string_view value, const std::string& cause) {
    throw Failure("观测数据" + field + "的值 " + shown(value) + " " + cause + "，没有记录");
  };
  const auto check = [&](const char* series, int entry, std::u16string_view value) {
    const auto field = [&] { return std::string("“") + series + "”第 " + std::to_string(entry) + " 项"; };
    if (std::find_if(value.begin(), value.end(), isControl) != value.end())
      refuse(field(), value, "含有控制字符（如制表符、换行）");
    if (characters(value) > kMostValueCharacters)
      refuse(field(), value, "超过 " + std::to_string(kMostValueCharacters) + " 个字符");
    if (!recordedValue(value)) refuse(field(), value, "不是数字，也不是网站表示没有读数的 null、-、--");
    return value;
  };
  if (observationTime.size() > kMostTimeDigits ||
      observationTime.find_first_not_of(u"0123456789") != std::u16string_view::npos)
    refuse("时间", observationTime, "不是 " + std::to_string(kMostTimeDigits) + " 位以内的数字");
  std::u16string text = u"数据记录时间:";
  text += observationTime;
  text += CRLF;
  text += u"整点\t气温\t降水\t湿度";
  text += CRLF;
  for (int e = kSeriesEntries; e >= 1; --e) {
    text += check("整点", e, lists.hour.values[e]);
    text += u'\t';
    text += check("气温", e, lists.temperature.values[e]);
    text += u'\t';
    text += check("降水", e, lists.precipitation.values[e]);
    text += u'\t';
    text += check("湿度", e, lists.humidity.values[e]);
    text += CRLF;
  }
  return text;
}

namespace {

// Whether the file may be there, where the run's names know.
bool mayHold(const FolderNames* names, const std::string& path) { return !names || names->mayHold(path); }

constexpr std::string_view kNewFile = "new";
// The note's first line once the pending records are known to be in the
// data file and only their file is left to remove.
constexpr std::string_view kLanded = "landed";

std::string landingPath(const std::string& programFolder, std::u16string_view place) {
  return placeFile(programFolder, place, ".landing");
}

// The data file's first line, written with the file's first records in one
// write: a failed write leaves no file, never one with the header only.
std::string headerBytes() { return cp936::encode(u"天气数据文件\r\n"); }

// Settles what a crash left between noting a write of pending records and
// removing the note: when the noted bytes are in the data file where the
// note says, the pending file is done with; else a half of them is cut off
// again and the pending file stays as it is. Doing this twice does no harm.
// True when the pending records are in the data file but their file cannot
// be removed yet (another program holds it): the note stays, saying so in a
// way no later change of the data file can undo.
bool settleLanding(const std::string& landing, const std::string& data, const std::string& pending,
                   const FolderNames* names) {
  if (!mayHold(names, landing)) return false;
  const std::optional<std::string> noted = readFileIfExists(landing);
  if (!noted) return false;
  const std::string& note = *noted;
  const std::size_t eol = note.find("\r\n");
  if (eol == std::string::npos) throw Failure("补写记录文件 " + landing + " 不完整，请查看后删除它");
  const std::string_view before = std::string_view(note).substr(0, eol);
  const std::string_view bytes = std::string_view(note).substr(eol + 2);
  // The pending file, once its records are in, goes as soon as it may.
  const auto removePending = [&] {
    try {
      if (fileExists(pending)) removeFile(pending);
      return true;
    } catch (const Failure&) {
      return false;
    }
  };
  if (before == kLanded) {
    if (!removePending()) return true;
    removeFile(landing);
    return false;
  }
  const bool created = before == kNewFile;
  unsigned long long start = 0;
  if (!created) {
    if (before.empty() || before.find_first_not_of("0123456789") != std::string_view::npos || before.size() > 18)
      throw Failure("补写记录文件 " + landing + " 不完整，请查看后删除它");
    start = std::stoull(std::string(before));
  }
  const std::string now = readFileIfExists(data).value_or(std::string());
  const std::string_view after = now.size() > start ? std::string_view(now).substr(start) : std::string_view();
  if (after.starts_with(bytes)) {
    if (!removePending()) {
      // A user may edit the data file while the pending file is held: the
      // records must not land again then.
      try {
        replaceFile(landing, std::string(kLanded) + "\r\n");
      } catch (const Failure&) {
      }
      return true;
    }
  } else if (!after.empty() && bytes.starts_with(after)) {
    // Cut short by the crash.
    if (created) removeFile(data);
    else truncateFile(data, start);
  }
  // Else they did not land (a data file changed otherwise is left alone):
  // the pending file still holds them.
  removeFile(landing);
  return false;
}

}  // namespace

std::string pendingPath(const std::string& programFolder, std::u16string_view place) {
  return placeFile(programFolder, place, ".pending");
}

std::string damagedPath(const std::string& programFolder, std::u16string_view place) {
  return placeFile(programFolder, place, ".damaged");
}

namespace {

// How much of a data file's end is read to find its last record: far more
// than a record of the longest values takes.
constexpr unsigned long long kEndRead = 64 * 1024;

// Whether the file ends with `bytes`.
bool endsWith(const std::string& file, std::string_view bytes) {
  if (!fileExists(file)) return false;
  const unsigned long long size = fileSize(file);
  return size >= bytes.size() && readFileFrom(file, size - bytes.size()) == bytes;
}

// The data file as a place's turn finds it, read once: the newest record,
// the check of its end and the append all take this one open (where the
// file cannot be opened to be written, each of them goes its own way, and
// the write says why it fails).
struct DataEnd {
  std::string path;
  std::optional<OpenFile> open;
  bool exists = false;
  unsigned long long size = 0;
  unsigned long long from = 0;  // where `end` starts
  std::string end;

  DataEnd(std::string file, const FolderNames* names)
      : path(std::move(file)),
        open(mayHold(names, path) ? OpenFile::forAppend(path) : std::nullopt),
        exists(open || (mayHold(names, path) && fileExists(path))) {}

  void read() {
    if (!exists) return;
    size = open ? open->size() : fileSize(path);
    from = size > kEndRead ? size - kEndRead : 0;
    end = open ? open->readFrom(from) : readFileFrom(path, from);
  }

  std::optional<long long> newestRecordHour() const {
    if (!exists) return std::nullopt;
    return lastRecordHourFrom(end, from, [&] { return open ? open->readFrom(0) : readWholeFile(path); });
  }

  void cut(unsigned long long to) {
    if (open) open->truncate(to);
    else truncateFile(path, to);
    size = to;
  }

  // Appends `bytes`, made when missing; on disk before the call returns
  // when `durable`.
  void append(std::string_view bytes, bool durable) {
    if (open) {
      OpenFile file = std::move(*open);
      open.reset();
      file.appendAndClose(bytes, durable);
      return;
    }
    appendOrCreateFile(path, bytes);
    if (durable) syncFile(path);
  }
};

// Makes the data file end where a record may follow: a torn end (a write
// cut short by a power cut or a crash, Format.h's tornFrom) is moved, byte
// for byte, to the end of the place's ".damaged" file, on disk before it
// leaves the data file; a data file that cannot be cut (read-only, held by
// another program) keeps it, copied nowhere (Failure). A copy that an
// earlier call made without the cut (it crashed, or the cut failed) is
// seen at the damaged file's end and not made again. Gives what goes before
// the record: the header line a new data file starts with when the file is
// missing or empty (so that its next write starts it afresh), the line
// break a last line without one lacks, else nothing. What was moved is said
// in `repaired`.
std::string mendEnd(const std::string& programFolder, std::u16string_view place, DataEnd& data,
                    std::string& repaired, const FolderNames* names) {
  const std::string damaged = damagedPath(programFolder, place);
  if (!data.exists || data.size == 0) return headerBytes();
  const std::optional<std::size_t> found = tornFrom(data.end, data.from == 0);
  if (!found)
    throw Failure("数据文件 " + data.path + " 的最后 " + std::to_string(kEndRead) +
                  " 字节中没有换行，无法确定最后一条记录是否完整，请查看后再记录");
  const std::size_t torn = *found;
  if (torn == data.end.size()) return std::string(missingLineBreak(data.end));
  const std::string_view tail = std::string_view(data.end).substr(torn);
  // Fails where the data file cannot be written, so not cut.
  if (!data.open) appendToFile(data.path, {});
  if (!endsWith(damaged, tail)) {
    const bool created = !mayHold(names, damaged) || !fileExists(damaged);
    appendOrCreateFile(damaged, tail);
    syncFile(damaged);
    if (created) syncFolder(folder(programFolder));
  }
  data.cut(data.from + torn);
  repaired = "数据文件末尾有 " + std::to_string(tail.size()) + " 字节不完整的内容，已移到 " + damaged;
  return data.from + torn == 0 ? headerBytes() : std::string();
}

// The newest record's hour, for what the run tells its person; none where
// the files cannot tell it.
template <class Read>
std::optional<long long> newestOrNone(Read&& read) {
  try {
    return read();
  } catch (const Failure&) {
    return std::nullopt;
  }
}

}  // namespace

Appended appendRecord(const std::string& programFolder, std::u16string_view place, std::u16string_view record,
                      const FolderNames* names) {
  const std::string file = path(programFolder, place);
  const std::string pending = pendingPath(programFolder, place);
  const std::string landing = landingPath(programFolder, place);
  std::u16string text(record);
  text += CRLF;
  const std::string bytes = cp936::encode(text);
  // A character GBK cannot hold, or one a page's bytes did not decode to
  // (U+FFFD), would be stored as "?": such a record is refused.
  if (cp936::decode(bytes) != text) throw Failure("观测数据中有无法解码或无法以 GBK 保存的字符，没有记录");

  // A note a crash left half-written under its temporary name is no note.
  try {
    if (mayHold(names, temporaryPath(landing))) removeFileIfExists(temporaryPath(landing));
  } catch (const Failure&) {
  }
  Appended appended;
  if (settleLanding(landing, file, pending, names)) {
    // The pending records are in the data file already: this one goes
    // alone, and where it cannot, it fails (the pending file, which still
    // holds records that landed, must take no more).
    appended.before = newestOrNone([&] { return lastRecordHourIn(readWholeFile(pending), true); });
    DataEnd data(file, names);
    data.read();
    if (!appended.before) appended.before = newestOrNone([&] { return data.newestRecordHour(); });
    const std::string header = mendEnd(programFolder, place, data, appended.repaired, names);
    data.append(header + bytes, false);
    return appended;
  }
  const std::optional<std::string> pendingBytes =
      mayHold(names, pending) ? readFileIfExists(pending) : std::optional<std::string>();
  const bool hadPending = pendingBytes.has_value();
  const std::string kept = pendingBytes.value_or(std::string());
  if (hadPending) appended.before = lastRecordHourIn(kept, true);
  DataEnd data(file, names);
  // Mostly there: the folder is looked for only when the file is not.
  if (!data.exists) ensureFolder(folder(programFolder));
  try {
    data.read();
    if (!appended.before) appended.before = newestOrNone([&] { return data.newestRecordHour(); });
    const std::string header = mendEnd(programFolder, place, data, appended.repaired, names);
    if (kept.empty()) {
      data.append(header + bytes, false);
    } else {
      // The pending records, then this one, in one write, noted first: the
      // note on disk before the write, the write on disk before the pending
      // file goes, its going on disk before the note goes.
      const bool created = !data.exists;
      const std::string all = header + kept + bytes;
      replaceFile(landing, (created ? std::string(kNewFile) : std::to_string(data.size)) + "\r\n" + all);
      try {
        data.append(all, true);
        if (created) syncFolder(folder(programFolder));
      } catch (const Failure&) {
        // Nothing landed: the note goes (or the next call finds that out).
        try {
          removeFile(landing);
        } catch (const Failure&) {
        }
        throw;
      }
    }
  } catch (const Failure& e) {
    try {
      appendOrCreateFile(pending, bytes);
    } catch (const Failure& pendingFailure) {
      throw Failure(std::string(e.what()) + "；暂存文件也无法写入：" + pendingFailure.what());
    }
    appended.kept = true;
    appended.cause = e.what();
    return appended;
  }
  // In the data file now. A pending file or note that cannot be removed
  // stays for the next call, which sees from the note that they landed.
  if (hadPending) {
    try {
      removeFile(pending);
      if (!kept.empty()) {
        syncFolder(folder(programFolder));
        removeFile(landing);
      }
    } catch (const Failure&) {
    }
  }
  return appended;
}

}  // namespace vantoril::datafile

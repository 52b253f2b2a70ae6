#include "recording/DataFile.h"

#include <optional>
#include <string>

#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

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

std::u16string recordText(std::u16string_view observationTime, const SeriesLists& lists) {
  const auto field = [](std::u16string_view value) {
    if (value.find_first_of(u"\t\r\n") != std::u16string_view::npos)
      throw Failure("观测数据中有制表符或换行，没有记录");
    return value;
  };
  std::u16string text = u"数据记录时间:";
  text += field(observationTime);
  text += CRLF;
  text += u"整点\t气温\t降水\t湿度";
  text += CRLF;
  for (int e = kSeriesEntries; e >= 1; --e) {
    text += field(lists.hour.values[e]);
    text += u'\t';
    text += field(lists.temperature.values[e]);
    text += u'\t';
    text += field(lists.precipitation.values[e]);
    text += u'\t';
    text += field(lists.humidity.values[e]);
    text += CRLF;
  }
  return text;
}

namespace {

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
bool settleLanding(const std::string& landing, const std::string& data, const std::string& pending) {
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

Appended appendRecord(const std::string& programFolder, std::u16string_view place, std::u16string_view record) {
  ensureFolder(folder(programFolder));
  const std::string file = path(programFolder, place);
  const std::string pending = pendingPath(programFolder, place);
  const std::string landing = landingPath(programFolder, place);
  std::u16string text(record);
  text += CRLF;
  const std::string bytes = cp936::encode(text);
  // A character GBK cannot hold, or one a page's bytes did not decode to
  // (U+FFFD), would be stored as "?": such a record is refused.
  if (cp936::decode(bytes) != text) throw Failure("观测数据中有无法解码或无法以 GBK 保存的字符，没有记录");

  if (settleLanding(landing, file, pending)) {
    // The pending records are in the data file already: this one goes
    // alone, and where it cannot, it fails (the pending file, which still
    // holds records that landed, must take no more).
    appendOrCreateFile(file, bytes, headerBytes());
    return {};
  }
  const std::optional<std::string> pendingBytes = readFileIfExists(pending);
  const bool hadPending = pendingBytes.has_value();
  const std::string kept = pendingBytes.value_or(std::string());
  try {
    if (kept.empty()) {
      appendOrCreateFile(file, bytes, headerBytes());
    } else {
      // The pending records, then this one, in one write, noted first.
      const bool created = !fileExists(file);
      const std::string all = kept + bytes;
      replaceFile(landing, (created ? std::string(kNewFile) : std::to_string(fileSize(file))) + "\r\n" +
                               (created ? headerBytes() + all : all));
      try {
        appendOrCreateFile(file, all, headerBytes());
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
    return {true, e.what()};
  }
  // In the data file now. A pending file or note that cannot be removed
  // stays for the next call, which sees from the note that they landed.
  if (hadPending) {
    try {
      removeFile(pending);
      if (!kept.empty()) removeFile(landing);
    } catch (const Failure&) {
    }
  }
  return {};
}

}  // namespace vantoril::datafile

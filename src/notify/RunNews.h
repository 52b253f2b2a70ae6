#pragma once
// What a recording run tells its person: the end-of-run report (a message
// box, or stderr), and the notification after a run the schedule started.
// Both put the places that share a cause on one line, by the one rule
// here, and stay short: the run log holds every place.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoril::notify {

// What a run has to say about one place.
struct PlaceNote {
  enum Kind {
    NotRecorded,    // failed, or skipped
    Kept,           // recorded into its pending file
    Stale,          // recorded, but the page has stopped updating
    HoursLost,      // recorded, but hours since the record before are gone for good
    LastRecordOld,  // not recorded, and its newest record is old: the next miss loses hours
    Repaired,       // recorded, after its data file's torn end was moved aside
    NotExported,    // left out of an export
  };
  Kind kind = NotRecorded;
  std::string place;  // as the report names it
  std::string line;   // the place's own line: "杭州: 下载 … 失败：HTTP 状态 404"
  // What the places alike share, said of them all after "N 个地名都"
  // ("无法下载：HTTP 状态 404"). Notes of one kind with the same group are
  // one line.
  std::string group;
};

// Lines of a report, at most this many beside the headings.
inline constexpr std::size_t kMostLines = 15;
// Of the notification, which the system shows in a small box.
inline constexpr std::size_t kMostNotificationLines = 5;
// A line of names is wrapped past this many columns (a Chinese character two).
inline constexpr std::size_t kWrapColumns = 72;

// A page whose observation time is older than this has stopped updating.
inline constexpr std::chrono::hours kStaleAfter{48};
// The site keeps this many hours of observations; a record holds them all.
inline constexpr int kHoursKept = 24;
// A place not recorded whose newest record is older than this loses hours
// at the next miss.
inline constexpr int kWarnAfterHours = 20;

// The heading of a kind: "以下 3 个地名没有记录：".
std::string heading(PlaceNote::Kind kind, std::size_t places);

// The report of `notes`: per kind present (in the order of Kind), its
// heading, then each group: a group of one place is the place's line, a
// larger one "N 个地名都<group>（甲、乙、丙）" naming every place, wrapped
// past kWrapColumns. At most `mostLines` lines of places (a group cut short
// ends in "等"), then, when places are left unnamed, "另有 N 个地名，详见
// <logPath>" (without "，详见" when `logPath` is empty). Kinds are apart
// by a blank line. Empty for no notes.
std::string reportText(const std::vector<PlaceNote>& notes, const std::string& logPath,
                       std::size_t mostLines = kMostLines);

// A run's notification.
struct Notification {
  std::string title;
  std::string body;
};

// What a run the schedule started has to tell. `gaveUp` is the cause when
// the run gave up waiting for another run. None when everything went well.
std::optional<Notification> runNotification(const std::vector<PlaceNote>& notes, const std::string& gaveUp,
                                            const std::string& logPath);

// Whether a note calls for a notification (a stale page or a repaired data
// file alone does not: it is named when something else is told).
bool needsPerson(const std::vector<PlaceNote>& notes);

// Observation times on the site's clock (Beijing time), in whole hours.
// The hour of "yyyyMMddHH"; none for anything else.
std::optional<long long> siteHour(std::u16string_view observationTime);
// The site's hour at `now`.
long long siteHourAt(std::chrono::system_clock::time_point now);
// An hour of the site's clock in a person's words, "12月7日 14时"; with
// its year first ("2025年12月7日 14时") when that is not the year of `now`.
std::string personHour(long long hour, long long now);
// "观测时间 12月7日 14时 已超过 48 小时，页面不再更新" when `observationTime` is
// older than kStaleAfter at `now`; none when it is not (or is no time).
std::optional<std::string> staleCause(std::u16string_view observationTime, std::chrono::system_clock::time_point now);

}  // namespace vantoril::notify

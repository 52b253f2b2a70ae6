#include "notify/RunNews.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "chart/History.h"
#include "platform/Text.h"

namespace vantoril::notify {

namespace {

constexpr PlaceNote::Kind kKinds[] = {PlaceNote::NotRecorded, PlaceNote::LastRecordOld, PlaceNote::Kept,
                                      PlaceNote::HoursLost, PlaceNote::Stale, PlaceNote::Repaired,
                                      PlaceNote::NotExported};
// The site's clock: Beijing time, UTC+8 all year.
constexpr std::chrono::hours kSiteOffset{8};

// The notes of one kind, as lines: one per group, in the order of their first place.
struct Group {
  std::vector<const PlaceNote*> notes;
};

std::vector<Group> groupsOf(const std::vector<PlaceNote>& notes, PlaceNote::Kind kind) {
  std::vector<Group> groups;
  std::map<std::string, std::size_t> index;
  for (const PlaceNote& note : notes) {
    if (note.kind != kind) continue;
    const auto [at, added] = index.emplace(note.group, groups.size());
    if (added) groups.emplace_back();
    groups[at->second].notes.push_back(&note);
  }
  return groups;
}

// Columns of a line, a Chinese character two.
std::size_t columns(std::string_view text) {
  std::size_t n = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) n += 1;
    else if (byte >= 0xC0) n += 2;
  }
  return n;
}

// The lines of a group, at most `room` (at least one): one place, or places
// whose line is the same (a site that stopped answering), that line; else
// "N 个地名都<group>（甲、乙、…）" with every name, wrapped at kWrapColumns,
// and "等" only when names are left out for want of room. The names
// shown are added to `shown`.
std::vector<std::string> groupLines(const Group& group, std::size_t room, std::set<std::string>& shown) {
  const auto& notes = group.notes;
  if (std::all_of(notes.begin(), notes.end(), [&](const PlaceNote* note) { return note->line == notes.front()->line; })) {
    for (const PlaceNote* note : notes) shown.insert(note->place);
    return {notes.front()->line};
  }
  std::vector<std::string> lines{std::to_string(notes.size()) + " 个地名都" + notes.front()->group + "（"};
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const std::string name = (i ? "、" : "") + notes[i]->place;
    if (columns(lines.back()) + columns(name) > kWrapColumns && i > 0) {
      if (lines.size() == room) {
        lines.back() += " 等";
        break;
      }
      lines.push_back("  " + notes[i]->place);
    } else {
      lines.back() += name;
    }
    shown.insert(notes[i]->place);
  }
  lines.back() += "）";
  return lines;
}

std::size_t placesOf(const std::vector<PlaceNote>& notes, PlaceNote::Kind kind) {
  std::set<std::string> places;
  for (const PlaceNote& note : notes)
    if (note.kind == kind) places.insert(note.place);
  return places.size();
}

}  // namespace

std::string heading(PlaceNote::Kind kind, std::size_t places) {
  const std::string n = "以下 " + std::to_string(places) + " 个地名";
  switch (kind) {
    case PlaceNote::NotRecorded: return n + "没有记录：";
    case PlaceNote::Kept: return n + "的记录已暂存：";
    case PlaceNote::Stale:
      return n + "的网页已超过 " + std::to_string(kStaleAfter.count()) + " 小时没有更新（照常记录，可能需要换网址）：";
    case PlaceNote::HoursLost:
      return n + "缺了记录，网站只保留 " + std::to_string(kHoursKept) + " 小时的观测，这些小时已无法补回：";
    case PlaceNote::Repaired: return n + "的数据文件末尾不完整，已先移开：";
    case PlaceNote::NotExported: return n + "未能导出：";
    case PlaceNote::LastRecordOld:
      return n + "的最新记录已超过 " + std::to_string(kWarnAfterHours) + " 小时，再错过一次就会缺记录：";
  }
  return n + "：";
}

std::string reportText(const std::vector<PlaceNote>& notes, const std::string& logPath, std::size_t mostLines) {
  std::string text;
  std::size_t lines = 0;
  std::set<std::string> shown, left;
  for (const PlaceNote::Kind kind : kKinds) {
    const std::vector<Group> groups = groupsOf(notes, kind);
    if (groups.empty()) continue;
    bool headed = false;
    for (const Group& group : groups) {
      if (lines == mostLines) {
        for (const PlaceNote* note : group.notes) left.insert(note->place);
        continue;
      }
      if (!headed) {
        text += (text.empty() ? "" : "\n\n") + heading(kind, placesOf(notes, kind));
        headed = true;
      }
      for (const std::string& line : groupLines(group, mostLines - lines, shown)) {
        text += "\n" + line;
        ++lines;
      }
      for (const PlaceNote* note : group.notes)
        if (!shown.contains(note->place)) left.insert(note->place);
    }
  }
  std::size_t more = 0;
  for (const std::string& place : left) more += shown.contains(place) ? 0 : 1;
  if (more > 0) text += "\n\n另有 " + std::to_string(more) + " 个地名" + (logPath.empty() ? "" : "，详见 " + logPath);
  return text;
}

bool needsPerson(const std::vector<PlaceNote>& notes) {
  return std::any_of(notes.begin(), notes.end(), [](const PlaceNote& note) {
    return note.kind != PlaceNote::Stale && note.kind != PlaceNote::Repaired && note.kind != PlaceNote::NotExported;
  });
}

std::optional<Notification> runNotification(const std::vector<PlaceNote>& notes, const std::string& gaveUp,
                                            const std::string& logPath) {
  Notification n;
  const std::string what = "网站只保留 " + std::to_string(kHoursKept) +
                           " 小时的观测：请尽快检查网络和网址（地名列表的右键菜单“检查网址”），再点击记录；详见 " + logPath;
  if (!gaveUp.empty()) {
    n.title = "Vantoril：定时记录没有进行";
    n.body = gaveUp + "\n" + what;
    return n;
  }
  if (!needsPerson(notes)) return std::nullopt;
  if (const std::size_t failed = placesOf(notes, PlaceNote::NotRecorded); failed > 0)
    n.title = "Vantoril：定时记录有 " + std::to_string(failed) + " 个地名没有记录";
  else if (const std::size_t lost = placesOf(notes, PlaceNote::HoursLost); lost > 0)
    n.title = "Vantoril：定时记录有 " + std::to_string(lost) + " 个地名缺了记录";
  else
    n.title = "Vantoril：定时记录有 " + std::to_string(placesOf(notes, PlaceNote::Kept)) + " 个地名的记录已暂存";
  n.body = reportText(notes, logPath, kMostNotificationLines) + "\n\n" + what;
  return n;
}

std::optional<long long> siteHour(std::u16string_view observationTime) {
  return chart::parseHour(observationTime);
}

long long siteHourAt(std::chrono::system_clock::time_point now) {
  return std::chrono::floor<std::chrono::hours>(now + kSiteOffset).time_since_epoch().count();
}

std::string personHour(long long hour, long long now) {
  const chart::CivilHour c = chart::civilHour(hour);
  std::string text = c.year == chart::civilHour(now).year ? "" : std::to_string(c.year) + "年";
  return text + std::to_string(c.month) + "月" + std::to_string(c.day) + "日 " + std::to_string(c.hour) + "时";
}

std::optional<std::string> staleCause(std::u16string_view observationTime, std::chrono::system_clock::time_point now) {
  const auto hour = siteHour(observationTime);
  if (!hour) return std::nullopt;
  // Counted in hours: a year far off (2601) does not fit the clock's nanoseconds.
  const std::chrono::sys_time<std::chrono::minutes> observed{std::chrono::hours{*hour} - kSiteOffset};
  if (std::chrono::floor<std::chrono::minutes>(now) - observed <= kStaleAfter) return std::nullopt;
  return "观测时间 " + personHour(*hour, siteHourAt(now)) + " 已超过 " + std::to_string(kStaleAfter.count()) + " 小时，页面不再更新";
}

}  // namespace vantoril::notify

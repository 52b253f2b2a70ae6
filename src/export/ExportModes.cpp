// The command-line modes of the export: --export and --coverage.
#include <algorithm>
#include <exception>

#include "catalogue/Catalogue.h"
#include "chart/History.h"
#include "export/Coverage.h"
#include "export/Export.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace vantoril::exporting {

std::vector<std::u16string> listedPlaces(const std::string& programFolder) {
  std::vector<std::u16string> places;
  catalogue::scan(catalogue::folder(programFolder), [&places](const std::u16string& place, const std::string&) {
    if (std::find(places.begin(), places.end(), place) == places.end()) places.push_back(place);
  });
  return places;
}

std::vector<std::u16string> placesInListOrder(const std::vector<std::u16string>& listed,
                                              const std::vector<std::u16string>& named) {
  if (named.empty()) return listed;
  const auto has = [](const std::vector<std::u16string>& v, const std::u16string& p) {
    return std::find(v.begin(), v.end(), p) != v.end();
  };
  std::vector<std::u16string> places;
  for (const std::u16string& p : listed)
    if (has(named, p)) places.push_back(p);
  for (const std::u16string& p : named)
    if (!has(places, p)) places.push_back(p);
  return places;
}

namespace {

std::vector<std::u16string> placesOf(const std::string& programFolder, const std::vector<std::string>& names) {
  std::vector<std::u16string> named;
  for (const std::string& n : names)
    if (!n.empty()) named.push_back(fileNameText(n));
  return placesInListOrder(listedPlaces(programFolder), named);
}

}  // namespace

int exportMode(const std::function<std::string()>& programFolder, const std::string& path,
               const std::vector<std::string>& places,
               const ExportOptions& options, std::ostream& out, std::ostream& err) {
  if (!formatOf(path)) throw BadArgument(endingRefusal(path));
  try {
    const std::string folder = programFolder();
    const ExportResult result = exportTable(folder, path, placesOf(folder, places), options);
    for (const std::string& message : result.failed) err << message << std::endl;
    out << "已写入 " << path << "：" << result.rows << " 行，" << result.places << " 个地名" << std::endl;
    return result.failed.empty() ? 0 : 1;
  } catch (const std::exception& e) {
    err << e.what() << std::endl;
    return 1;
  }
}

namespace {

Coverage placeCoverage(const std::string& programFolder, const std::u16string& place) {
  const std::optional<std::u16string> text = chart::placeText(programFolder, place);
  return text ? coverageOf(chart::readHourTexts(*text).hours) : Coverage{};
}

}  // namespace

std::string coverageLines(const std::string& programFolder, const std::vector<std::u16string>& places) {
  std::string lines;
  for (const std::u16string& place : places) {
    std::string line = toUtf8(place) + "：";
    try {
      line += coverageText(placeCoverage(programFolder, place));
    } catch (const std::exception& e) {
      line += e.what();
    }
    lines += (lines.empty() ? "" : "\n") + line;
  }
  return lines;
}

int coverageMode(const std::string& programFolder, const std::vector<std::string>& places, std::ostream& out,
                 std::ostream& err) {
  int failed = 0;
  for (const std::u16string& place : placesOf(programFolder, places)) {
    try {
      const Coverage c = placeCoverage(programFolder, place);
      out << toUtf8(place) << '\t' << coverageText(c) << std::endl;
      if (c.recorded == 0) ++failed;
    } catch (const std::exception& e) {
      err << toUtf8(place) << "：" << e.what() << std::endl;
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace vantoril::exporting

// The window's export: the list menu's "导出数据…" and "导出此地数据…".
#include <algorithm>

#include "app/Form1.h"
#include "export/Export.h"
#include "notify/RunNews.h"
#include "platform/FileSystem.h"

namespace vantoril {

bool Form1::userExport(int index, const std::string& path) {
  return atEventBoundary([&] {
    std::vector<std::u16string> places;
    if (index >= 0) {
      if (index >= List1.entryCount()) return;
      places.push_back(List1.entries()[static_cast<std::size_t>(index)]);
    } else {
      for (const std::u16string& place : List1.entries())
        if (std::find(places.begin(), places.end(), place) == places.end()) places.push_back(place);
    }
    const exporting::ExportResult result = exporting::exportTable(programFolder_, path, places);
    lastExportFolder_ = path.substr(0, path.find_last_of(std::string("/") + pathSeparator()));
    std::string message = "已导出到 " + path + "：" + std::to_string(result.rows) + " 行，" +
                          std::to_string(result.places) + " 个地名";
    // The table is written: the places left out are told beside it, not as a failure.
    if (!result.notes.empty()) message += "\n\n" + notify::reportText(result.notes, "");
    services_.errorReport.inform(message);
  });
}

}  // namespace vantoril

#include "app/ListMenu.h"

#include <ctime>

#include "app/Form1.h"
#include "platform/FileSystem.h"

namespace vantoril {

std::vector<const ListMenuItem*> listMenuEntries(int row) {
  std::vector<const ListMenuItem*> entries;
  for (const ListMenuItem& item : kListMenu) {
    if (item.ofPlace && row < 0) continue;
    if (!entries.empty() && entries.back()->ofPlace && !item.ofPlace) entries.push_back(nullptr);
    entries.push_back(&item);
  }
  return entries;
}

std::string exportFolder(const Form1& form) {
  if (!form.lastExportFolder().empty()) return form.lastExportFolder();
  return documentsFolder().value_or(form.programFolder());
}

std::string suggestedExportPath(const std::string& folder) {
  const std::time_t now = std::time(nullptr);
  char date[16] = "";
  if (const std::tm* tm = std::localtime(&now)) std::strftime(date, sizeof date, "%Y-%m-%d", tm);
  return folder + pathSeparator() + "vantoril-" + date + ".csv";
}

}  // namespace vantoril

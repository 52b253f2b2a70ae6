#include "app/ListMenu.h"

#include <ctime>

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

void chooseListMenuEntry(Form1& form, ListMenuEntry entry, int row, const ListMenuDialogs& dialogs) {
  switch (entry) {
    case ListMenuEntry::Chart:
      form.userShowChart(row);
      return;
    case ListMenuEntry::Check:
      form.userCheckAddress(row);
      return;
    case ListMenuEntry::AddByName: {
      std::string code;
      if (form.atEventBoundary([&] { code = dialogs.askPlaceByName(); }) && !code.empty()) form.userAddPlace(code);
      return;
    }
    case ListMenuEntry::Overview:
      form.userShowOverview();
      return;
    case ListMenuEntry::Compare:
      form.userShowCompare();
      return;
    case ListMenuEntry::Schedule:
      form.atEventBoundary(dialogs.showSchedule);
      return;
    case ListMenuEntry::Export:
    case ListMenuEntry::ExportPlace: {
      const int index = entry == ListMenuEntry::Export ? -1 : row;
      if (index >= form.List1.entryCount() || (entry == ListMenuEntry::ExportPlace && index < 0)) return;
      std::string path;
      if (form.atEventBoundary([&] { path = dialogs.askSavePath(suggestedExportPath(exportFolder(form))); }) &&
          !path.empty())
        form.userExport(index, path);
      return;
    }
  }
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

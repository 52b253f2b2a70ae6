#include "app/ListMenu.h"

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
    case ListMenuEntry::Schedule:
      form.atEventBoundary(dialogs.showSchedule);
      return;
  }
}

}  // namespace vantoril

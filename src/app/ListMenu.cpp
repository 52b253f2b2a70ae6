#include "app/ListMenu.h"

namespace vantoril {

void chooseListMenuEntry(Form1& form, ListMenuEntry entry, int row, const ListMenuDialogs& dialogs) {
  switch (entry) {
    case ListMenuEntry::Chart:
      form.userShowChart(row);
      return;
    case ListMenuEntry::Check:
      form.userCheckAddress(row);
      return;
    case ListMenuEntry::AddByName:
      if (const std::string code = dialogs.askPlaceByName(); !code.empty()) form.userAddPlace(code);
      return;
    case ListMenuEntry::Schedule:
      dialogs.showSchedule();
      return;
  }
}

}  // namespace vantoril

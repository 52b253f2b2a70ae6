#pragma once
// The place list's menu (right button), the same in every view: the entries
// of the place under the pointer (none below the last place), then, below a
// separator, those of the whole program.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Form1.h"

namespace vantoril {

enum class ListMenuEntry { Chart, Check, ExportPlace, AddByName, Schedule, Export, Overview, Compare };

struct ListMenuItem {
  ListMenuEntry entry;
  std::u16string_view text;
  bool ofPlace;  // shown only over a place
};

inline constexpr ListMenuItem kListMenu[] = {{ListMenuEntry::Chart, kChartMenuEntry, true},
                                             {ListMenuEntry::Check, kCheckMenuEntry, true},
                                             {ListMenuEntry::ExportPlace, kExportPlaceMenuEntry, true},
                                             {ListMenuEntry::AddByName, kAddByNameMenuEntry, false},
                                             {ListMenuEntry::Schedule, kScheduleMenuEntry, false},
                                             {ListMenuEntry::Export, kExportMenuEntry, false},
                                             {ListMenuEntry::Overview, kOverviewMenuEntry, false},
                                             {ListMenuEntry::Compare, kCompareMenuEntry, false}};

// The entries shown over list row `row` (-1 below the last place), in
// order, with a null where the separator goes.
std::vector<const ListMenuItem*> listMenuEntries(int row);

// The dialogs an entry opens, each in the view's own toolkit.
struct ListMenuDialogs {
  std::function<std::string()> askPlaceByName;  // the code of the place chosen; empty when none was
  std::function<void()> showSchedule;
  // The system's save dialog, opened at `suggested` (a path): the path
  // chosen; empty when none was.
  std::function<std::string(const std::string& suggested)> askSavePath = {};
};

// The save dialog of an export, in both views: its title and the name of
// the kinds of file it offers (.csv and .tsv).
inline constexpr std::u16string_view kExportDialogTitle = u"导出数据";
inline constexpr std::u16string_view kExportFileKinds = u"表格";

// Where the save dialog of an export opens: "vantoril-<yyyy-mm-dd>.csv" of
// today's local date, in `folder`.
std::string suggestedExportPath(const std::string& folder);
// The folder of the form's last export; before the first, the user's
// documents folder (the data folder when the system names none).
std::string exportFolder(const Form1& form);

// Carries out `entry`, chosen over list row `row` (-1 below the last place).
// A dialog that fails is reported like any failure of the window's.
void chooseListMenuEntry(Form1& form, ListMenuEntry entry, int row, const ListMenuDialogs& dialogs);

}  // namespace vantoril

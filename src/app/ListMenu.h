#pragma once
// The place list's menu (right button), the same in every view: the
// commands of the place under the pointer (none below the last place),
// then, below a separator, some of the whole program; each as the menu bar
// names it.
#include <string>
#include <string_view>
#include <vector>

#include "app/MenuBar.h"

namespace vantoril {

struct ListMenuItem {
  Command command;
  bool ofPlace;  // shown only over a place
};

inline constexpr ListMenuItem kListMenu[] = {{Command::Chart, true},      {Command::Check, true},
                                             {Command::ExportPlace, true}, {Command::AddByName, false},
                                             {Command::Schedule, false},   {Command::Export, false},
                                             {Command::Overview, false},   {Command::Compare, false}};

// The entries shown over list row `row` (-1 below the last place), in
// order, with a null where the separator goes.
std::vector<const ListMenuItem*> listMenuEntries(int row);

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

}  // namespace vantoril

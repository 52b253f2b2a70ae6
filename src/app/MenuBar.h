#pragma once
// The window's menu bar, the same in every view: every command of the
// program, by menu, each with its access key and, where there is a usual
// one, its shortcut. A view builds its menu bar from kMenuBar alone and
// hands the command chosen to chooseCommand; a new command is one more row
// here and its case in chooseCommand.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vantoril {

class Form1;

enum class Command {
  New,
  AddByName,
  Rename,
  EditAddress,
  EditAddressHere,
  Delete,
  Check,
  OpenPage,
  Record,
  Schedule,
  Chart,
  Export,
  ExportPlace,
  Coverage,
  Overview,
  Compare,
  OpenDataFolder,
  Guide,
  About
};

enum class Menu { Places, Recording, Data, Help };
// The menus' titles, in Menu's order, left to right.
inline constexpr std::u16string_view kMenuTitles[] = {u"地名(&P)", u"记录(&R)", u"数据(&D)", u"帮助(&H)"};

struct MenuBarEntry {
  Menu menu;
  Command command;
  std::u16string_view text;      // the access key follows "&"
  std::u16string_view shortcut;  // "Ctrl+N", "F2", "Del"; empty: none
};

// In each menu top to bottom.
inline constexpr MenuBarEntry kMenuBar[] = {
    {Menu::Places, Command::New, u"新建(&N)", u"Ctrl+N"},
    {Menu::Places, Command::AddByName, u"按名称添加(&A)…", u"Ctrl+F"},
    {Menu::Places, Command::Rename, u"改名(&R)", u"F2"},
    {Menu::Places, Command::EditAddress, u"修改网址(&U)", u""},
    {Menu::Places, Command::EditAddressHere, u"在此修改网址(&I)…", u""},
    {Menu::Places, Command::Delete, u"删除(&D)", u"Del"},
    {Menu::Places, Command::Check, u"检查网址(&C)", u""},
    {Menu::Places, Command::OpenPage, u"打开网页(&W)", u""},
    {Menu::Recording, Command::Record, u"开始记录(&S)", u"F5"},
    {Menu::Recording, Command::Schedule, u"定时记录(&T)…", u""},
    {Menu::Data, Command::Chart, u"查看图表(&C)", u""},
    {Menu::Data, Command::Export, u"导出数据(&E)…", u""},
    {Menu::Data, Command::ExportPlace, u"导出此地数据(&P)…", u""},
    {Menu::Data, Command::Coverage, u"记录覆盖(&V)…", u""},
    {Menu::Data, Command::Overview, u"查看一览(&L)", u"F6"},
    {Menu::Data, Command::Compare, u"比较图表(&B)", u""},
    {Menu::Data, Command::OpenDataFolder, u"打开数据文件夹(&O)", u""},
    {Menu::Help, Command::Guide, u"使用说明(&H)", u"F1"},
    {Menu::Help, Command::About, u"关于(&A)", u""},
};

// The row of `command`.
const MenuBarEntry& menuEntry(Command command);
// The access key of a text: the character after its "&" (upper case), 0
// when it has none.
char16_t accessKey(std::u16string_view text);
// The text of an entry without its access key: "新建(&N)" is "新建".
std::u16string plainText(std::u16string_view text);

// A shortcut as a key and whether Ctrl and Shift are held; the key is a
// letter 'A'..'Z', or one of the keys below.
struct Shortcut {
  bool ctrl = false, shift = false;
  char16_t key = 0;
};
inline constexpr char16_t kDeleteKey = 0x7F;
inline constexpr char16_t kFunctionKey1 = 0xF001;  // F1; Fn is kFunctionKey1 + n - 1
// "Ctrl+N", "Ctrl+Shift+F", "F5", "Del"; nothing for any other text.
std::optional<Shortcut> parseShortcut(std::u16string_view text);

// What the empty list shows, over its empty rows (not a row of it).
inline constexpr std::u16string_view kEmptyListHint = u"还没有地名：点“新建”或菜单 地名 → 按名称添加…";
// What a command of one place says when no place is selected.
inline constexpr std::string_view kNoPlaceChosen = "请先在地名列表里点选一个地名";

// The dialogs a command opens, each in the view's own toolkit.
struct CommandDialogs {
  std::function<std::string()> askPlaceByName;  // the code of the place chosen; empty when none was
  std::function<void()> showSchedule;
  // The system's save dialog, opened at `suggested` (a path): the path
  // chosen; empty when none was.
  std::function<std::string(const std::string& suggested)> askSavePath = {};
};

// Carries out `command` for list row `row` (the place under the pointer
// in the list's menu, the selected place from the menu bar; -1 none). The
// designed buttons' commands click their button, whatever the row. A
// command of one place without a place says so. A dialog that fails is
// reported like any failure of the window's.
void chooseCommand(Form1& form, Command command, int row, const CommandDialogs& dialogs);

// What 关于 says: the program, its version and where its data is.
std::string aboutText(const std::string& dataFolder);

}  // namespace vantoril

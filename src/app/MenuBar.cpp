#include "app/MenuBar.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "app/Form1.h"
#include "app/ListMenu.h"
#include "export/Export.h"
#include "platform/Failure.h"
#include "vantoril_version.h"

namespace vantoril {

const MenuBarEntry& menuEntry(Command command) {
  for (const MenuBarEntry& entry : kMenuBar)
    if (entry.command == command) return entry;
  throw std::logic_error("a command without its row in the menu bar");
}

char16_t accessKey(std::u16string_view text) {
  const std::size_t at = text.find(u'&');
  if (at == std::u16string_view::npos || at + 1 >= text.size()) return 0;
  const char16_t key = text[at + 1];
  return key >= u'a' && key <= u'z' ? static_cast<char16_t>(key - u'a' + u'A') : key;
}

std::u16string plainText(std::u16string_view text) {
  std::u16string plain(text);
  const std::size_t at = plain.find(u"(&");
  if (at != std::u16string::npos && at + 3 < plain.size() && plain[at + 3] == u')') plain.erase(at, 4);
  return plain;
}

std::optional<Shortcut> parseShortcut(std::u16string_view text) {
  Shortcut shortcut;
  for (bool more = true; more;) {
    more = false;
    for (const auto& [modifier, held] : {std::pair<std::u16string_view, bool*>{u"Ctrl+", &shortcut.ctrl},
                                         std::pair<std::u16string_view, bool*>{u"Shift+", &shortcut.shift}}) {
      if (!text.starts_with(modifier)) continue;
      *held = true;
      text.remove_prefix(modifier.size());
      more = true;
    }
  }
  if (text.size() == 1 && text[0] >= u'A' && text[0] <= u'Z') shortcut.key = text[0];
  else if (text == u"Del") shortcut.key = kDeleteKey;
  else if (text.size() >= 2 && text.size() <= 3 && text[0] == u'F' &&
           std::all_of(text.begin() + 1, text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
    const int n = text.size() == 2 ? text[1] - u'0' : (text[1] - u'0') * 10 + (text[2] - u'0');
    if (n < 1 || n > 12) return std::nullopt;
    shortcut.key = static_cast<char16_t>(kFunctionKey1 + n - 1);
  } else {
    return std::nullopt;
  }
  return shortcut;
}

void chooseCommand(Form1& form, Command command, int row, const CommandDialogs& dialogs) {
  const int places = form.List1.entryCount();
  const auto aPlace = [&form, row, places] {
    return form.atEventBoundary([row, places] {
      if (row < 0 || row >= places) throw Failure(std::string(kNoPlaceChosen));
    });
  };
  switch (command) {
    case Command::New:
      form.click(form.Command6);
      return;
    case Command::Rename:
      form.click(form.Command5);
      return;
    case Command::EditAddress:
      form.click(form.Command4);
      return;
    case Command::Delete:
      form.click(form.Command7);
      return;
    case Command::OpenPage:
      form.click(form.Command8);
      return;
    case Command::Record:
      form.click(form.Command1);
      return;
    case Command::OpenDataFolder:
      form.click(form.Command3);
      return;
    case Command::Guide:
      form.click(form.Command2);
      return;
    case Command::Chart:
      if (aPlace()) form.userShowChart(row);
      return;
    case Command::Check:
      if (aPlace()) form.userCheckAddress(row);
      return;
    case Command::EditAddressHere:
      if (aPlace()) form.userEditAddress(row);
      return;
    case Command::Overview:
      form.userShowOverview();
      return;
    case Command::Compare:
      form.userShowCompare();
      return;
    case Command::AddByName: {
      std::string code;
      if (form.atEventBoundary([&] { code = dialogs.askPlaceByName(); }) && !code.empty()) form.userAddPlace(code);
      return;
    }
    case Command::Schedule:
      form.atEventBoundary(dialogs.showSchedule);
      return;
    case Command::Export:
    case Command::ExportPlace: {
      if (command == Command::ExportPlace && !aPlace()) return;
      std::string path;
      if (form.atEventBoundary([&] { path = dialogs.askSavePath(suggestedExportPath(exportFolder(form))); }) &&
          !path.empty())
        form.userExport(command == Command::Export ? -1 : row, path);
      return;
    }
    case Command::Coverage:
      form.atEventBoundary([&form] {
        if (form.List1.entryCount() == 0) throw Failure("还没有地名，也就没有记录");
        form.inform("记录覆盖（每个地名记录了哪些小时、缺了哪些）：\n" +
                    exporting::coverageLines(form.programFolder(), form.List1.entries()));
      });
      return;
    case Command::About:
      form.inform(aboutText(form.programFolder()));
      return;
  }
}

std::string aboutText(const std::string& dataFolder) {
  return std::string("Vantoril ") + VANTORIL_VERSION +
         "\n按整点记录“中国天气”网站上各地的观测（气温、降水、湿度），存为表格文件。\n地名和数据在：" + dataFolder;
}

}  // namespace vantoril

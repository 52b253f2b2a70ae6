// The window model: its controls, the start-up sequence, handling that
// nests inside the operation that caused it, and the debug panel.
// GCC 12 with the sanitizers warns of an uninitialised member deep inside
// <regex>, where there is none.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/ControlTable.h"
#include "app/Controls.h"
#include "app/Form1.h"
#include "app/ListMenu.h"
#include "app/MenuBar.h"
#include "platform/Text.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

using test::FormFixture;
using test::writeGbk;

// Every change the controls announce, as "name" or "name:hidden"/"name:shown"
// for a change of visibility.
class ChangeLog final : public ControlListener {
 public:
  std::vector<std::string> changes;
  void controlChanged(const Control& control) override {
    std::string entry = control.name();
    if (lastVisible(control) != control.visible()) entry += control.visible() ? ":shown" : ":hidden";
    visibility_[control.name()] = control.visible();
    changes.push_back(entry);
  }
  // Listens to every control of the window, knowing their visibility now.
  void watch(Form1& form) {
    for (const Control* c : form.controls()) visibility_[c->name()] = c->visible();
    form.setListener(this);
  }
  std::vector<std::string> visibilityChanges() const {
    std::vector<std::string> out;
    for (const auto& c : changes)
      if (c.find(':') != std::string::npos) out.push_back(c);
    return out;
  }

 private:
  bool lastVisible(const Control& control) const {
    const auto it = visibility_.find(control.name());
    return it == visibility_.end() ? true : it->second;
  }
  std::map<std::string, bool> visibility_;
};

std::u16string repeated(std::u16string_view piece, std::size_t times) {
  std::u16string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// ------------------------------------------------------------- controls

TEST(TextBoxControl, ChangeHandlingRunsOnlyWhenTheTextReallyChanges) {
  TextBox box("Box", u"start", 0);
  int changes = 0;
  box.onChange = [&] { ++changes; };
  box.setText(u"start");
  EXPECT_EQ(changes, 0);
  box.setText(u"other");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(box.text(), u"other");
  box.setText(u"other");
  EXPECT_EQ(changes, 1);
  box.setText(u"");
  box.setText(u"");
  EXPECT_EQ(changes, 2);
}

TEST(TextBoxControl, AMaximumLengthKeepsTheFirstCodeUnitsAndCountsAsOneChange) {
  TextBox box("Box", u"", 5);
  int changes = 0;
  box.onChange = [&] { ++changes; };
  box.setText(u"北京上海广州深圳");
  EXPECT_EQ(box.text(), u"北京上海广");
  EXPECT_EQ(changes, 1);
  // A longer text with the same first five characters is no change.
  box.setText(u"北京上海广州");
  EXPECT_EQ(changes, 1);
  // The limit counts UTF-16 code units.
  box.setText(u"abcd\U0001F600");
  EXPECT_EQ(box.text().size(), 5u);
  TextBox unlimited("Free", u"", 0);
  unlimited.setText(repeated(u"x", 70000));
  EXPECT_EQ(unlimited.text().size(), 70000u);
}

// A text set to be built when read changes the box, and runs its change
// handling, exactly as the text set at once would; it is built only when
// read, or when a non-empty text must be compared with it.
TEST(TextBoxControl, ATextBuiltWhenReadChangesTheBoxAsTheTextItselfWould) {
  struct Step {
    bool later;
    std::u16string text;
  };
  const std::vector<std::vector<Step>> cases = {
      {{true, u"page"}, {false, u""}},
      {{true, u"page"}, {false, u"page"}},
      {{true, u"page"}, {true, u"page"}},
      {{true, u"page"}, {true, u"other"}},
      {{false, u"page"}, {true, u"page"}},
      {{true, u""}, {true, u"abcdefgh"}, {false, u"abcdef"}},
  };
  for (const auto& steps : cases) {
    TextBox eager("Eager", u"", 6), later("Later", u"", 6);
    int eagerChanges = 0, laterChanges = 0, built = 0;
    eager.onChange = [&] { ++eagerChanges; };
    later.onChange = [&] { ++laterChanges; };
    for (const Step& step : steps) {
      eager.setText(step.text);
      if (step.later)
        later.setTextLater(step.text.empty(), [&built, text = step.text] { return ++built, text; });
      else
        later.setText(step.text);
      EXPECT_EQ(laterChanges, eagerChanges) << toUtf8(step.text);
    }
    EXPECT_EQ(later.text(), eager.text());
    EXPECT_LE(built, static_cast<int>(steps.size()));
  }
  // Never read, never built.
  TextBox box("Box", u"", 0);
  int built = 0;
  box.setTextLater(false, [&] { return ++built, std::u16string(u"page"); });
  box.setText(u"");
  EXPECT_EQ(built, 0);
}

TEST(ListBoxControl, AppendsUnsortedEntriesThatMayRepeatOrBeEmpty) {
  ListBox list("List");
  for (auto e : {u"上海", u"北京", u"", u"上海", u"a"}) list.addEntry(e);
  EXPECT_EQ(list.entries(), (std::vector<std::u16string>{u"上海", u"北京", u"", u"上海", u"a"}));
  EXPECT_EQ(list.entryCount(), 5);
  EXPECT_EQ(list.selectedIndex(), -1);
  EXPECT_EQ(list.selectedText(), u"");
  list.select(2);
  EXPECT_EQ(list.selectedIndex(), 2);
  EXPECT_EQ(list.selectedText(), u"");
}

TEST(ListBoxControl, SelectRunsTheClickHandlingEveryTimeBeforeItReturns) {
  ListBox list("List");
  list.addEntry(u"北京");
  list.addEntry(u"上海");
  std::vector<std::u16string> clicks;
  list.onClick = [&] { clicks.push_back(list.selectedText()); };
  list.select(1);
  ASSERT_EQ(clicks, (std::vector<std::u16string>{u"上海"}));
  list.select(1);  // the same entry again still clicks
  list.select(0);
  EXPECT_EQ(clicks, (std::vector<std::u16string>{u"上海", u"上海", u"北京"}));
  EXPECT_EQ(list.selectedIndex(), 0);
  EXPECT_THROW(list.select(2), std::out_of_range);
  EXPECT_THROW(list.select(-1), std::out_of_range);
  EXPECT_EQ(clicks.size(), 3u);
  EXPECT_EQ(list.selectedIndex(), 0);
  // Clear leaves nothing selected, also once the list is filled again.
  list.clear();
  EXPECT_EQ(list.selectedIndex(), -1);
  EXPECT_EQ(list.selectedText(), u"");
  list.addEntry(u"广州");
  EXPECT_EQ(list.selectedIndex(), -1);
  EXPECT_EQ(list.selectedText(), u"");
}

// --------------------------------------------------------------- window

TEST(Window, StartsWithEveryControlAtItsDesignValue) {
  FormFixture f;
  Form1& form = *f.form;
  // Every control of the table but the download control, under its own name.
  EXPECT_EQ(form.controls().size(), 39u);
  EXPECT_EQ(form.control("Inet1"), nullptr);
  EXPECT_EQ(form.control("Text13"), &form.Text13);
  for (const ControlDesign& d : controlTable()) {
    if (d.kind != ControlKind::TransferControl) {
      EXPECT_NE(form.control(d.name), nullptr) << d.name;
    }
  }
  for (const Control* c : form.controls()) EXPECT_TRUE(c->visible()) << c->name();
  EXPECT_EQ(form.Text13.text(), u"********");
  EXPECT_EQ(form.Label5.caption(), u"全文字符数：");
  EXPECT_EQ(form.Label7.caption(), u"截文字符数：");
  EXPECT_EQ(form.Text1.maxLength(), 30000u);
  EXPECT_EQ(form.Text5.maxLength(), 0u);
}

TEST(StartUp, HidesText1ThenText5AndListsTheCatalogueWithNothingSelected) {
  FormFixture f;
  writeGbk(f.website("北京.txt"), u"http://www.weather.com.cn/weather1d/101010100.shtml\r\n");
  ChangeLog log;
  log.watch(*f.form);
  ASSERT_TRUE(f.form->load());
  EXPECT_EQ(log.visibilityChanges(), (std::vector<std::string>{"Text1:hidden", "Text5:hidden"}));
  // Hiding comes before the list is filled.
  ASSERT_GE(log.changes.size(), 3u);
  EXPECT_EQ(log.changes[0], "Text1:hidden");
  EXPECT_EQ(log.changes[1], "Text5:hidden");
  Form1& form = *f.form;
  EXPECT_FALSE(form.Text1.visible());
  EXPECT_FALSE(form.Text5.visible());
  for (const Control* c : form.controls()) {
    if (c != &form.Text1 && c != &form.Text5) {
      EXPECT_TRUE(c->visible()) << c->name();
    }
  }
  EXPECT_EQ(form.List1.entries(), (std::vector<std::u16string>{u"北京"}));
  EXPECT_EQ(form.List1.selectedIndex(), -1);
  EXPECT_EQ(form.Text14.text(), u"");
  EXPECT_EQ(form.Text15.text(), u"");
  EXPECT_EQ(form.Text13.text(), u"********");
  EXPECT_EQ(form.Label5.caption(), u"全文字符数：");
  EXPECT_EQ(form.Label7.caption(), u"截文字符数：");
  EXPECT_TRUE(f.downloader.requested.empty());
  EXPECT_TRUE(f.starter.calls.empty());
  EXPECT_TRUE(f.input.asked.empty());
  EXPECT_TRUE(f.report.messages.empty());
}

TEST(StartUp, TheStartUpTestOnlyHidesNeverShows) {
  FormFixture f;
  // The access code already in the box: the start-up test changes nothing.
  ASSERT_TRUE(f.form->userEdit(f.form->Text13, kDebugAccessCode));
  ASSERT_TRUE(f.form->load());
  EXPECT_TRUE(f.form->Text1.visible());
  EXPECT_TRUE(f.form->Text5.visible());
}

TEST(StartUp, ACatalogueFolderThatCannotBeListedIsReportedAndTheWindowGoesOn) {
  FormFixture f;
  std::filesystem::create_symlink(f.folder / "WebSite", f.folder / "WebSite");  // a link to itself
  EXPECT_FALSE(f.form->load());
  ASSERT_EQ(f.report.messages.size(), 1u);
  // The start-up test ran before the refresh failed.
  EXPECT_FALSE(f.form->Text1.visible());
  EXPECT_EQ(f.form->List1.entryCount(), 0);
  EXPECT_TRUE(f.form->userEdit(f.form->Text13, kDebugAccessCode));
  EXPECT_TRUE(f.form->Text1.visible());
}

// ---------------------------------------------------------------- nesting

// Looks at the window at the moment of the download.
class WatchingDownloader final : public Downloader {
 public:
  explicit WatchingDownloader(const Form1*& form) : form_(form) {}
  struct Seen {
    std::u16string address, text15, text14, tooltip, label5, text1;
    int selected;
  };
  std::vector<Seen> seen;
  std::u16string page;
  std::u16string download(const std::u16string& address) override {
    const Form1& f = *form_;
    seen.push_back({address, f.Text15.text(), f.Text14.text(), f.List1.tooltip(), f.Label5.caption(), f.Text1.text(),
                    f.List1.selectedIndex()});
    return page;
  }

 private:
  const Form1*& form_;
};

TEST(Nesting, TheRunSeesListClickAndCounterResultsBeforeItGoesOn) {
  const Form1* formPointer = nullptr;
  WatchingDownloader downloader(formPointer);
  test::RecordingStarter starter;
  test::ScriptedInput input;
  test::CollectingReport report;
  test::TempFolder folder;
  Form1 form(folder.path(), {downloader, starter, input, report, nullptr});
  formPointer = &form;
  writeGbk(folder / "WebSite/北京.txt", u"http://a/\r\n");
  ASSERT_TRUE(form.load());
  form.Text1.setText(u"old page");
  ASSERT_EQ(form.Label5.caption(), u"全文字符数：8");

  // A page with a block but no series: the run stops after filling Text5.
  downloader.page = u"<html>observe24h_data = {\"od\":{\"od0\":\"2015061914\"}};weatherChart();</html>";
  EXPECT_FALSE(form.click(form.Command1));
  ASSERT_EQ(downloader.seen.size(), 1u);
  const auto& seen = downloader.seen[0];
  // The list click ran inside the select, the emptied Text1 was counted
  // inside its setter, all before the run asked for the page.
  EXPECT_EQ(seen.selected, 0);
  EXPECT_EQ(seen.tooltip, u"北京");
  EXPECT_EQ(seen.text15, u"北京");
  EXPECT_EQ(seen.text14, u"http://a/");
  EXPECT_EQ(seen.text1, u"");
  EXPECT_EQ(seen.label5, u"全文字符数：0");
  EXPECT_EQ(seen.address, u"http://a/");
  // After the run: the counters show the lengths the boxes hold.
  EXPECT_EQ(form.Label5.caption(), u"全文字符数：" + decimal(static_cast<long long>(downloader.page.size())));
  EXPECT_EQ(form.Label7.caption(), u"截文字符数：" + decimal(static_cast<long long>(form.Text5.text().size())));
  EXPECT_FALSE(form.Text5.text().empty());
  ASSERT_EQ(report.messages.size(), 1u);
}

TEST(Nesting, EveryChangeOfText1AndText5IsCountedInsideItsSetter) {
  FormFixture f;
  Form1& form = *f.form;
  // Wrap the window's own handling to look at the label right after it ran,
  // still inside the setter.
  std::vector<std::u16string> label5AtChange, label7AtChange;
  auto text1Handling = form.Text1.onChange;
  auto text5Handling = form.Text5.onChange;
  form.Text1.onChange = [&] {
    text1Handling();
    label5AtChange.push_back(form.Label5.caption());
  };
  form.Text5.onChange = [&] {
    text5Handling();
    label7AtChange.push_back(form.Label7.caption());
  };
  form.Text1.setText(u"abc");
  form.Text1.setText(u"");
  form.Text1.setText(u"");
  form.Text5.setText(u"北京\r\n");
  EXPECT_EQ(label5AtChange, (std::vector<std::u16string>{u"全文字符数：3", u"全文字符数：0"}));
  EXPECT_EQ(label7AtChange, (std::vector<std::u16string>{u"截文字符数：4"}));
}

TEST(EventBoundary, AFailureIsReportedAndTheEventReturnsFalse) {
  FormFixture f;
  ASSERT_TRUE(f.form->load());
  // Selecting beyond the list fails inside the event and is reported.
  EXPECT_FALSE(f.form->userSelect(3));
  ASSERT_EQ(f.report.messages.size(), 1u);
  EXPECT_FALSE(f.report.messages[0].empty());
  // The window goes on.
  EXPECT_TRUE(f.form->userEdit(f.form->Text2, u"x"));
  EXPECT_EQ(f.form->Text2.text(), u"x");
  EXPECT_EQ(f.report.messages.size(), 1u);
}

// ------------------------------------------------------------- debug panel

TEST(DebugPanel, OnlyTheCodeAloneShowsBothBoxes) {
  ASSERT_EQ(kDebugAccessCode, u"7");
  FormFixture f;
  Form1& form = *f.form;
  ASSERT_TRUE(form.load());
  const auto shown = [&] {
    EXPECT_EQ(form.Text1.visible(), form.Text5.visible()) << "the two boxes go together";
    return form.Text1.visible();
  };
  ASSERT_FALSE(shown());
  form.userEdit(form.Text13, u"");
  EXPECT_FALSE(shown());
  form.userEdit(form.Text13, u"7");
  EXPECT_TRUE(shown());
  form.userEdit(form.Text13, u"77");
  EXPECT_FALSE(shown());
  form.userEdit(form.Text13, u"7");
  EXPECT_TRUE(shown());
  for (std::u16string_view other : {u" 7", u"7 ", u"77", u"*7", u"8", u"７", u"********", u"7\r\n", u""}) {
    form.userEdit(form.Text13, u"7");
    ASSERT_TRUE(shown());
    form.userEdit(form.Text13, other);
    EXPECT_FALSE(shown()) << toUtf8(other);
  }
  EXPECT_TRUE(f.report.messages.empty());
}

TEST(DebugPanel, ShowsAndHidesText1ThenText5AndNothingElse) {
  FormFixture f;
  Form1& form = *f.form;
  ASSERT_TRUE(form.load());
  ChangeLog log;
  log.watch(form);
  form.userEdit(form.Text13, u"7");
  form.userEdit(form.Text13, u"7x");
  EXPECT_EQ(log.visibilityChanges(),
            (std::vector<std::string>{"Text1:shown", "Text5:shown", "Text1:hidden", "Text5:hidden"}));
}

TEST(DebugPanel, CountersShowTheDesignCaptionUntilTheFirstChange) {
  FormFixture f;
  Form1& form = *f.form;
  ASSERT_TRUE(form.load());
  // Setting the boxes to what they already hold is no change.
  form.Text1.setText(u"");
  form.Text5.setText(u"");
  EXPECT_EQ(form.Label5.caption(), u"全文字符数：");
  EXPECT_EQ(form.Label7.caption(), u"截文字符数：");
  form.Text1.setText(u"x");
  EXPECT_EQ(form.Label5.caption(), u"全文字符数：1");
  EXPECT_EQ(form.Label7.caption(), u"截文字符数：");  // Text5 has not changed yet
  form.Text1.setText(u"");
  EXPECT_EQ(form.Label5.caption(), u"全文字符数：0");
}

TEST(DebugPanel, CountsUtf16CodeUnitsCrLfAsTwoChineseAsOne) {
  FormFixture f;
  Form1& form = *f.form;
  ASSERT_TRUE(form.load());
  ASSERT_FALSE(form.Text1.visible()) << "counting while hidden";
  struct Case {
    std::u16string text;
    std::u16string count;
  };
  const Case cases[] = {
      {u"abc\r\ndef", u"8"},
      {u"北京上海", u"4"},
      {u"北京\r\n上海\r\n", u"8"},
      {u"\U0001F600", u"2"},
      {repeated(u"a", 12345), u"12345"},
      {repeated(u"气", 30000), u"30000"},
  };
  for (const Case& c : cases) {
    form.userEdit(form.Text1, c.text);
    EXPECT_EQ(form.Label5.caption(), u"全文字符数：" + c.count) << toUtf8(c.count);
    form.userEdit(form.Text5, c.text);
    EXPECT_EQ(form.Label7.caption(), u"截文字符数：" + c.count) << toUtf8(c.count);
  }
  // More than Text1 holds counts what it holds; Text5 has no limit.
  form.userEdit(form.Text1, repeated(u"b", 45678));
  EXPECT_EQ(form.Label5.caption(), u"全文字符数：30000");
  form.userEdit(form.Text5, repeated(u"b", 45678));
  EXPECT_EQ(form.Label7.caption(), u"截文字符数：45678");
  // Emptying gives 0.
  form.userEdit(form.Text1, u"");
  form.userEdit(form.Text5, u"");
  EXPECT_EQ(form.Label5.caption(), u"全文字符数：0");
  EXPECT_EQ(form.Label7.caption(), u"截文字符数：0");
  // And while shown.
  form.userEdit(form.Text13, kDebugAccessCode);
  form.userEdit(form.Text1, u"shown");
  EXPECT_EQ(form.Label5.caption(), u"全文字符数：5");
}

// The menu bar's table: every command once; each menu and each entry with
// an access key of its own within its menu; shortcuts that parse, each once.
TEST(MenuBar, EveryCommandIsInItOnceWithAnAccessKeyOfItsOwnAndTheUsualShortcuts) {
  std::set<Command> commands;
  std::set<char16_t> titleKeys;
  for (const std::u16string_view title : kMenuTitles)
    EXPECT_TRUE(titleKeys.insert(accessKey(title)).second) << toUtf8(title);
  EXPECT_EQ(titleKeys.count(0), 0u);
  std::map<Menu, std::set<char16_t>> keys;
  std::set<std::u16string> shortcuts;
  for (const MenuBarEntry& entry : kMenuBar) {
    SCOPED_TRACE(toUtf8(entry.text));
    EXPECT_TRUE(commands.insert(entry.command).second);
    const char16_t key = accessKey(entry.text);
    EXPECT_TRUE(key >= u'A' && key <= u'Z');
    EXPECT_TRUE(keys[entry.menu].insert(key).second) << "access key taken twice in one menu";
    EXPECT_EQ(plainText(entry.text).find(u'&'), std::u16string::npos);
    if (entry.shortcut.empty()) continue;
    EXPECT_TRUE(parseShortcut(entry.shortcut).has_value());
    EXPECT_TRUE(shortcuts.insert(std::u16string(entry.shortcut)).second);
  }
  EXPECT_EQ(commands.size(), static_cast<std::size_t>(Command::About) + 1);
  for (const auto& [command, shortcut] : std::map<Command, std::u16string_view>{
           {Command::New, u"Ctrl+N"}, {Command::Rename, u"F2"}, {Command::Delete, u"Del"}, {Command::Record, u"F5"}})
    EXPECT_EQ(menuEntry(command).shortcut, shortcut);
  EXPECT_EQ(plainText(u"导出数据(&E)…"), u"导出数据…");
  const auto parsed = parseShortcut(u"Ctrl+Shift+F12");
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->ctrl && parsed->shift && parsed->key == kFunctionKey1 + 11);
  EXPECT_EQ(parseShortcut(u"Del")->key, kDeleteKey);
  EXPECT_FALSE(parseShortcut(u"Ctrl+") || parseShortcut(u"F13") || parseShortcut(u"Alt+X"));
  for (const ListMenuItem& item : kListMenu) EXPECT_TRUE(commands.count(item.command));
}

// Each command does what its entry says, with 北京 selected: a designed
// button's command exactly what a click on that button does; without a
// place selected, a command of one place says so.
TEST(MenuBar, EachCommandDoesWhatItsEntrySays) {
  struct Case {
    Command command;
    std::string button;    // the designed button it clicks; empty: none
    std::string expected;  // else a part of what happens
  };
  const Case cases[] = {
      {Command::New, "Command6", ""},          {Command::Rename, "Command5", ""},
      {Command::EditAddress, "Command4", ""},  {Command::Delete, "Command7", ""},
      {Command::OpenPage, "Command8", ""},     {Command::Record, "Command1", ""},
      {Command::OpenDataFolder, "Command3", ""}, {Command::Guide, "Command2", ""},
      {Command::AddByName, "", "dialog:place"}, {Command::Schedule, "", "dialog:schedule"},
      {Command::Export, "", "informed:已导出到 t.csv：0 行，0 个地名\n\n以下 2 个地名未能导出：\n2 个地名都在 .+ 中没有数据文件（上海"},
      {Command::ExportPlace, "", "informed:已导出到 t.csv：0 行，0 个地名\n\n以下 1 个地名未能导出：\n北京：[^\n]+\\|"},
      {Command::EditAddressHere, "", "asked:.*\\|"},
      {Command::Overview, "", "started:.*一览\\.html"},
      {Command::Compare, "", "said:要比较的地名都还没有记录"},
      {Command::Chart, "", "said:北京 还没有记录"},
      {Command::Check, "", "download:http://a/1"},
      {Command::Coverage, "", "informed:记录覆盖.*\n上海：还没有记录\n北京：还没有记录"},
      {Command::About, "", "informed:Vantoril \\d"},
  };
  // What one command did, each thing it did ended by "|".
  const auto run = [](bool selected, const std::function<void(FormFixture&, const CommandDialogs&)>& act) {
    FormFixture f;
    writeGbk(f.website("北京.txt"), u"http://a/1\r\n");
    writeGbk(f.website("上海.txt"), u"http://a/2\r\n");
    f.form->load();
    if (selected) f.form->userSelect(f.form->List1.entries()[0] == u"北京" ? 0 : 1);
    std::string happened;
    const CommandDialogs dialogs{[&] { return happened += "dialog:place|", std::string(); },
                                 [&] { happened += "dialog:schedule|"; },
                                 [&](const std::string&) { return f.folder.path() + pathSeparator() + "t.csv"; }};
    act(f, dialogs);
    for (const auto& q : f.input.asked) happened += "asked:" + toUtf8(q.title) + "|";
    for (const auto& c : f.starter.calls) happened += "started:" + toUtf8(c.commandLine) + "|";
    for (const auto& a : f.downloader.requested) happened += "download:" + toUtf8(a) + "|";
    for (const std::string& message : f.report.messages)
      happened += (f.report.informed ? "informed:" : "said:") + message + "|";
    for (const char* place : {"北京", "上海"})
      if (!fileExists(f.website(place + std::string(".txt")))) happened += std::string("deleted:") + place + "|";
    const std::string folder = f.folder.path() + pathSeparator();
    for (std::size_t at; (at = happened.find(folder)) != std::string::npos;) happened.erase(at, folder.size());
    return happened;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(menuEntry(c.command).text));
    const std::string happened = run(true, [&](FormFixture& f, const CommandDialogs& d) {
      chooseCommand(*f.form, c.command, f.form->List1.selectedIndex(), d);
    });
    if (!c.button.empty()) {
      EXPECT_FALSE(happened.empty());
      EXPECT_EQ(happened, run(true, [&](FormFixture& f, const CommandDialogs&) {
                  f.form->click(*static_cast<CommandButton*>(f.form->control(c.button)));
                }));
    } else {
      EXPECT_TRUE(std::regex_search(happened, std::regex(c.expected))) << happened;
    }
  }
  for (const Command command : {Command::Chart, Command::Check, Command::ExportPlace, Command::EditAddressHere})
    EXPECT_EQ(run(false, [&](FormFixture& f, const CommandDialogs& d) { chooseCommand(*f.form, command, -1, d); }),
              "said:" + std::string(kNoPlaceChosen) + "|");
}

}  // namespace
}  // namespace vantoril

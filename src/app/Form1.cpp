#include "app/Form1.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <thread>
#include <utility>

#include "app/ControlTable.h"
#include "chart/ChartPage.h"
#include "overview/Overview.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "datafile/PlaceData.h"

namespace vantoril {

#define VANTORIL_BOX(n) n(#n, controlDesign(#n).text, static_cast<std::size_t>(controlDesign(#n).maxLength))
#define VANTORIL_CAPTIONED(n) n(#n, controlDesign(#n).text)

Form1::Form1(std::string programFolder, Form1Services services)
    : VANTORIL_BOX(Text1), VANTORIL_BOX(Text2), VANTORIL_BOX(Text3), VANTORIL_BOX(Text4), VANTORIL_BOX(Text5),
      VANTORIL_BOX(Text6), VANTORIL_BOX(Text7), VANTORIL_BOX(Text8), VANTORIL_BOX(Text9), VANTORIL_BOX(Text10),
      VANTORIL_BOX(Text11), VANTORIL_BOX(Text12), VANTORIL_BOX(Text13), VANTORIL_BOX(Text14), VANTORIL_BOX(Text15),
      VANTORIL_CAPTIONED(Label1), VANTORIL_CAPTIONED(Label2), VANTORIL_CAPTIONED(Label3),
      VANTORIL_CAPTIONED(Label4), VANTORIL_CAPTIONED(Label5), VANTORIL_CAPTIONED(Label6),
      VANTORIL_CAPTIONED(Label7), VANTORIL_CAPTIONED(Label8), VANTORIL_CAPTIONED(Label9),
      VANTORIL_CAPTIONED(Label10), VANTORIL_CAPTIONED(Label11), VANTORIL_CAPTIONED(Label12),
      VANTORIL_CAPTIONED(Label13), VANTORIL_CAPTIONED(Label14), VANTORIL_CAPTIONED(Label15),
      VANTORIL_CAPTIONED(Command1), VANTORIL_CAPTIONED(Command2), VANTORIL_CAPTIONED(Command3),
      VANTORIL_CAPTIONED(Command4), VANTORIL_CAPTIONED(Command5), VANTORIL_CAPTIONED(Command6),
      VANTORIL_CAPTIONED(Command7), VANTORIL_CAPTIONED(Command8), List1("List1"),
      programFolder_(std::move(programFolder)),
      services_(services) {
  controls_ = {&Text1,   &Text2,   &Text3,   &Text4,   &Text5,    &Text6,    &Text7,    &Text8,
               &Text9,   &Text10,  &Text11,  &Text12,  &Text13,   &Text14,   &Text15,   &Label1,
               &Label2,  &Label3,  &Label4,  &Label5,  &Label6,   &Label7,   &Label8,   &Label9,
               &Label10, &Label11, &Label12, &Label13, &Label14,  &Label15,  &Command1, &Command2,
               &Command3, &Command4, &Command5, &Command6, &Command7, &Command8, &List1};

  Text1.onChange = [this] { Text1_Change(); };
  Text5.onChange = [this] { Text5_Change(); };
  Text13.onChange = [this] { Text13_Change(); };
  List1.onClick = [this] { List1_Click(); };
  Command1.onClick = [this] { Command1_Click(); };
  Command2.onClick = [this] { Command2_Click(); };
  Command3.onClick = [this] { Command3_Click(); };
  Command4.onClick = [this] { Command4_Click(); };
  Command5.onClick = [this] { Command5_Click(); };
  Command6.onClick = [this] { Command6_Click(); };
  Command7.onClick = [this] { Command7_Click(); };
  Command8.onClick = [this] { Command8_Click(); };
}

#undef VANTORIL_BOX
#undef VANTORIL_CAPTIONED

Form1::WindowHold::WindowHold(Form1& form) : form_(form), outer_(std::exchange(form.held_, true)) {
  if (RunObserver* observer = form_.services_.runObserver) observer->runStarted();
}

Form1::WindowHold::~WindowHold() {
  if (RunObserver* observer = form_.services_.runObserver) observer->runEnded();
  form_.held_ = outer_;
}

void Form1::WindowHold::waiting() const {
  if (RunObserver* observer = form_.services_.runObserver) observer->waiting();
}

Form1::RunLockTaken::RunLockTaken(Form1& form, std::string_view refusal) {
  RunLock* lock = form.services_.runLock;
  if (!lock || lock->held()) return;
  if (!lock->tryAcquire()) {
    const WindowHold hold(form);
    const auto until = std::chrono::steady_clock::now() + kRenameWait;
    do {
      hold.waiting();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (lock->tryAcquire()) break;
    } while (std::chrono::steady_clock::now() < until);
    if (!lock->held()) throw Failure(std::string(refusal));
  }
  lock_ = lock;
}

Form1::RunLockTaken::~RunLockTaken() {
  if (lock_) lock_->release();
}

void Form1::settleRenameAtStart() {
  RunLock* lock = services_.runLock;
  const bool take = lock && !lock->held();
  try {
    if (!take || lock->tryAcquire()) datafile::settleRename(programFolder_);
  } catch (const std::exception& e) {
    services_.errorReport.report(e.what());
  }
  if (take) lock->release();
}

Control* Form1::control(std::string_view name) {
  for (Control* c : controls_)
    if (c->name() == name) return c;
  return nullptr;
}

void Form1::setListener(ControlListener* listener) {
  for (Control* c : controls_) c->setListener(listener);
}

bool Form1::load() {
  return atEventBoundary([this] {
    startupDebugTest();
    settleRenameAtStart();
    listRefresh();
  });
}

bool Form1::click(const CommandButton& button) {
  return atEventBoundary([&button] { button.click(); });
}

bool Form1::userSelect(int index) {
  return atEventBoundary([this, index] { List1.select(index); });
}

bool Form1::userEdit(TextBox& box, std::u16string_view text) {
  return atEventBoundary([&box, text] { box.setText(text); });
}

bool Form1::userShowChart(int index) {
  return atEventBoundary([this, index] {
    if (index < 0 || index >= List1.entryCount()) return;
    proc1(fileNameText(chart::writePage(programFolder_, List1.entries()[static_cast<std::size_t>(index)])));
  });
}

bool Form1::userShowOverview() {
  return atEventBoundary([this] {
    proc1(fileNameText(overview::writeOverview(
        programFolder_, services_.clock ? services_.clock() : std::chrono::system_clock::now())));
  });
}

bool Form1::userShowCompare() {
  return atEventBoundary([this] {
    std::vector<std::u16string> places;
    for (const std::u16string& place : List1.entries())
      if (std::find(places.begin(), places.end(), place) == places.end()) places.push_back(place);
    proc1(fileNameText(overview::writeComparePage(programFolder_, places)));
  });
}

// Debug panel --------------------------------------------------------------

void Form1::startupDebugTest() {
  if (Text13.text() != kDebugAccessCode) {
    Text1.setVisible(false);
    Text5.setVisible(false);
  }
}

void Form1::Text13_Change() {
  const bool open = Text13.text() == kDebugAccessCode;
  Text1.setVisible(open);
  Text5.setVisible(open);
}

// The count is worked out when the label is read: Text1 may still be a
// page's text nobody has looked at.
void Form1::Text1_Change() {
  Label5.setCaptionLater([this] { return u"全文字符数：" + countText(static_cast<long long>(Text1.text().size())); });
}

void Form1::Text5_Change() { Label7.setCaption(u"截文字符数：" + countText(static_cast<long long>(Text5.text().size()))); }

}  // namespace vantoril

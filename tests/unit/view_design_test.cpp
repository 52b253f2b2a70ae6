// What both views take from the control table, and the rules of a window
// during a recording run.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/BusyRun.h"
#include "app/ViewDesign.h"

namespace vantoril {
namespace {

TEST(ViewDesign, TwipsBecomePixelsAtTheSystemDpiWithTouchingEdgesKept) {
  struct Case {
    int dpi;
    PixelRect client, text15, command5, command6;
  };
  // Command5 (840, width 855) and Command6 (1680) overlap by a pixel's worth
  // in the design: no gap opens between them at any scale.
  const Case cases[] = {
      {96, {0, 0, 1022, 570}, {24, 240, 225, 41}, {56, 8, 57, 17}, {112, 8, 57, 17}},
      {120, {0, 0, 1278, 713}, {30, 300, 281, 51}, {70, 10, 71, 21}, {140, 10, 71, 21}},
      {144, {0, 0, 1533, 855}, {36, 360, 338, 62}, {84, 12, 86, 26}, {168, 12, 86, 26}},
  };
  const auto same = [](const PixelRect& a, const PixelRect& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dpi);
    EXPECT_TRUE(same(clientRect(c.dpi), c.client));
    EXPECT_TRUE(same(pixelRect(controlDesign("Text15"), c.dpi), c.text15));
    EXPECT_TRUE(same(pixelRect(controlDesign("Command5"), c.dpi), c.command5));
    EXPECT_TRUE(same(pixelRect(controlDesign("Command6"), c.dpi), c.command6));
  }
  EXPECT_EQ(fontPixels(9.75, 96), 13);
  EXPECT_EQ(fontPixels(24, 96), 32);
  EXPECT_EQ(fontPixels(9, 144), 18);
}

TEST(ViewDesign, StackingFollowsTheTabOrderWithTheLabelsBeneath) {
  std::vector<std::string> order;
  for (const ControlDesign* c : stackingOrder()) order.emplace_back(c->name);
  ASSERT_EQ(order.size(), 39u);  // every control but Inet1
  // The focus order of the design, the record button first; then the labels.
  const std::vector<std::string> focus = {"Command1", "Text1",  "Text2",    "Text3",    "Text4",    "Text5",
                                          "Text6",    "Text7",  "Text8",    "Text9",    "Text10",   "Text11",
                                          "Text12",   "Text13", "Command3", "Command2", "List1",    "Text14",
                                          "Command4", "Command5", "Command6", "Command7", "Command8", "Text15"};
  EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 24), focus);
  for (std::size_t i = 24; i < order.size(); ++i) EXPECT_TRUE(order[i].starts_with("Label")) << order[i];
}

class FakeWindow final : public BusyRun::Window {
 public:
  std::vector<std::string> calls;
  void showBusy(bool busy) override { calls.push_back(busy ? "busy" : "idle"); }
  void showControl(const Control& control) override { calls.push_back(control.name()); }
  void repaintDroppingInput() override { calls.push_back("repaint"); }
  void closeLater() override { calls.push_back("close"); }
};

// A message box on a 1,000-pixel screen, lines 20 pixels apart, wrapping at
// 500 pixels (25 Chinese characters of 20 pixels): room for 42 rows.
TEST(ViewDesign, AMessageTallerThanTheScreenIsCutToItsFirstLines) {
  const auto fit = [](const std::string& message) { return messageFitting(message, 1000, 20, 500, 20); };
  std::string lines, wide;
  for (int i = 0; i < 42; ++i) lines += (i ? "\n" : "") + std::string("第 ") + std::to_string(i) + " 行";
  std::string twentySix;
  for (int i = 0; i < 26; ++i) twentySix += "中";
  for (int i = 0; i < 22; ++i) wide += (i ? "\n" : "") + twentySix;
  struct Case {
    const char* what;
    std::string message, expected;
  };
  const Case cases[] = {
      {"42 rows fit", lines, lines},
      {"43 rows: 40 shown, and the count of the rest",
       lines + "\n末行", lines.substr(0, lines.find("\n第 40 行")) + "\n……（另有 3 行未显示）"},
      {"22 lines of 26 Chinese characters take two rows each", wide,
       wide.substr(0, 20 * (26 * 3 + 1) - 1) + "\n……（另有 2 行未显示）"},
      {"an ASCII character is half as wide", std::string(2000, 'x'), std::string(2000, 'x')},
  };
  for (const Case& c : cases) EXPECT_EQ(fit(c.message), c.expected) << c.what;
}

TEST(BusyRun, ACloseDuringARunStopsItAfterThePlaceAndClosesWhenItEnds) {
  FakeWindow window;
  BusyRun busy(BusyRun::Clock::duration::zero());
  busy.setWindow(&window);
  EXPECT_TRUE(busy.closeNow());  // idle: the window closes at once
  EXPECT_FALSE(busy.stopAsked());

  busy.runStarted();
  busy.waiting();
  busy.placeRecorded(u"北京", u"2014061914");
  EXPECT_FALSE(busy.stopAsked());
  EXPECT_FALSE(busy.closeNow());  // held
  EXPECT_TRUE(busy.stopAsked());
  busy.placeFailed(u"广州", "bad page");
  busy.runEnded();
  EXPECT_FALSE(busy.busy());
  EXPECT_EQ(window.calls, (std::vector<std::string>{"busy", "repaint", "repaint", "repaint", "repaint", "repaint",
                                                    "idle", "close"}));
}

// A change is shown at once outside a run; during one, at the next repaint,
// once however often it changed, and repaints come no faster than the
// screen's pace: a run quicker than a frame is drawn at its start and end.
TEST(BusyRun, DuringARunChangesAreShownAtTheScreensPace) {
  TextBox box("Text9", u"", 0);
  Label caption("Label5", u"");
  struct Case {
    const char* what;
    BusyRun::Clock::duration frame;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"every change drawn", BusyRun::Clock::duration::zero(),
       {"busy", "repaint", "Text9", "Label5", "repaint", "Text9", "repaint", "repaint", "repaint", "idle"}},
      {"a run within a frame", std::chrono::hours(1), {"busy", "repaint", "Text9", "Label5", "repaint", "idle"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeWindow window;
    BusyRun busy(c.frame);
    busy.setWindow(&window);
    EXPECT_TRUE(busy.showNow(box));
    busy.runStarted();
    EXPECT_FALSE(busy.showNow(box));
    EXPECT_FALSE(busy.showNow(caption));
    EXPECT_FALSE(busy.showNow(box));
    busy.placeRecorded(u"北京", u"2014061914");
    EXPECT_FALSE(busy.showNow(box));
    busy.waiting();
    busy.placeSkipped(u"广州", "no file");
    busy.runEnded();
    EXPECT_EQ(window.calls, c.calls);
    EXPECT_TRUE(busy.showNow(box));
  }
}

}  // namespace
}  // namespace vantoril

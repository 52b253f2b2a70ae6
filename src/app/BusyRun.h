#pragma once
// How a window behaves while a recording run holds its thread, whatever
// toolkit draws it: a busy cursor and the record button disabled (its
// caption kept); the controls' changes shown, and the window repainted, at
// the screen's pace rather than at every change, with user input dropped,
// so that no other operation can start inside the run and a place that is
// done before the screen could show it costs no drawing; input given during
// the run dropped at its end, not acted on (a second click on the record
// button would record every place twice); and a close asked for during the
// run stops the run after the current place and closes the window when the
// run has ended.
#include <algorithm>
#include <chrono>
#include <vector>

#include "app/Controls.h"
#include "platform/Services.h"

namespace vantoril {

class BusyRun final : public RunObserver {
 public:
  using Clock = std::chrono::steady_clock;
  // About one frame of a screen. A repaint that takes longer waits the
  // longer before the next, so that drawing never takes more than a small
  // share of a run.
  static constexpr Clock::duration kFrame = std::chrono::milliseconds(16);
  static constexpr int kDrawingShare = 5;  // at most 1/kDrawingShare of the time

  // What the view does for it.
  class Window {
   public:
    virtual ~Window() = default;
    // The busy cursor and the record button disabled, or neither.
    virtual void showBusy(bool busy) = 0;
    // Brings the widget of a control up to date with it.
    virtual void showControl(const Control& control) = 0;
    // Handles paint and other waiting messages; drops user input.
    virtual void repaintDroppingInput() = 0;
    // Closes the window, after the event being handled.
    virtual void closeLater() = 0;
  };

  // `frame` zero: every change shown, and the window repainted, at every
  // place and every wait.
  explicit BusyRun(Clock::duration frame = kFrame) : frame_(frame) {}

  void setWindow(Window* window) { window_ = window; }
  bool busy() const { return busy_; }

  // A control of the model changed: true when the view shows it now; during
  // a run it is shown at the next repaint instead.
  bool showNow(const Control& control) {
    if (!busy_) return true;
    for (const Control* c : changed_)
      if (c == &control) return false;
    changed_.push_back(&control);
    return false;
  }

  // The user asks to close the window: true when it may close now; during
  // a run the close is held until the run ends.
  bool closeNow() {
    if (busy_) closeAsked_ = true;
    return !busy_;
  }

  void runStarted() override {
    busy_ = true;
    if (window_) window_->showBusy(true);
    repaint(true);
  }
  void waiting() override { repaint(false); }
  bool stopAsked() override { return closeAsked_; }
  void placeRecorded(const std::u16string&, const std::u16string&) override { repaint(false); }
  void placeSkipped(const std::u16string&, const std::string&) override { repaint(false); }
  void placeFailed(const std::u16string&, const std::string&) override { repaint(false); }
  void runEnded() override {
    repaint(true);
    busy_ = false;
    if (!window_) return;
    window_->showBusy(false);
    if (closeAsked_) window_->closeLater();
  }

 private:
  // Shows what changed and repaints: always when `now`, else once the
  // screen is ready for another picture.
  void repaint(bool now) {
    const Clock::time_point start = Clock::now();
    if (!now && start < next_) return;
    const std::vector<const Control*> changed = std::move(changed_);
    changed_.clear();
    if (!window_) return;
    for (const Control* c : changed) window_->showControl(*c);
    window_->repaintDroppingInput();
    const Clock::time_point end = Clock::now();
    next_ = frame_ == Clock::duration::zero() ? end : end + std::max(frame_, (end - start) * (kDrawingShare - 1));
  }

  Window* window_ = nullptr;
  Clock::duration frame_;
  Clock::time_point next_{};
  std::vector<const Control*> changed_;
  bool busy_ = false;
  bool closeAsked_ = false;
};

}  // namespace vantoril

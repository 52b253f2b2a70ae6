#pragma once
// How a window behaves while a recording run holds its thread, whatever
// toolkit draws it: a busy cursor; repainting at every place and while a
// page is awaited, with user input dropped, so that no other operation can
// start inside the run; input given during the run dropped at its end, not
// acted on (a second click on the record button would record every place
// twice); and a close asked for during the run stops the run after the
// current place and closes the window when the run has ended.
#include "platform/Services.h"

namespace vantoril {

class BusyRun final : public RunObserver {
 public:
  // What the view does for it.
  class Window {
   public:
    virtual ~Window() = default;
    virtual void showBusy(bool busy) = 0;
    // Handles paint and other waiting messages; drops user input.
    virtual void repaintDroppingInput() = 0;
    // Closes the window, after the event being handled.
    virtual void closeLater() = 0;
  };

  void setWindow(Window* window) { window_ = window; }
  bool busy() const { return busy_; }

  // The user asks to close the window: true when it may close now; during
  // a run the close is held until the run ends.
  bool closeNow() {
    if (busy_) closeAsked_ = true;
    return !busy_;
  }

  void runStarted() override {
    busy_ = true;
    if (window_) window_->showBusy(true);
    repaint();
  }
  void waiting() override { repaint(); }
  bool stopAsked() override { return closeAsked_; }
  void placeRecorded(const std::u16string&, const std::u16string&) override { repaint(); }
  void placeSkipped(const std::u16string&, const std::string&) override { repaint(); }
  void placeFailed(const std::u16string&, const std::string&) override { repaint(); }
  void runEnded() override {
    repaint();
    busy_ = false;
    if (!window_) return;
    window_->showBusy(false);
    if (closeAsked_) window_->closeLater();
  }

 private:
  void repaint() {
    if (window_) window_->repaintDroppingInput();
  }

  Window* window_ = nullptr;
  bool busy_ = false;
  bool closeAsked_ = false;
};

}  // namespace vantoril

#include "app/qt_Window.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>

#include "app/Form1.h"
#include "app/qt_Dialogs.h"
#include "app/qt_MainWindow.h"
#include "platform/CurlDownloader.h"
#include "platform/XdgProcessStarter.h"

namespace vantoril {

namespace {

// Eats mouse and keyboard input while installed.
class InputSwallower final : public QObject {
 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Wheel:
        return true;
      default:
        return false;
    }
  }
};

// A recording run holds the window's thread from start to end. Between
// places and while a page is awaited the window repaints, but takes no user
// input, so no other operation can start inside the run. Closing the window
// stops the run after the place being processed; the window then closes.
class BusyWindow final : public RunObserver {
 public:
  void setWindow(MainWindow* window) { window_ = window; }

  void runStarted() override {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (window_) window_->setBusy(true);
    repaint();
  }
  void waiting() override { repaint(); }
  bool stopAsked() override { return window_ && window_->closeAsked(); }
  void placeRecorded(const std::u16string&, const std::u16string&) override { repaint(); }
  void placeSkipped(const std::u16string&, const std::string&) override { repaint(); }
  void placeFailed(const std::u16string&, const std::string&) override { repaint(); }
  void runEnded() override {
    // Clicks and keys given during the run were held back; they are dropped
    // rather than acted on afterwards (a second click on the record button
    // would record every place twice).
    InputSwallower swallower;
    QCoreApplication::instance()->installEventFilter(&swallower);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(&swallower);
    if (window_) window_->setBusy(false);
    QApplication::restoreOverrideCursor();
  }

 private:
  static void repaint() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
  MainWindow* window_ = nullptr;
};

}  // namespace

int runWindow(int argc, char** argv, const std::string& programFolder) {
  QApplication app(argc, argv);
  CurlDownloader downloader;
  XdgProcessStarter processStarter;
  DialogInputBox inputBox;
  MessageBoxReport errorReport;
  BusyWindow busy;
  Form1 form(programFolder, {downloader, processStarter, inputBox, errorReport, &busy});
  // The start-up sequence runs before the window exists; the window then
  // shows the filled list in one go rather than place by place.
  form.load();
  MainWindow window(form);
  inputBox.setParent(&window);
  errorReport.setParent(&window);
  busy.setWindow(&window);
  window.show();
  return QApplication::exec();
}

}  // namespace vantoril

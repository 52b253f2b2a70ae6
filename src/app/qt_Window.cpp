#include "app/qt_Window.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>

#include "app/BusyRun.h"
#include "app/Form1.h"
#include "app/qt_Application.h"
#include "app/qt_Dialogs.h"
#include "app/qt_MainWindow.h"
#include "platform/PlatformServices.h"
#include "platform/RunLock.h"

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

// The recording run's rules (BusyRun) carried out with Qt.
class QtBusyWindow final : public BusyRun::Window {
 public:
  explicit QtBusyWindow(MainWindow& window) : window_(window) {}
  void showBusy(bool busy) override {
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
  }
  void repaintDroppingInput() override {
    InputSwallower swallower;
    QCoreApplication::instance()->installEventFilter(&swallower);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(&swallower);
  }
  void closeLater() override { QMetaObject::invokeMethod(&window_, &QWidget::close, Qt::QueuedConnection); }

 private:
  MainWindow& window_;
};

}  // namespace

int runWindow(int argc, char** argv, const std::string& programFolder) {
  Application app(argc, argv);
  const auto downloader = makeDownloader();
  const auto processStarter = makeProcessStarter();
  const auto runLock = makeRunLock(programFolder);
  DialogInputBox inputBox;
  MessageBoxReport errorReport;
  BusyRun busy;
  Form1 form(programFolder, {*downloader, *processStarter, inputBox, errorReport, &busy, runLock.get()});
  // The start-up sequence runs before the window exists; the window then
  // shows the filled list in one go rather than place by place.
  form.load();
  MainWindow window(form);
  inputBox.setParent(&window);
  errorReport.setParent(&window);
  QtBusyWindow busyWindow(window);
  window.setBusyRun(&busy);
  busy.setWindow(&busyWindow);
  // An opener that fails after the click (its exit status) is reported
  // like a failed event, on the window's thread.
  processStarter->tellLateFailures([&window, &errorReport](const std::string& message) {
    QMetaObject::invokeMethod(&window, [&errorReport, message] { errorReport.report(message); }, Qt::QueuedConnection);
  });
  window.show();
  const int code = QApplication::exec();
  processStarter->tellLateFailures(nullptr);
  return code;
}

}  // namespace vantoril

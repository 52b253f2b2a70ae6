#include "app/qt_Window.h"

#include <QApplication>

#include "app/BusyRun.h"
#include "app/Form1.h"
#include "app/qt_Application.h"
#include "app/qt_Dialogs.h"
#include "app/qt_MainWindow.h"
#include "platform/PlatformServices.h"
#include "platform/RunLock.h"

namespace vantoril {

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
  window.setBusyRun(&busy);
  busy.setWindow(&window);
  // An opener that fails after the click (its exit status) is an event of
  // the window's: reported, or "修改网址" goes on in the input box.
  processStarter->tellLateFailures([&window, &form](const std::string& message) {
    QMetaObject::invokeMethod(&window, [&form, message] { form.userOpenFailed(message); }, Qt::QueuedConnection);
  });
  window.show();
  const int code = QApplication::exec();
  processStarter->tellLateFailures(nullptr);
  return code;
}

}  // namespace vantoril

#include "app/qt_Application.h"

#include <QLibraryInfo>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "app/NoDisplay.h"

namespace vantoril {

namespace {

// What the platform plugin said while Qt was starting; told only when the
// start fails.
std::string platformSaid;
QtMessageHandler previousHandler = nullptr;

// Qt ends a start that finds no display with a fatal message (and an abort):
// the program says so itself and ends with exit code 1.
void startHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    std::cerr << noDisplayText(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
    if (!platformSaid.empty()) std::cerr << "（Qt：" << platformSaid << "）\n";
    std::cerr.flush();
    std::_Exit(1);
  }
  if (context.category != nullptr && std::strncmp(context.category, "qt.qpa", 6) == 0) {
    platformSaid += (platformSaid.empty() ? "" : "；") + message.toStdString();
    return;
  }
  if (previousHandler) previousHandler(type, context, message);
  else std::cerr << message.toStdString() << std::endl;
}

// Installs the start's handler; returns its argument, so that it can run
// before QApplication's constructor.
int& watchingStart(int& argc) {
  previousHandler = qInstallMessageHandler(startHandler);
  return argc;
}

}  // namespace

Application::Application(int& argc, char** argv) : QApplication(watchingStart(argc), argv) {
  qInstallMessageHandler(previousHandler);
  platformSaid.clear();
  installQtChinese(qtTexts_);
}

Application::~Application() { removeTranslator(&qtTexts_); }

bool installQtChinese(QTranslator& translator) {
  return translator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
         QCoreApplication::installTranslator(&translator);
}

}  // namespace vantoril

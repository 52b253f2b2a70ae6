#pragma once
// The window's QApplication: Qt's own texts (the buttons of message boxes,
// the text boxes' menus, the file dialogs) in Chinese like the rest of the
// window; and, where no display can be reached, the program's own word on
// stderr and exit code 1 instead of Qt's abort.
#include <QApplication>
#include <QTranslator>

namespace vantoril {

class Application final : public QApplication {
 public:
  Application(int& argc, char** argv);
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

 private:
  QTranslator qtTexts_;
};

// Loads Qt's own Chinese texts (qtbase_zh_CN, from Qt's translations
// folder) into `translator` and has the application use them; false where
// the system has none.
bool installQtChinese(QTranslator& translator);

}  // namespace vantoril

#pragma once
// The window's services that talk to the user: the modal input box and the
// message box that reports a failed operation.
#include <QMessageBox>
#include <QString>
#include <string>

#include "platform/Services.h"

class QDialog;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QWidget;

namespace vantoril {

// Every caption, message box and tooltip of the window shows its text as
// it is: a station name from a page, a place name, an address or a path
// may hold markup, from which Qt would guess rich text (an "<img>" loaded
// from disk, an "<a>" shown as a live link). Labels and message boxes are
// made only here.
QLabel* plainLabel(const QString& text, QWidget* parent);
// A modal message box with an OK button.
void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text);
// The tooltip Qt shows as the text itself.
QString plainToolTip(const QString& text);

// Prompt, title, a line edit holding the default text (selected), OK and
// Cancel. Cancel, Escape or closing the box gives the empty text.
class DialogInputBox final : public InputBox {
 public:
  void setParent(QWidget* parent) { parent_ = parent; }
  std::u16string ask(const std::u16string& prompt, const std::u16string& title,
                     const std::u16string& defaultText) override;

 private:
  QWidget* parent_ = nullptr;
};

// OK and Cancel of the program's own dialogs, under the captions both
// windows give them; the box signals accepted() and rejected().
struct OkCancel {
  QDialogButtonBox* box;
  QPushButton* ok;
};
OkCancel okCancelButtons(QDialog& dialog);

// A warning box titled with the window caption.
class MessageBoxReport final : public ErrorReport {
 public:
  void setParent(QWidget* parent) { parent_ = parent; }
  void report(const std::string& message) override;
  // An information box titled with the window caption.
  void inform(const std::string& message) override;

 private:
  QWidget* parent_ = nullptr;
};

// Qt's save dialog for an export, opened at `suggested`: the path chosen
// (with ".csv" added to a name without ending), or empty. Object name "ExportSave".
std::string askSavePath(QWidget* parent, const std::string& suggested);

}  // namespace vantoril

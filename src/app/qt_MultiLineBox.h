#pragma once
// A multi-line text box over QPlainTextEdit. The editor keeps every line
// break as one paragraph end; the box's own text keeps its line breaks (CR
// LF, LF or CR) and every character as they are. So an edit is handed on
// as the part it changed, a typed line break as CR LF, and nothing else of
// the text is touched.
#include <QPlainTextEdit>
#include <functional>
#include <optional>
#include <string>

namespace vantoril {

class TextBox;

class MultiLineBox final : public QPlainTextEdit {
 public:
  // `edited` gets the box's whole text after each edit by the user.
  MultiLineBox(const TextBox& box, std::function<void(std::u16string)> edited, QWidget* parent);

  // Shows the box's text, unless the editor already does (the cursor then
  // stays where it is).
  void showBoxText();

 protected:
  // A box with a maximum length refuses a key that would go beyond it, and
  // takes of a paste or an input method's text only what fits.
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  void contentsChange(int position, int removed, int added);
  void textEdited();
  // Characters the box can still take in place of the selection; -1: any number.
  qsizetype room() const;

  const TextBox& box_;
  std::function<void(std::u16string)> edited_;
  std::optional<std::u16string> editedText_;
  bool showing_ = false;
};

}  // namespace vantoril

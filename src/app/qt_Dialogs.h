#pragma once
// The window's services that talk to the user: the modal input box and the
// message box that reports a failed operation.
#include <QString>
#include <string>

#include "platform/Services.h"

class QWidget;

namespace vantoril {

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

}  // namespace vantoril

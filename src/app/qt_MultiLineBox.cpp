#include "app/qt_MultiLineBox.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <algorithm>
#include <utility>

#include "app/Controls.h"

namespace vantoril {

namespace {

// The length of a line break at text[i], which the editor keeps as one
// paragraph end (CR LF, LF, CR, and the paragraph and frame separators);
// 0 for any other character.
std::size_t lineBreakAt(std::u16string_view text, std::size_t i) {
  const char16_t c = text[i];
  if (c == u'\r') return i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
  return c == u'\n' || c == u'\u2029' || c == u'\uFDD0' || c == u'\uFDD1' ? 1 : 0;
}

// Where the editor's position falls in the box's text.
std::size_t boxIndex(std::u16string_view text, int position) {
  std::size_t i = 0;
  for (int p = 0; p < position && i < text.size(); ++p) i += std::max<std::size_t>(1, lineBreakAt(text, i));
  return i;
}

// The text as the editor holds it: each line break one paragraph end.
QString editorText(std::u16string_view text) {
  QString shown;
  shown.reserve(static_cast<qsizetype>(text.size()));
  for (std::size_t i = 0; i < text.size();) {
    if (const std::size_t n = lineBreakAt(text, i)) {
      shown += QChar::ParagraphSeparator;
      i += n;
    } else {
      shown += QChar(text[i++]);
    }
  }
  return shown;
}

// Text the user typed or pasted, as the box takes it: a line break is CR LF.
std::u16string boxText(const QString& typed) {
  std::u16string text;
  text.reserve(static_cast<std::size_t>(typed.size()));
  for (const QString::value_type c : editorText(typed.toStdU16String())) {
    if (c == QChar::ParagraphSeparator) text += u"\r\n";
    else text += c.unicode();
  }
  return text;
}

// The first characters of pasted text that fit into `room`, never half a
// line break.
QString fitting(const QString& pasted, qsizetype room) {
  std::u16string text = boxText(pasted);
  if (room < 0 || text.size() <= static_cast<std::size_t>(room)) return pasted;
  text.resize(static_cast<std::size_t>(room));
  if (!text.empty() && text.back() == u'\r') text.pop_back();
  return QString::fromStdU16String(text);
}

}  // namespace

MultiLineBox::MultiLineBox(const TextBox& box, std::function<void(std::u16string)> edited, QWidget* parent)
    : QPlainTextEdit(parent), box_(box), edited_(std::move(edited)) {
  connect(document(), &QTextDocument::contentsChange, this, &MultiLineBox::contentsChange);
  connect(this, &QPlainTextEdit::textChanged, this, &MultiLineBox::textEdited);
}

void MultiLineBox::showBoxText() {
  const QString shown = editorText(box_.text());
  if (document()->toRawText() == shown) return;
  editedText_.reset();
  showing_ = true;
  setPlainText(shown);
  showing_ = false;
}

// The document has changed already; the part that changed replaces the
// same part of the box's text. The edit is handed on once the editor has
// finished with it.
void MultiLineBox::contentsChange(int position, int removed, int added) {
  if (showing_) return;
  std::u16string text = editedText_ ? std::move(*editedText_) : box_.text();
  const std::size_t from = boxIndex(text, position);
  const std::size_t to = boxIndex(text, position + removed);
  QTextCursor inserted(document());
  const int end = std::min(position + added, document()->characterCount() - 1);
  inserted.setPosition(std::min(position, end));
  inserted.setPosition(end, QTextCursor::KeepAnchor);
  text.replace(from, to - from, boxText(inserted.selectedText()));
  editedText_ = std::move(text);
}

void MultiLineBox::textEdited() {
  if (showing_ || !editedText_) return;
  std::u16string text = std::move(*editedText_);
  editedText_.reset();
  edited_(std::move(text));
}

qsizetype MultiLineBox::room() const {
  if (box_.maxLength() == 0) return -1;
  const std::u16string& text = box_.text();
  const QTextCursor cursor = textCursor();
  const std::size_t selected = boxIndex(text, cursor.selectionEnd()) - boxIndex(text, cursor.selectionStart());
  return static_cast<qsizetype>(box_.maxLength()) - static_cast<qsizetype>(text.size() - selected);
}

void MultiLineBox::keyPressEvent(QKeyEvent* event) {
  const bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (lineBreak && event->modifiers().testFlag(Qt::ShiftModifier)) {
    // Shift+Enter breaks the line as Enter does (not with a line separator).
    QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier, event->text(),
                    event->isAutoRepeat(), static_cast<quint16>(event->count()));
    keyPressEvent(&plain);
    event->setAccepted(plain.isAccepted());
    return;
  }
  const QString typed = event->text();
  const qsizetype inserted = lineBreak ? 2
                             : !typed.isEmpty() && typed.at(0).isPrint()
                                 ? static_cast<qsizetype>(boxText(typed).size())
                                 : 0;
  const qsizetype left = room();
  if (inserted > 0 && left >= 0 && inserted > left) {
    event->accept();  // refused: the box is full
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void MultiLineBox::insertFromMimeData(const QMimeData* source) {
  const qsizetype left = room();
  if (left < 0 || !source->hasText()) return QPlainTextEdit::insertFromMimeData(source);
  QMimeData fitted;
  fitted.setText(fitting(source->text(), left));
  QPlainTextEdit::insertFromMimeData(&fitted);
}

void MultiLineBox::inputMethodEvent(QInputMethodEvent* event) {
  const qsizetype left = room();
  if (left < 0 || event->commitString().isEmpty()) return QPlainTextEdit::inputMethodEvent(event);
  QInputMethodEvent fitted(event->preeditString(), event->attributes());
  fitted.setCommitString(fitting(event->commitString(), left), event->replacementStart(),
                         event->replacementLength());
  QPlainTextEdit::inputMethodEvent(&fitted);
}

}  // namespace vantoril

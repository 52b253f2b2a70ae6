#include "app/Controls.h"

#include <stdexcept>
#include <string>

namespace vantoril {

void Control::setVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  changed();
}

TextBox::TextBox(std::string_view name, std::u16string_view text, std::size_t maxLength)
    : Control(name), text_(text), maxLength_(maxLength) {}

void TextBox::setText(std::u16string_view text) {
  if (maxLength_ != 0 && text.size() > maxLength_) text = text.substr(0, maxLength_);
  if (text == text_) return;
  text_.assign(text);
  changed();
  if (onChange) onChange();
}

void Label::setCaption(std::u16string_view caption) {
  if (caption == caption_) return;
  caption_.assign(caption);
  changed();
}

void ListBox::clear() {
  entries_.clear();
  selected_ = -1;
  changed();
}

void ListBox::addEntry(std::u16string_view text) {
  entries_.emplace_back(text);
  changed();
}

void ListBox::select(int index) {
  if (index < 0 || index >= entryCount()) throw std::out_of_range("列表中没有第 " + std::to_string(index) + " 项");
  selected_ = index;
  changed();
  if (onClick) onClick();
}

std::u16string ListBox::selectedText() const { return selected_ < 0 ? std::u16string() : entries_[selected_]; }

void ListBox::setTooltip(std::u16string_view tooltip) {
  if (tooltip == tooltip_) return;
  tooltip_.assign(tooltip);
  changed();
}

}  // namespace vantoril

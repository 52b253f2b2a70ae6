#include "app/Controls.h"

#include <stdexcept>
#include <string>
#include <utility>

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
  // A text still to be built is not empty: the empty text differs from it
  // without building it.
  if ((!text_.later() || !text.empty()) && text == text_.get()) return;
  text_.set(text);
  changed();
  if (onChange) onChange();
}

void TextBox::setTextLater(bool empty, std::function<std::u16string()> make) {
  if (empty) return setText(u"");
  // Only a text replacing another non-empty one is built now, to be compared.
  if (text_.later() || !text_.get().empty()) return setText(make());
  text_.setLater([make = std::move(make), max = maxLength_] {
    std::u16string text = make();
    if (max != 0 && text.size() > max) text.resize(max);
    return text;
  });
  changed();
  if (onChange) onChange();
}

void Label::setCaption(std::u16string_view caption) {
  if (!caption_.later() && caption == caption_.get()) return;
  caption_.set(caption);
  changed();
}

void Label::setCaptionLater(std::function<std::u16string()> make) {
  caption_.setLater(std::move(make));
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

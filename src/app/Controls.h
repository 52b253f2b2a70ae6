#pragma once
// The controls of the window model, with exactly the operations the logic
// relies on. Change and click handling runs at once, inside the operation
// that caused it.
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantoril {

class Control;

// Told after every change of a control, so a view can mirror the model.
class ControlListener {
 public:
  virtual ~ControlListener() = default;
  virtual void controlChanged(const Control& control) = 0;
};

class Control {
 public:
  explicit Control(std::string_view name) : name_(name) {}
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  const std::string& name() const { return name_; }
  bool visible() const { return visible_; }
  void setVisible(bool visible);
  void setListener(ControlListener* listener) { listener_ = listener; }

 protected:
  void changed() const {
    if (listener_) listener_->controlChanged(*this);
  }

 private:
  std::string name_;
  bool visible_ = true;
  ControlListener* listener_ = nullptr;
};

// A text that may be worked out only when it is first read, so a long text
// nobody looks at (a run without a window) is never built.
class LaterText {
 public:
  explicit LaterText(std::u16string_view text) : text_(text) {}
  const std::u16string& get() const {
    if (make_) {
      text_ = make_();
      make_ = nullptr;
    }
    return text_;
  }
  bool later() const { return static_cast<bool>(make_); }
  void set(std::u16string_view text) {
    make_ = nullptr;
    text_.assign(text);
  }
  void setLater(std::function<std::u16string()> make) {
    text_.clear();
    make_ = std::move(make);
  }

 private:
  mutable std::u16string text_;
  mutable std::function<std::u16string()> make_;
};

class TextBox final : public Control {
 public:
  TextBox(std::string_view name, std::u16string_view text, std::size_t maxLength);
  const std::u16string& text() const { return text_.get(); }
  // Replaces the text (cut to the maximum length); a change runs the
  // change handling before this returns.
  void setText(std::u16string_view text);
  // As setText(make()), with make() run when the text is first read.
  // `empty`: whether make() gives the empty text.
  void setTextLater(bool empty, std::function<std::u16string()> make);
  std::size_t maxLength() const { return maxLength_; }
  std::function<void()> onChange;

 private:
  LaterText text_;
  std::size_t maxLength_;
};

// How an operation fills a box: first the empty text, then the new one.
inline void fill(TextBox& box, std::u16string_view text) {
  box.setText(u"");
  box.setText(text);
}

class Label final : public Control {
 public:
  Label(std::string_view name, std::u16string_view caption) : Control(name), caption_(caption) {}
  const std::u16string& caption() const { return caption_.get(); }
  void setCaption(std::u16string_view caption);
  // As setCaption(make()), with make() run when the caption is first read;
  // told as a change even when make() gives the same caption again.
  void setCaptionLater(std::function<std::u16string()> make);

 private:
  LaterText caption_;
};

class CommandButton final : public Control {
 public:
  CommandButton(std::string_view name, std::u16string_view caption) : Control(name), caption_(caption) {}
  const std::u16string& caption() const { return caption_; }
  void click() const {
    if (onClick) onClick();
  }
  std::function<void()> onClick;

 private:
  std::u16string caption_;
};

class ListBox final : public Control {
 public:
  explicit ListBox(std::string_view name) : Control(name) {}
  void clear();
  void addEntry(std::u16string_view text);
  int entryCount() const { return static_cast<int>(entries_.size()); }
  const std::vector<std::u16string>& entries() const { return entries_; }
  // Makes entry i the selected one and runs the click handling before
  // this returns.
  void select(int index);
  int selectedIndex() const { return selected_; }
  // The selected entry's text; the empty text when none is selected.
  std::u16string selectedText() const;
  const std::u16string& tooltip() const { return tooltip_; }
  void setTooltip(std::u16string_view tooltip);
  std::function<void()> onClick;

 private:
  std::vector<std::u16string> entries_;
  int selected_ = -1;
  std::u16string tooltip_;
};

}  // namespace vantoril

#pragma once
// What the window needs from the outside world. Each is handed to Form1,
// so tests answer them from a script and never touch a network, a browser
// or a display.
#include <string>

namespace vantoril {

// A synchronous download: the page at `address`, as text. Throws Failure.
class Downloader {
 public:
  virtual ~Downloader() = default;
  virtual std::u16string download(const std::u16string& address) = 0;
};

// Window styles of a started program.
enum class WindowStyle { NormalFocus = 1, MinimizedFocus = 2 };

// Starts a command line and returns at once; never waits. Throws Failure
// when the program cannot be started.
class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;
  virtual void start(const std::u16string& commandLine, WindowStyle style) = 0;
};

// The modal input box: the edited text, or the empty text on Cancel.
class InputBox {
 public:
  virtual ~InputBox() = default;
  virtual std::u16string ask(const std::u16string& prompt, const std::u16string& title,
                             const std::u16string& defaultText) = 0;
};

// Where a failed event's message goes (a message box, or stderr).
class ErrorReport {
 public:
  virtual ~ErrorReport() = default;
  virtual void report(const std::string& message) = 0;
};

// Told about each place of a recording run as it ends, so a window can
// repaint and a headless run can print.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void runStarted() {}
  virtual void placeRecorded(const std::u16string& /*place*/, const std::u16string& /*observationTime*/) {}
  virtual void placeSkipped(const std::u16string& /*place*/, const std::string& /*why*/) {}
  virtual void placeFailed(const std::u16string& /*place*/, const std::string& /*cause*/) {}
  virtual void runEnded() {}
};

}  // namespace vantoril

#pragma once
// What the window needs from the outside world. Each is handed to Form1,
// so tests answer them from a script and never touch a network, a browser
// or a display.
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>

namespace vantoril {

// Downloads pages. `download` is synchronous: the page at `address`, as
// text; it throws Failure naming the address.
//
// A recording run also fetches ahead: `fetchAhead` starts the download of a
// page the run will want soon and returns at once with a ticket; `collect`
// gives that page, waiting for it if need be and calling `whileWaiting`
// now and then (the window repaints there), and throws the Failure that
// `download` would have thrown; `abandon` drops a page that will never be
// collected. Every ticket is collected or abandoned exactly once. The
// defaults fetch nothing ahead: `collect` downloads at once.
class Downloader {
 public:
  using Ticket = std::uint64_t;
  virtual ~Downloader() = default;
  virtual std::u16string download(const std::u16string& address) = 0;

  virtual Ticket fetchAhead(const std::u16string& address) {
    const Ticket ticket = nextTicket_++;
    ahead_.emplace(ticket, address);
    return ticket;
  }
  virtual std::u16string collect(Ticket ticket, const std::function<void()>& whileWaiting) {
    (void)whileWaiting;
    const auto it = ahead_.find(ticket);
    if (it == ahead_.end()) throw std::logic_error("collect: unknown ticket");
    const std::u16string address = std::move(it->second);
    ahead_.erase(it);
    return download(address);
  }
  virtual void abandon(Ticket ticket) { ahead_.erase(ticket); }

 private:
  Ticket nextTicket_ = 1;
  std::map<Ticket, std::u16string> ahead_;
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
  // A result the user asked for that is no failure (an information box).
  virtual void inform(const std::string& message) { report(message); }
};

// Told about each place of a recording run as it ends, so a window can
// repaint and a headless run can print. `waiting` is called now and then
// while a page is awaited (a window repaints there); `stopAsked` is asked
// before each place (a window being closed stops the run there).
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void runStarted() {}
  virtual void waiting() {}
  virtual bool stopAsked() { return false; }
  virtual void placeRecorded(const std::u16string& /*place*/, const std::u16string& /*observationTime*/) {}
  virtual void placeSkipped(const std::u16string& /*place*/, const std::string& /*why*/) {}
  virtual void placeFailed(const std::u16string& /*place*/, const std::string& /*cause*/) {}
  virtual void runEnded() {}
};

}  // namespace vantoril

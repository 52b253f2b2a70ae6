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

#include "platform/PageText.h"

namespace vantoril {

// Downloads pages. `download` is synchronous: the page at `address`, as
// text; it throws Failure naming the address.
//
// A recording run also fetches ahead: `fetchAhead` starts the download of a
// page the run will want soon and returns at once with a ticket; `collect`
// gives that page, waiting for it if need be and calling `whileWaiting`
// now and then (the window repaints there), and throws the Failure that
// `download` would have thrown; `abandon` drops a page that will never be
// collected. Every ticket is collected (by `collect` or `collectPage`) or
// abandoned exactly once. The defaults fetch nothing ahead: `collect`
// downloads at once.
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
  // The page of `ticket` as `collect` would give it, handed over as it
  // came: a downloader that has the page's bytes keeps a UTF-8 page
  // undecoded, so a recording run decodes only what it reads.
  virtual page::Fetched collectPage(Ticket ticket, const std::function<void()>& whileWaiting) {
    return page::received(collect(ticket, whileWaiting));
  }

 private:
  Ticket nextTicket_ = 1;
  std::map<Ticket, std::u16string> ahead_;
};

// Window styles of a started program.
enum class WindowStyle { NormalFocus = 1, MinimizedFocus = 2 };

// Starts a command line and returns at once; never waits. Throws Failure
// when the program cannot be started. A starter that hears later that a
// program it started failed (an opener's exit status) tells `failed`, with
// the message to show, from a thread of its own; once `failed` is set to
// nothing, nobody is told.
class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;
  virtual void start(const std::u16string& commandLine, WindowStyle style) = 0;
  virtual void tellLateFailures(std::function<void(const std::string& message)> failed) { (void)failed; }
};

// The modal input box: the edited text, or the empty text on Cancel.
class InputBox {
 public:
  virtual ~InputBox() = default;
  virtual std::u16string ask(const std::u16string& prompt, const std::u16string& title,
                             const std::u16string& defaultText) = 0;
};

// The lock that keeps recording runs of one data folder apart, across
// processes: a lock file in the folder, locked by the system, so a lock
// whose process has died (even killed) is free again. Not shared with the
// threads of one process.
class RunLock {
 public:
  virtual ~RunLock() = default;
  // True when this object now holds the lock (or held it already); false
  // when another run holds it. Throws Failure when the lock file cannot be
  // opened.
  virtual bool tryAcquire() = 0;
  virtual bool held() const = 0;
  // Lets it go; nothing when not held.
  virtual void release() = 0;
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
  // Recorded, but kept in the place's pending file, as its data file could
  // not be written (`cause`).
  virtual void placeKept(const std::u16string& place, const std::u16string& observationTime,
                         const std::string& /*cause*/) {
    placeRecorded(place, observationTime);
  }
  virtual void placeSkipped(const std::u16string& /*place*/, const std::string& /*why*/) {}
  virtual void placeFailed(const std::u16string& /*place*/, const std::string& /*cause*/) {}
  virtual void runEnded() {}
};

}  // namespace vantoril

// Vantoril on Windows: records live weather observations for a list of places.
// Without arguments the window; the other modes: vantoril --help.
// A GUI program: it takes the console of whoever started it, when there is
// one, so that "--record" prints its lines there; vantoril.com beside it
// (console_main_win32.cpp) gives cmd a program to wait for.
#include <windows.h>

#include <cstring>
#include <exception>
#include <iostream>
#include <streambuf>
#include <string_view>
#include <vector>

#include "app/CommandLineModes.h"
#include "app/win32_Window.h"
#include "platform/FileSystem.h"
#include "platform/PlatformServices.h"
#include "platform/Text.h"

namespace {

bool usable(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN; }

// Standard output or error, whose bytes are UTF-8: to a console through its
// wide-character call, which shows Chinese whatever the console's code
// page; to a file or a pipe as the UTF-8 bytes they are. Whole lines are
// written at a time (a character is never cut in two).
class StdHandleBuffer final : public std::streambuf {
 public:
  explicit StdHandleBuffer(DWORD which) : which_(which) { setp(buffer_, buffer_ + sizeof buffer_); }
  ~StdHandleBuffer() override { sync(); }
  StdHandleBuffer(const StdHandleBuffer&) = delete;
  StdHandleBuffer& operator=(const StdHandleBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override {
    if (pptr() == epptr()) flushWhole();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
      if (c == '\n') flushWhole();
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i) overflow(traits_type::to_int_type(s[i]));
    return n;
  }
  int sync() override {
    write(std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())));
    setp(buffer_, buffer_ + sizeof buffer_);
    return 0;
  }

 private:
  // Writes the buffer up to its last whole character; the rest stays.
  void flushWhole() {
    std::size_t whole = static_cast<std::size_t>(pptr() - pbase());
    std::size_t back = 0;
    while (back < 3 && back < whole && (static_cast<unsigned char>(pbase()[whole - 1 - back]) & 0xC0) == 0x80) ++back;
    if (back < whole) {
      const auto lead = static_cast<unsigned char>(pbase()[whole - 1 - back]);
      const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      if (length > back + 1) whole -= back + 1;
    }
    write(std::string_view(pbase(), whole));
    const std::size_t rest = static_cast<std::size_t>(pptr() - pbase()) - whole;
    std::memmove(buffer_, pbase() + whole, rest);
    setp(buffer_, buffer_ + sizeof buffer_);
    pbump(static_cast<int>(rest));
  }
  // Lines end in CR LF, as Windows text does.
  void write(std::string_view lines) const {
    const HANDLE h = ::GetStdHandle(which_);
    if (lines.empty() || !usable(h)) return;
    std::string bytes;
    for (const char c : lines) {
      if (c == '\n' && (bytes.empty() || bytes.back() != '\r')) bytes += '\r';
      bytes += c;
    }
    DWORD mode = 0, done = 0;
    if (::GetConsoleMode(h, &mode)) {
      const std::u16string text = vantoril::fromUtf8(bytes);
      ::WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    } else {
      ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    }
  }
  DWORD which_;
  char buffer_[4096];
};

// Output the caller redirected stays where it goes; else the lines go to
// the console of the parent process, when there is one.
class ParentConsole {
 public:
  ParentConsole() {
    if (usable(::GetStdHandle(STD_OUTPUT_HANDLE)) && usable(::GetStdHandle(STD_ERROR_HANDLE))) {
      present_ = true;
    } else if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
      present_ = true;
      for (const DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        if (!usable(::GetStdHandle(which)))
          ::SetStdHandle(which, ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
    }
    std::cout.rdbuf(&out_);
    std::cerr.rdbuf(&err_);
  }
  ~ParentConsole() {
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(nullptr);
    std::cerr.rdbuf(nullptr);
  }
  ParentConsole(const ParentConsole&) = delete;
  ParentConsole& operator=(const ParentConsole&) = delete;
  bool present() const { return present_; }

 private:
  bool present_ = false;
  StdHandleBuffer out_{STD_OUTPUT_HANDLE}, err_{STD_ERROR_HANDLE};
};

// A message where the user sees it: the console, else a message box; but
// never a box in a headless run, which no one may be there to close (the
// Task Scheduler).
void tell(const ParentConsole& console, std::string_view message, bool headless) {
  if (console.present() || headless) {
    std::cerr << message << std::endl;
    return;
  }
  const std::u16string text = vantoril::fromUtf8(message);
  ::MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), L"Vantoril v 1.0", MB_OK | MB_ICONERROR);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const ParentConsole console;
  const bool headless = argc > 1;
  try {
    const auto folder = [] { return vantoril::dataFolder(vantoril::programFolder()); };
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(vantoril::toUtf8(reinterpret_cast<const char16_t*>(argv[i])));
    const int code = vantoril::runCommandLine(arguments, folder, [&] { return vantoril::runWindow(folder()); });
    // A mode without the window, its files closed, ends here and at once,
    // without the C runtime's exit handlers: one of them (winpthreads
    // deleting its thread-specific keys) and a thread ending at that moment
    // (a download worker let go) each wait for the other's lock for ever,
    // as about one run in ten did under wine.
    if (headless) vantoril::endProcessNow(code);
    return code;
  } catch (const std::exception& e) {
    tell(console, e.what(), headless);
    if (headless) vantoril::endProcessNow(1);
    return 1;
  }
}

// Vantoril on Windows: records live weather observations for a list of places.
// Without arguments the window; the other modes: vantoril --help.
// A GUI program: it takes the console of whoever started it, when there is
// one, so that "--record" prints its lines there.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

#include "app/CommandLineModes.h"
#include "app/win32_Window.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

bool usable(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN; }

// Output the caller redirected stays where it goes; else the lines go to
// the console of the parent process, in UTF-8 while the program runs.
class ParentConsole {
 public:
  ParentConsole() {
    if (usable(::GetStdHandle(STD_OUTPUT_HANDLE)) && usable(::GetStdHandle(STD_ERROR_HANDLE))) {
      present_ = true;
    } else if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
      present_ = true;
      if (!usable(::GetStdHandle(STD_OUTPUT_HANDLE))) std::freopen("CONOUT$", "w", stdout);
      if (!usable(::GetStdHandle(STD_ERROR_HANDLE))) std::freopen("CONOUT$", "w", stderr);
    }
    savedPage_ = ::GetConsoleOutputCP();
    if (savedPage_ != 0) ::SetConsoleOutputCP(CP_UTF8);
  }
  ~ParentConsole() {
    std::cout.flush();
    if (savedPage_ != 0) ::SetConsoleOutputCP(savedPage_);
  }
  ParentConsole(const ParentConsole&) = delete;
  ParentConsole& operator=(const ParentConsole&) = delete;
  bool present() const { return present_; }

 private:
  bool present_ = false;
  UINT savedPage_ = 0;
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
    return vantoril::runCommandLine(arguments, folder, [&] { return vantoril::runWindow(folder()); });
  } catch (const std::exception& e) {
    tell(console, e.what(), headless);
    return 1;
  }
}

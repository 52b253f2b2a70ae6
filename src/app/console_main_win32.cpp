// vantoril.com: the console companion of vantoril.exe, which lies beside it.
// cmd prefers it when the user types "vantoril", and, being a console
// program, cmd (a script, a Task Scheduler log) waits for it: it runs
// vantoril.exe with the same arguments on this console, waits for it and
// ends with its exit code.
#include <windows.h>

#include <string>

namespace {

// Ctrl+C reaches vantoril.exe on the same console, which ends as it will;
// this process waits for it rather than leaving it behind.
BOOL WINAPI ignore(DWORD) { return TRUE; }

void say(const std::wstring& text) {
  const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0, done = 0;
  if (::GetConsoleMode(err, &mode)) {
    ::WriteConsoleW(err, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
  } else {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    ::WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  }
}

}  // namespace

int wmain() {
  std::wstring self(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (n < self.size()) {
      self.resize(n);
      break;
    }
    self.resize(self.size() * 2);
  }
  const auto dot = self.find_last_of(L'.');
  const std::wstring program = (dot == std::wstring::npos ? self : self.substr(0, dot)) + L".exe";

  // The arguments as they were given, after this program's own name.
  const wchar_t* line = ::GetCommandLineW();
  bool quoted = false;
  for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line)
    if (*line == L'"') quoted = !quoted;
  std::wstring command = L"\"" + program + L"\"" + line;

  ::SetConsoleCtrlHandler(ignore, TRUE);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
    say(L"无法运行 " + program + L"（错误 " + std::to_wstring(::GetLastError()) + L"）\r\n");
    return 1;
  }
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

#pragma once
// What the Windows platform files share: wide-character paths and texts,
// and failures with the system's message. Included only by *_win32.cpp.
#include <windows.h>

#include <string>
#include <string_view>

namespace vantoril::win32 {

// UTF-8 (the program's paths) to the wide characters of the system calls.
std::wstring wide(std::string_view utf8);
std::wstring wide(std::u16string_view text);
std::string utf8(std::wstring_view text);

// "<what>：<system message for `error`>"
[[noreturn]] void fail(const std::string& what, DWORD error);

// Closes a handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  void reset(HANDLE h = nullptr) {
    if (valid()) ::CloseHandle(h_);
    h_ = h;
  }
  // Closes now and tells whether the close succeeded (data that did not
  // reach the file).
  bool close() {
    const bool ok = !valid() || ::CloseHandle(h_);
    h_ = nullptr;
    return ok;
  }

 private:
  HANDLE h_;
};

}  // namespace vantoril::win32

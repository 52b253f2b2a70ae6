#include "platform/Win32.h"

#include "platform/Failure.h"
#include "platform/Text.h"

namespace vantoril::win32 {

std::wstring wide(std::string_view utf8) { return wide(fromUtf8(utf8)); }

std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::string utf8(std::wstring_view text) { return toUtf8(std::u16string(text.begin(), text.end())); }

void fail(const std::string& what, DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring message = n > 0 && buffer ? std::wstring(buffer, n) : std::wstring();
  if (buffer) ::LocalFree(buffer);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ' ||
                              message.back() == L'.' || message.back() == L'\x3002'))
    message.pop_back();
  if (message.empty()) message = L"系统错误 " + std::to_wstring(error);
  throw Failure(what + "：" + utf8(message));
}

}  // namespace vantoril::win32

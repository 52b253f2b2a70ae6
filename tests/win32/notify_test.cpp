// The notification-area icon of a run the schedule started, under wine. A
// window of the taskbar's class ("Shell_TrayWnd") stands in for the
// taskbar: the shell hands it each icon call as wine keeps it (the call in
// dwData, the icon's data in lpData), and it ends the balloon as the
// taskbar does once it has been shown.
#include <windows.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "notify/Notifier.h"
#include "platform/Win32.h"

namespace vantoril::notify {
namespace {

struct IconCall {
  DWORD what;  // NIM_ADD, NIM_MODIFY, NIM_DELETE
  std::string data;
};

std::vector<IconCall>* calls = nullptr;

// The icon's data, as wine hands it to the taskbar, begins: the window,
// the icon's id, its flags, its callback message (32 bits each).
UINT field(const std::string& data, int index) {
  UINT value = 0;
  if (data.size() >= 4u * (index + 1)) std::memcpy(&value, data.data() + 4 * index, 4);
  return value;
}

LRESULT CALLBACK taskbar(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA && calls) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    calls->push_back({static_cast<DWORD>(copy->dwData), std::string(static_cast<const char*>(copy->lpData), copy->cbData)});
    if (copy->dwData == NIM_ADD) {
      const std::string& data = calls->back().data;
      ::PostMessageW(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(field(data, 0))), field(data, 3), field(data, 1),
                     NIN_BALLOONTIMEOUT);
    }
    return TRUE;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

bool holds(const std::string& data, const std::wstring& text) {
  return data.find(std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t))) !=
         std::string::npos;
}

TEST(TrayNotification, TheIconIsAddedWithItsBalloonAndRemovedOnceItIsShown) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = taskbar;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"Shell_TrayWnd";
  ::RegisterClassW(&windowClass);
  const HWND bar = ::CreateWindowExW(0, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     windowClass.hInstance, nullptr);
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(::FindWindowW(L"Shell_TrayWnd", nullptr), bar) << "another taskbar answers";

  struct Case {
    const char* what;
    std::string body, shown;  // the balloon's text as given, and as the taskbar gets it ("": as given)
    std::string title = "Vantoril：定时记录有 3 个地名没有记录", shownTitle = "";
  };
  const std::string longBody(300, 'x');
  const Case cases[] = {
      {"a short text", "3 个地名都无法下载：无法解析主机 www.weather.com.cn，网络可能没有连通", ""},
      {"a text past the balloon's 255 characters", longBody, std::string(254, 'x') + "…"},
      {"a text of exactly the balloon's 256 characters", std::string(256, 'y'), std::string(254, 'y') + "…"},
      {"a text of 255 characters", std::string(255, 'z'), ""},
      {"a title of exactly its 64 characters", "x", "", std::string(64, 't'), std::string(62, 't') + "…"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<IconCall> made;
    calls = &made;
    const DWORD start = ::GetTickCount();
    makeNotifier()->show({c.title, c.body});
    calls = nullptr;
    EXPECT_LT(::GetTickCount() - start, 10000u) << "the icon waited past its balloon";
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[0].what, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(made[1].what, static_cast<DWORD>(NIM_DELETE));
    EXPECT_TRUE(field(made[0].data, 2) & NIF_INFO);
    EXPECT_TRUE(holds(made[0].data, win32::wide(c.shownTitle.empty() ? c.title : c.shownTitle)));
    EXPECT_TRUE(holds(made[0].data, win32::wide(c.shown.empty() ? c.body : c.shown)));
    // The same icon removed, and its window gone.
    EXPECT_EQ(field(made[1].data, 0), field(made[0].data, 0));
    EXPECT_EQ(field(made[1].data, 1), field(made[0].data, 1));
    EXPECT_FALSE(::IsWindow(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(field(made[0].data, 0)))));
  }
  ::DestroyWindow(bar);
}

}  // namespace
}  // namespace vantoril::notify

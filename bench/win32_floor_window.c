/* What wine needs to show a window at all: one top-level window with the
 * title given, the size and style of the program's own, shown, and its
 * message loop; with a second argument "controls", also as many plain child
 * windows of each class as the program's window has, each with a few Chinese
 * characters (no layout, the system's font); with a third, a folder, that
 * folder's tree watched for changes on a thread begun once the window is
 * shown, as the program watches its place folder.
 *   win32_floor_window.exe TITLE [controls [FOLDER]]
 * Built by bench/win32_startup.sh (x86_64-w64-mingw32-gcc -O2 -mwindows -municode). */
#include <windows.h>

static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

static DWORD WINAPI watch(void* folder) {
  HANDLE change = FindFirstChangeNotificationW((const wchar_t*)folder, TRUE,
                                               FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                                   FILE_NOTIFY_CHANGE_LAST_WRITE);
  if (change == INVALID_HANDLE_VALUE) return 1;
  while (WaitForSingleObject(change, INFINITE) == WAIT_OBJECT_0 && FindNextChangeNotification(change)) {
  }
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  static const struct { const wchar_t* className; DWORD style; DWORD exStyle; int count; } children[] = {
      {L"STATIC", SS_LEFT, 0, 15},
      {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, 8},
      {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 7},
      {L"EDIT", ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 8},
      {L"LISTBOX", LBS_NOTIFY | LBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 1},
  };
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  HINSTANCE instance = GetModuleHandleW(NULL);
  WNDCLASSEXW wc = {0};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"VantorilFloor";
  if (argc < 2 || !RegisterClassExW(&wc)) return 1;
  RECT frame = {0, 0, 1022, 570};  /* the program's client area at 96 dots per inch */
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, argv[1], style, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, NULL, NULL, instance, NULL);
  if (!hwnd) return 1;
  if (argc > 2 && lstrcmpW(argv[2], L"controls") == 0) {
    /* Chinese text, as the program's controls show: the first text drawn loads the fonts. */
    const wchar_t* caption = L"\x5929\x6C14\x6570\x636E 24";
    int id = 100;
    for (size_t i = 0; i < sizeof children / sizeof children[0]; ++i)
      for (int n = 0; n < children[i].count; ++n, ++id)
        if (!CreateWindowExW(children[i].exStyle, children[i].className, caption, children[i].style | WS_CHILD | WS_VISIBLE,
                             (id - 100) % 8 * 120, (id - 100) / 8 * 100, 110, 90, hwnd, (HMENU)(INT_PTR)id, instance,
                             NULL))
          return 1;
  }
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  if (argc > 3 && !CreateThread(NULL, 0, watch, argv[3], 0, NULL)) return 1;
  MSG msg;
  while (GetMessageW(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

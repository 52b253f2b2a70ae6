// The test program's entry point: -municode programs start at wmain.
//   unit_tests.exe [gtest options]
//   unit_tests.exe --hold excel FILE   holds FILE open as Excel does: for
//                                      writing, others may only read
//   unit_tests.exe --hold lock FOLDER  holds the run lock of FOLDER
// With --hold it says "held" on stdout and waits until it is ended.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string_view>

#include "platform/RunLock.h"
#include "platform/Win32.h"

namespace {

int hold(std::wstring_view mode, const wchar_t* path) {
  vantoril::win32::Handle file;
  std::unique_ptr<vantoril::RunLock> lock;
  if (mode == L"excel") {
    file.reset(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return 1;
  } else {
    lock = vantoril::makeRunLock(vantoril::win32::utf8(path));
    if (!lock->tryAcquire()) return 1;
  }
  std::fputs("held\n", stdout);
  std::fflush(stdout);
  ::Sleep(INFINITE);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring_view(argv[1]) == L"--hold") return hold(argv[2], argv[3]);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#pragma once
// The window lives in a module beside the program ("vantoril-window.so"),
// so that a run without a window never loads the window's libraries. The
// module exports one function, of this type, under kWindowEntry.
namespace vantoril {

inline constexpr const char* kWindowModule = "vantoril-window.so";
inline constexpr const char* kWindowEntry = "vantoril_run_window";
using WindowEntry = int (*)(int argc, char** argv, const char* dataFolder);

}  // namespace vantoril

extern "C" int vantoril_run_window(int argc, char** argv, const char* dataFolder);

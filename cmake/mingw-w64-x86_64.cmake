# Cross-builds the Windows program with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Wide-character entry points; the C++ and GCC runtimes linked in, so that
# no DLL but the system's goes beside the program.
set(CMAKE_CXX_FLAGS_INIT "-municode")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-municode -static-libstdc++ -static-libgcc -static")
# CMake's compiler checks build a plain main(), which -municode cannot link.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# The Windows program, cross-built: the headless entry point over the logic,
# WinHTTP for downloads and zlib to unpack pages.
set(ZLIB_USE_STATIC_LIBS ON)  # no zlib1.dll beside the program
find_package(ZLIB REQUIRED)
target_compile_definitions(vantoril_logic PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
target_link_libraries(vantoril_logic PUBLIC winhttp shell32 ZLIB::ZLIB)
add_executable(vantoril WIN32 src/app/main_win32.cpp)
target_link_libraries(vantoril PRIVATE vantoril_logic)

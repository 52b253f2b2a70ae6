# The Windows program, cross-built: the headless entry point over the logic,
# WinHTTP for downloads and zlib to unpack pages.
set(ZLIB_USE_STATIC_LIBS ON)  # no zlib1.dll beside the program
find_package(ZLIB REQUIRED)
target_compile_definitions(vantoril_logic PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
target_link_libraries(vantoril_logic PUBLIC winhttp shell32 ZLIB::ZLIB)

# The window: the system's own controls over the same model (src/app/win32_*),
# and the icon, made from resources/vantoril.png by ImageMagick.
enable_language(RC)
find_program(VANTORIL_CONVERT convert REQUIRED)
set(VANTORIL_ICON ${CMAKE_BINARY_DIR}/vantoril.ico)
add_custom_command(OUTPUT ${VANTORIL_ICON}
  COMMAND ${VANTORIL_CONVERT} ${CMAKE_SOURCE_DIR}/resources/vantoril.png -define icon:auto-resize=64,48,32,16 ${VANTORIL_ICON}
  DEPENDS resources/vantoril.png VERBATIM)
set_source_files_properties(resources/vantoril.rc PROPERTIES OBJECT_DEPENDS ${VANTORIL_ICON})
file(GLOB VANTORIL_VIEW_SOURCES CONFIGURE_DEPENDS src/app/win32_*.cpp)
add_executable(vantoril WIN32 src/app/main_win32.cpp ${VANTORIL_VIEW_SOURCES} resources/vantoril.rc)
target_include_directories(vantoril PRIVATE ${CMAKE_BINARY_DIR})
target_link_libraries(vantoril PRIVATE vantoril_logic comctl32 gdi32)

# The window under wine inside Xvfb, from a program folder of its own.
enable_testing()
add_test(NAME window_test COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/window_test.sh
  $<TARGET_FILE:vantoril> ${CMAKE_BINARY_DIR}/artefacts ${CMAKE_BINARY_DIR})
set_tests_properties(window_test PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)

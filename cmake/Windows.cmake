# The Windows program, cross-built: the headless entry point over the logic,
# WinHTTP for downloads and zlib to unpack pages.
set(ZLIB_USE_STATIC_LIBS ON)  # no zlib1.dll beside the program
find_package(ZLIB REQUIRED)
target_compile_definitions(vantoril_logic PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
target_link_libraries(vantoril_logic PUBLIC winhttp shell32 ZLIB::ZLIB)
add_executable(vantoril WIN32 src/app/main_win32.cpp)
target_link_libraries(vantoril PRIVATE vantoril_logic)

# The tests, run under wine (scripts/wine.sh) by CTest. The logic tests that
# need no POSIX call are built as they are on Linux; the Windows platform
# files have tests of their own in tests/win32.
enable_testing()
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine.sh ${CMAKE_BINARY_DIR} run)
file(GLOB VANTORIL_WINDOWS_TESTS CONFIGURE_DEPENDS tests/win32/*_test.cpp)
add_executable(unit_tests tests/win32/main.cpp ${VANTORIL_WINDOWS_TESTS}
  tests/unit/text_test.cpp tests/unit/observation_test.cpp tests/unit/form_test.cpp tests/unit/recording_run_test.cpp)
target_link_libraries(unit_tests PRIVATE vantoril_logic GTest::gtest ws2_32)
target_include_directories(unit_tests PRIVATE tests)
# Wine sees the Linux file system as drive Z:.
target_compile_definitions(unit_tests PRIVATE VANTORIL_TEST_DATA="Z:${CMAKE_SOURCE_DIR}/tests/data")
# Left out: tests that name files with Chinese names through
# std::filesystem (its narrow strings are not UTF-8 on Windows) or need a
# symbolic link.
add_test(NAME unit_tests COMMAND unit_tests
  --gtest_filter=-RecordingRunFailure.*:StartUp.ACatalogueFolderThatCannotBeListedIsReportedAndTheWindowGoesOn)
add_test(NAME headless_record_test
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/headless_record_test.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:vantoril>)
set_tests_properties(unit_tests headless_record_test PROPERTIES TIMEOUT 300)

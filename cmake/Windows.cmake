# The Windows program, cross-built: the headless entry point over the logic,
# WinHTTP for downloads and zlib to unpack pages.
set(ZLIB_USE_STATIC_LIBS ON)  # no zlib1.dll beside the program
find_package(ZLIB REQUIRED)
target_compile_definitions(vantoril_logic PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
target_link_libraries(vantoril_logic PUBLIC winhttp shlwapi shell32 ZLIB::ZLIB taskschd ole32 oleaut32)

# The window: the system's own controls over the same model (src/app/win32_*),
# and the icon, made from resources/vantoril.png by ImageMagick.
enable_language(RC)
find_program(VANTORIL_CONVERT convert REQUIRED)
set(VANTORIL_ICON ${CMAKE_BINARY_DIR}/vantoril.ico)
add_custom_command(OUTPUT ${VANTORIL_ICON}
  COMMAND ${VANTORIL_CONVERT} ${CMAKE_SOURCE_DIR}/resources/vantoril.png -define icon:auto-resize=64,48,32,16 ${VANTORIL_ICON}
  DEPENDS resources/vantoril.png VERBATIM)
set_source_files_properties(resources/vantoril.rc PROPERTIES
  OBJECT_DEPENDS "${VANTORIL_ICON};${CMAKE_SOURCE_DIR}/resources/vantoril.manifest")
file(GLOB VANTORIL_VIEW_SOURCES CONFIGURE_DEPENDS src/app/win32_*.cpp)
add_executable(vantoril WIN32 src/app/main_win32.cpp ${VANTORIL_VIEW_SOURCES} resources/vantoril.rc)
target_include_directories(vantoril PRIVATE ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(vantoril PRIVATE vantoril_logic)
# vantoril.com, the console companion that cmd waits for; it starts
# vantoril.exe beside it.
add_executable(vantoril_console src/app/console_main_win32.cpp)
set_target_properties(vantoril_console PROPERTIES OUTPUT_NAME vantoril SUFFIX .com)
add_dependencies(vantoril vantoril_console)
# Loaded at a random address, high in the address space, its data never run
# (ASLR and DEP; tests/win32/delay_load_test.sh reads the flags back).
foreach(program vantoril vantoril_console)
  target_link_options(${program} PRIVATE -Wl,--dynamicbase -Wl,--nxcompat -Wl,--high-entropy-va)
endforeach()

# Every system DLL but kernel32 (and the C runtime) is loaded at the first
# call of one of its functions (delay-loaded): the window's start-up loads
# none it does not need (downloads, the shell, the Task Scheduler's COM),
# and begins listing the catalogue on a thread of its own before it loads
# the window's own (src/app/win32_Window.cpp). mingw-w64 ships no
# delay-import libraries; each is made from the ordinary import library
# (cmake/DelayImports.cmake) and listed before the ordinary ones, which then
# supply nothing: tests/win32/delay_load_test.sh checks the program's import
# table. A DLL that cannot be loaded is a Failure naming it
# (src/app/win32_DelayLoad.cpp). The tests link the ordinary libraries.
# dlltool's stub, which the first call of each function goes through, keeps
# the argument registers rcx, rdx, r8 and r9 but not xmm0-xmm3: a function
# taking a float or double among its first four arguments gets it wrong at
# that first call, so none is called (VariantTimeToSystemTime was; the next
# run's date is worked out by automationDateText instead).
set(VANTORIL_DELAYED_DLLS winhttp shell32 shlwapi ole32 oleaut32 user32 gdi32 comctl32 comdlg32)
if(NOT CMAKE_DLLTOOL OR NOT CMAKE_NM)
  message(FATAL_ERROR "The delay-import libraries need the toolchain's dlltool and nm")
endif()
foreach(dll IN LISTS VANTORIL_DELAYED_DLLS)
  find_library(VANTORIL_IMPORT_LIBRARY_${dll} ${dll} REQUIRED)
  set(delayed ${CMAKE_BINARY_DIR}/delayload/lib${dll}_delay.a)
  add_custom_command(OUTPUT ${delayed}
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
            -DIMPORT_LIBRARY=${VANTORIL_IMPORT_LIBRARY_${dll}} -DDLL=${dll}.dll -DOUTPUT=${delayed}
            -P ${CMAKE_SOURCE_DIR}/cmake/DelayImports.cmake
    DEPENDS ${VANTORIL_IMPORT_LIBRARY_${dll}} ${CMAKE_SOURCE_DIR}/cmake/DelayImports.cmake
    COMMENT "Making the delay-import library of ${dll}.dll" VERBATIM)
  list(APPEND VANTORIL_DELAY_LIBRARIES ${delayed})
endforeach()
add_custom_target(vantoril_delay_libraries DEPENDS ${VANTORIL_DELAY_LIBRARIES})
add_dependencies(vantoril vantoril_delay_libraries)
target_link_libraries(vantoril PRIVATE ${VANTORIL_DELAY_LIBRARIES})

# The tests, run under wine (scripts/wine.sh) by CTest. The logic tests that
# need no POSIX call are built as they are on Linux; the Windows platform
# files have tests of their own in tests/win32.
# GoogleTest is built here from its sources (scripts/setup.sh --tests
# installs them); see VANTORIL_TESTS in CMakeLists.txt. Everything below is
# the tests.
set(VANTORIL_GTEST_SOURCE /usr/src/googletest)
if(VANTORIL_TESTS STREQUAL "AUTO")
  if(NOT EXISTS ${VANTORIL_GTEST_SOURCE}/CMakeLists.txt)
    message(STATUS "The tests are left out: ${VANTORIL_GTEST_SOURCE} is missing (scripts/setup.sh --tests installs it)")
    return()
  endif()
elseif(NOT VANTORIL_TESTS)
  return()
elseif(NOT EXISTS ${VANTORIL_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "The tests need GoogleTest's sources in ${VANTORIL_GTEST_SOURCE} (scripts/setup.sh --tests installs them)")
endif()
enable_testing()
add_subdirectory(${VANTORIL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine.sh ${CMAKE_BINARY_DIR} run)
file(GLOB VANTORIL_WINDOWS_TESTS CONFIGURE_DEPENDS tests/win32/*_test.cpp)
add_executable(unit_tests tests/win32/main.cpp ${VANTORIL_WINDOWS_TESTS}
  tests/unit/text_test.cpp tests/unit/observation_test.cpp tests/unit/form_test.cpp tests/unit/recording_run_test.cpp
  tests/unit/command_line_modes_test.cpp tests/unit/data_folder_test.cpp tests/unit/file_presence_test.cpp
  tests/unit/places_test.cpp tests/unit/export_test.cpp)
target_link_libraries(unit_tests PRIVATE vantoril_logic GTest::gtest ws2_32)
target_include_directories(unit_tests PRIVATE tests)
# Wine sees the Linux file system as drive Z:.
target_compile_definitions(unit_tests PRIVATE VANTORIL_TEST_DATA="Z:${CMAKE_SOURCE_DIR}/tests/data")
# Left out: tests that name files with Chinese names through
# std::filesystem (its narrow strings are not UTF-8 on Windows) or need a
# symbolic link.
add_test(NAME unit_tests COMMAND unit_tests
  --gtest_filter=-RecordingRunFailure.*:ExportLinks.*:StartUp.ACatalogueFolderThatCannotBeListedIsReportedAndTheWindowGoesOn:WindowsFileSizeLimit.*:TrayNotification.*)
# Writes that fail after the file opened, as on a full volume: wine under a
# file size limit of 4 MiB (ulimit counts 1024-byte blocks), the signal the
# limit raises ignored so that the write fails instead.
add_test(NAME windows_file_size_limit
  COMMAND sh -c "ulimit -f 4096 && trap '' XFSZ && exec \"$@\"" sh
    ${CMAKE_SOURCE_DIR}/scripts/wine.sh ${CMAKE_BINARY_DIR} run $<TARGET_FILE:unit_tests> --gtest_filter=WindowsFileSizeLimit.*)
set_tests_properties(windows_file_size_limit PROPERTIES TIMEOUT 120 ENVIRONMENT VANTORIL_FILE_SIZE_LIMIT=4194304)
add_test(NAME headless_record_test
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/headless_record_test.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:vantoril>)
set_tests_properties(unit_tests headless_record_test PROPERTIES TIMEOUT 300)
# The delay-loaded DLLs: out of the import table, and a missing one a failure naming it.
add_test(NAME delay_load_test
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/delay_load_test.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:vantoril> ${CMAKE_OBJDUMP})
set_tests_properties(delay_load_test PROPERTIES TIMEOUT 120)
# The certificate failure against openssl s_server.
add_test(NAME tls_test COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/tls_test.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:unit_tests>)
set_tests_properties(tls_test PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
# The read-only lock file, with wine run by user nobody (root would write it).
add_test(NAME run_lock_user_test COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/run_lock_user_test.sh $<TARGET_FILE:unit_tests>)
set_tests_properties(run_lock_user_test PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)

# The window under wine inside Xvfb, from a program folder of its own.
add_test(NAME window_test COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/window_test.sh
  $<TARGET_FILE:vantoril> ${CMAKE_BINARY_DIR}/artefacts ${CMAKE_BINARY_DIR})
set_tests_properties(window_test PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
# The notification-area icon, in a wine session with a display.
add_test(NAME tray_notification_test COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/tray_notification_test.sh
  $<TARGET_FILE:unit_tests> ${CMAKE_BINARY_DIR}/artefacts ${CMAKE_BINARY_DIR})
set_tests_properties(tray_notification_test PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
add_test(NAME place_search_test COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/place_search_test.sh
  $<TARGET_FILE:vantoril> ${CMAKE_BINARY_DIR}/artefacts ${CMAKE_BINARY_DIR})
set_tests_properties(place_search_test PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)

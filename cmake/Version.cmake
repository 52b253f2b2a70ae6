# The one version of the program is project()'s. The code (vantoril --version)
# and the Windows version resource take it from the header vantoril_version.h,
# made in the build folder; the packages take it from the program.
configure_file(${CMAKE_SOURCE_DIR}/src/app/vantoril_version.h.in
  ${CMAKE_BINARY_DIR}/generated/vantoril_version.h @ONLY)
target_include_directories(vantoril_logic PUBLIC ${CMAKE_BINARY_DIR}/generated)

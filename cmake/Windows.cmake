# The Windows build (cmake --preset windows, MinGW-w64 under Wine): the
# header-only CLI11 and nlohmann json come from the build machine, GoogleTest
# is built from its sources with the cross compiler, and find_package() of
# the three is redirected to them.
if(NOT WIN32)
  return()
endif()

# KtTrv.dll and ZiRida.dll, as the host names them; every DLL and program in
# one folder, where Windows looks for a program's DLLs.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
enable_language(RC)
# The C99 printf family of the MinGW runtime, not the system's: %zu and %lld,
# and numbers printed as on Linux (two-digit exponents), so that output is
# the same on both.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)

set(_kttrv_redirects ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR})

# trv's command-line and JSON libraries.
if(KTTRV_WITH_TRV)
  # Only the two header folders: the build machine's /usr/include itself would
  # put its C library headers before the target's.
  set(_kttrv_headers ${CMAKE_BINARY_DIR}/build-machine-headers)
  file(MAKE_DIRECTORY ${_kttrv_headers})
  foreach(_dir CLI nlohmann)
    if(NOT EXISTS /usr/include/${_dir})
      message(FATAL_ERROR "/usr/include/${_dir} is missing: run scripts/install-deps.sh")
    endif()
    file(CREATE_LINK /usr/include/${_dir} ${_kttrv_headers}/${_dir} SYMBOLIC)
  endforeach()
  add_library(kttrv_cli11 INTERFACE)
  target_include_directories(kttrv_cli11 SYSTEM INTERFACE ${_kttrv_headers})
  add_library(CLI11::CLI11 ALIAS kttrv_cli11)
  add_library(kttrv_nlohmann_json INTERFACE)
  target_include_directories(kttrv_nlohmann_json SYSTEM INTERFACE ${_kttrv_headers})
  add_library(nlohmann_json::nlohmann_json ALIAS kttrv_nlohmann_json)

  file(WRITE ${_kttrv_redirects}/cli11-config.cmake "# CLI11::CLI11 comes from cmake/Windows.cmake\n")
  file(WRITE ${_kttrv_redirects}/nlohmann_json-config.cmake "# nlohmann_json::nlohmann_json comes from cmake/Windows.cmake\n")
  file(WRITE ${_kttrv_redirects}/nlohmann_json-config-version.cmake
    "set(PACKAGE_VERSION 3)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
endif()

if(KTTRV_BUILD_TESTS)
  set(KTTRV_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian: googletest)")
  if(NOT EXISTS ${KTTRV_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "no GoogleTest sources in ${KTTRV_GOOGLETEST_SOURCE}: run scripts/install-deps.sh")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KTTRV_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  file(WRITE ${_kttrv_redirects}/gtest-config.cmake "# GTest::gtest comes from cmake/Windows.cmake\n")

  # One test per test program: a Wine start per test case would cost minutes.
  list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/windows)
endif()

if(NOT KTTRV_WITH_TRV)
  return()
endif()

# trv as the scripted tests call it: a command that starts trv.exe under the
# emulator.
set(KTTRV_TRV_COMMAND ${CMAKE_BINARY_DIR}/bin/trv)
file(GENERATE OUTPUT ${KTTRV_TRV_COMMAND}
  CONTENT "#!/bin/sh\nexec ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:trv> \"$@\"\n"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The Linux trv the Windows one is compared with (the debug preset's).
set(KTTRV_LINUX_TRV "${PROJECT_SOURCE_DIR}/build/debug/tools/trv/trv" CACHE FILEPATH
  "Linux trv whose output trv.exe must match")

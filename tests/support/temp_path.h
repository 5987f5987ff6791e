// Test support: a temporary path of this test process's own. Test programs of
// several build trees, and of several people on one machine, run side by side.
#pragma once

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

inline std::filesystem::path test_temp_path(const std::string& name) {
#ifdef _WIN32
  const long pid = _getpid();
#else
  const long pid = static_cast<long>(getpid());
#endif
  return std::filesystem::temp_directory_path() / (name + "_" + std::to_string(pid));
}

#include "format/install_location.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace {

bool readable(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

// The directory part of a path that has one; "" otherwise.
std::string directory_of(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The directories of the binaries that may hold this code: first the shared
// object dladdr names for one of our own functions, then the running
// program (for a program that links the core itself; dladdr would only give
// its argv[0] there).
std::vector<std::string> own_binary_directories() {
  std::vector<std::string> dirs;
#if defined(_WIN32)
  HMODULE module = nullptr;
  char name[MAX_PATH];
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&installed_data_file), &module) != 0) {
    const DWORD n = GetModuleFileNameA(module, name, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      if (std::string dir = directory_of(std::string(name, n)); !dir.empty()) dirs.push_back(dir);
    }
  }
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&installed_data_file), &info) != 0 && info.dli_fname != nullptr) {
    if (std::string dir = directory_of(info.dli_fname); !dir.empty()) dirs.push_back(dir);
  }
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    if (std::string dir = directory_of(std::string(exe, static_cast<std::size_t>(n))); !dir.empty()) dirs.push_back(dir);
  }
#endif
  return dirs;
}

}  // namespace

std::string installed_data_file(const char* name) {
  // Data directory as seen from the library directory and from the program
  // directory of the install layout (relative: the prefix may move).
  static const char* const kFromBinary[] = {KTTRV_DATA_FROM_LIBDIR, KTTRV_DATA_FROM_BINDIR};
  for (const std::string& dir : own_binary_directories()) {
    for (const char* relative : kFromBinary) {
      std::string candidate = (std::filesystem::path(dir) / relative / name).lexically_normal().string();
      if (readable(candidate)) return candidate;
    }
  }
  return {};
}

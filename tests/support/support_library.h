// Loads the support library once for a test binary, after starting the
// runtime with its built-ins.
#ifndef TESTS_SUPPORT_SUPPORT_LIBRARY_H_
#define TESTS_SUPPORT_SUPPORT_LIBRARY_H_

#include <cstdlib>
#include <filesystem>
#include <string>

#include "runtime/api/console.h"
#include "runtime/api/runtime.h"

namespace support_test {

// The folder of the built libraries: MORB_BIN_DIR (set by ctest), else the
// test binary's own folder, where the build puts them as well.
inline std::string LibraryDir() {
  if (const char* dir = std::getenv("MORB_BIN_DIR")) return dir;
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
}

inline void LoadSupportLibrary() {
  static void* handle = [] {
    rt::InitRuntime();
    rt::console::RegisterConsoleBuiltins();
    return rt::LoadModule(LibraryDir() + "/libsupport.so");
  }();
  (void)handle;
}

// Runs `fn` as a host entry would; returns the error message ("" when it
// completed).
template <typename Fn>
std::string ErrorOf(Fn fn) {
  std::string message;
  std::vector<rt::ChainEntry> chain;
  if (rt::RunProtected(fn, &message, &chain)) return "";
  return message.empty() ? "(error without message)" : message;
}

}  // namespace support_test

#endif  // TESTS_SUPPORT_SUPPORT_LIBRARY_H_

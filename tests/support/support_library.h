// Loads the support library once for a test binary, after starting the
// runtime with its built-ins.
#ifndef TESTS_SUPPORT_SUPPORT_LIBRARY_H_
#define TESTS_SUPPORT_SUPPORT_LIBRARY_H_

#include <cstdlib>
#include <string>

#include "runtime/api/console.h"
#include "runtime/api/runtime.h"

namespace support_test {

inline void LoadSupportLibrary() {
  static void* handle = [] {
    rt::InitRuntime();
    rt::console::RegisterConsoleBuiltins();
    const char* dir = std::getenv("MORB_BIN_DIR");
    return rt::LoadModule(std::string(dir ? dir : "build/bin") + "/libsupport.so");
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

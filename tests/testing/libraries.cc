#include "tests/testing/libraries.h"

#include <cstdlib>

#include "runtime/api/runtime.h"

namespace testing_support {

std::string BinDir() {
  const char* dir = std::getenv("MORB_BIN_DIR");
  return dir ? dir : "build/bin";
}

std::string SourceDir() {
  const char* dir = std::getenv("MORB_SOURCE_DIR");
  return dir ? dir : ".";
}

void LoadLibraries() {
  static bool loaded = false;
  if (loaded) return;
  loaded = true;
  rt::InitRuntime();
  rt::LoadModule(BinDir() + "/libsupport.so");
  rt::LoadModule(BinDir() + "/libvornex.so");
}

}  // namespace testing_support

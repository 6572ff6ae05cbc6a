// Loads the runtime's built-ins and the two loadable libraries (the support
// library and the module) once per test process, from the build's bin folder.
#ifndef TESTS_TESTING_LIBRARIES_H_
#define TESTS_TESTING_LIBRARIES_H_

#include <string>

namespace testing_support {

// The folder of the built binaries (MORB_BIN_DIR, set by ctest).
std::string BinDir();
// The source tree (MORB_SOURCE_DIR, set by ctest).
std::string SourceDir();
// InitRuntime, then loads libsupport.so and libvornex.so (once).
void LoadLibraries();

}  // namespace testing_support

#endif  // TESTS_TESTING_LIBRARIES_H_

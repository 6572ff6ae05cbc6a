// The main of every test binary: points the tests at the build's binaries
// and the source tree (unless the environment already does), then runs them.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("MORB_BIN_DIR", MORB_TEST_BIN_DIR, /*overwrite=*/0);
  setenv("MORB_SOURCE_DIR", MORB_TEST_SOURCE_DIR, /*overwrite=*/0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

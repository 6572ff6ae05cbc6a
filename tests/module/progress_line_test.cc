// The progress note of long recalculations on the bottom line.
#include "module/progress_line.h"

#include <gtest/gtest.h>

#include <thread>

#include "runtime/api/console.h"
#include "runtime/api/runtime.h"

namespace {

TEST(ProgressLine, ShownOnlyForLongWorkAndPutBackAfter) {
  rt::InitRuntime();
  rt::console::UseHeadless();
  rt::console::WriteAt(24, 0, "bottom line as it was", rt::console::CurrentColor());
  rt::console::SetCursorPos(10, 27);
  {
    vornex::ProgressLine quick("MORBREPT");
    for (int i = 0; i < 10000; ++i) quick.Step();
    EXPECT_EQ(rt::console::RowText(24).substr(0, 21), "bottom line as it was");
  }
  {
    vornex::ProgressLine slow("MORBUPLD");
    std::this_thread::sleep_for(std::chrono::milliseconds(550));
    for (int i = 0; i < 8192; ++i) slow.Step();
    // Shown at the first look at the clock after half a second.
    EXPECT_EQ(rt::console::RowText(24).substr(0, 37), " MORBUPLD: 4096 records recalculated ");
    EXPECT_EQ(rt::console::CursorRow(), 10);
    EXPECT_EQ(rt::console::CursorCol(), 27);
  }
  EXPECT_EQ(rt::console::RowText(24).substr(0, 22), "bottom line as it was ");
}

}  // namespace

// A progress note on the bottom line of the screen for long recalculations.
#ifndef MODULE_PROGRESS_LINE_H_
#define MODULE_PROGRESS_LINE_H_

#include <chrono>
#include <string>

#include "runtime/api/runtime.h"

namespace vornex {

// Shows "<table>: <n> records recalculated" on the bottom line once the work
// has run for about half a second, refreshes it a few times a second, and
// puts the line back as it was when destroyed.  Short work never shows it.
// The cursor is left where it was.
class ProgressLine {
 public:
  explicit ProgressLine(std::string table);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Notes one more record done.  Cheap: looks at the clock once in a while.
  void Step() {
    if (++done_ % kRecordsPerClockLook == 0) Refresh();
  }

 private:
  static constexpr long kRecordsPerClockLook = 4096;
  void Refresh();

  std::string table_;
  long done_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_shown_;
  bool shown_ = false;
  rt::Value saved_line_;
  int row_ = 0;
};

}  // namespace vornex

#endif  // MODULE_PROGRESS_LINE_H_

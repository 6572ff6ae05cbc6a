// Headless console helpers for tests.
#include "tests/testing/console_screen.h"

#include <gtest/gtest.h>

#include "runtime/api/console.h"

namespace rttest {

void StartHeadless(std::string_view keys, int rows, int cols) {
  rt::console::UseHeadless(rows, cols);
  std::string error;
  if (!rt::console::QueueKeys(keys, &error)) {
    ADD_FAILURE() << "bad key script \"" << keys << "\": " << error;
  }
}

std::string ScreenLine(int row) {
  const std::string dump = rt::console::DumpScreen();
  size_t start = 0;
  for (int r = 0; r < row; ++r) {
    start = dump.find('\n', start);
    if (start == std::string::npos) return {};
    ++start;
  }
  const size_t end = dump.find('\n', start);
  return dump.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::vector<std::string> ScreenLines(int top, int bottom) {
  std::vector<std::string> lines;
  for (int r = top; r <= bottom; ++r) lines.push_back(ScreenLine(r));
  return lines;
}

std::string ColorAt(int row, int col) {
  rt::console::Palette p{};
  p.slot[0] = rt::console::CellAttr(row, col);
  const std::string text = rt::console::FormatColorString(p);
  return text.substr(0, text.find(','));
}

}  // namespace rttest

#include "module/progress_line.h"

#include "runtime/api/console.h"

namespace vornex {
namespace {

constexpr auto kShowAfter = std::chrono::milliseconds(500);
constexpr auto kRefreshEvery = std::chrono::milliseconds(200);

}  // namespace

ProgressLine::ProgressLine(std::string table)
    : table_(std::move(table)), start_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() {
  if (!shown_) return;
  try {
    rt::Call("RESTSCREEN", {row_, 0, row_, rt::Call("MAXCOL"), saved_line_});
    rt::console::Flush();
  } catch (...) {
    // Leaving by an error already; the line is not worth a second one.
  }
}

void ProgressLine::Refresh() {
  auto now = std::chrono::steady_clock::now();
  if (now - start_ < kShowAfter) return;
  if (shown_ && now - last_shown_ < kRefreshEvery) return;
  const rt::Value row = rt::Call("ROW");
  const rt::Value col = rt::Call("COL");
  if (!shown_) {
    row_ = static_cast<int>(rt::Call("MAXROW").num());
    saved_line_ = rt::Call("SAVESCREEN", {row_, 0, row_, rt::Call("MAXCOL")});
    shown_ = true;
  }
  last_shown_ = now;
  std::string text = " " + table_ + ": " + std::to_string(done_) + " records recalculated ";
  text.resize(static_cast<size_t>(rt::Call("MAXCOL").num()) + 1, ' ');
  rt::Call("SETPOS", {row_, 0});
  rt::Call("DISPOUT", {text});
  rt::Call("SETPOS", {row, col});
  rt::console::Flush();
}

}  // namespace vornex

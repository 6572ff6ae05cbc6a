// The message box: saves the cells it covers, draws, waits for a key through
// INKEY (so LASTKEY reports it), and puts the cells back.
#include "support/message_box.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "support/text.h"

namespace support {
namespace {

// Blank columns between the frame and the text on either side.
constexpr int kPadding = 1;

int ShowAndWait(const std::vector<std::string>& lines, int top, const rt::Value& wait) {
  const int rows = static_cast<int>(rt::Call("MAXROW").num()) + 1;
  const int cols = static_cast<int>(rt::Call("MAXCOL").num()) + 1;

  size_t widest = 0;
  for (const std::string& line : lines) widest = std::max(widest, line.size());
  const int frame_width = 2 + 2 * kPadding;
  const int width = static_cast<int>(
      std::min<size_t>(widest + frame_width, static_cast<size_t>(cols)));
  const int text_width = std::max(0, width - frame_width);
  // On a screen too short for every line the last lines are left out.
  const size_t shown = std::min<size_t>(lines.size(), static_cast<size_t>(std::max(0, rows - 2)));
  const int height = static_cast<int>(shown) + 2;

  if (top < 0) top = (rows - height) / 2;
  top = std::max(0, std::min(top, rows - height));
  const int left = (cols - width) / 2;
  const int bottom = top + height - 1;
  const int right = left + width - 1;

  const rt::Value under = rt::Call("SAVESCREEN", {top, left, bottom, right});
  const rt::Value cursor_row = rt::Call("ROW");
  const rt::Value cursor_col = rt::Call("COL");

  std::string border(static_cast<size_t>(width), '-');
  border.front() = '+';
  border.back() = '+';
  rt::Call("SETPOS", {top, left});
  rt::Call("DISPOUT", {border});
  for (size_t i = 0; i < shown; ++i) {
    std::string row(static_cast<size_t>(width), ' ');
    row.front() = '|';
    row.back() = '|';
    const std::string& line = lines[i];
    const size_t length = std::min(line.size(), static_cast<size_t>(text_width));
    const int at = 1 + kPadding + CenteredColumn(text_width, length);
    row.replace(static_cast<size_t>(at), length, line, 0, length);
    rt::Call("SETPOS", {top + 1 + static_cast<int>(i), left});
    rt::Call("DISPOUT", {row});
  }
  rt::Call("SETPOS", {bottom, left});
  rt::Call("DISPOUT", {border});

  const rt::Value key = rt::Call("INKEY", {wait});

  rt::Call("RESTSCREEN", {top, left, bottom, right, under});
  rt::Call("SETPOS", {cursor_row, cursor_col});
  return key.is_number() ? static_cast<int>(key.num()) : 0;
}

std::string LineText(const rt::Value& v) {
  return v.is_string() ? v.str() : rt::ToLiteral(v);
}

// Breaks a line into pieces of at most `width` bytes, at blanks where it
// can, so that a long reason (a path, say) is shown whole.
void Wrap(const std::string& line, size_t width, std::vector<std::string>* out) {
  std::string_view rest = line;
  while (rest.size() > width) {
    size_t cut = rest.rfind(' ', width);
    if (cut == std::string_view::npos || cut == 0) cut = width;
    out->emplace_back(rest.substr(0, cut));
    rest.remove_prefix(cut);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  }
  out->emplace_back(rest);
}

}  // namespace

int ShowMessage(const std::vector<std::string>& lines, int top) {
  const int cols = static_cast<int>(rt::Call("MAXCOL").num()) + 1;
  const size_t width = static_cast<size_t>(std::max(1, cols - 2 - 2 * kPadding));
  std::vector<std::string> wrapped;
  for (const std::string& line : lines) Wrap(line, width, &wrapped);
  return ShowAndWait(wrapped, top, rt::Value(0));
}

rt::Value MsgBox(rt::Frame& frame) {
  const rt::Value& given = frame.arg(0);
  std::vector<std::string> lines;
  if (given.is_array()) {
    for (const rt::Value& v : given.array()->items) lines.push_back(LineText(v));
  } else if (given.is_string()) {
    lines.push_back(given.str());
  } else {
    rt::RaiseArgError(1, "MSGBOX", "array of lines or character expected");
  }
  const rt::Value& top = frame.arg(1);
  if (!top.is_nil() && !top.is_number()) rt::RaiseArgError(2, "MSGBOX", "row number expected");
  const rt::Value& wait = frame.arg(2);
  if (!wait.is_nil() && !wait.is_number()) {
    rt::RaiseArgError(3, "MSGBOX", "number of seconds expected");
  }
  // A row past any screen is moved up by the drawing; a negative one (or
  // one that is not a number) centres the box.
  int top_row = -1;
  if (top.is_number() && top.num() >= 0) {
    top_row = static_cast<int>(std::min(top.num(), 100000.0));
  }
  return ShowAndWait(lines, top_row, wait.is_nil() ? rt::Value(0) : wait);
}

}  // namespace support

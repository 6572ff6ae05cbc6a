// Centred text.
#include "support/text.h"

namespace support {

int CenteredColumn(int width, size_t length) {
  if (width <= 0 || length >= static_cast<size_t>(width)) return 0;
  return (width - static_cast<int>(length)) / 2;
}

rt::Value CenterText(rt::Frame& frame) {
  const rt::Value& text = frame.arg(0);
  if (!text.is_string()) rt::RaiseArgError(1, "CENTERTEXT", "character expected");
  const rt::Value& row_arg = frame.arg(1);
  if (!row_arg.is_nil() && !row_arg.is_number()) {
    rt::RaiseArgError(2, "CENTERTEXT", "row number expected");
  }
  rt::Value row = row_arg.is_nil() ? rt::Call("ROW") : row_arg;
  const int width = static_cast<int>(rt::Call("MAXCOL").num()) + 1;
  rt::Call("SETPOS", {row, CenteredColumn(width, text.str().size())});
  rt::Call("DISPOUT", {text});
  return rt::Value();
}

}  // namespace support

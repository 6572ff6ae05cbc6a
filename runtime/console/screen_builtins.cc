// Built-ins of the screen: output, cursor, colours, scrolling, save/restore.
#include <algorithm>
#include <cmath>

#include "runtime/console/builtins.h"
#include "runtime/console/console_state.h"

namespace rt::console {

int ToInt(double n, int fallback) {
  if (std::isnan(n)) return fallback;
  return static_cast<int>(std::clamp(std::trunc(n), -1e9, 1e9));
}

int IntArg(Frame& frame, int i, int fallback, const char* func) {
  const Value& v = frame.arg(i);
  if (v.is_nil()) return fallback;
  if (!v.is_number()) RaiseArgError(i + 1, func, "a number is expected");
  const double n = v.num();
  if (std::isnan(n)) return fallback;
  return static_cast<int>(std::clamp(std::trunc(n), -1e6, 1e6));
}

std::string DisplayText(const Value& v) {
  switch (v.type()) {
    case Type::kString: return v.str();
    case Type::kNumber:
      if (FindFunction("STR") != nullptr) {
        const Value s = Call("STR", {v});
        if (s.is_string()) return s.str();
      }
      return NumberToText(v.num());
    case Type::kDate:
      if (FindFunction("DTOC") != nullptr) {
        const Value s = Call("DTOC", {v});
        if (s.is_string()) return s.str();
      }
      return DateToDtos(v.date());
    case Type::kLogical: return v.logical() ? "T" : "F";
    case Type::kNil: return "NIL";
    default: return ToLiteral(v);
  }
}

namespace {

// The colour of an optional colour argument: a colour string (its first
// pair) or a colour number; the standard colour when NIL.
Attr ColorArg(Frame& frame, int i, const char* func) {
  const Value& v = frame.arg(i);
  if (v.is_nil()) return CurrentColor(kStandard);
  if (v.is_number()) return static_cast<Attr>(ToInt(v.num()) & 0xFF);
  if (!v.is_string()) RaiseArgError(i + 1, func, "a colour string is expected");
  Palette p = CurrentPalette();
  std::string error;
  if (!ParseColorString(v.str(), &p, &error)) RaiseArgError(i + 1, func, error);
  return p.slot[kStandard];
}

// Writes like a teletype: CHR(7) rings, CR and LF move the cursor, text wraps
// at the right edge and the screen scrolls up at the bottom.
void TeletypeNewline(ScreenBuffer& screen) {
  int row = screen.cursor_row() + 1;
  if (row >= screen.rows()) {
    screen.Scroll(0, 0, screen.rows() - 1, screen.cols() - 1, 1, 0, CurrentColor());
    row = screen.rows() - 1;
  }
  screen.SetCursor(row, 0);
}

void TeletypeWrite(std::string_view text) {
  ScreenBuffer& screen = State().screen;
  const Attr attr = CurrentColor();
  for (char c : text) {
    if (c == '\a') {
      Bell();
    } else if (c == '\r') {
      screen.SetCursor(screen.cursor_row(), 0);
    } else if (c == '\n') {
      TeletypeNewline(screen);
    } else {
      if (screen.cursor_col() >= screen.cols()) TeletypeNewline(screen);
      screen.Write(screen.cursor_row(), screen.cursor_col(), std::string_view(&c, 1), attr);
      screen.SetCursor(screen.cursor_row(), screen.cursor_col() + 1);
    }
  }
  PresentSoon();
}

void TeletypeValues(Frame& frame) {
  for (int i = 0; i < frame.pcount(); ++i) {
    if (i > 0) TeletypeWrite(" ");
    TeletypeWrite(DisplayText(frame.arg(i)));
  }
}

Value FnQout(Frame& frame) {
  TeletypeNewline(State().screen);
  TeletypeValues(frame);
  return Value();
}

Value FnQqout(Frame& frame) {
  TeletypeValues(frame);
  return Value();
}

Value FnSetpos(Frame& frame) {
  SetCursorPos(IntArg(frame, 0, CursorRow(), "SETPOS"), IntArg(frame, 1, CursorCol(), "SETPOS"));
  return Value();
}

Value FnDevpos(Frame& frame) {
  SetCursorPos(IntArg(frame, 0, CursorRow(), "DEVPOS"), IntArg(frame, 1, CursorCol(), "DEVPOS"));
  return Value();
}

Value FnDispout(Frame& frame) {
  WriteAtCursor(DisplayText(frame.arg(0)), ColorArg(frame, 1, "DISPOUT"));
  return Value();
}

Value FnDevout(Frame& frame) {
  WriteAtCursor(DisplayText(frame.arg(0)), ColorArg(frame, 1, "DEVOUT"));
  return Value();
}

Value FnRow(Frame&) { return Value(CursorRow()); }
Value FnCol(Frame&) { return Value(CursorCol()); }
Value FnMaxrow(Frame&) { return Value(MaxRow()); }
Value FnMaxcol(Frame&) { return Value(MaxCol()); }

Value FnScroll(Frame& frame) {
  const int top = IntArg(frame, 0, 0, "SCROLL");
  const int left = IntArg(frame, 1, 0, "SCROLL");
  const int bottom = IntArg(frame, 2, MaxRow(), "SCROLL");
  const int right = IntArg(frame, 3, MaxCol(), "SCROLL");
  int vertical = IntArg(frame, 4, 0, "SCROLL");
  int horizontal = IntArg(frame, 5, 0, "SCROLL");
  if (vertical == 0 && horizontal == 0) {
    // No amount clears the region.
    vertical = bottom - top + 1;
  }
  State().screen.Scroll(top, left, bottom, right, vertical, horizontal, CurrentColor());
  PresentSoon();
  return Value();
}

Value FnSetcolor(Frame& frame) {
  const std::string previous = FormatColorString(CurrentPalette());
  const Value& v = frame.arg(0);
  if (v.is_string()) {
    std::string error;
    if (!SetColorString(v.str(), nullptr, &error)) RaiseArgError(1, "SETCOLOR", error);
  }
  return Value(previous);
}

Value FnSetcursor(Frame& frame) {
  const Value& v = frame.arg(0);
  if (v.is_number()) return Value(SetCursorShape(ToInt(v.num(), -1)));
  return Value(GetCursorShape());
}

Value FnSavescreen(Frame& frame) {
  const int top = IntArg(frame, 0, 0, "SAVESCREEN");
  const int left = IntArg(frame, 1, 0, "SAVESCREEN");
  const int bottom = IntArg(frame, 2, MaxRow(), "SAVESCREEN");
  const int right = IntArg(frame, 3, MaxCol(), "SAVESCREEN");
  return Value(State().screen.Save(top, left, bottom, right));
}

Value FnRestscreen(Frame& frame) {
  const int top = IntArg(frame, 0, 0, "RESTSCREEN");
  const int left = IntArg(frame, 1, 0, "RESTSCREEN");
  const int bottom = IntArg(frame, 2, MaxRow(), "RESTSCREEN");
  const int right = IntArg(frame, 3, MaxCol(), "RESTSCREEN");
  const Value& data = frame.arg(4);
  if (!data.is_string()) RaiseArgError(5, "RESTSCREEN", "a saved screen string is expected");
  State().screen.Restore(top, left, bottom, right, data.str());
  PresentSoon();
  return Value();
}

constexpr FunctionEntry kScreenBuiltins[] = {
    {"SCROLL", 6, false, &FnScroll},
    {"SETPOS", 2, false, &FnSetpos},
    {"DEVPOS", 2, false, &FnDevpos},
    {"DEVOUT", 2, false, &FnDevout},
    {"DISPOUT", 2, false, &FnDispout},
    {"QOUT", -1, false, &FnQout},
    {"QQOUT", -1, false, &FnQqout},
    {"ROW", 0, false, &FnRow},
    {"COL", 0, false, &FnCol},
    {"MAXROW", 0, false, &FnMaxrow},
    {"MAXCOL", 0, false, &FnMaxcol},
    {"SETCOLOR", 1, false, &FnSetcolor},
    {"SETCURSOR", 1, false, &FnSetcursor},
    {"SAVESCREEN", 4, false, &FnSavescreen},
    {"RESTSCREEN", 5, false, &FnRestscreen},
};

}  // namespace

std::span<const FunctionEntry> ScreenBuiltins() { return kScreenBuiltins; }

}  // namespace rt::console

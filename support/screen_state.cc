// The three save stacks.  Everything goes through the runtime's console
// built-ins by name, so what is saved is exactly what SAVESCREEN, SETCOLOR
// and SETCURSOR report.
#include "support/screen_state.h"

#include <vector>

namespace support {
namespace {

struct SavedScreen {
  rt::Value max_row;
  rt::Value max_col;
  rt::Value cells;
  rt::Value row;
  rt::Value col;
};

struct SavedCursor {
  rt::Value shape;
  rt::Value row;
  rt::Value col;
};

std::vector<SavedScreen>& Screens() {
  static std::vector<SavedScreen> stack;
  return stack;
}

std::vector<rt::Value>& Colors() {
  static std::vector<rt::Value> stack;
  return stack;
}

std::vector<SavedCursor>& Cursors() {
  static std::vector<SavedCursor> stack;
  return stack;
}

}  // namespace

rt::Value SaveScr(rt::Frame&) {
  SavedScreen s;
  s.max_row = rt::Call("MAXROW");
  s.max_col = rt::Call("MAXCOL");
  s.cells = rt::Call("SAVESCREEN", {0, 0, s.max_row, s.max_col});
  s.row = rt::Call("ROW");
  s.col = rt::Call("COL");
  Screens().push_back(std::move(s));
  return rt::Value();
}

rt::Value RestScr(rt::Frame&) {
  if (Screens().empty()) return false;
  SavedScreen s = std::move(Screens().back());
  Screens().pop_back();
  rt::Call("RESTSCREEN", {0, 0, s.max_row, s.max_col, s.cells});
  rt::Call("SETPOS", {s.row, s.col});
  return true;
}

rt::Value SaveColor(rt::Frame& frame) {
  const rt::Value& wanted = frame.arg(0);
  // SETCOLOR with a new string answers the one it replaces; an error leaves
  // the stack as it was.
  rt::Value previous = wanted.is_string() ? rt::Call("SETCOLOR", {wanted})
                                          : rt::Call("SETCOLOR");
  Colors().push_back(std::move(previous));
  return rt::Value();
}

rt::Value RestColor(rt::Frame&) {
  if (Colors().empty()) return false;
  rt::Value previous = std::move(Colors().back());
  Colors().pop_back();
  rt::Call("SETCOLOR", {previous});
  return true;
}

rt::Value SaveCursor(rt::Frame& frame) {
  SavedCursor c;
  c.row = rt::Call("ROW");
  c.col = rt::Call("COL");
  const rt::Value& shape = frame.arg(0);
  c.shape = shape.is_number() ? rt::Call("SETCURSOR", {shape}) : rt::Call("SETCURSOR");
  Cursors().push_back(std::move(c));
  return rt::Value();
}

rt::Value RestCursor(rt::Frame&) {
  if (Cursors().empty()) return false;
  SavedCursor c = std::move(Cursors().back());
  Cursors().pop_back();
  rt::Call("SETCURSOR", {c.shape});
  rt::Call("SETPOS", {c.row, c.col});
  return true;
}

}  // namespace support

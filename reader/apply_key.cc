// The key applier and the field actions shared with the event applier.
#include "reader/apply_key.h"

#include <string>

#include "reader/read_status.h"
#include "reader/set_keys.h"
#include "reader/status_line.h"

namespace vornex {
namespace reader {
namespace {

const rt::Value kBell = std::string(1, '\x07');

// Typing one character: "." and "," jump to the decimals of a numeric field;
// anything else is inserted or overwritten, and a field typed full rings
// (setting 26) and, without confirm (setting 27), is left as by Enter.
void TypeCharacter(const rt::Value& get, int code) {
  const std::string c(1, static_cast<char>(code));
  const rt::Value type = rt::Send(get, "type");
  if (type.is_string() && type.str() == "N" && (c == "." || c == ",")) {
    rt::Send(get, "condClear");
    rt::Send(get, "toDecPos");
    return;
  }
  rt::Send(get, rt::SettingIsOn(rt::kSetInsert) ? "insert" : "overstrike",
           {c});
  if (rt::Send(get, "typeOut").is_true()) {
    if (rt::SettingIsOn(rt::kSetBell)) rt::Call("QQOUT", {kBell});
    if (!rt::SettingIsOn(rt::kSetConfirm)) SetExitState(get, kExitEnter);
  }
}

}  // namespace

void ApplyFieldAction(const rt::Value& get, FieldAction action, int code) {
  switch (action) {
    case FieldAction::kNone:
      return;
    case FieldAction::kExitUp:
      return SetExitState(get, kExitUp);
    case FieldAction::kExitDown:
      return SetExitState(get, kExitDown);
    case FieldAction::kExitWrite:
      return SetExitState(get, kExitWrite);
    case FieldAction::kExitEnter:
      return SetExitState(get, kExitEnter);
    case FieldAction::kExitTop:
      return SetExitState(get, kExitTop);
    case FieldAction::kExitBottom:
      return SetExitState(get, kExitBottom);
    case FieldAction::kEscape:
      if (!rt::SettingIsOn(rt::kSetEscape)) return;
      [[fallthrough]];
    case FieldAction::kAbandon:
      rt::Send(get, "undo");
      return SetExitState(get, kExitEscape);
    case FieldAction::kRight:
      rt::Send(get, "right");
      return;
    case FieldAction::kWordRight:
      rt::Send(get, "wordRight");
      return;
    case FieldAction::kLeft:
      rt::Send(get, "left");
      return;
    case FieldAction::kWordLeft:
      rt::Send(get, "wordLeft");
      return;
    case FieldAction::kHome:
      rt::Send(get, "home");
      return;
    case FieldAction::kEnd:
      rt::Send(get, "_end");
      return;
    case FieldAction::kToggleInsert:
      rt::SetSetting(rt::kSetInsert, !rt::SettingIsOn(rt::kSetInsert));
      CallHere("DISPSCOREBOARD", &DispScoreboard);
      return;
    case FieldAction::kBackSpace:
      rt::Send(get, "backSpace");
      return;
    case FieldAction::kDelete:
      rt::Send(get, "delete");
      return;
    case FieldAction::kDelWordRight:
      rt::Send(get, "delWordRight");
      return;
    case FieldAction::kDelEnd:
      rt::Send(get, "delEnd");
      return;
    case FieldAction::kDelWordLeft:
      rt::Send(get, "delWordLeft");
      return;
    case FieldAction::kUndo:
      rt::Send(get, "undo");
      return;
    case FieldAction::kType:
      return TypeCharacter(get, code);
  }
}

}  // namespace reader

namespace {

using reader::FieldAction;

// The key table, in the order its rows are tried.
FieldAction KeyAction(double key) {
  if (key == 5 || key == 271) return FieldAction::kExitUp;     // Up, Shift+Tab
  if (key == 24 || key == 9) return FieldAction::kExitDown;    // Down, Tab
  if (key == 18 || key == 3) return FieldAction::kExitWrite;   // PgUp, PgDn
  if (key == 13) return FieldAction::kExitEnter;               // Enter
  if (key == 29) return FieldAction::kExitTop;                 // Ctrl+Home
  if (key == 27) return FieldAction::kEscape;                  // Esc
  if (key == 23) return FieldAction::kExitWrite;               // Ctrl+W
  if (key == 4) return FieldAction::kRight;                    // Right
  if (key == 2) return FieldAction::kWordRight;                // Ctrl+Right
  if (key == 19) return FieldAction::kLeft;                    // Left
  if (key == 26) return FieldAction::kWordLeft;                // Ctrl+Left
  if (key == 1) return FieldAction::kHome;                     // Home
  if (key == 6) return FieldAction::kEnd;                      // End
  if (key == 22) return FieldAction::kToggleInsert;            // Ins
  if (key == 8) return FieldAction::kBackSpace;                // Backspace
  if (key == 7) return FieldAction::kDelete;                   // Del
  if (key == 20) return FieldAction::kDelWordRight;            // Ctrl+T
  if (key == 25) return FieldAction::kDelEnd;                  // Ctrl+Y
  if (key == 127) return FieldAction::kDelWordLeft;            // Ctrl+Backspace
  if (key == 21) return FieldAction::kUndo;                    // Ctrl+U
  if (key >= 32 && key <= 255 && key == static_cast<int>(key)) {
    return FieldAction::kType;
  }
  return FieldAction::kNone;
}

}  // namespace

rt::Value GetApplyKey(rt::Frame& frame) {
  const rt::Value& get = frame.arg(0);
  const rt::Value& key = frame.arg(1);
  RT_LINE(frame);
  rt::Value set_key = rt::Call("SETKEY", {key});
  if (!set_key.is_nil()) {
    RT_LINE(frame);
    reader::CallHere("GETDOSETKEY", &GetDoSetKey, {set_key, get});
    return rt::Value();
  }
  if (!key.is_number()) return rt::Value();
  RT_LINE(frame);
  const double code = key.num();
  reader::ApplyFieldAction(get, KeyAction(code), static_cast<int>(code));
  return rt::Value();
}

}  // namespace vornex

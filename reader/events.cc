// The event applier and GETTOMOUSEPOS.
#include "reader/events.h"

#include <algorithm>

#include "reader/apply_key.h"
#include "reader/read_status.h"
#include "reader/set_keys.h"

namespace vornex {
namespace {

using reader::FieldAction;

// The keyboard rows of the event table (rows 5 to 26), in order.
FieldAction EventKeyAction(double code) {
  if (code == 65574 || code == 131081) return FieldAction::kExitUp;
  if (code == 65576 || code == 9) return FieldAction::kExitDown;
  if (code == 65569 || code == 65570) return FieldAction::kExitWrite;
  if (code == 13) return FieldAction::kExitEnter;
  if (code == 589860) return FieldAction::kExitTop;
  if (code == 27) return FieldAction::kEscape;
  if (code == 589859) return FieldAction::kExitBottom;
  if (code == 23) return FieldAction::kExitWrite;
  if (code == 65575) return FieldAction::kRight;
  if (code == 589863) return FieldAction::kWordRight;
  if (code == 65573) return FieldAction::kLeft;
  if (code == 589861) return FieldAction::kWordLeft;
  if (code == 65572) return FieldAction::kHome;
  if (code == 65571) return FieldAction::kEnd;
  if (code == 65581) return FieldAction::kToggleInsert;
  if (code == 8) return FieldAction::kBackSpace;
  if (code == 65582) return FieldAction::kDelete;
  if (code == 20) return FieldAction::kDelWordRight;
  if (code == 25) return FieldAction::kDelEnd;
  if (code == 524415) return FieldAction::kDelWordLeft;
  if (code == 21) return FieldAction::kUndo;
  if (code >= 32 && code <= 255 && code == static_cast<int>(code)) {
    return FieldAction::kType;
  }
  return FieldAction::kNone;
}

bool IsAppWindow(const rt::Value& target) {
  rt::Value window = rt::Call("SETAPPWINDOW");
  if (window.is_nil() || target.is_nil()) return window.is_nil() && target.is_nil();
  return rt::ExactlyEqual(window, target);
}

// Row 4: a platform event addressed to an object.
void PlatformEvent(const rt::Value& get, double code, const rt::Value& p1,
                   const rt::Value& p2, const rt::Value& target) {
  if (rt::SettingIsOn(rt::kSetEventDispatch)) {
    rt::Send(target, "handleEvent", {code, p1, p2});
  }
  if (reader::ReadKilled()) {
    reader::SetExitState(get, kExitEscape);
  } else if (!rt::Send(get, "hasFocus").is_true()) {
    rt::Send(get, "setFocus");
  }
}

}  // namespace

rt::Value GetHandleEvent(rt::Frame& frame) {
  const rt::Value& get = frame.arg(0);
  const rt::Value& p1 = frame.arg(2);
  const rt::Value& p2 = frame.arg(3);
  const rt::Value& target = frame.arg(4);
  rt::Value code = frame.arg(1);

  RT_LINE(frame);
  rt::Value event_block = rt::Call("SETAPPEVENT", {code});
  if (!event_block.is_nil()) {
    RT_LINE(frame);
    rt::Value result = reader::CallHere(
        "GETDOSETEVENT", &GetDoSetEvent, {event_block, p1, p2, target, get});
    if (!result.is_number()) return rt::Value();
    code = result;
    if (code.num() == kEventKeyboard) code = p1;
  }
  // A code that is not a number (a keyboard event without a key) matches
  // nothing below.
  if (!code.is_number()) return rt::Value();
  const double c = code.num();

  RT_LINE(frame);
  if (c < kEventBase) {
    rt::Value set_key = rt::Call("SETKEY", {rt::Call("LASTKEY")});
    if (!set_key.is_nil()) {
      RT_LINE(frame);
      reader::CallHere("GETDOSETKEY", &GetDoSetKey, {set_key, get});
    }
  }

  RT_LINE(frame);
  if (c == kEventAbandon) {
    reader::ApplyFieldAction(get, FieldAction::kAbandon, 0);
  } else if (c == 0 || c == kEventIgnored) {
    // no event, or one the reader ignores
  } else if (c == kEventLeftClick && IsAppWindow(target)) {
    RT_LINE(frame);
    rt::Send(reader::Status(), "LbClick",
             {reader::ElementAt(p1, 1, "GETHANDLEEVENT"),
              reader::ElementAt(p1, 2, "GETHANDLEEVENT")});
  } else if (c > kEventBase && !target.is_nil()) {
    RT_LINE(frame);
    PlatformEvent(get, c, p1, p2, target);
  } else {
    RT_LINE(frame);
    reader::ApplyFieldAction(get, EventKeyAction(c), static_cast<int>(c));
  }
  return rt::Value();
}

rt::Value GetToMousePos(rt::Frame& frame) {
  const rt::Value& get = frame.arg(0);
  const rt::Value& col = frame.arg(1);
  RT_LINE(frame);
  double offset = std::max(0.0, rt::Send(get, "pos").num() -
                                    rt::Send(get, "width").num());
  if (rt::Send(get, "hasFocus").is_true()) {
    RT_LINE(frame);
    rt::Send(get, "_pos",
             {offset + col.num() - rt::Send(get, "col").num() + 1});
    rt::Send(get, "display");
  }
  return rt::Value();
}

}  // namespace vornex

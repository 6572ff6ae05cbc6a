// Built-ins of the keyboard and event queues.
//
// INKEY takes keys only: a click met in the queue is dropped, as a program
// reading keys has no use for it.  APPEVENT takes keys and clicks: a key is
// reported with its event code and NIL parameters, addressed to the
// application window; a click with {row, col} as first parameter.  Both
// leave LASTKEY at the keyboard code of the last key they took.  Clicks are
// delivered only while mouse events are on (SETMOUSE); otherwise dropped.
#include <cmath>
#include <map>

#include "runtime/console/builtins.h"
#include "runtime/console/console_state.h"

namespace rt::console {
namespace {

struct Bindings {
  std::map<int, Value> set_keys;    // SETKEY: keyboard code -> block
  std::map<int, Value> app_events;  // SETAPPEVENT: event code -> block
  Value app_window;                 // SETAPPWINDOW
};

Bindings& Bound() {
  // Never destroyed: blocks and objects must not be released after the
  // runtime that made them has gone at exit.
  static Bindings* b = new Bindings();
  return *b;
}

// A wait in seconds (INKEY) or hundredths (APPEVENT) as milliseconds:
// NIL polls for INKEY, 0 waits without limit, a negative value polls.
int WaitMs(const Value& v, double unit_ms, bool nil_waits) {
  if (!v.is_number()) return nil_waits ? -1 : 0;
  const double n = v.num();
  if (n == 0) return -1;
  if (!(n > 0)) return 0;
  return static_cast<int>(std::min(n * unit_ms, 2.0e9));
}

Value FnInkey(Frame& frame) {
  const Value& v = frame.arg(0);
  if (!v.is_nil() && !v.is_number()) RaiseArgError(1, "INKEY", "a number of seconds is expected");
  InputEvent e;
  if (!TakeInput(WaitMs(v, 1000.0, false), /*keys_only=*/true, "INKEY", &e)) return Value(0);
  State().last_key = e.key.key_code;
  return Value(e.key.key_code);
}

Value FnLastkey(Frame&) { return Value(State().last_key); }

Value FnNextkey(Frame&) {
  Key k;
  return PeekKey(&k) ? Value(k.key_code) : Value(0);
}

void StuffValue(const Value& v, ConsoleState& s) {
  if (v.is_string()) {
    for (char c : v.str()) {
      const auto b = static_cast<unsigned char>(c);
      if (b != 0) s.stuffed.push_back(InputEvent::OfKey(KeyFromKeyboardCode(b)));
    }
  } else if (v.is_number()) {
    const int code = ToInt(v.num());
    if (code != 0) s.stuffed.push_back(InputEvent::OfKey(KeyFromKeyboardCode(code)));
  } else if (v.is_array()) {
    for (const Value& item : v.array()->items) StuffValue(item, s);
  }
}

// KEYBOARD(text | code | array): replaces the keys the program stuffed
// earlier and any terminal input read ahead; scripted keys stay queued.
Value FnKeyboard(Frame& frame) {
  ConsoleState& s = State();
  s.stuffed.clear();
  s.read_ahead.clear();
  StuffValue(frame.arg(0), s);
  return Value();
}

// SETKEY and SETAPPEVENT: with one argument the binding; with a second, the
// new binding (a block, or NIL to remove), returning the previous one.
Value Binding(Frame& frame, std::map<int, Value>& table, const char* func) {
  const Value& code_arg = frame.arg(0);
  if (!code_arg.is_number()) RaiseArgError(1, func, "a key or event code is expected");
  const int code = ToInt(code_arg.num());
  auto it = table.find(code);
  Value previous = it == table.end() ? Value() : it->second;
  if (frame.pcount() >= 2) {
    const Value& block = frame.arg(1);
    if (block.is_nil()) {
      if (it != table.end()) table.erase(it);
    } else if (block.is_block()) {
      table[code] = block;
    } else {
      RaiseArgError(2, func, "a block or NIL is expected");
    }
  }
  return previous;
}

Value FnSetkey(Frame& frame) { return Binding(frame, Bound().set_keys, "SETKEY"); }
Value FnSetappevent(Frame& frame) { return Binding(frame, Bound().app_events, "SETAPPEVENT"); }

Value HandleEventMethod(Frame&) { return Value(); }

Value AppWindow() {
  Bindings& b = Bound();
  if (b.app_window.is_nil()) {
    ClassDef def;
    def.name = "APPWINDOW";
    def.instance_methods.push_back(
        MethodDef{"handleEvent", "APPWINDOW:HANDLEEVENT", &HandleEventMethod});
    b.app_window = Value(NewInstance(CreateClass(std::move(def))));
  }
  return b.app_window;
}

// SETAPPWINDOW([object]): the application window; an object argument
// replaces it and the previous one is returned.
Value FnSetappwindow(Frame& frame) {
  const Value previous = AppWindow();
  if (frame.arg(0).is_object()) Bound().app_window = frame.arg(0);
  return previous;
}

Value FnAppevent(Frame& frame) {
  const Value& timeout = frame.arg(3);
  if (!timeout.is_nil() && !timeout.is_number()) {
    RaiseArgError(4, "APPEVENT", "a time-out in hundredths of a second is expected");
  }
  InputEvent e;
  if (!TakeInput(WaitMs(timeout, 10.0, true), /*keys_only=*/false, "APPEVENT", &e)) {
    frame.set_arg(0, Value());
    frame.set_arg(1, Value());
    frame.set_arg(2, Value());
    return Value(kEventNone);
  }
  ConsoleState& s = State();
  Value p1;
  int code;
  if (e.kind == InputEvent::kClick) {
    code = kEventLeftClick;
    p1 = Value(NewArray({Value(e.row), Value(e.col)}));
  } else {
    code = e.key.event_code;
    s.last_key = e.key.key_code;
  }
  s.last_event = code;
  s.last_p1 = p1;
  s.last_p2 = Value();
  frame.set_arg(0, p1);
  frame.set_arg(1, Value());
  frame.set_arg(2, AppWindow());
  return Value(code);
}

Value FnLastappevent(Frame& frame) {
  const ConsoleState& s = State();
  frame.set_arg(0, s.last_p1);
  frame.set_arg(1, s.last_p2);
  return Value(s.last_event);
}

Value FnSetmouse(Frame& frame) {
  const Value& v = frame.arg(0);
  if (v.is_logical()) return Value(SetMouseEnabled(v.logical()));
  return Value(MouseEnabled());
}

constexpr FunctionEntry kInputBuiltins[] = {
    {"INKEY", 1, false, &FnInkey},
    {"LASTKEY", 0, false, &FnLastkey},
    {"NEXTKEY", 0, false, &FnNextkey},
    {"KEYBOARD", 1, false, &FnKeyboard},
    {"SETKEY", 2, false, &FnSetkey},
    {"APPEVENT", 4, false, &FnAppevent},
    {"LASTAPPEVENT", 2, false, &FnLastappevent},
    {"SETAPPEVENT", 2, false, &FnSetappevent},
    {"SETAPPWINDOW", 1, false, &FnSetappwindow},
    {"SETMOUSE", 1, false, &FnSetmouse},
};

}  // namespace

std::span<const FunctionEntry> InputBuiltins() { return kInputBuiltins; }

void RegisterConsoleBuiltins() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterFunctions(ScreenBuiltins());
  RegisterFunctions(InputBuiltins());
}

}  // namespace rt::console

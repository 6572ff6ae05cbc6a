// READMODAL, GETREADER and GETEVENTREADER.
#include "reader/readers.h"

#include <algorithm>

#include "reader/apply_key.h"
#include "reader/events.h"
#include "reader/read_status.h"
#include "reader/validation.h"

namespace vornex {
namespace {

void CursorToLastLine() {
  rt::Call("SETPOS", {rt::Call("MAXROW").num() - 1, 0});
}

bool PreValidate(const rt::Value& get) {
  return !reader::IsFalse(
      reader::CallHere("GETPREVALIDATE", &GetPreValidate, {get}));
}

bool PostValidate(const rt::Value& get) {
  return !reader::IsFalse(
      reader::CallHere("GETPOSTVALIDATE", &GetPostValidate, {get}));
}

bool Idle(const rt::Value& get) {
  return reader::ExitStateOf(get) == kExitNone;
}

// The loop both readers share once the field has the focus: input until the
// field is left, then post-validation, again and again until it passes.  A
// field already typed full is left at once, as by Enter.
template <typename NextInput>
void EditUntilLeft(rt::Frame& frame, const rt::Value& get,
                   NextInput next_input) {
  while (Idle(get)) {
    RT_LINE(frame);
    if (rt::Send(get, "typeOut").is_true()) {
      reader::SetExitState(get, kExitEnter);
    }
    while (Idle(get)) {
      RT_LINE(frame);
      next_input();
    }
    RT_LINE(frame);
    if (!PostValidate(get)) reader::SetExitState(get, kExitNone);
  }
}

}  // namespace

rt::Value ReadModal(rt::Frame& frame) {
  const rt::Value& list = frame.arg(0);
  RT_LINE(frame);
  if (rt::Call("EMPTY", {list}).is_true()) {
    CursorToLastLine();
    return false;
  }
  RT_LINE(frame);
  const rt::Value status = reader::Status();
  rt::Send(status, "save");
  try {
    RT_LINE(frame);
    reader::SetStatusVar("getList", list);
    reader::SetStatusVar("procName", rt::ProcName(1));
    reader::SetStatusVar("procLine", rt::ProcLine(1));
    RT_LINE(frame);
    rt::Send(status, "settle", {frame.arg(1)});
    while (true) {
      rt::Value this_pos = reader::StatusVar("thisPos");
      if (!this_pos.is_number() || this_pos.num() == 0) break;
      RT_LINE(frame);
      rt::Send(status, "postActiveGet");
      const rt::Value get = reader::StatusVar("activeGet");
      const rt::Value own_reader = rt::Send(get, "reader");
      RT_LINE(frame);
      if (own_reader.is_block()) {
        rt::Eval(own_reader, {get});
      } else if (reader::StatusVar("useAppEvent").is_true()) {
        reader::CallHere("GETEVENTREADER", &GetEventReader, {get});
      } else {
        reader::CallHere("GETREADER", &GetReader, {get});
      }
      RT_LINE(frame);
      rt::Send(status, "settle");
    }
  } catch (...) {
    // The read is over whichever way it is left: the enclosing read (or the
    // empty state outside any read) gets its state back, so the stack of
    // saved states never outlives the reads it belongs to.
    rt::Send(status, "Restore");
    throw;
  }
  RT_LINE(frame);
  rt::Send(status, "Restore");
  CursorToLastLine();
  return reader::StatusVar("updated");
}

rt::Value GetReader(rt::Frame& frame) {
  const rt::Value& get = frame.arg(0);
  RT_LINE(frame);
  if (!PreValidate(get)) return rt::Value();
  RT_LINE(frame);
  rt::Send(get, "setFocus");
  EditUntilLeft(frame, get, [&] {
    rt::Value key = rt::Call("INKEY", {0});
    reader::CallHere("GETAPPLYKEY", &GetApplyKey, {get, key});
  });
  RT_LINE(frame);
  rt::Send(get, "killFocus");
  return rt::Value();
}

rt::Value GetEventReader(rt::Frame& frame) {
  const rt::Value& get = frame.arg(0);
  RT_LINE(frame);
  if (!PreValidate(get)) return rt::Value();
  RT_LINE(frame);
  rt::Send(get, "setFocus");

  // The event's code comes back as the result; its parameters and target
  // through the by-reference cells.
  rt::CellPtr p1 = rt::NewCell();
  rt::CellPtr p2 = rt::NewCell();
  rt::CellPtr target = rt::NewCell();
  RT_LINE(frame);
  rt::Value last = rt::Call("LASTAPPEVENT", {rt::Value::Reference(p1),
                                             rt::Value::Reference(p2)});
  if (last.is_number() && last.num() == kEventLeftClick) {
    // Arrived here by a click: the cursor starts under it, or on the first
    // position when the click was not on this field.
    RT_LINE(frame);
    rt::Value pos = rt::Send(
        get, "posInBuffer",
        {reader::ElementAt(p1->value, 1, "GETEVENTREADER"),
         reader::ElementAt(p1->value, 2, "GETEVENTREADER")});
    rt::Send(get, "_pos", {std::max(1.0, pos.num())});
    rt::Send(get, "display");
  }
  EditUntilLeft(frame, get, [&] {
    rt::Value code = rt::Call(
        "APPEVENT", {rt::Value::Reference(p1), rt::Value::Reference(p2),
                     rt::Value::Reference(target), 0});
    reader::CallHere("GETHANDLEEVENT", &GetHandleEvent,
                     {get, code, p1->value, p2->value, target->value});
  });
  RT_LINE(frame);
  rt::Send(get, "killFocus");
  return rt::Value();
}

}  // namespace vornex

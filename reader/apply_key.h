// Applying one keyboard code to the active field, and the field actions that
// the key and event appliers share.
#ifndef READER_APPLY_KEY_H_
#define READER_APPLY_KEY_H_

#include "runtime/api/runtime.h"

namespace vornex {

// GETAPPLYKEY(get, key): runs the key's set-key block when SETKEY has one
// (and nothing else); otherwise applies the first matching row of the key
// table: navigation sets exitState, editing keys send the field's editing
// messages, Ins flips setting 29, printable characters are typed.  Returns
// NIL.
rt::Value GetApplyKey(rt::Frame& frame);

namespace reader {

// What a key or event does to the active field.
enum class FieldAction {
  kNone,
  kExitUp,
  kExitDown,
  kExitWrite,
  kExitEnter,
  kExitTop,
  kExitBottom,
  kEscape,   // undo and exitEscape, only while setting 28 is on
  kAbandon,  // undo and exitEscape, always
  kRight,
  kWordRight,
  kLeft,
  kWordLeft,
  kHome,
  kEnd,
  kToggleInsert,
  kBackSpace,
  kDelete,
  kDelWordRight,
  kDelEnd,
  kDelWordLeft,
  kUndo,
  kType,  // the character with the code is typed
};

// Performs `action` on `get`; `code` is the character for kType.
void ApplyFieldAction(const rt::Value& get, FieldAction action, int code);

}  // namespace reader
}  // namespace vornex

#endif  // READER_APPLY_KEY_H_

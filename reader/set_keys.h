// Running set-key and event blocks against the active field, and leaving the
// active field on request.
#ifndef READER_SET_KEYS_H_
#define READER_SET_KEYS_H_

#include "runtime/api/runtime.h"

namespace vornex {

// GETDOSETKEY(block, get): secures a pending edit of the field (stores and
// post-validates it; a value that fails is taken back with undo, and the bell
// rings with setting 26 on), then evaluates the block with procName,
// procLine, readVar and the field, with `updated` kept.  Refreshes the
// scoreboard and the field; a killed read leaves the field with exitEscape.
// Returns the block's value.
rt::Value GetDoSetKey(rt::Frame& frame);

// GETDOSETEVENT(block, p1, p2, target, get): the same for an event block,
// which is evaluated with p1, p2, target and the field.
rt::Value GetDoSetEvent(rt::Frame& frame);

// GETKILLACTIVE(): stores and post-validates the active field (a value that
// fails is taken back and the field marked exitWhen) and takes its focus
// away.  Always .T.; does nothing without an active field.
rt::Value GetKillActive(rt::Frame& frame);

}  // namespace vornex

#endif  // READER_SET_KEYS_H_

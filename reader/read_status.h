// The shared state of the form reader: the ReadStatus class, the read-state
// functions, the exit-state codes and the small helpers every unit of the
// reader uses to reach the state and to run the reader's own functions.
//
// ReadStatus keeps the state of the read in progress in its class variables
// (one set per process); each nested read keeps the state of the read around
// it in an instance pushed on `lastStatus` by `save` and popped by `restore`.
// The class is created on the first call of READSTATUS() and lives until the
// process ends.
#ifndef READER_READ_STATUS_H_
#define READER_READ_STATUS_H_

#include <initializer_list>
#include <string_view>

#include "runtime/api/runtime.h"

namespace vornex {

// How a field is being left; the only channel from readers, appliers,
// validation and set keys to `settle`.
enum ExitState : int {
  kExitNone = 0,
  kExitUp = 1,
  kExitDown = 2,
  kExitTop = 3,
  kExitBottom = 4,
  kExitEnter = 5,
  kExitWrite = 6,
  kExitEscape = 7,
  kExitWhen = 8,
  kExitClick = 9,
  kExitActivate = 10,
};

// READSTATUS(): the ReadStatus class object; creates the class (and runs its
// initClass) on the first call.
rt::Value ReadStatus(rt::Frame& frame);

// GETACTIVE([get]): the active field before the call.  With NIL, no field is
// active; with a field that has the focus, it becomes the active one; with
// another field, the active field is left with exitActivate and the read
// moves to the given one.
rt::Value GetActive(rt::Frame& frame);
// UPDATED(): whether a field's variable was assigned during the read.
rt::Value Updated(rt::Frame& frame);
// READKILL([l]), READUPDATED([l]), READVAR([c]), GETENABLEEVENTS([l]): the
// value of killRead, updated, readVar, useAppEvent before the call; an
// argument of the right type replaces it, any other is ignored.
rt::Value ReadKill(rt::Frame& frame);
rt::Value ReadUpdated(rt::Frame& frame);
rt::Value ReadVar(rt::Frame& frame);
rt::Value GetEnableEvents(rt::Frame& frame);
// GETLASTACTIVE(), GETLIST(), GETLISTPOS(): lastActiveGet, getList, thisPos.
rt::Value GetLastActive(rt::Frame& frame);
rt::Value GetList(rt::Frame& frame);
rt::Value GetListPos(rt::Frame& frame);

namespace reader {

// The ReadStatus class object, asked for once and then kept.
const rt::Value& Status();
// A class variable of ReadStatus, read and assigned by name.
rt::Value StatusVar(std::string_view name);
void SetStatusVar(std::string_view name, rt::Value value);
// killRead is true.
bool ReadKilled();

// Runs a function of the reader directly, inside a call frame of its own
// named `proc`, as a call by name would.  `proc` must be a literal.
rt::Value CallHere(std::string_view proc, rt::NativeFn fn,
                   std::initializer_list<rt::Value> args = {});

// The exit state of a field (NIL and non-numbers count as exitNone) and its
// assignment.
int ExitStateOf(const rt::Value& get);
void SetExitState(const rt::Value& get, int state);

// Element `pos` (1-based) of an array; raises the runtime's array-bound error
// when the value is no array or the position lies outside it.
const rt::Value& ElementAt(const rt::Value& array, int pos,
                           std::string_view operation);

// True only for a logical .F.: results that the reader tests for failure.
inline bool IsFalse(const rt::Value& v) { return v.is_logical() && !v.logical(); }

}  // namespace reader
}  // namespace vornex

#endif  // READER_READ_STATUS_H_

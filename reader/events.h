// Applying one event of the event queue to the active field.
#ifndef READER_EVENTS_H_
#define READER_EVENTS_H_

#include "runtime/api/runtime.h"

namespace vornex {

// Event codes the event applier and the event reader name.
constexpr int kEventBase = 1048576;      // base of the platform events
constexpr int kEventKeyboard = 1048580;  // p1 carries a key code
constexpr int kEventLeftClick = 1048589;
constexpr int kEventIgnored = 1048598;
constexpr int kEventAbandon = 1048632;

// GETHANDLEEVENT(get, code, p1, p2, target): gives the code's event block
// (SETAPPEVENT) its turn first (a numeric result replaces the code, anything
// else consumes the event), then the set key of LASTKEY() for codes below
// the platform events, then applies the first matching row of the event
// table: abandon, clicks on the application window (LbClick), other
// platform events with a target (handed to its handleEvent while setting 44
// is on), navigation, editing keys and printable characters.  Returns NIL.
rt::Value GetHandleEvent(rt::Frame& frame);

// GETTOMOUSEPOS(get, col): moves a focused field's cursor to the buffer
// position under screen column `col`.  Returns NIL.
rt::Value GetToMousePos(rt::Frame& frame);

}  // namespace vornex

#endif  // READER_EVENTS_H_

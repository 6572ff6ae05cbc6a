// Saving and restoring the screen, the colours and the cursor in nested
// pairs: every SAVE_x pushes what is in force onto its own stack and the
// matching REST_x pops it back, so a pair inside another pair restores only
// what it saved.
#ifndef SUPPORT_SCREEN_STATE_H_
#define SUPPORT_SCREEN_STATE_H_

#include "runtime/api/runtime.h"

namespace support {

// SAVE_SCR(): saves the whole screen and the cursor position.  Returns NIL.
rt::Value SaveScr(rt::Frame& frame);
// REST_SCR(): puts back the screen and cursor position of the latest
// SAVE_SCR not yet restored.  Returns .F. when there is none (nothing
// changes), else .T.
rt::Value RestScr(rt::Frame& frame);

// SAVE_COLOR([cColors]): saves the colour string in force and, when given a
// colour string, puts it in force.  A text that is not a colour string
// raises the error SETCOLOR raises and saves nothing.  Returns NIL.
rt::Value SaveColor(rt::Frame& frame);
// REST_COLOR(): puts back the colours of the latest SAVE_COLOR not yet
// restored.  Returns .F. when there is none, else .T.
rt::Value RestColor(rt::Frame& frame);

// SAVE_CURSOR([nShape]): saves the cursor shape and position and, when given
// a shape number (0 hidden, 1 normal, 2 insert, 3 full, 4 upper half), sets
// that shape.  Returns NIL.
rt::Value SaveCursor(rt::Frame& frame);
// REST_CURSOR(): puts back the shape and position of the latest SAVE_CURSOR
// not yet restored.  Returns .F. when there is none, else .T.
rt::Value RestCursor(rt::Frame& frame);

}  // namespace support

#endif  // SUPPORT_SCREEN_STATE_H_

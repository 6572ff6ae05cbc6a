// The GET class of the host runtime: the edit field that the form reader
// drives.  GET() answers the class object; GET():new(row, col, block, name,
// picture, colour, postBlock, preBlock) makes a field.
//
//   row, col   screen position of the field's first character
//   block      the value block: evaluated with no argument it reads the
//              edited variable, with one argument it assigns it
//   name       the variable's name (character or NIL)
//   picture    a picture text (see edit_field.h) or NIL
//   colour     a colour string "standard,enhanced" or NIL for the colours
//              in force when the field is drawn
//   postBlock, preBlock  validation blocks, or NIL
//
// Variables: exitState (NIL until a reader sets it), hasFocus, changed,
// typeOut, type, buffer, pos, row, col, width, name, preBlock, postBlock,
// reader, block, picture, colorSpec, original (the value when the focus was
// taken), cargo.  pos and buffer may be assigned from outside; the next
// message works from the assigned values.
//
// Messages: setFocus, killFocus, display, undo, _assign, Reset,
// updateBuffer, varGet, varPut(v), badDate, posInBuffer(row, col),
// insert(c), overstrike(c), right, left, wordRight, wordLeft, home, _end,
// backSpace, delete, delWordRight, delWordLeft, delEnd, condClear, toDecPos.
// Every message that changes the buffer or the cursor redraws the field.
// The messages answer the Get itself, except varGet and varPut (the value),
// badDate (logical) and posInBuffer (a number).
#ifndef RUNTIME_CONSOLE_GET_CLASS_H_
#define RUNTIME_CONSOLE_GET_CLASS_H_

#include "runtime/api/runtime.h"

namespace rt {

// Registers the class function GET.  Idempotent.
void RegisterGetClass();

// The GET class object (created on first use).
ObjectPtr GetClassObject();

}  // namespace rt

#endif  // RUNTIME_CONSOLE_GET_CLASS_H_

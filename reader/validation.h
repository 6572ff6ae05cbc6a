// Whether a field may be entered (pre-validation) and left (post-validation),
// and the two checks that show their complaint on the scoreboard.
#ifndef READER_VALIDATION_H_
#define READER_VALIDATION_H_

#include "runtime/api/runtime.h"

namespace vornex {

// GETPREVALIDATE(get): runs the field's preBlock (when it holds a block) with
// `updated` kept, then sets exitState: exitEscape when the read is being
// killed (result .F.), exitWhen when the result is .F., else exitNone.
// Returns the block's value, .T. without a block.
rt::Value GetPreValidate(rt::Frame& frame);

// GETPOSTVALIDATE(get): .T. at once for a field left with exitEscape or
// without the focus.  An impossible date shows national message 9, sends the
// cursor home and returns .F. with nothing stored.  Otherwise stores an
// edited buffer (`updated` becomes .T.), resets the field and runs its
// postBlock (when it holds a block) with `updated` kept; a read killed by
// then leaves the field with exitEscape and .T.
rt::Value GetPostValidate(rt::Frame& frame);

// INVALIDDATE(): with the scoreboard on, shows national message 9 there,
// swallows one key and blanks the message.  Returns NIL.
rt::Value InvalidDate(rt::Frame& frame);

// RANGECHECK(get, low, high): .T. when the field is unedited or its
// variable's value lies within [low, high]; otherwise .F., and with the
// scoreboard on the range is shown there until a key (which is swallowed).
rt::Value RangeCheck(rt::Frame& frame);

}  // namespace vornex

#endif  // READER_VALIDATION_H_

// A framed message box that waits for a key.
#ifndef SUPPORT_MESSAGE_BOX_H_
#define SUPPORT_MESSAGE_BOX_H_

#include <string>
#include <vector>

#include "runtime/api/runtime.h"

namespace support {

// MSGBOX(aLines [, nTop [, nSeconds]]): shows the lines (each centred) in a
// box framed with "+", "-" and "|", centred across the screen with its top
// border on row nTop (moved up when it would pass the bottom row; centred
// on the screen when nTop is omitted), in the standard colour.  Then waits
// for one key as INKEY(nSeconds) does (0 or omitted: without limit), so
// LASTKEY() reports it, and puts back the screen under the box and the
// cursor position.  aLines may also be one character string; other values
// in it are shown in their literal form.  Returns the key's code (0 when
// the time ran out).
rt::Value MsgBox(rt::Frame& frame);

// Shows `lines` as MSGBOX does with nTop `top` (-1: centred) and waits
// without limit; lines wider than the box can be are broken at blanks
// instead of cut.  Returns the key.  For the library's own messages.
int ShowMessage(const std::vector<std::string>& lines, int top = -1);

}  // namespace support

#endif  // SUPPORT_MESSAGE_BOX_H_

// Centred text.
#ifndef SUPPORT_TEXT_H_
#define SUPPORT_TEXT_H_

#include "runtime/api/runtime.h"

namespace support {

// CENTERTEXT(cText [, nRow]): writes the text centred across the screen's
// width on row nRow (the cursor's row when omitted) in the standard colour;
// the cursor ends after the text.  A text wider than the screen starts at
// column 0 and is cut at the right edge.  Returns NIL.
rt::Value CenterText(rt::Frame& frame);

// The column at which text of `length` bytes starts when centred on a line
// of `width` columns (0 when it does not fit).
int CenteredColumn(int width, size_t length);

}  // namespace support

#endif  // SUPPORT_TEXT_H_

// The scoreboard (the status spot at row 0, column 50) and the two settings
// functions READEXIT and READINSERT.
#ifndef READER_STATUS_LINE_H_
#define READER_STATUS_LINE_H_

#include <string>

#include "runtime/api/runtime.h"

namespace vornex {

// DISPSCOREBOARD(): when the scoreboard setting (32) is on, writes the insert
// indicator (national message 7 with insert on, 8 with it off) at the
// scoreboard and puts the cursor back where it was.  Returns NIL.
rt::Value DispScoreboard(rt::Frame& frame);

// READEXIT([v]) / READINSERT([v]): without an argument or with NIL, the value
// of setting 30 / 29; with any other value, what SET(n, v) returns.
rt::Value ReadExit(rt::Frame& frame);
rt::Value ReadInsert(rt::Frame& frame);

namespace reader {

// The scoreboard message as a block of the function that shows it, named
// `name` (e.g. "(B)DISPSCOREBOARD@0001").  Evaluated with (row, col,
// message): writes the message at the scoreboard (a number stands for the
// national message with that number, anything else is written as it is)
// and moves the cursor to (row, col).  Returns NIL.  The three functions
// that show messages each keep one such block; their numbers follow the
// order of those functions in the keyboard-read unit: INVALIDDATE 0000,
// DISPSCOREBOARD 0001, RANGECHECK 0002.
rt::Value MakeScoreboardBlock(std::string name);

// The cursor's row and column (ROW(), COL()).
rt::Value CursorRow();
rt::Value CursorCol();

}  // namespace reader
}  // namespace vornex

#endif  // READER_STATUS_LINE_H_

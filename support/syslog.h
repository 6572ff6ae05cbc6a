// The application's log, SYSLOG.DBF in the data directory.
//
// One record per entry, with these fields (the layout SYSLOG creates when
// the table is missing; an existing table may lack any of them but
// MESSAGE, and what it lacks is left out):
//   LOG_DATE D 8    the date the entry was written
//   LOG_TIME C 8    the time it was written, hh:mm:ss
//   PROGRAM  C 10   the program tag
//   STAMP    C 20   the time stamp the caller gave
//   MESSAGE  C 80   the message
//   DETAIL   C 254  the detail lines, joined with "; "
// Longer texts are cut at the field's width.
#ifndef SUPPORT_SYSLOG_H_
#define SUPPORT_SYSLOG_H_

#include "runtime/api/runtime.h"

namespace support {

// SYSLOG(cMessage [, cProgram [, cStamp [, aLines]]]): appends one entry to
// SYSLOG.DBF and commits it.  Uses the table when it is already open under
// the alias SYSLOG; otherwise opens it shared for the call (creating it with
// the layout above when the file does not exist) and closes it again.  The
// current work area is unchanged.  Returns .T.; a table that cannot be
// opened or written raises the table error.
rt::Value Syslog(rt::Frame& frame);

}  // namespace support

#endif  // SUPPORT_SYSLOG_H_

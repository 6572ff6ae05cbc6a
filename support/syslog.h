// The application's log, SYSLOG.DBF in the data directory.
//
// One record per entry, with the layout of the demo database's log (the one
// SYSLOG creates when the table is missing):
//   LOG_DATE D 8                 the date the entry was written
//   LOG_TIME C 8                 the time it was written, hh:mm:ss
//   PROGRAM  C 10                the program tag
//   STAMP    C 19                the time stamp the caller gave
//   MESSAGE  C 60                the message
//   DETAIL1, DETAIL2, DETAIL3 C 80  the detail lines, one per field; lines
//                                beyond the last field are joined to it
//                                with "; "
// Longer texts are cut at the field's width.  An existing table may lack
// any field but MESSAGE; what it lacks is left out.
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

// Opening and closing the application's tables, and seeking in an order.
//
// Table names without a directory are found in the data directory (the
// runtime's rule for DBUSEAREA); each table is opened under its name, with
// any directory and extension removed, as its alias.
#ifndef SUPPORT_TABLE_ACCESS_H_
#define SUPPORT_TABLE_ACCESS_H_

#include <string>
#include <string_view>

#include "runtime/api/runtime.h"

namespace support {

// DBEOPEN(aNames [, lExclusive]): opens every named table, each in a new
// work area, exclusively when lExclusive is .T., else shared.  Returns .T.
// when all are open.  On the first failure it shows a message box naming
// the table and the reason and waiting for a key, closes the tables it had
// opened in this call, makes the work area that was current before the call
// current again and returns .F.; tables open before the call are not
// touched.  Raises an argument error when aNames is not an array of names.
rt::Value DbeOpen(rt::Frame& frame);

// DBECLOSE(aNames): closes the table of every name that is open under its
// alias; names that are not open are passed over.  The work area that was
// current before the call is current again afterwards.  Returns NIL.
rt::Value DbeClose(rt::Frame& frame);

// SEEKER(cTable, nOrder, xValue): in the work area of the open table cTable,
// makes order nOrder current (when given: a number or an order's name) and
// positions on the first record whose key is on or after xValue (at the end
// of the table when there is none), whatever soft seek is set to.  A date seeks a
// character key (DTOS(REPT_DT), say) by its YYYYMMDD text.  The current
// work area is unchanged.  Returns whether an equal key was found.
// Raises an error when cTable is not open.
rt::Value Seeker(rt::Frame& frame);

// The alias a table name is opened under: the name without directory and
// extension, in upper case ("data/morbrept.dbf" -> "MORBREPT").
std::string AliasOfTable(std::string_view name);

}  // namespace support

#endif  // SUPPORT_TABLE_ACCESS_H_

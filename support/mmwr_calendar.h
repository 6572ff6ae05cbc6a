// The MMWR (epidemiological) week calendar: LOADMMWR and CALCMMWR.
//
// MMWR weeks run Sunday to Saturday.  A week belongs to the year that holds
// its Wednesday, so week 1 is the week that holds January 4, years have 52 or
// 53 weeks, January 1 to 3 can fall in the last week of the previous year and
// December 29 to 31 in week 1 of the next.
#ifndef SUPPORT_MMWR_CALENDAR_H_
#define SUPPORT_MMWR_CALENDAR_H_

#include "runtime/api/runtime.h"

namespace support {

// An MMWR week: `week` 1..53 of MMWR year `year`.
struct MmwrWeek {
  int week = 0;
  int year = 0;
};

// The MMWR week of a date.  Returns false (and leaves `out` alone) for the
// empty date and for dates whose MMWR year falls outside 1..9999.
bool MmwrWeekOf(rt::Date date, MmwrWeek* out);

// The Sunday on which week 1 of MMWR year `year` starts.
// REQUIRES: 1 <= year <= 9999.
rt::Date MmwrYearStart(int year);

// LOADMMWR(): prepares the table of week-1 start days (1899..2101) and
// returns .T.; CALCMMWR can be used afterwards (it also prepares the table
// on its first call).
rt::Value LoadMmwr(rt::Frame& frame);

// CALCMMWR(aWork, nWeek, nYear, nDate): reads the date in element nDate of
// aWork and writes its MMWR week as two digits ("07") into element nWeek and
// its year as four ("2026") into element nYear.  An empty date leaves both
// elements untouched.  Returns .T. when it wrote them, .F. otherwise.
// Raises an argument error for a missing array, an element number outside
// the array or an element nDate that holds neither a date nor NIL.
rt::Value CalcMmwr(rt::Frame& frame);

}  // namespace support

#endif  // SUPPORT_MMWR_CALENDAR_H_

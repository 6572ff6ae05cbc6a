// The MMWR week calendar.  The week of a date is found from a table of the
// Sundays on which week 1 of each year starts: the MMWR year of a date is
// the year whose week 1 starts on or before it and whose successor's week 1
// starts after it, and the week is the number of whole weeks since that
// start, plus one.  The run calls CALCMMWR once per record, so the work per
// call is a few integer operations and two short strings.
#include "support/mmwr_calendar.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace support {
namespace {

// Years whose week-1 start is kept in the table; other years are computed
// when asked.  The table covers one year either side of 1900..2100 so that
// every date of that range finds both of its bounds in it.
constexpr int kTableFirstYear = 1899;
constexpr int kTableLastYear = 2101;
// MMWR years a date may belong to: both bounds must be real dates.
constexpr int kMinYear = 1;
constexpr int kMaxYear = 9998;

struct StartTable {
  int32_t day[kTableLastYear - kTableFirstYear + 1];
};

const StartTable& Starts() {
  static const StartTable table = [] {
    StartTable t{};
    for (int y = kTableFirstYear; y <= kTableLastYear; ++y) {
      t.day[y - kTableFirstYear] = MmwrYearStart(y).day;
    }
    return t;
  }();
  return table;
}

int32_t StartDay(int year) {
  if (year >= kTableFirstYear && year <= kTableLastYear) {
    return Starts().day[year - kTableFirstYear];
  }
  return MmwrYearStart(year).day;
}

// Day number of 2000-01-01 and the mean length of the Gregorian year, as
// 146097 days per 400 years: enough to guess the year of a day number to
// within one.
constexpr int64_t kDay2000 = 2451545;

int GuessYear(int32_t day) {
  int64_t offset = static_cast<int64_t>(day) - kDay2000;
  int64_t years = offset * 400;
  // Floor division, so days before 2000 round towards the earlier year.
  int64_t q = years / 146097;
  if (years % 146097 < 0) --q;
  int64_t year = 2000 + q;
  if (year < kMinYear) return kMinYear;
  if (year > kMaxYear) return kMaxYear;
  return static_cast<int>(year);
}

// Element `n` (1-based, from argument `arg`) of the work array.
rt::Value& Element(const rt::ArrayPtr& work, rt::Frame& frame, int arg) {
  const rt::Value& v = frame.arg(arg - 1);
  if (!v.is_number()) {
    rt::RaiseArgError(arg, "CALCMMWR", "element number expected");
  }
  double n = v.num();
  if (!(n >= 1 && n <= static_cast<double>(work->items.size()))) {
    rt::RaiseArgError(arg, "CALCMMWR",
                      "element " + rt::NumberToText(n) + " is outside the array of " +
                          std::to_string(work->items.size()));
  }
  return work->items[static_cast<size_t>(n) - 1];
}

}  // namespace

rt::Date MmwrYearStart(int year) {
  rt::Date jan4 = rt::MakeDate(year, 1, 4);
  return rt::Date{jan4.day - rt::DayOfWeek(jan4)};
}

bool MmwrWeekOf(rt::Date date, MmwrWeek* out) {
  if (date.empty()) return false;
  const int32_t day = date.day;
  int year = GuessYear(day);
  while (year > kMinYear && day < StartDay(year)) --year;
  while (year < kMaxYear && day >= StartDay(year + 1)) ++year;
  const int32_t start = StartDay(year);
  if (day < start || day >= StartDay(year + 1)) return false;
  out->week = (day - start) / 7 + 1;
  out->year = year;
  return true;
}

rt::Value LoadMmwr(rt::Frame&) {
  Starts();
  return true;
}

rt::Value CalcMmwr(rt::Frame& frame) {
  const rt::Value& array = frame.arg(0);
  if (!array.is_array()) rt::RaiseArgError(1, "CALCMMWR", "work array expected");
  const rt::ArrayPtr& work = array.array();
  rt::Value& week_slot = Element(work, frame, 2);
  rt::Value& year_slot = Element(work, frame, 3);
  const rt::Value& date = Element(work, frame, 4);
  if (date.is_nil()) return false;
  if (!date.is_date()) {
    rt::RaiseArgError(4, "CALCMMWR", "the element it names must hold a date");
  }
  MmwrWeek w;
  if (!MmwrWeekOf(date.date(), &w)) return false;

  // Both fit the short-string buffer, so writing them allocates nothing.
  std::string week(2, '0');
  week[0] = static_cast<char>('0' + w.week / 10);
  week[1] = static_cast<char>('0' + w.week % 10);
  std::string year(4, '0');
  for (int i = 3, y = w.year; i >= 0; --i, y /= 10) {
    year[static_cast<size_t>(i)] = static_cast<char>('0' + y % 10);
  }
  week_slot = rt::Value(std::move(week));
  year_slot = rt::Value(std::move(year));
  return true;
}

}  // namespace support

// The MMWR calendar through CALCMMWR, checked against dates worked out by
// hand, against a reference computed with the standard library's calendar
// (the week's Wednesday names the year; the week counts from the first
// Wednesday), and for consistency over every date of 1900..2100.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/support/support_library.h"

namespace {

namespace chr = std::chrono;

// Julian day number of 1970-01-01, the epoch of std::chrono::sys_days.
constexpr int kUnixEpochDay = 2440588;

rt::Date DayOf(chr::year_month_day ymd) {
  return rt::Date{static_cast<int32_t>(chr::sys_days(ymd).time_since_epoch().count()) +
                  kUnixEpochDay};
}

std::string Text(chr::year_month_day ymd) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  return buf;
}

struct Week {
  std::string week;
  std::string year;
  friend bool operator==(const Week&, const Week&) = default;
};

std::ostream& operator<<(std::ostream& os, const Week& w) {
  return os << w.week << "/" << w.year;
}

// Independent reference: the Wednesday of the date's Sunday-to-Saturday week
// gives the year, and the week is the count of weeks from the year's first
// Wednesday (which always falls on January 1 to 7).
Week ReferenceWeek(chr::year_month_day ymd) {
  const chr::sys_days day(ymd);
  const chr::weekday wd(day);
  const chr::sys_days wednesday = day - chr::days(wd.c_encoding()) + chr::days(3);
  const chr::year_month_day w(wednesday);
  const int ordinal =
      static_cast<int>((wednesday - chr::sys_days(w.year() / chr::January / 1)).count());
  char week[8], year[8];
  std::snprintf(week, sizeof week, "%02d", ordinal / 7 + 1);
  std::snprintf(year, sizeof year, "%04d", static_cast<int>(w.year()));
  return {week, year};
}

// CALCMMWR over a work array {"xx", "xxxx", date}; returns what it leaves
// in elements 1 and 2.
Week Calc(rt::Value date, rt::Value* result = nullptr) {
  rt::ArrayPtr work = rt::NewArray({"xx", "xxxx", date});
  rt::Value r = rt::Call("CALCMMWR", {work, 1, 2, 3});
  if (result) *result = r;
  return {work->items[0].str(), work->items[1].str()};
}

class MmwrCalendar : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    support_test::LoadSupportLibrary();
    ASSERT_TRUE(rt::Call("LOADMMWR").is_true());
  }
};

TEST_F(MmwrCalendar, BoundaryDatesWorkedOutByHand) {
  struct Case {
    int y, m, d;
    Week expected;
  };
  const Case cases[] = {
      // 2025 has 53 weeks: its week 1 starts 2024-12-29, 2026's on 2026-01-04.
      {2024, 12, 28, {"52", "2024"}},
      {2024, 12, 29, {"01", "2025"}},
      {2025, 12, 28, {"53", "2025"}},
      {2026, 1, 1, {"53", "2025"}},
      {2026, 1, 3, {"53", "2025"}},
      {2026, 1, 4, {"01", "2026"}},
      {2026, 2, 14, {"06", "2026"}},
      {2026, 2, 15, {"07", "2026"}},
      // 2020 has 53 weeks: week 1 starts 2019-12-29, 2021's on 2021-01-03.
      {2019, 12, 28, {"52", "2019"}},
      {2019, 12, 29, {"01", "2020"}},
      {2019, 12, 31, {"01", "2020"}},
      {2020, 12, 27, {"53", "2020"}},
      {2021, 1, 1, {"53", "2020"}},
      {2021, 1, 2, {"53", "2020"}},
      {2021, 1, 3, {"01", "2021"}},
      // 2021 has 52 weeks; 2022's week 1 starts 2022-01-02.
      {2022, 1, 1, {"52", "2021"}},
      {2022, 1, 2, {"01", "2022"}},
      // 2014 has 53 weeks (2013-12-29 to 2015-01-03).
      {2013, 12, 29, {"01", "2014"}},
      {2015, 1, 3, {"53", "2014"}},
      {2015, 1, 4, {"01", "2015"}},
      // Ends of the supported range: 1900-01-01 was a Monday, 2100-12-31 is
      // a Friday whose Wednesday is 2100-12-29, in week 52 of 2100.
      {1900, 1, 1, {"01", "1900"}},
      {1899, 12, 31, {"01", "1900"}},
      {2100, 12, 31, {"52", "2100"}},
      // A leap day.
      {2024, 2, 29, {"09", "2024"}},
  };
  for (const Case& c : cases) {
    const rt::Date date = rt::MakeDate(c.y, c.m, c.d);
    EXPECT_EQ(Calc(date), c.expected) << c.y << "-" << c.m << "-" << c.d;
  }
}

TEST_F(MmwrCalendar, EveryDateOf1900To2100AgreesAndIsConsistent) {
  const chr::year_month_day first = chr::year(1900) / chr::January / 1;
  const chr::year_month_day last = chr::year(2100) / chr::December / 31;
  Week previous;
  int failures = 0;
  for (chr::sys_days day = first; day <= chr::sys_days(last); day += chr::days(1)) {
    const chr::year_month_day ymd(day);
    const Week got = Calc(DayOf(ymd));
    const Week want = ReferenceWeek(ymd);
    if (got != want && failures++ < 10) {
      ADD_FAILURE() << Text(ymd) << ": got " << got << ", reference " << want;
    }
    // The week changes exactly on Sundays, to the next week of the same year
    // or, after week 52 or 53, to week 1 of the next year.
    if (!previous.week.empty()) {
      const bool sunday = chr::weekday(day) == chr::Sunday;
      const int pw = std::stoi(previous.week), py = std::stoi(previous.year);
      const int gw = std::stoi(got.week), gy = std::stoi(got.year);
      if (!sunday) {
        if (got != previous && failures++ < 10) ADD_FAILURE() << Text(ymd) << ": changed on a weekday";
      } else {
        const bool next_week = gy == py && gw == pw + 1 && gw <= 53;
        const bool next_year = gy == py + 1 && gw == 1 && (pw == 52 || pw == 53);
        if (!next_week && !next_year && failures++ < 10) {
          ADD_FAILURE() << Text(ymd) << ": " << previous << " followed by " << got;
        }
      }
    }
    previous = got;
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(MmwrCalendar, EmptyDateOrNilLeavesTheElementsUntouched) {
  for (const rt::Value& v : {rt::Value(rt::Date{}), rt::Value()}) {
    rt::Value result;
    EXPECT_EQ(Calc(v, &result), (Week{"xx", "xxxx"})) << rt::ToLiteral(v);
    EXPECT_FALSE(result.is_true());
  }
}

TEST_F(MmwrCalendar, ElementsAreNamedByTheArgumentPositions) {
  // Date first, results in elements 3 and 2: the positions are honoured.
  rt::ArrayPtr work = rt::NewArray({rt::MakeDate(2026, 2, 15), "", ""});
  EXPECT_TRUE(rt::Call("CALCMMWR", {work, 3, 2, 1}).is_true());
  EXPECT_EQ(work->items[2].str(), "07");
  EXPECT_EQ(work->items[1].str(), "2026");
}

TEST_F(MmwrCalendar, BadArgumentsAreErrorsNotCrashes) {
  struct Case {
    const char* what;
    std::vector<rt::Value> args;
  };
  auto work = [] { return rt::Value(rt::NewArray({"", "", rt::MakeDate(2026, 1, 1)})); };
  const Case cases[] = {
      {"no array", {rt::Value(), 1, 2, 3}},
      {"element 0", {work(), 0, 2, 3}},
      {"element past the end", {work(), 1, 2, 4}},
      {"element number missing", {work(), 1, rt::Value(), 3}},
      {"a text where the date should be", {work(), 1, 2, 1}},
  };
  for (const Case& c : cases) {
    std::string error = support_test::ErrorOf([&] { rt::Call("CALCMMWR", c.args); });
    EXPECT_NE(error.find("CALCMMWR"), std::string::npos) << c.what << ": " << error;
  }
}

}  // namespace

// The date and clock built-ins under the date-format and epoch settings.
#include <regex>

#include "tests/runtime/core/builtins_test_support.h"

namespace {

using builtins_test::BuiltinsTest;
using builtins_test::CallCase;
using builtins_test::ExpectCalls;
using rt::MakeDate;
using rt::Value;

// Restores the date format and the epoch after each test.
class DateBuiltins : public BuiltinsTest {
 protected:
  void SetUp() override {
    saved_format_ = rt::GetSetting(rt::kSetDateFormat);
    saved_epoch_ = rt::GetSetting(rt::kSetEpoch);
  }
  void TearDown() override {
    rt::SetSetting(rt::kSetDateFormat, saved_format_);
    rt::SetSetting(rt::kSetEpoch, saved_epoch_);
  }
  void UseFormat(const char* format, int epoch = 1900) {
    rt::SetSetting(rt::kSetDateFormat, format);
    rt::SetSetting(rt::kSetEpoch, epoch);
  }

 private:
  Value saved_format_;
  Value saved_epoch_;
};

TEST_F(DateBuiltins, DefaultFormatReadsAndWrites) {
  const rt::Date kEmpty{};
  const CallCase cases[] = {
      {"CTOD", {"12/11/2026"}, MakeDate(2026, 12, 11)},
      {"CTOD", {"1/2/2026"}, MakeDate(2026, 1, 2)},
      {"CTOD", {"12-11-2026"}, MakeDate(2026, 12, 11)},
      {"CTOD", {" 12/11/2026 "}, MakeDate(2026, 12, 11)},
      {"CTOD", {"02/29/2024"}, MakeDate(2024, 2, 29)},
      {"CTOD", {"12/11/26"}, MakeDate(1926, 12, 11)},  // epoch 1900
      // Blank and impossible texts give the empty date.
      {"CTOD", {""}, kEmpty},
      {"CTOD", {"  /  /    "}, kEmpty},
      {"CTOD", {"02/29/2026"}, kEmpty},
      {"CTOD", {"13/01/2026"}, kEmpty},
      {"CTOD", {"00/10/2026"}, kEmpty},
      {"CTOD", {"12/11"}, kEmpty},
      {"CTOD", {"12/  /2026"}, kEmpty},
      {"CTOD", {"12/11/2026/5"}, kEmpty},
      {"CTOD", {"ab/cd/efgh"}, kEmpty},
      {"CTOD", {"12/11/99999999999"}, kEmpty},
      {"DTOC", {MakeDate(2026, 1, 2)}, "01/02/2026"},
      {"DTOC", {kEmpty}, "  /  /    "},
  };
  ExpectCalls(cases);
}

TEST_F(DateBuiltins, OtherFormatsAndTheEpoch) {
  struct FormatCase {
    const char* format;
    int epoch;
    const char* text;      // read by CTOD
    rt::Date date;         // expected
    const char* written;   // DTOC of that date
    const char* blank;     // DTOC of the empty date
  };
  const FormatCase cases[] = {
      {"dd.mm.yyyy", 1900, "11.12.2026", MakeDate(2026, 12, 11), "11.12.2026",
       "  .  .    "},
      {"yyyy-mm-dd", 1900, "2026-12-11", MakeDate(2026, 12, 11), "2026-12-11",
       "    -  -  "},
      {"yyyymmdd", 1900, "20261211", MakeDate(2026, 12, 11), "20261211",
       "        "},
      {"DD/MM/YY", 1900, "11/12/26", MakeDate(1926, 12, 11), "11/12/26",
       "  /  /  "},
      {"dd/mm/yy", 1950, "11/12/26", MakeDate(2026, 12, 11), "11/12/26",
       "  /  /  "},
      {"dd/mm/yy", 1950, "11/12/60", MakeDate(1960, 12, 11), "11/12/60",
       "  /  /  "},
      // A four-digit year is taken as written whatever the format says.
      {"dd/mm/yy", 1950, "11/12/1899", MakeDate(1899, 12, 11), "11/12/99",
       "  /  /  "},
      {"mm/dd/yyyy", 2000, "1/2/5", MakeDate(2005, 1, 2), "01/02/2005",
       "  /  /    "},
  };
  for (const FormatCase& c : cases) {
    UseFormat(c.format, c.epoch);
    SCOPED_TRACE(std::string(c.format) + " epoch " + std::to_string(c.epoch) +
                 " text " + c.text);
    EXPECT_EQ(rt::Call("CTOD", {c.text}).date(), c.date);
    EXPECT_EQ(rt::Call("DTOC", {c.date}).str(), c.written);
    EXPECT_EQ(rt::Call("DTOC", {rt::Date{}}).str(), c.blank);
  }
}

// DTOC then CTOD gives back the date, for dates across the calendar.
TEST_F(DateBuiltins, DtocAndCtodRoundTrip) {
  const char* formats[] = {"mm/dd/yyyy", "dd.mm.yyyy", "yyyy/mm/dd",
                           "yyyymmdd"};
  rt::Date first = MakeDate(1, 1, 1);
  rt::Date last = MakeDate(9999, 12, 31);
  for (const char* format : formats) {
    UseFormat(format);
    for (int32_t day = first.day; day <= last.day; day += 997) {
      rt::Date d{day};
      Value text = rt::Call("DTOC", {d});
      ASSERT_EQ(rt::Call("CTOD", {text}).date(), d)
          << format << " " << text.str();
    }
  }
  // Two-digit years: the hundred years from the epoch.
  UseFormat("mm/dd/yy", 1950);
  for (int32_t day = MakeDate(1950, 1, 1).day;
       day <= MakeDate(2049, 12, 31).day; day += 61) {
    rt::Date d{day};
    Value text = rt::Call("DTOC", {d});
    ASSERT_EQ(rt::Call("CTOD", {text}).date(), d) << text.str();
  }
}

TEST_F(DateBuiltins, PartsNamesAndCompactText) {
  rt::Date friday = MakeDate(2026, 12, 11);
  rt::Date empty{};
  const CallCase cases[] = {
      {"YEAR", {friday}, 2026},   {"MONTH", {friday}, 12},
      {"DAY", {friday}, 11},      {"DOW", {friday}, 6},
      {"DOW", {MakeDate(2026, 12, 13)}, 1},  // Sunday
      {"YEAR", {empty}, 0},       {"MONTH", {empty}, 0},
      {"DAY", {empty}, 0},        {"DOW", {empty}, 0},
      {"CDOW", {friday}, "Friday"},
      {"CMONTH", {friday}, "December"},
      {"CDOW", {empty}, ""},      {"CMONTH", {empty}, ""},
      {"DTOS", {friday}, "20261211"},
      {"DTOS", {empty}, "        "},
      {"STOD", {"20261211"}, friday},
      {"STOD", {"20260230"}, empty},
      {"STOD", {""}, empty},
      {"STOD", {}, empty},
  };
  ExpectCalls(cases);
}

TEST_F(DateBuiltins, ClockFunctions) {
  EXPECT_EQ(rt::Call("DATE").date(), rt::Today());
  std::string time = rt::Call("TIME").str();
  EXPECT_TRUE(std::regex_match(
      time, std::regex("([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]")))
      << time;
  double seconds = rt::Call("SECONDS").num();
  EXPECT_GE(seconds, 0);
  EXPECT_LT(seconds, 86400);
}

TEST_F(DateBuiltins, BadArgumentsRaiseArgumentErrors) {
  EXPECT_NE(builtins_test::ErrorOf("CTOD", {5}).find(
                "bad argument #1 to 'CTOD'"),
            std::string::npos);
  EXPECT_NE(builtins_test::ErrorOf("DTOC", {"12/11/2026"})
                .find("bad argument #1 to 'DTOC'"),
            std::string::npos);
  EXPECT_NE(builtins_test::ErrorOf("YEAR", {Value()}).find(
                "bad argument #1 to 'YEAR'"),
            std::string::npos);
}

}  // namespace

// Values, dates and the literal form.
#include <gtest/gtest.h>

#include "runtime/api/runtime.h"

namespace {

TEST(Values, TypeLettersAndLiterals) {
  rt::InitRuntime();
  struct Case {
    rt::Value value;
    char letter;
    const char* literal;
  };
  const Case cases[] = {
      {rt::Value(), 'U', "NIL"},
      {rt::Value("text"), 'C', "\"text\""},
      {rt::Value(12.5), 'N', "12.5"},
      {rt::Value(3), 'N', "3"},
      {rt::Value(rt::MakeDate(2026, 12, 11)), 'D', "STOD(\"20261211\")"},
      {rt::Value(true), 'L', ".T."},
      {rt::Value(rt::NewArray({1, "a"})), 'A', "{1, \"a\"}"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.value.type_letter(), c.letter) << c.literal;
    EXPECT_EQ(rt::ToLiteral(c.value), c.literal);
  }
}

TEST(Values, ArraysAreSharedByReference) {
  rt::Value a = rt::NewArray(2);
  rt::Value b = a;
  b.array()->items[0] = 7;
  EXPECT_EQ(a.array()->items[0].num(), 7);
  EXPECT_TRUE(rt::ExactlyEqual(a, b));
  EXPECT_FALSE(rt::ExactlyEqual(a, rt::Value(rt::NewArray(2))));
}

TEST(Values, ReferencesAreLookedThrough) {
  rt::CellPtr cell = rt::NewCell(5);
  rt::Value ref = rt::Value::Reference(cell);
  EXPECT_EQ(ref.type_letter(), 'N');
  EXPECT_EQ(ref.num(), 5);
  cell->value = "s";
  EXPECT_EQ(ref.str(), "s");
}

TEST(Dates, RoundTripAndCalendarRules) {
  struct Case {
    int y, m, d;
    bool valid;
  };
  const Case cases[] = {
      {2026, 12, 11, true}, {2000, 2, 29, true}, {1900, 2, 29, false},
      {2026, 2, 30, false}, {2026, 13, 1, false}, {1, 1, 1, true},
      {9999, 12, 31, true}, {2024, 2, 29, true},
  };
  for (const Case& c : cases) {
    rt::Date date = rt::MakeDate(c.y, c.m, c.d);
    EXPECT_EQ(!date.empty(), c.valid) << c.y << "-" << c.m << "-" << c.d;
    if (!c.valid) continue;
    int y, m, d;
    rt::SplitDate(date, &y, &m, &d);
    EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
  }
  EXPECT_EQ(rt::DayOfWeek(rt::MakeDate(2026, 12, 11)), 5);  // a Friday
  EXPECT_EQ(rt::MakeDate(2026, 1, 1).day - rt::MakeDate(2025, 12, 31).day, 1);
  EXPECT_EQ(rt::DateToDtos(rt::DateFromDtos("20260301")), "20260301");
  EXPECT_TRUE(rt::DateFromDtos("        ").empty());
  EXPECT_TRUE(rt::DateFromDtos("2026x301").empty());
}

TEST(Values, WrongTypeAccessRaisesNotCrashes) {
  std::string message;
  std::vector<rt::ChainEntry> chain;
  EXPECT_FALSE(rt::RunProtected([] { rt::Value("x").num(); }, &message, &chain));
  EXPECT_NE(message.find("expected a numeric value"), std::string::npos);
}

}  // namespace

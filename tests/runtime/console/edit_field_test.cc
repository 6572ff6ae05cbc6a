// Editing an edit field directly: key sequences per value type against the
// buffer, cursor, typeOut and the value read back.
#include "runtime/console/edit_field.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "runtime/api/runtime.h"

namespace rt {
namespace {

// Applies a key sequence the way the readers do: printable characters are
// typed (overstrike, or insert after {INS}); in a numeric field "." and ","
// send CondClear then ToDecPos.  Braced names are the other messages.
void Drive(EditField& f, std::string_view keys) {
  bool insert = false;
  for (size_t i = 0; i < keys.size(); ++i) {
    char c = keys[i];
    if (c == '{') {
      size_t close = keys.find('}', i);
      std::string_view name = keys.substr(i + 1, close - i - 1);
      i = close;
      if (name == "INS") insert = !insert;
      else if (name == "L") f.Left();
      else if (name == "R") f.Right();
      else if (name == "H") f.Home();
      else if (name == "E") f.End();
      else if (name == "WR") f.WordRight();
      else if (name == "WL") f.WordLeft();
      else if (name == "BS") f.BackSpace();
      else if (name == "DEL") f.Delete();
      else if (name == "DWR") f.DelWordRight();
      else if (name == "DWL") f.DelWordLeft();
      else if (name == "DE") f.DelEnd();
      else if (name == "U") f.Undo();
      else ADD_FAILURE() << "unknown key " << name;
      continue;
    }
    if (f.type() == EditField::kNumeric && (c == '.' || c == ',')) {
      f.CondClear();
      f.ToDecPos();
    } else if (insert) {
      f.Insert(c);
    } else {
      f.Overstrike(c);
    }
  }
}

struct KeyCase {
  const char* name;
  Value value;
  const char* picture;
  const char* keys;
  const char* buffer;  // after the keys
  int pos;
  bool type_out;
  Value result;  // what the buffer reads back as; NIL: it holds no value
};

Value D(int y, int m, int d) { return MakeDate(y, m, d); }

const KeyCase kKeyCases[] = {
    // Character fields.
    {"overstrike", "hello     ", "", "J", "Jello     ", 2, false, "Jello     "},
    {"insert shifts right", "hello     ", "", "{INS}X", "Xhello    ", 2, false, "Xhello    "},
    {"insert drops last", "abc", "", "{INS}X", "Xab", 2, false, "Xab"},
    {"typing last position", "ab", "", "xy", "xy", 2, true, "xy"},
    {"typing past full field", "ab", "", "xyz", "xz", 2, true, "xz"},
    {"end then backspace", "hello", "", "{E}{BS}", "helo ", 4, false, "helo "},
    {"backspace at start", "hello", "", "{BS}", "hello", 1, false, "hello"},
    {"delete closes gap", "hello world", "", "{DEL}", "ello world ", 1, false, "ello world "},
    {"word right, delete word", "one two three", "", "{WR}{DWR}", "one three    ", 5, false, "one three    "},
    {"word left from end", "one two three", "", "{E}{WL}{WL}", "one two three", 5, false, "one two three"},
    {"delete word left", "one two three", "", "{WR}{WR}{DWL}", "one three    ", 5, false, "one three    "},
    {"delete to end", "hello world", "", "{R}{R}{DE}", "he         ", 3, false, "he         "},
    {"end after text", "ab   ", "", "{E}c", "abc  ", 4, false, "abc  "},
    {"undo", "hello", "", "XY{DEL}{U}", "hello", 1, false, "hello"},
    {"home clears typeOut", "ab", "", "xy{H}", "xy", 1, false, "xy"},
    {"right stops at last", "ab", "", "{R}{R}{R}", "ab", 2, false, "ab"},
    {"upper-case function", "abc", "@!", "xy", "XYc", 3, false, "XYc"},
    {"letters only", "   ", "AAA", "1a", "a  ", 2, false, "a  "},
    {"template upper-case", "ab", "!X", "cd", "Cd", 2, true, "Cd"},
    {"literals skipped", "123456", "@R 999-999", "{R}{R}{R}7", "123-756", 6, false, "123756"},
    {"literals kept in value", "(555) 123", "(999) 999", "4", "(455) 123", 3, false, "(455) 123"},
    {"lower-case letters are literals", "", "@R xA-9", "b7", "xb-7", 4, true, "b7"},
    {"picture shorter than value", "abcdef", "XX", "{E}", "abcdef", 6, false, "abcdef"},
    {"K clears on first key", "hello", "@K", "a", "a    ", 2, false, "a    "},
    // Numeric fields.
    {"number right-aligned", 42, "", "", "        42", 1, false, 42},
    {"first key clears", 42, "", "75", "75        ", 3, false, 75},
    {"decimal point aligns", 12.5, "999.99", "3.25", "  3.25", 6, true, 3.25},
    {"point first starts over", 12.5, "999.99", ".5", "   .5 ", 6, false, 0.5},
    {"no clear after moving", 42, "9999", "{E}7", "  47", 4, true, 47},
    {"negative", 0, "9999", "-5", "-5  ", 3, false, -5},
    {"letter rejected", 5, "999", "a", "  5", 1, false, 5},
    {"too wide shows stars", 123456, "999", "", "***", 1, false, Value()},
    {"default widens for a big number", -123456789012.0, "", "", "-123456789012", 1, false, -123456789012.0},
    {"thousands separators", 1234567, "9,999,999", "", "1,234,567", 1, false, 1234567},
    {"separator hidden", 12, "9,999", "", "   12", 1, false, 12},
    {"integer then point", 0, "99999.99", "12.", "   12.  ", 7, false, 12},
    {"sign between digits", 0, "9999", "1-2", "1-2 ", 4, false, Value()},
    {"point without decimals", 0, "9999", "12.", "  12", 4, false, 12},
    {"undo numeric", 42, "9999", "7{U}", "  42", 1, false, 42},
    // Date fields (mm/dd/yyyy).
    {"empty date template", Date{}, "", "", "  /  /    ", 1, false, Date{}},
    {"typing skips separators", Date{}, "", "12252026", "12/25/2026", 10, true, D(2026, 12, 25)},
    {"insert overwrites in a date", D(2026, 1, 2), "", "{INS}12", "12/02/2026", 4, false, D(2026, 12, 2)},
    {"delete blanks a digit", D(2026, 12, 25), "", "{DEL}", " 2/25/2026", 1, false, D(2026, 2, 25)},
    {"backspace across separator", D(2026, 12, 25), "", "{R}{R}{BS}", "1 /25/2026", 2, false, D(2026, 1, 25)},
    {"impossible day", Date{}, "", "02302026", "02/30/2026", 10, true, Value()},
    {"impossible month", Date{}, "", "13012026", "13/01/2026", 10, true, Value()},
    {"leap day", Date{}, "", "02292028", "02/29/2028", 10, true, D(2028, 2, 29)},
    {"year missing", Date{}, "", "1225", "12/25/    ", 7, false, Value()},
    {"cleared date is empty", D(2026, 12, 25), "", "{DE}", "  /  /    ", 1, false, Date{}},
    {"letter rejected in date", Date{}, "", "x1", "1 /  /    ", 2, false, Value()},
    // Logical fields.
    {"logical yes", false, "", "y", "Y", 1, true, true},
    {"logical rejects", false, "", "x", "F", 1, false, false},
    {"Y picture", true, "Y", "f", "N", 1, true, false},
};

TEST(EditField, KeySequences) {
  for (const KeyCase& c : kKeyCases) {
    SCOPED_TRACE(c.name);
    EditField f;
    f.Load(c.value, c.picture, DateSettings{});
    f.TakeFocus();
    Drive(f, c.keys);
    EXPECT_EQ(f.buffer(), c.buffer);
    EXPECT_EQ(f.pos(), c.pos);
    EXPECT_EQ(f.type_out(), c.type_out);
    Value got;
    bool ok = f.BufferValue(&got);
    if (c.result.is_nil()) {
      EXPECT_FALSE(ok) << ToLiteral(got);
    } else {
      ASSERT_TRUE(ok);
      EXPECT_TRUE(ExactlyEqual(got, c.result))
          << ToLiteral(got) << " != " << ToLiteral(c.result);
    }
  }
}

TEST(EditField, ChangedOnlyAfterAnEdit) {
  EditField f;
  f.Load(Value("abc"), "", DateSettings{});
  f.TakeFocus();
  Drive(f, "{R}{E}{H}{BS}z");  // "z" is rejected nowhere: X takes it
  EXPECT_TRUE(f.changed());
  f.TakeFocus();
  EXPECT_FALSE(f.changed());
  Drive(f, "{R}{L}{E}{WL}");
  EXPECT_FALSE(f.changed());
  Drive(f, "{DEL}");
  EXPECT_TRUE(f.changed());
  // Undo restores the text but an edited field stays changed, so the
  // restored value is what gets stored.
  Drive(f, "{U}");
  EXPECT_EQ(f.buffer(), "zbc");
  EXPECT_TRUE(f.changed());
}

TEST(EditField, BadDateIsOnlyAnImpossibleDate) {
  struct {
    const char* keys;
    bool bad;
  } cases[] = {{"", false},        {"12252026", false}, {"02302026", true},
               {"13012026", true}, {"1", true},         {"00002026", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    EditField f;
    f.Load(Value(Date{}), "", DateSettings{});
    f.TakeFocus();
    Drive(f, c.keys);
    EXPECT_EQ(f.BadDate(), c.bad);
  }
  EditField text;
  text.Load(Value("02/30/2026"), "", DateSettings{});
  EXPECT_FALSE(text.BadDate());  // only date fields hold dates
}

TEST(EditField, ResetAndReloadKeepTheRightState) {
  EditField f;
  f.Load(Value("abcd"), "", DateSettings{});
  f.TakeFocus();
  Drive(f, "wxyz");
  ASSERT_TRUE(f.type_out());
  // Reload (the variable changed under the field) keeps the cursor.
  f.Reload(Value("pqrs"), "", DateSettings{});
  EXPECT_EQ(f.buffer(), "pqrs");
  EXPECT_EQ(f.pos(), 4);
  // Load (a reset) puts the cursor home with typeOut false, but Undo still
  // goes back to the value held when the focus was taken.
  f.Load(Value("pqrs"), "", DateSettings{});
  EXPECT_EQ(f.pos(), 1);
  EXPECT_FALSE(f.type_out());
  f.Undo();
  EXPECT_EQ(f.buffer(), "abcd");
}

TEST(EditField, UndoLaysTheOriginalOutAgainAfterTheTemplateChanged) {
  EditField f;
  f.Load(Value(42), "", DateSettings{});
  f.TakeFocus();
  // A whole number gets no decimals; a fraction assigned meanwhile does.
  f.Reload(Value(1.5), "", DateSettings{});
  ASSERT_EQ(f.buffer(), "         1.50");
  f.Undo();
  EXPECT_EQ(f.buffer(), "        42.00");
  Value v;
  ASSERT_TRUE(f.BufferValue(&v));
  EXPECT_EQ(v.num(), 42);
}

TEST(EditField, CursorOffTheFieldIsMovedOnto) {
  EditField f;
  f.Load(Value(Date{}), "", DateSettings{});
  f.TakeFocus();
  struct {
    int set;
    int normalized;
  } cases[] = {{0, 1}, {-4, 1}, {3, 4}, {6, 7}, {10, 10}, {99, 10}};
  for (const auto& c : cases) {
    f.set_pos(c.set);
    f.Normalize();
    EXPECT_EQ(f.pos(), c.normalized) << "set " << c.set;
  }
  f.set_pos(3);  // on the separator: typing goes to the next digit
  f.Overstrike('7');
  EXPECT_EQ(f.buffer(), "  /7 /    ");
}

TEST(EditField, EmptyCharacterFieldIsTypedFull) {
  EditField f;
  f.Load(Value(""), "", DateSettings{});
  f.TakeFocus();
  EXPECT_TRUE(f.type_out());
  f.Overstrike('a');
  EXPECT_TRUE(f.type_out());
  EXPECT_EQ(f.buffer(), "");
}

TEST(EditField, PosAt) {
  EditField f;
  f.Load(Value("abcde"), "", DateSettings{});
  EXPECT_EQ(f.PosAt(10, 10), 1);
  EXPECT_EQ(f.PosAt(14, 10), 5);
  EXPECT_EQ(f.PosAt(15, 10), 0);
  EXPECT_EQ(f.PosAt(9, 10), 0);
}

// Date texts under other formats and epochs.
TEST(DateText, FormatsAndEpoch) {
  struct {
    const char* format;
    int epoch;
    const char* typed;  // typed into the empty field
    const char* shown;
    Value date;         // NIL: invalid
  } cases[] = {
      {"dd.mm.yy", 1950, "251249", "25.12.49", D(2049, 12, 25)},
      {"dd.mm.yy", 1950, "251250", "25.12.50", D(1950, 12, 25)},
      {"yyyy-mm-dd", 1900, "20260229", "2026-02-29", Value()},
      {"yyyy-mm-dd", 1900, "20240229", "2024-02-29", D(2024, 2, 29)},
      {"d/m/y", 1900, "010226", "01/02/26", D(1926, 2, 1)},
      {"mm/dd/yyyy", 2000, "010226", "01/02/26  ", D(2026, 1, 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " " + c.typed);
    DateSettings settings{c.format, c.epoch};
    EditField f;
    f.Load(Value(Date{}), "", settings);
    f.TakeFocus();
    Drive(f, c.typed);
    EXPECT_EQ(f.buffer(), c.shown);
    Value got;
    bool ok = f.BufferValue(&got);
    EXPECT_EQ(ok, !c.date.is_nil());
    if (ok && !c.date.is_nil()) {
      EXPECT_TRUE(ExactlyEqual(got, c.date)) << ToLiteral(got);
    }
  }
  EXPECT_EQ(FormatDateText(Date{}, "mm/dd/yyyy"), "  /  /    ");
  EXPECT_EQ(FormatDateText(MakeDate(2026, 3, 7), "dd.mm.yy"), "07.03.26");
}

}  // namespace
}  // namespace rt

// The GET class through the runtime: construction, the variables the form
// reader reads and writes, its messages and drawing on the headless screen.
#include "runtime/console/get_class.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/api/console.h"
#include "runtime/api/runtime.h"
#include "runtime/core/builtins.h"

namespace rt {
namespace {

// A get/set block over a C++ cell, as the value blocks of a form are.
Value CellBlock(const CellPtr& cell) {
  return Value(MakeBlock("(B)TESTVAR", [cell](Frame& f) {
    if (f.pcount() > 0) cell->value = f.arg(0);
    return cell->value;
  }));
}

class GetClassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitRuntime();
    // DTOC and CTOD are compared with below.
    if (!FindFunction("DTOC")) RegisterCoreBuiltins();
    console::UseHeadless(25, 80);
    SetSetting(kSetDateFormat, "mm/dd/yyyy");
    SetSetting(kSetEpoch, 1900);
  }

  // GET():new(row, col, block, name, picture, colour, NIL, NIL).
  Value NewGet(int row, int col, const CellPtr& var, Value picture = Value(),
               Value colour = Value()) {
    Value cls = Call("GET");
    return Send(cls, "new",
                {row, col, CellBlock(var), "XVAR", picture, colour, Value(), Value()});
  }

  static void Type(const Value& get, std::string_view text) {
    for (char c : text) Send(get, "overstrike", {std::string(1, c)});
  }
};

TEST_F(GetClassTest, NewSetsTheProtocolVariables) {
  CellPtr var = NewCell(Value(Date{}));
  Value post = Value(MakeBlock("(B)POST", [](Frame&) { return Value(true); }));
  Value get = Send(Call("GET"), "new",
                   {3, 10, CellBlock(var), "DREPT", Value(), Value(), post, Value()});
  EXPECT_TRUE(GetVar(get, "exitState").is_nil());
  EXPECT_FALSE(GetVar(get, "hasFocus").is_true());
  EXPECT_EQ(GetVar(get, "type").str(), "D");
  EXPECT_EQ(GetVar(get, "buffer").str(), "  /  /    ");
  EXPECT_EQ(GetVar(get, "width").num(), 10);
  EXPECT_EQ(GetVar(get, "row").num(), 3);
  EXPECT_EQ(GetVar(get, "col").num(), 10);
  EXPECT_EQ(GetVar(get, "name").str(), "DREPT");
  EXPECT_TRUE(ExactlyEqual(GetVar(get, "postBlock"), post));
  EXPECT_TRUE(GetVar(get, "preBlock").is_nil());
  EXPECT_TRUE(GetVar(get, "reader").is_nil());
  // display answers the Get itself.
  EXPECT_TRUE(ExactlyEqual(Send(get, "display"), get));
  EXPECT_EQ(console::RowText(3).substr(10, 10), "  /  /    ");
}

TEST_F(GetClassTest, EditAssignResetAndUndo) {
  CellPtr var = NewCell(Value(MakeDate(2026, 1, 2)));
  Value get = NewGet(1, 0, var);
  Send(get, "setFocus");
  EXPECT_TRUE(GetVar(get, "hasFocus").is_true());
  EXPECT_FALSE(GetVar(get, "changed").is_true());
  EXPECT_EQ(GetVar(get, "pos").num(), 1);
  Type(get, "12252026");
  EXPECT_TRUE(GetVar(get, "changed").is_true());
  EXPECT_TRUE(GetVar(get, "typeOut").is_true());
  EXPECT_FALSE(Send(get, "badDate").is_true());
  // Nothing reaches the variable before _assign.
  EXPECT_TRUE(ExactlyEqual(var->value, Value(MakeDate(2026, 1, 2))));
  Send(get, "_assign");
  EXPECT_TRUE(ExactlyEqual(var->value, Value(MakeDate(2026, 12, 25))));
  EXPECT_TRUE(ExactlyEqual(Send(get, "varGet"), var->value));
  Send(get, "Reset");
  EXPECT_EQ(GetVar(get, "pos").num(), 1);
  EXPECT_FALSE(GetVar(get, "typeOut").is_true());
  EXPECT_EQ(GetVar(get, "buffer").str(), "12/25/2026");
  // undo goes back to the value held when the focus was taken, and a
  // following _assign stores it (what a failed validation relies on).
  Send(get, "undo");
  EXPECT_EQ(GetVar(get, "buffer").str(), "01/02/2026");
  Send(get, "_assign");
  EXPECT_TRUE(ExactlyEqual(var->value, Value(MakeDate(2026, 1, 2))));
  Send(get, "killFocus");
  EXPECT_FALSE(GetVar(get, "hasFocus").is_true());
}

TEST_F(GetClassTest, ImpossibleDateIsNeverStored) {
  CellPtr var = NewCell(Value(MakeDate(2026, 1, 2)));
  Value get = NewGet(1, 0, var);
  Send(get, "setFocus");
  Type(get, "02302026");
  EXPECT_TRUE(Send(get, "badDate").is_true());
  Send(get, "_assign");
  EXPECT_TRUE(ExactlyEqual(var->value, Value(MakeDate(2026, 1, 2))));
  Send(get, "home");
  EXPECT_EQ(GetVar(get, "pos").num(), 1);
  EXPECT_FALSE(GetVar(get, "typeOut").is_true());
  // Leaving the field shows the stored value, not the edit that was refused.
  Send(get, "killFocus");
  EXPECT_EQ(GetVar(get, "buffer").str(), "01/02/2026");
  EXPECT_EQ(console::RowText(1).substr(0, 10), "01/02/2026");
}

TEST_F(GetClassTest, DisplayUsesTheWrittenPosAndTheFocusColours) {
  CellPtr var = NewCell(Value("abcdef"));
  Value get = NewGet(5, 20, var, Value(), Value("W/B,GR+/R"));
  console::Palette colours = console::CurrentPalette();
  std::string error;
  ASSERT_TRUE(console::ParseColorString("W/B,GR+/R", &colours, &error));

  Send(get, "display");
  EXPECT_EQ(console::CellAttr(5, 20), colours.slot[console::kStandard]);
  Send(get, "setFocus");
  EXPECT_EQ(console::CellAttr(5, 25), colours.slot[console::kEnhanced]);
  EXPECT_EQ(console::CursorRow(), 5);
  EXPECT_EQ(console::CursorCol(), 20);

  // The reader moves the cursor by writing pos, then sends display.
  SetVar(get, "pos", 4);
  Send(get, "display");
  EXPECT_EQ(console::CursorCol(), 23);
  // A position past the field lands on its last position.
  SetVar(get, "pos", 1e300);
  Send(get, "display");
  EXPECT_EQ(console::CursorCol(), 25);
  EXPECT_EQ(GetVar(get, "pos").num(), 6);
  SetVar(get, "pos", 4);
  Send(get, "insert", {"X"});
  EXPECT_EQ(console::RowText(5).substr(20, 6), "abcXde");
  EXPECT_EQ(console::CursorCol(), 24);

  Send(get, "killFocus");
  EXPECT_EQ(console::CellAttr(5, 20), colours.slot[console::kStandard]);
}

TEST_F(GetClassTest, UpdateBufferKeepsTheCursorResetDoesNot) {
  CellPtr var = NewCell(Value("hello"));
  Value get = NewGet(0, 0, var);
  Send(get, "setFocus");
  Send(get, "_end");
  ASSERT_EQ(GetVar(get, "pos").num(), 5);
  var->value = "jelly";  // a set-key block assigned the variable
  Send(get, "updateBuffer");
  EXPECT_EQ(GetVar(get, "buffer").str(), "jelly");
  EXPECT_EQ(GetVar(get, "pos").num(), 5);
  Send(get, "Reset");
  EXPECT_EQ(GetVar(get, "pos").num(), 1);
}

TEST_F(GetClassTest, NumericDecimalKeys) {
  CellPtr var = NewCell(Value(12.5));
  Value get = NewGet(0, 0, var, Value("999.99"));
  Send(get, "setFocus");
  EXPECT_EQ(GetVar(get, "type").str(), "N");
  Type(get, "7");
  Send(get, "condClear");
  Send(get, "toDecPos");
  Type(get, "05");
  EXPECT_EQ(GetVar(get, "buffer").str(), "  7.05");
  Send(get, "_assign");
  EXPECT_DOUBLE_EQ(var->value.num(), 7.05);
}

TEST_F(GetClassTest, PosInBuffer) {
  CellPtr var = NewCell(Value("abcdefghij"));
  Value get = NewGet(4, 30, var);
  struct {
    int row, col, pos;
  } cases[] = {{4, 30, 1}, {4, 32, 3}, {4, 39, 10}, {4, 40, 0}, {4, 29, 0}, {5, 32, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(Send(get, "posInBuffer", {c.row, c.col}).num(), c.pos)
        << c.row << "," << c.col;
}

// The buffer shows a date as DTOC writes it and reads back as CTOD reads it,
// under every date format and epoch.
TEST_F(GetClassTest, DatesAgreeWithDtocAndCtod) {
  struct {
    const char* format;
    int epoch;
  } settings[] = {{"mm/dd/yyyy", 1900}, {"dd.mm.yy", 1950}, {"yyyy-mm-dd", 1900},
                  {"dd/mm/yy", 2000}};
  Date dates[] = {MakeDate(2026, 12, 25), MakeDate(1999, 1, 31), MakeDate(2049, 2, 28),
                  Date{}};
  for (const auto& s : settings) {
    SetSetting(kSetDateFormat, s.format);
    SetSetting(kSetEpoch, s.epoch);
    for (Date d : dates) {
      SCOPED_TRACE(std::string(s.format) + " " + ToLiteral(Value(d)));
      CellPtr var = NewCell(Value(Date{}));
      Value get = NewGet(0, 0, var);
      var->value = d;
      Send(get, "setFocus");
      std::string shown = GetVar(get, "buffer").str();
      EXPECT_EQ(shown, Call("DTOC", {d}).str());
      // Type the shown digits into the cleared field and store them.
      Send(get, "delEnd");
      for (char c : shown)
        if (c >= '0' && c <= '9') Send(get, "overstrike", {std::string(1, c)});
      var->value = MakeDate(1800, 1, 1);
      Send(get, "_assign");
      EXPECT_TRUE(ExactlyEqual(var->value, Call("CTOD", {shown})))
          << ToLiteral(var->value);
    }
  }
}

TEST_F(GetClassTest, ErrorsNameTheFault) {
  CellPtr var = NewCell();  // NIL cannot be edited
  Value get = NewGet(0, 0, var);
  EXPECT_EQ(GetVar(get, "type").str(), "U");
  EXPECT_TRUE(ExactlyEqual(Send(get, "display"), get));
  try {
    Send(get, "setFocus");
    FAIL() << "setFocus on a NIL variable did not raise";
  } catch (const UnhandledError& e) {
    EXPECT_NE(std::string(e.what()).find("holds type U"), std::string::npos) << e.what();
  }
  EXPECT_THROW(Send(Call("GET"), "new", {0, 0, "not a block"}), UnhandledError);
  EXPECT_THROW(Send(Call("GET"), "new", {0, 0, CellBlock(NewCell(Value("x"))), Value(),
                                         Value(), "Q/Z"}),
               UnhandledError);
}

}  // namespace
}  // namespace rt

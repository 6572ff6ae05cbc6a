// The keyboard and event built-ins over a queued key script.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "runtime/api/console.h"
#include "runtime/api/runtime.h"
#include "tests/testing/console_screen.h"

namespace rt::console {
namespace {

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitRuntime();
    RegisterConsoleBuiltins();
  }

  // APPEVENT with its three by-reference parameters.
  int AppEvent(Value* p1, Value* p2, Value* target, Value timeout = Value(0)) {
    CellPtr c1 = NewCell(Value("unset")), c2 = NewCell(Value("unset")),
            c3 = NewCell(Value("unset"));
    const Value code = Call("APPEVENT", {Value::Reference(c1), Value::Reference(c2),
                                         Value::Reference(c3), timeout});
    *p1 = c1->value;
    *p2 = c2->value;
    *target = c3->value;
    return static_cast<int>(code.num());
  }

  // The error code and description of what `fn` raised; -1 if nothing.
  static int RaisedCode(const std::function<void()>& fn, std::string* description) {
    try {
      fn();
    } catch (const UnhandledError& e) {
      *description = GetVar(e.error_object(), "description").str();
      return static_cast<int>(GetVar(e.error_object(), "genCode").num());
    }
    return -1;
  }
};

TEST_F(InputTest, InkeyTakesKeysInOrderAndLastkeyFollows) {
  rttest::StartHeadless("a{UP}{SHIFT+TAB}{CTRL+HOME}{BS}");
  EXPECT_EQ(Call("LASTKEY").num(), 0);
  EXPECT_EQ(Call("NEXTKEY").num(), 'a');
  EXPECT_EQ(Call("NEXTKEY").num(), 'a');  // peeking takes nothing
  for (int expected : {int{'a'}, 5, 271, 29, 8}) {
    EXPECT_EQ(Call("INKEY", {0}).num(), expected);
    EXPECT_EQ(Call("LASTKEY").num(), expected);
  }
  // Nothing left: a poll or a timed wait answers 0 and LASTKEY keeps its value.
  EXPECT_EQ(Call("INKEY").num(), 0);
  EXPECT_EQ(Call("INKEY", {0.5}).num(), 0);
  EXPECT_EQ(Call("NEXTKEY").num(), 0);
  EXPECT_EQ(Call("LASTKEY").num(), 8);
}

TEST_F(InputTest, WaitingOnAnEmptyHeadlessQueueIsAnErrorNotAHang) {
  rttest::StartHeadless("x");
  Call("INKEY", {0});
  std::string description;
  EXPECT_EQ(RaisedCode([] { Call("INKEY", {0}); }, &description), kErrNoKeys);
  EXPECT_NE(description.find("no more keys"), std::string::npos) << description;
  Value p1, p2, target;
  EXPECT_EQ(RaisedCode([&] { AppEvent(&p1, &p2, &target); }, &description), kErrNoKeys);
  // A polling loop that can never see a key ends too.
  EXPECT_EQ(RaisedCode([] { while (Call("INKEY").num() == 0) {} }, &description), kErrNoKeys);
  EXPECT_EQ(RaisedCode([] { while (Call("NEXTKEY").num() == 0) {} }, &description), kErrNoKeys);
}

TEST_F(InputTest, AJobThatPollsForKeysWhileDrawingIsNotStuck) {
  rttest::StartHeadless();
  const auto start = std::chrono::steady_clock::now();
  long polls = 0;
  // Well past both limits of a stuck poller: many polls, and over a second.
  while (polls < 300000 || std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) {
    ASSERT_EQ(Call("INKEY").num(), 0);
    if (++polls % 1000 == 0) WriteAt(0, 0, std::to_string(polls), CurrentColor());
  }
}

TEST_F(InputTest, AppeventReportsEventCodesClicksAndTheWindow) {
  rttest::StartHeadless("{UP}{CLICK 3 17}x{CTRL+BS}");
  Call("SETMOUSE", {true});
  const Value window = Call("SETAPPWINDOW");
  ASSERT_TRUE(window.is_object());
  Value p1, p2, target;

  EXPECT_EQ(AppEvent(&p1, &p2, &target), 0x10026);
  EXPECT_TRUE(p1.is_nil());
  EXPECT_TRUE(ExactlyEqual(target, window));
  EXPECT_EQ(Call("LASTKEY").num(), 5);

  EXPECT_EQ(AppEvent(&p1, &p2, &target), 1048589);
  ASSERT_TRUE(p1.is_array());
  ASSERT_EQ(p1.array()->items.size(), 2u);
  EXPECT_EQ(p1.array()->items[0].num(), 3);
  EXPECT_EQ(p1.array()->items[1].num(), 17);
  EXPECT_TRUE(p2.is_nil());
  EXPECT_TRUE(ExactlyEqual(target, window));
  EXPECT_EQ(Call("LASTKEY").num(), 5);  // a click is no key

  CellPtr l1 = NewCell(), l2 = NewCell(Value(1));
  EXPECT_EQ(Call("LASTAPPEVENT", {Value::Reference(l1), Value::Reference(l2)}).num(), 1048589);
  EXPECT_TRUE(ExactlyEqual(l1->value, p1));
  EXPECT_TRUE(l2->value.is_nil());

  EXPECT_EQ(AppEvent(&p1, &p2, &target), 'x');
  EXPECT_EQ(AppEvent(&p1, &p2, &target), 0x8007F);
  EXPECT_EQ(Call("LASTKEY").num(), 127);
  // A timed wait that runs out: code 0 and NIL parameters.
  EXPECT_EQ(AppEvent(&p1, &p2, &target, Value(10)), 0);
  EXPECT_TRUE(p1.is_nil() && p2.is_nil() && target.is_nil());
  EXPECT_EQ(Call("LASTAPPEVENT").num(), 0x8007F);
}

TEST_F(InputTest, ClicksAreSkippedByInkeyAndDroppedWhileTheMouseIsOff) {
  rttest::StartHeadless("{CLICK 1 1}a{CLICK 2 2}b{CLICK 4 4}");
  Call("SETMOUSE", {true});
  EXPECT_EQ(Call("INKEY", {0}).num(), 'a');
  EXPECT_EQ(Call("NEXTKEY").num(), 'b');
  EXPECT_TRUE(Call("SETMOUSE", {false}).logical());
  EXPECT_FALSE(Call("SETMOUSE").logical());
  Value p1, p2, target;
  EXPECT_EQ(AppEvent(&p1, &p2, &target), 'b');
  EXPECT_EQ(AppEvent(&p1, &p2, &target, Value(5)), 0);
  EXPECT_EQ(PendingInputCount(), 0);
}

TEST_F(InputTest, KeyboardStuffsKeysAheadOfTheScript) {
  rttest::StartHeadless("z");
  Call("KEYBOARD", {"ab"});
  Call("KEYBOARD", {Value(std::string("c\x0D", 2))});  // replaces "ab"
  EXPECT_EQ(Call("INKEY", {0}).num(), 'c');
  EXPECT_EQ(Call("INKEY", {0}).num(), 13);
  Call("KEYBOARD", {5});
  Value p1, p2, target;
  EXPECT_EQ(AppEvent(&p1, &p2, &target), 0x10026);  // 5 stuffed is the Up key
  EXPECT_EQ(Call("INKEY", {0}).num(), 'z');
}

TEST_F(InputTest, SetkeyAndSetappeventBindAndUnbindBlocks) {
  const Value block = Value(MakeBlock("(B)TEST", [](Frame&) { return Value(1); }));
  for (const char* fn : {"SETKEY", "SETAPPEVENT"}) {
    EXPECT_TRUE(Call(fn, {-1}).is_nil()) << fn;
    EXPECT_TRUE(Call(fn, {-1, block}).is_nil()) << fn;
    EXPECT_TRUE(ExactlyEqual(Call(fn, {-1}), block)) << fn;
    EXPECT_TRUE(ExactlyEqual(Call(fn, {-1, Value()}), block)) << fn;
    EXPECT_TRUE(Call(fn, {-1}).is_nil()) << fn;
  }
  // The two tables are separate.
  Call("SETKEY", {28, block});
  EXPECT_TRUE(Call("SETAPPEVENT", {28}).is_nil());
  Call("SETKEY", {28, Value()});
}

}  // namespace
}  // namespace rt::console

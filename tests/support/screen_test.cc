// Screen, colour and cursor pairs, CENTERTEXT and MSGBOX on the headless
// console.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/support_library.h"
#include "tests/testing/console_screen.h"

namespace {

using rttest::ScreenLine;

void Say(int row, int col, const std::string& text) {
  rt::Call("SETPOS", {row, col});
  rt::Call("DISPOUT", {text});
}

std::string Pad(int col, const std::string& text) { return std::string(col, ' ') + text; }

class SupportScreen : public testing::Test {
 protected:
  static void SetUpTestSuite() { support_test::LoadSupportLibrary(); }
  void SetUp() override { rttest::StartHeadless(); }
};

TEST_F(SupportScreen, ScreenPairsNestAndRestoreTheCursorToo) {
  Say(2, 0, "outer");
  rt::Call("SAVE_SCR");
  Say(2, 0, "inner");
  Say(5, 10, "x");
  rt::Call("SAVE_SCR");
  rt::Call("SCROLL");
  rt::Call("SETPOS", {20, 20});

  EXPECT_TRUE(rt::Call("REST_SCR").is_true());
  EXPECT_EQ(ScreenLine(2), "inner");
  EXPECT_EQ(ScreenLine(5), Pad(10, "x"));
  EXPECT_EQ(rt::Call("ROW").num(), 5);
  EXPECT_EQ(rt::Call("COL").num(), 11);

  EXPECT_TRUE(rt::Call("REST_SCR").is_true());
  EXPECT_EQ(ScreenLine(2), "outer");
  EXPECT_EQ(ScreenLine(5), "");
  EXPECT_EQ(rt::Call("ROW").num(), 2);
  EXPECT_EQ(rt::Call("COL").num(), 5);

  // One restore too many changes nothing.
  Say(7, 0, "kept");
  EXPECT_FALSE(rt::Call("REST_SCR").is_true());
  EXPECT_EQ(ScreenLine(7), "kept");
}

TEST_F(SupportScreen, ColourPairsPutTheGivenColoursInForceAndNest) {
  rt::Call("SETCOLOR", {"W/N,N/W"});
  const std::string before = rt::Call("SETCOLOR").str();
  rt::Call("SAVE_COLOR", {"GR+/B,W/R"});
  Say(1, 0, "a");
  EXPECT_EQ(rttest::ColorAt(1, 0), "GR+/B");
  const std::string middle = rt::Call("SETCOLOR").str();

  rt::Call("SAVE_COLOR", {"R/W"});  // only the standard pair changes
  EXPECT_EQ(rt::Call("SETCOLOR").str().substr(0, 8), "R/W,W/R,");
  rt::Call("SAVE_COLOR");  // no argument: saves, changes nothing
  EXPECT_EQ(rt::Call("SETCOLOR").str().substr(0, 8), "R/W,W/R,");

  EXPECT_TRUE(rt::Call("REST_COLOR").is_true());
  EXPECT_TRUE(rt::Call("REST_COLOR").is_true());
  EXPECT_EQ(rt::Call("SETCOLOR").str(), middle);
  EXPECT_TRUE(rt::Call("REST_COLOR").is_true());
  EXPECT_EQ(rt::Call("SETCOLOR").str(), before);
  EXPECT_FALSE(rt::Call("REST_COLOR").is_true());
}

TEST_F(SupportScreen, BadColourStringIsAnErrorAndSavesNothing) {
  rt::Call("SETCOLOR", {"W/N"});
  const std::string before = rt::Call("SETCOLOR").str();
  const std::string error =
      support_test::ErrorOf([] { rt::Call("SAVE_COLOR", {"purple/polka"}); });
  EXPECT_NE(error, "");
  EXPECT_EQ(rt::Call("SETCOLOR").str(), before);
  EXPECT_FALSE(rt::Call("REST_COLOR").is_true());
}

TEST_F(SupportScreen, CursorPairsKeepShapeAndPosition) {
  rt::Call("SETCURSOR", {0});
  rt::Call("SETPOS", {3, 4});
  rt::Call("SAVE_CURSOR", {1});
  EXPECT_EQ(rt::Call("SETCURSOR").num(), 1);
  rt::Call("SETPOS", {10, 10});
  rt::Call("SAVE_CURSOR", {3});
  EXPECT_EQ(rt::Call("SETCURSOR").num(), 3);
  rt::Call("SETPOS", {11, 11});

  EXPECT_TRUE(rt::Call("REST_CURSOR").is_true());
  EXPECT_EQ(rt::Call("SETCURSOR").num(), 1);
  EXPECT_EQ(rt::Call("ROW").num(), 10);
  EXPECT_TRUE(rt::Call("REST_CURSOR").is_true());
  EXPECT_EQ(rt::Call("SETCURSOR").num(), 0);
  EXPECT_EQ(rt::Call("ROW").num(), 3);
  EXPECT_EQ(rt::Call("COL").num(), 4);
  EXPECT_FALSE(rt::Call("REST_CURSOR").is_true());
}

TEST_F(SupportScreen, CenterTextCentresAcrossTheWidth) {
  struct Case {
    std::string text;
    int col;
  };
  const Case cases[] = {
      {"UPDATE MMWR WEEK AND YEAR VALUES", 24},  // 32 wide: (80 - 32) / 2
      {"ABC", 38},                               // odd: the extra blank goes right
      {std::string(80, 'w'), 0},
      {std::string(90, 'v'), 0},                 // cut at the right edge
  };
  int row = 1;
  for (const Case& c : cases) {
    rt::Call("CENTERTEXT", {c.text, row});
    EXPECT_EQ(ScreenLine(row), Pad(c.col, c.text.substr(0, 80))) << c.text;
    ++row;
  }
  // Without a row it uses the cursor's.
  rt::Call("SETPOS", {9, 70});
  rt::Call("CENTERTEXT", {"mid"});
  EXPECT_EQ(ScreenLine(9), Pad(38, "mid"));
}

// Shows a box and returns rows first..last as drawn: a headless run with no
// key left stops in the wait, so the screen keeps the box.
std::vector<std::string> BoxLeftOnScreen(const rt::Value& lines, int top, int first, int last) {
  const std::string error =
      support_test::ErrorOf([&] { rt::Call("MSGBOX", {lines, top, 0}); });
  EXPECT_NE(error, "");
  return rttest::ScreenLines(first, last);
}

TEST_F(SupportScreen, MessageBoxIsFramedCentredAndKeptOnScreen) {
  const rt::Value warning = rt::NewArray(
      {"Be sure to MAKE A BACKUP COPY of your database before continuing.",
       "Press any key to continue or press <Esc> to abort."});
  // 65 columns of text, a blank and a frame on either side: 69 columns from
  // column 5; the shorter line is centred in the box.
  const std::string border = Pad(5, "+" + std::string(67, '-') + "+");
  const std::vector<std::string> expected = {
      "",
      border,
      Pad(5, "| Be sure to MAKE A BACKUP COPY of your database before continuing. |"),
      Pad(5, "|        Press any key to continue or press <Esc> to abort.         |"),
      border,
      "",
  };
  EXPECT_EQ(BoxLeftOnScreen(warning, 12, 11, 16), expected);

  // A box that would pass the bottom row moves up so it ends on it.
  rttest::StartHeadless();
  const rt::Value three =
      rt::NewArray({"Number re-calculated: 0", " ", "Press any key to continue."});
  const std::string frame = Pad(25, "+" + std::string(28, '-') + "+");
  const std::vector<std::string> moved = {
      "",
      frame,
      Pad(25, "|  Number re-calculated: 0   |"),
      Pad(25, "|                            |"),
      Pad(25, "| Press any key to continue. |"),
      frame,
  };
  EXPECT_EQ(BoxLeftOnScreen(three, 23, 19, 24), moved);
}

TEST_F(SupportScreen, MessageBoxWaitsForOneKeyAndPutsTheScreenBack) {
  rttest::StartHeadless("{ESC}q");
  for (int r = 0; r < 25; ++r) Say(r, 0, std::string(80, static_cast<char>('a' + r % 26)));
  rt::Call("SETPOS", {2, 3});
  const std::string before = rt::console::DumpScreen();

  const rt::Value key = rt::Call("MSGBOX", {rt::NewArray({"line one", "two"}), 12, 0});
  EXPECT_EQ(key.num(), 27);
  EXPECT_EQ(rt::Call("LASTKEY").num(), 27);
  EXPECT_EQ(rt::console::DumpScreen(), before);
  EXPECT_EQ(rt::Call("ROW").num(), 2);
  EXPECT_EQ(rt::Call("COL").num(), 3);
  // Exactly one key was taken.
  EXPECT_EQ(rt::console::PendingInputCount(), 1);
}

}  // namespace

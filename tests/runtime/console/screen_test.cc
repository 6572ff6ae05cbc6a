// The screen built-ins on the headless console, read back from the grid.
#include <gtest/gtest.h>

#include <string>

#include "runtime/api/console.h"
#include "runtime/api/runtime.h"
#include "tests/testing/console_screen.h"

namespace rt::console {
namespace {

using rttest::ColorAt;
using rttest::ScreenLine;
using rttest::ScreenLines;

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitRuntime();
    RegisterConsoleBuiltins();
    rttest::StartHeadless();
  }
};

TEST(ColorStrings, ParseIntoPaletteSlots) {
  const std::pair<const char*, const char*> cases[] = {
      {"W/B,N/W", "W/B,N/W,N/N,N/N,N/W"},
      {"GR+/B,W+/R*", "GR+/B,W+/R*,N/N,N/N,N/W"},
      {"w/b, ,bg/rb", "W/B,N/W,BG/RB,N/N,N/W"},  // an empty pair keeps the slot
      {"N/W*", "N/W*,N/W,N/N,N/N,N/W"},  // blink shows as a bright background
      {"I", "N/W,N/W,N/N,N/N,N/W"},
      {"X/B", "B/B,N/W,N/N,N/N,N/W"},
      {"15/1", "W+/B,N/W,N/N,N/N,N/W"},
      {"/R", "N/R,N/W,N/N,N/N,N/W"},
      {"", "W/N,N/W,N/N,N/N,N/W"},
  };
  for (const auto& [text, canonical] : cases) {
    Palette p = DefaultPalette();
    std::string error;
    ASSERT_TRUE(ParseColorString(text, &p, &error)) << text << ": " << error;
    EXPECT_EQ(FormatColorString(p), canonical) << text;
  }
  for (const char* bad : {"W/Q", "W/B/R", "16/0", "W;B"}) {
    Palette p = DefaultPalette();
    std::string error;
    EXPECT_FALSE(ParseColorString(bad, &p, &error)) << bad;
    EXPECT_NE(error.find('\''), std::string::npos) << bad << ": " << error;
    EXPECT_EQ(FormatColorString(p), FormatColorString(DefaultPalette())) << bad;
  }
}

TEST(ColorStrings, CanonicalTextParsesBackToTheSameColour) {
  for (int a = 0; a < 256; ++a) {
    Palette p = DefaultPalette();
    p.slot[kEnhanced] = static_cast<Attr>(a);
    const std::string text = FormatColorString(p);
    Palette back{};
    std::string error;
    ASSERT_TRUE(ParseColorString(text, &back, &error)) << text << ": " << error;
    EXPECT_EQ(back.slot[kEnhanced], a) << text;
  }
}

TEST_F(ScreenTest, DispoutWritesAtTheCursorAndMovesIt) {
  Call("SETPOS", {2, 3});
  Call("DISPOUT", {"Hello"});
  Call("DEVPOS", {4, 0});
  Call("DEVOUT", {"caf\xE9"});
  Call("DISPOUT", {true});
  EXPECT_EQ(ScreenLines(1, 4),
            (std::vector<std::string>{"", "   Hello", "", "caf\xC3\xA9T"}));
  EXPECT_EQ(Call("ROW").num(), 4);
  EXPECT_EQ(Call("COL").num(), 5);
}

TEST_F(ScreenTest, WritesAreClippedAtTheEdges) {
  Call("SETPOS", {0, 78});
  Call("DISPOUT", {"abcd"});
  EXPECT_EQ(ScreenLine(0), std::string(78, ' ') + "ab");
  EXPECT_EQ(Call("COL").num(), 80);  // just past the edge, shown on the last column
  WriteAt(1, -2, "wxyz", CurrentColor());
  WriteAt(30, 0, "off screen", CurrentColor());
  EXPECT_EQ(ScreenLine(1), "yz");
  for (const auto& [r, c] : {std::pair{99.0, -5.0}, std::pair{1e300, -1e300}}) {
    Call("SETPOS", {r, c});
    EXPECT_EQ(Call("ROW").num(), 24);
    EXPECT_EQ(Call("COL").num(), 0);
  }
}

TEST_F(ScreenTest, ColoursComeFromTheArgumentOrTheStandardSlot) {
  EXPECT_EQ(Call("SETCOLOR", {"W/B,N/W"}).str(), "W/N,N/W,N/N,N/N,N/W");
  EXPECT_EQ(Call("SETCOLOR").str(), "W/B,N/W,N/N,N/N,N/W");
  Call("DISPOUT", {"a"});
  Call("DISPOUT", {"b", "GR+/R"});
  EXPECT_EQ(ColorAt(0, 0), "W/B");
  EXPECT_EQ(ColorAt(0, 1), "GR+/R");
  EXPECT_EQ(CurrentColor(kEnhanced), MakeAttr(0, 7));
  // A bad colour string is an error and changes nothing.
  std::string message;
  std::vector<ChainEntry> chain;
  EXPECT_FALSE(RunProtected([] { Call("SETCOLOR", {"W/Q"}); }, &message, &chain));
  EXPECT_NE(message.find("SETCOLOR"), std::string::npos) << message;
  EXPECT_EQ(Call("SETCOLOR").str(), "W/B,N/W,N/N,N/N,N/W");
}

TEST_F(ScreenTest, QoutAndQqoutWriteLikeATeletype) {
  Call("QQOUT", {"a", "b"});
  Call("QOUT", {"line", "\a", "two"});
  EXPECT_EQ(BellCount(), 1);
  EXPECT_EQ(ScreenLines(0, 1), (std::vector<std::string>{"a b", "line  two"}));
  // Past the right edge the text wraps; past the bottom the screen scrolls.
  Call("SETPOS", {24, 75});
  Call("QQOUT", {"0123456789"});
  EXPECT_EQ(ScreenLine(23), std::string(75, ' ') + "01234");
  EXPECT_EQ(ScreenLine(24), "56789");
  EXPECT_EQ(ScreenLine(0), "line  two");
  EXPECT_EQ(Call("ROW").num(), 24);
  EXPECT_EQ(Call("COL").num(), 5);
}

TEST_F(ScreenTest, ScrollShiftsOrClearsARegion) {
  struct Case {
    std::vector<Value> args;
    std::vector<std::string> rows;  // rows 0..4 afterwards
  };
  const Case cases[] = {
      {{}, {"", "", "", "", ""}},
      {{1, 0, 3, 79, 1}, {"r0", "r2", "r3", "", "r4"}},
      {{1, 0, 3, 79, -1}, {"r0", "", "r1", "r2", "r4"}},
      {{0, 0, 4, 79, 9}, {"", "", "", "", ""}},
      {{0, 1, 1, 79, 0, 1}, {"r", "r", "r2", "r3", "r4"}},
      {{2, 0, 2, 1}, {"r0", "r1", "", "r3", "r4"}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    rttest::StartHeadless();
    for (int r = 0; r < 5; ++r) WriteAt(r, 0, "r" + std::to_string(r), CurrentColor());
    Call("SCROLL", std::span<const Value>(c.args));
    EXPECT_EQ(ScreenLines(0, 4), c.rows) << "case " << i;
  }
}

TEST_F(ScreenTest, SaveScreenRestoresTextAndColours) {
  Call("SETPOS", {1, 1});
  Call("DISPOUT", {"keep", "R/W"});
  const Value saved = Call("SAVESCREEN", {1, 1, 2, 4});
  ASSERT_TRUE(saved.is_string());
  EXPECT_EQ(saved.str().size(), 16u);
  Call("SCROLL");
  Call("RESTSCREEN", {1, 1, 2, 4, saved});
  EXPECT_EQ(ScreenLine(1), " keep");
  EXPECT_EQ(ColorAt(1, 2), "R/W");
  // Whole screen by default; a short string restores what it covers.
  const Value all = Call("SAVESCREEN");
  EXPECT_EQ(all.str().size(), 25u * 80u * 2u);
  Call("SCROLL");
  Call("RESTSCREEN", {0, 0, 24, 79, all.str().substr(0, 2 * 83)});
  EXPECT_EQ(ScreenLine(1), " ke");
  // A rectangle partly off the screen keeps its cells in place.
  Call("RESTSCREEN", {1, -2, 1, 3, std::string("a\x07" "b\x07" "c\x07" "d\x07" "e\x07" "f\x07")});
  EXPECT_EQ(ScreenLine(1), "cdef");
}

TEST_F(ScreenTest, SizeAndCursorShape) {
  EXPECT_EQ(Call("MAXROW").num(), 24);
  EXPECT_EQ(Call("MAXCOL").num(), 79);
  rttest::StartHeadless("", 10, 40);
  EXPECT_EQ(Call("MAXROW").num(), 9);
  EXPECT_EQ(Call("MAXCOL").num(), 39);
  EXPECT_EQ(Call("SETCURSOR", {0}).num(), 1);
  EXPECT_EQ(Call("SETCURSOR", {9}).num(), 0);  // out of range: ignored
  EXPECT_EQ(Call("SETCURSOR", {1e300}).num(), 0);
  EXPECT_EQ(Call("SETCURSOR").num(), 0);
}

TEST_F(ScreenTest, DumpShowsControlBytesAsGlyphs) {
  WriteAt(0, 0, std::string("\x10\x7F\x81", 3), CurrentColor());
  EXPECT_EQ(DumpScreen().substr(0, 10), "\xE2\x96\xBA\xE2\x8C\x82\xEF\xBF\xBD\n");
}

}  // namespace
}  // namespace rt::console

// Test helpers for the headless console: start a fresh screen with queued
// keys, and read the screen back as text and colours.
#ifndef TESTS_TESTING_CONSOLE_SCREEN_H_
#define TESTS_TESTING_CONSOLE_SCREEN_H_

#include <string>
#include <string_view>
#include <vector>

namespace rttest {

// Makes the console headless (rows x cols, blank, default colours) and
// queues `keys` in the key-script notation.  A bad script fails the test.
// Bindings made with SETKEY and SETAPPEVENT are not console state and stay.
void StartHeadless(std::string_view keys = "", int rows = 25, int cols = 80);

// Row `row` of the screen as UTF-8 text without trailing blanks.
std::string ScreenLine(int row);
// Rows top..bottom inclusive, as ScreenLine gives them.
std::vector<std::string> ScreenLines(int top, int bottom);
// The colour of a cell as a colour pair, e.g. "W/B" or "GR+/N".
std::string ColorAt(int row, int col);

}  // namespace rttest

#endif  // TESTS_TESTING_CONSOLE_SCREEN_H_

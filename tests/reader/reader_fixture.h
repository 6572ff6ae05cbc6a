// What the form reader's tests share: a runtime with the console headless and
// the reader's functions registered by name, a field class that only has the
// geometry `settle` and `LbClick` look at, real edit fields over test
// variables, and short ways to reach the read state.
#ifndef TESTS_READER_READER_FIXTURE_H_
#define TESTS_READER_READER_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "runtime/api/runtime.h"

namespace reader_test {

// Starts the runtime once, then for every test: a fresh 25x80 headless
// screen with an empty queue, the settings the reader uses at their
// defaults, no set keys or event blocks, and the read state as created.
class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Queues keys in the key-script notation; fails the test on a bad script.
  void Keys(std::string_view script);
  // The text of the screen at a row, from `col`, `len` characters.
  std::string ScreenAt(int row, int col, int len);
  // The scoreboard's text (row 0 from column 50, trailing blanks removed).
  std::string Scoreboard();
  int CursorRow();
  int CursorCol();
  void Set(int setting, rt::Value v) { rt::SetSetting(setting, std::move(v)); }

  // Variables the edit fields of a test are bound to.
  rt::CellPtr Var(rt::Value initial) { return rt::NewCell(std::move(initial)); }
  // A real edit field over `var` at (row, col) through GET():new(...).
  rt::Value Field(int row, int col, const rt::CellPtr& var, std::string name,
                  rt::Value post_block = rt::Value(),
                  rt::Value pre_block = rt::Value(),
                  std::string picture = "");
  // READMODAL(list [, pos]) called by name from a frame named "TESTREAD".
  rt::Value ReadModal(const std::vector<rt::Value>& fields,
                      rt::Value pos = rt::Value());
};

// The ReadStatus class object and its variables.
rt::Value Status();
rt::Value StatusVar(std::string_view name);
void SetStatusVar(std::string_view name, rt::Value v);
int ExitState(const rt::Value& get);

// A block from a C++ callable (frame name "(B)TEST").
rt::Value Block(std::function<rt::Value(rt::Frame&)> fn);

// A list of stand-in fields: field i (1-based) lies on row i, columns 10..14
// (posInBuffer answers the position under a click there), with exitState,
// hasFocus, pos, name, typeOut, preBlock, postBlock and reader variables; a
// display that does nothing; setFocus and killFocus that only append their
// name to the variable "log" (hasFocus stays as it is).
rt::Value GeometryFields(int count);

// Runs `fn` and returns the description of the runtime error it raised, or
// "" when it raised none.
std::string ErrorOf(const std::function<void()>& fn);

}  // namespace reader_test

#endif  // TESTS_READER_READER_FIXTURE_H_

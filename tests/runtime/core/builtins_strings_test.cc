// The string built-ins, called by name as the language calls them.
#include "tests/runtime/core/builtins_test_support.h"

namespace {

using builtins_test::BuiltinsTest;
using builtins_test::CallCase;
using builtins_test::ErrorOf;
using builtins_test::ExpectCalls;
using rt::Value;

class StringBuiltins : public BuiltinsTest {};

TEST_F(StringBuiltins, CutAndTrim) {
  const CallCase cases[] = {
      {"SUBSTR", {"hello", 2, 3}, "ell"},
      {"SUBSTR", {"hello", 2}, "ello"},
      {"SUBSTR", {"hello", -3}, "llo"},  // from the end
      {"SUBSTR", {"hello", 0, 2}, "he"},
      {"SUBSTR", {"hello", -9, 2}, "he"},
      {"SUBSTR", {"hello", 6}, ""},
      {"SUBSTR", {"hello", 2, -1}, ""},
      {"SUBSTR", {"hello", 4, 99}, "lo"},
      {"LEFT", {"abc", 2}, "ab"},
      {"LEFT", {"abc", 5}, "abc"},
      {"LEFT", {"abc", -1}, ""},
      {"RIGHT", {"abc", 2}, "bc"},
      {"RIGHT", {"abc", 9}, "abc"},
      {"RIGHT", {"abc", 0}, ""},
      {"TRIM", {"  a b  "}, "  a b"},
      {"RTRIM", {"a  "}, "a"},
      {"LTRIM", {"  a b  "}, "a b  "},
      {"ALLTRIM", {"  a b  "}, "a b"},
      {"ALLTRIM", {"   "}, ""},
      {"ALLTRIM", {""}, ""},
  };
  ExpectCalls(cases);
}

TEST_F(StringBuiltins, BuildSearchAndConvert) {
  const CallCase cases[] = {
      {"UPPER", {"aZ1\xe9"}, "AZ1\xe9"},  // ASCII letters only
      {"LOWER", {"AbC\xc9"}, "abc\xc9"},
      {"SPACE", {3}, "   "},
      {"SPACE", {0}, ""},
      {"SPACE", {-1}, ""},
      {"SPACE", {2.9}, "  "},
      {"REPLICATE", {"ab", 3}, "ababab"},
      {"REPLICATE", {"ab", 0}, ""},
      {"CHR", {65}, "A"},
      {"CHR", {7}, "\x07"},
      {"CHR", {256 + 66}, "B"},
      {"ASC", {"A"}, 65},
      {"ASC", {"\xe9"}, 233},  // bytes read as unsigned
      {"ASC", {""}, 0},
      {"AT", {"lo", "hello"}, 4},
      {"AT", {"x", "hello"}, 0},
      {"AT", {"", "hello"}, 0},
      {"PADR", {"ab", 4}, "ab  "},
      {"PADL", {"ab", 4, "*"}, "**ab"},
      {"PADC", {"ab", 5}, " ab  "},
      {"PADR", {"abcdef", 3}, "abc"},
      {"PADL", {42, 5}, "   42"},
      {"PADR", {rt::MakeDate(2026, 12, 11), 12}, "12/11/2026  "},
  };
  ExpectCalls(cases);
  // A zero byte is a character like any other.
  EXPECT_EQ(rt::Call("CHR", {0}).str(), std::string(1, '\0'));
}

TEST_F(StringBuiltins, BadArgumentsRaiseArgumentErrors) {
  struct ErrorCase {
    const char* func;
    std::vector<Value> args;
    const char* names;
  };
  const ErrorCase cases[] = {
      {"SUBSTR", {5, 1}, "bad argument #1 to 'SUBSTR'"},
      {"SUBSTR", {"a", "1"}, "bad argument #2 to 'SUBSTR'"},
      {"UPPER", {Value()}, "bad argument #1 to 'UPPER'"},
      {"AT", {"a", 5}, "bad argument #2 to 'AT'"},
      {"PADR", {true, 3}, "bad argument #1 to 'PADR'"},
      {"REPLICATE", {"ab", 1e8}, "bad argument #2 to 'REPLICATE'"},
      {"CHR", {"A"}, "bad argument #1 to 'CHR'"},
  };
  for (const ErrorCase& c : cases) {
    std::string message = ErrorOf(c.func, c.args);
    EXPECT_NE(message.find(c.names), std::string::npos)
        << builtins_test::CallText(c.func, c.args) << " raised \"" << message
        << "\"";
  }
}

}  // namespace

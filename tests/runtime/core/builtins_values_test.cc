// VALTYPE, EMPTY, LEN, STR, STRZERO, VAL, TRANSFORM, MAX, MIN and the number
// functions, called by name as the language calls them.
#include "tests/runtime/core/builtins_test_support.h"

namespace {

using builtins_test::BuiltinsTest;
using builtins_test::CallCase;
using builtins_test::ErrorOf;
using builtins_test::ExpectCalls;
using rt::Value;

class ValueBuiltins : public BuiltinsTest {};

Value AnyBlock() {
  return rt::MakeBlock("T", [](rt::Frame&) { return Value(); });
}

TEST_F(ValueBuiltins, ValtypeAndEmptyCoverEveryType) {
  rt::Date day = rt::MakeDate(2026, 12, 11);
  const CallCase cases[] = {
      {"VALTYPE", {}, "U"},
      {"VALTYPE", {"a"}, "C"},
      {"VALTYPE", {1}, "N"},
      {"VALTYPE", {day}, "D"},
      {"VALTYPE", {true}, "L"},
      {"VALTYPE", {rt::NewArray()}, "A"},
      {"VALTYPE", {AnyBlock()}, "B"},
      {"EMPTY", {}, true},
      {"EMPTY", {""}, true},
      {"EMPTY", {" \t\r\n"}, true},
      {"EMPTY", {"  a"}, false},
      {"EMPTY", {0}, true},
      {"EMPTY", {0.001}, false},
      {"EMPTY", {rt::Date{}}, true},
      {"EMPTY", {day}, false},
      {"EMPTY", {false}, true},
      {"EMPTY", {true}, false},
      {"EMPTY", {rt::NewArray()}, true},
      {"EMPTY", {rt::NewArray(1)}, false},
      {"EMPTY", {AnyBlock()}, false},
      {"LEN", {"abc"}, 3},
      {"LEN", {""}, 0},
      {"LEN", {rt::NewArray(4)}, 4},
  };
  ExpectCalls(cases);
}

TEST_F(ValueBuiltins, StrPadsToWidthAndRoundsHalfAway) {
  const CallCase cases[] = {
      {"STR", {5}, "         5"},
      {"STR", {-5}, "        -5"},
      {"STR", {1.5}, "       1.5"},
      {"STR", {1234567890}, "1234567890"},
      {"STR", {12345678901.0}, "**********"},  // does not fit in 10
      {"STR", {3.14159, 6, 2}, "  3.14"},
      {"STR", {2.675, 5, 2}, " 2.68"},  // 2.675 is 2.67499... in binary
      {"STR", {-0.004, 5, 2}, " 0.00"},  // no "-0.00"
      {"STR", {-0.0}, "         0"},
      {"STR", {rt::Call("INT", {-0.5})}, "         0"},
      {"STR", {rt::Call("ROUND", {-0.4, 0})}, "         0"},
      {"STR", {1.5, 3}, "  2"},
      {"STR", {-1.5, 3}, " -2"},
      {"STR", {123, 2}, "**"},
      {"STRZERO", {5, 3}, "005"},
      {"STRZERO", {-5, 4}, "-005"},
      {"STRZERO", {1.5, 5, 1}, "001.5"},
      {"STRZERO", {123, 2}, "**"},
  };
  ExpectCalls(cases);
  // A number with more digits than fit is shown whole, never cut.
  Value third = rt::Call("STR", {1.0 / 3});
  EXPECT_EQ(third.str(), rt::NumberToText(1.0 / 3));
}

TEST_F(ValueBuiltins, ValReadsTheLeadingNumber) {
  const CallCase cases[] = {
      {"VAL", {"12"}, 12},        {"VAL", {"  -3.5abc"}, -3.5},
      {"VAL", {""}, 0},           {"VAL", {"abc"}, 0},
      {"VAL", {".5"}, 0.5},       {"VAL", {"1.2.3"}, 1.2},
      {"VAL", {"+7"}, 7},         {"VAL", {"-"}, 0},
  };
  ExpectCalls(cases);
}

TEST_F(ValueBuiltins, TransformFormatsPlainlyAndWithPictures) {
  rt::Date day = rt::MakeDate(2026, 12, 11);
  const CallCase cases[] = {
      // The empty picture: numbers as STR (blanks kept), dates as DTOC.
      {"TRANSFORM", {5, ""}, "         5"},
      {"TRANSFORM", {12.5, ""}, "      12.5"},
      {"TRANSFORM", {day, ""}, "12/11/2026"},
      {"TRANSFORM", {rt::Date{}, ""}, "  /  /    "},
      {"TRANSFORM", {true, ""}, "T"},
      {"TRANSFORM", {false, Value()}, "F"},
      {"TRANSFORM", {"abc", ""}, "abc"},
      {"TRANSFORM", {Value(), ""}, ""},
      // Pictures.
      {"TRANSFORM", {"abc", "@!"}, "ABC"},
      {"TRANSFORM", {"abcd", "!!-X"}, "AB-c"},
      {"TRANSFORM", {"ab", "XXXX"}, "ab  "},
      {"TRANSFORM", {1234.5, "9,999.99"}, "1,234.50"},
      {"TRANSFORM", {5, "9,999"}, "    5"},
      {"TRANSFORM", {-12.345, "999.9"}, "-12.3"},
      {"TRANSFORM", {12345, "999"}, "***"},
      {"TRANSFORM", {12, "999."}, " 12."},
      {"TRANSFORM", {7, "$$$9"}, "$$$7"},
      {"TRANSFORM", {-7, "***9"}, "**-7"},
      {"TRANSFORM", {0, "@Z 999"}, "   "},
      {"TRANSFORM", {true, "Y"}, "Y"},
  };
  ExpectCalls(cases);
}

// The range message joins the bounds' TRANSFORM text stripped by LTRIM.
TEST_F(ValueBuiltins, TransformedBoundsStripToTheirDigits) {
  Value lower = rt::Call("LTRIM", {rt::Call("TRANSFORM", {1, ""})});
  Value upper = rt::Call("LTRIM", {rt::Call("TRANSFORM", {10, ""})});
  EXPECT_EQ(lower.str() + "-" + upper.str(), "1-10");
}

TEST_F(ValueBuiltins, MaxMinAndNumberFunctions) {
  rt::Date early = rt::MakeDate(2026, 1, 1);
  rt::Date late = rt::MakeDate(2026, 12, 31);
  const CallCase cases[] = {
      {"MAX", {1, 2}, 2},
      {"MAX", {0, -3}, 0},
      {"MAX", {early, late}, late},
      {"MAX", {rt::Date{}, early}, early},  // the empty date sorts first
      {"MAX", {"ab", "b"}, "b"},
      {"MIN", {1, 2}, 1},
      {"MIN", {early, late}, early},
      {"ABS", {-2.5}, 2.5},
      {"INT", {-2.7}, -2},
      {"INT", {2.7}, 2},
      {"ROUND", {2.675, 2}, 2.68},
      {"ROUND", {0.285, 2}, 0.29},
      {"ROUND", {1.005, 2}, 1.01},
      {"ROUND", {-2.5, 0}, -3},
      {"ROUND", {0.49999999, 0}, 0},
      {"ROUND", {1250, -2}, 1300},
  };
  ExpectCalls(cases);
}

// Wrong argument types raise an argument error that names the argument and
// the function; so do lengths past the limit, instead of exhausting memory.
TEST_F(ValueBuiltins, BadArgumentsRaiseArgumentErrors) {
  struct ErrorCase {
    const char* func;
    std::vector<Value> args;
    const char* names;
  };
  const ErrorCase cases[] = {
      {"LEN", {5}, "bad argument #1 to 'LEN'"},
      {"STR", {"5"}, "bad argument #1 to 'STR'"},
      {"STR", {5, "x"}, "bad argument #2 to 'STR'"},
      {"VAL", {5}, "bad argument #1 to 'VAL'"},
      {"ABS", {Value()}, "bad argument #1 to 'ABS'"},
      {"MAX", {1, "a"}, "bad argument #2 to 'MAX'"},
      {"MIN", {true, false}, "bad argument #1 to 'MIN'"},
      {"TRANSFORM", {rt::NewArray(), ""}, "bad argument #1 to 'TRANSFORM'"},
      {"TRANSFORM", {1, 5}, "bad argument #2 to 'TRANSFORM'"},
      {"SPACE", {1e12}, "bad argument #1 to 'SPACE'"},
  };
  for (const ErrorCase& c : cases) {
    std::string message = ErrorOf(c.func, c.args);
    EXPECT_NE(message.find(c.names), std::string::npos)
        << builtins_test::CallText(c.func, c.args) << " raised \"" << message
        << "\"";
  }
}

}  // namespace

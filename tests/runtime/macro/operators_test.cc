// The operator semantics: each row applies one operator to two values and
// names the result, or the error code it must raise.
#include "runtime/core/operators.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/api/runtime.h"

namespace rt {
namespace {

using Op = std::function<Value(const Value&, const Value&)>;

Op Bool(bool (*f)(const Value&, const Value&)) {
  return [f](const Value& a, const Value& b) { return Value(f(a, b)); };
}

// The result in literal form, or "error N" with the error's genCode.
std::string Apply(const Op& op, const Value& a, const Value& b) {
  try {
    return ToLiteral(op(a, b));
  } catch (const UnhandledError& e) {
    Value code = GetVar(e.error_object(), "genCode");
    return "error " + ToLiteral(code);
  }
}

struct Row {
  const char* name;
  Op op;
  Value a, b;
  const char* expected;
};

class Operators : public ::testing::Test {
 protected:
  void SetUp() override { InitRuntime(); }
};

TEST_F(Operators, FollowTheLanguageRules) {
  const Date d = MakeDate(2026, 12, 11);
  const Date empty;
  const ArrayPtr arr = NewArray(1);
  const Row rows[] = {
      // Arithmetic.
      {"N+N", Add, 1.5, 2, "3.5"},
      {"C+C", Add, "ab ", "cd", "\"ab cd\""},
      {"D+N", Add, d, 20, "STOD(\"20261231\")"},
      {"N+D", Add, 1, d, "STOD(\"20261212\")"},
      {"empty D+N stays empty", Add, empty, 5, "STOD(\"        \")"},
      {"D+D", Add, d, d, "error 1"},
      {"D+N past year 9999", Add, d, 3e6, "error 1"},
      {"D-N before year 1", Subtract, d, 1e300, "error 1"},
      {"C+N", Add, "a", 1, "error 1"},
      {"NIL+N", Add, Value(), 1, "error 1"},
      {"D-D", Subtract, d, MakeDate(2026, 1, 1), "344"},
      {"D-N", Subtract, d, 11, "STOD(\"20261130\")"},
      {"C-C moves trailing blanks", Subtract, "ab  ", "cd ", "\"abcd   \""},
      {"C-C all blanks", Subtract, "   ", "x", "\"x   \""},
      {"N-D", Subtract, 1, d, "error 1"},
      {"N*N", Multiply, 3, -2, "-6"},
      {"C*N", Multiply, "a", 2, "error 1"},
      {"N/N", Divide, 7, 2, "3.5"},
      {"N/0", Divide, 7, 0, "error 5"},
      {"N%N", Modulo, 7, 3, "1"},
      {"-N%N keeps the dividend's sign", Modulo, -7, 3, "-1"},
      {"N%0", Modulo, 7, 0, "error 5"},
      {"N**N", Power, 2, 10, "1024"},
      {"N**C", Power, 2, "x", "error 1"},
      // "=": strings up to the right operand's length.
      {"= longer left", Bool(Equal), "abc", "ab", ".T."},
      {"= shorter left", Bool(Equal), "ab", "abc", ".F."},
      {"= empty right", Bool(Equal), "abc", "", ".T."},
      {"= empty left", Bool(Equal), "", "a", ".F."},
      {"= trailing blank counts", Bool(Equal), "ab", "ab ", ".F."},
      {"= numbers", Bool(Equal), 2, 2.0, ".T."},
      {"= dates", Bool(Equal), d, d, ".T."},
      {"= NIL NIL", Bool(Equal), Value(), Value(), ".T."},
      {"= NIL N", Bool(Equal), Value(), 0, ".F."},
      {"= C NIL", Bool(Equal), "", Value(), ".F."},
      {"= C N", Bool(Equal), "1", 1, "error 1"},
      {"= same array", Bool(Equal), arr, arr, ".T."},
      {"= other array", Bool(Equal), arr, NewArray(1), ".F."},
      // "==" exact; "!=" negates "=".
      {"== prefix", Bool(ExactEqual), "abc", "ab", ".F."},
      {"== same", Bool(ExactEqual), "ab", "ab", ".T."},
      {"== NIL C", Bool(ExactEqual), Value(), "x", ".F."},
      {"== L N", Bool(ExactEqual), true, 1, "error 1"},
      {"!= prefix", Bool(NotEqual), "abc", "ab", ".F."},
      {"!= differ", Bool(NotEqual), "ab", "abc", ".T."},
      {"!= NIL N", Bool(NotEqual), Value(), 1, ".T."},
      {"!= D C", Bool(NotEqual), d, "x", "error 1"},
      // Ordering.
      {"< bytes are unsigned", Bool(Less), "Z", "\xE9", ".T."},
      {"< prefix is less", Bool(Less), "ab", "abc", ".T."},
      {"< numbers", Bool(Less), -1, 0, ".T."},
      {"< empty date first", Bool(Less), empty, MakeDate(1900, 1, 1), ".T."},
      {"< logicals", Bool(Less), false, true, ".T."},
      {"< NIL", Bool(Less), Value(), Value(), "error 1"},
      {"< arrays", Bool(Less), arr, arr, "error 1"},
      {"< C N", Bool(Less), "a", 1, "error 1"},
      {"<= equal prefix", Bool(LessEqual), "abc", "ab", ".T."},
      {"<= greater", Bool(LessEqual), "b", "a", ".F."},
      {"> equal prefix", Bool(Greater), "abc", "ab", ".F."},
      {"> greater", Bool(Greater), "abd", "abc", ".T."},
      {"> numbers", Bool(Greater), 2, 1, ".T."},
      {">= equal prefix", Bool(GreaterEqual), "abc", "ab", ".T."},
      {">= less", Bool(GreaterEqual), d, MakeDate(2027, 1, 1), ".F."},
      {"> D N", Bool(Greater), d, 1, "error 1"},
      // "$".
      {"$ found", Bool(Contains), "bc", "abcd", ".T."},
      {"$ missing", Bool(Contains), "x", "abcd", ".F."},
      {"$ empty left", Bool(Contains), "", "abcd", ".F."},
      {"$ N", Bool(Contains), 1, "1", "error 1"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Apply(r.op, r.a, r.b), r.expected) << r.name;
  }
}

TEST_F(Operators, NegateAndErrorObjects) {
  EXPECT_EQ(Negate(Value(2)).num(), -2);
  try {
    Add(Value("a"), Value(1));
    FAIL() << "no error";
  } catch (const UnhandledError& e) {
    EXPECT_EQ(GetVar(e.error_object(), "operation").str(), "+");
    EXPECT_EQ(GetVar(e.error_object(), "description").str(),
              "argument error: operator '+' cannot combine types C and N");
    EXPECT_EQ(GetVar(e.error_object(), "args").array()->items.size(), 2u);
  }
  // A by-reference operand counts as the value it refers to.
  Value ref = Value::Reference(NewCell(Value(3)));
  EXPECT_EQ(Add(ref, Value(1)).num(), 4);
  EXPECT_TRUE(ExactEqual(ref, Value(3)));
}

}  // namespace
}  // namespace rt

// Compiling and evaluating expressions against the runtime: names, blocks,
// calls, references, messages, and the errors of text and evaluation.
#include <gtest/gtest.h>

#include <string>

#include "runtime/api/runtime.h"
#include "tests/runtime/macro/runtime_setup.h"

namespace rt {
namespace {

// What an error raised while compiling or evaluating says.
struct Caught {
  int gen_code = 0;
  std::string subsystem;
  std::string description;
};

Caught ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const UnhandledError& e) {
    const Value& o = e.error_object();
    return Caught{static_cast<int>(GetVar(o, "genCode").num()),
                  GetVar(o, "subSystem").str(), GetVar(o, "description").str()};
  }
  return Caught{0, "", "no error"};
}

std::string Eval1(const std::string& text) { return ToLiteral(MacroEval(text)); }

// A counter built-in, to see how often and whether something ran.
int g_calls = 0;
Value FnCount(Frame& f) {
  ++g_calls;
  return f.pcount();
}
// Sets its first parameter, to check by-reference arguments.
Value FnSetFirst(Frame& f) {
  f.set_arg(0, Value("set"));
  return Value();
}
constexpr FunctionEntry kTestFunctions[] = {
    {"TCOUNT", -1, false, &FnCount},
    {"TSETFIRST", 1, false, &FnSetFirst},
};

class MacroEvalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartRuntime();
    RegisterFunctions(kTestFunctions);
    g_calls = 0;
  }
  void TearDown() override { WithdrawFunctions(kTestFunctions); }
};

TEST_F(MacroEvalTest, EvaluatesExpressions) {
  SetPublic("nTen", 10);
  SetPublic("aList", NewArray({Value(1), Value(NewArray({Value("x"), Value("y")}))}));
  SetPublic("cMac", "nTen * 2");
  const struct {
    const char* text;
    const char* literal;
  } cases[] = {
      {"1 + 2 * 3", "7"},
      {"(1 + 2) * 3", "9"},
      {"2 ** 3 ^ 2", "64"},
      {"-2 ** 2", "4"},
      {"7 % 4 + 10 / 4", "5.5"},
      {"'ab' + \"cd\"", "\"abcd\""},
      {"'abc' = 'ab' .AND. !('abc' == 'ab')", ".T."},
      {"'x' $ 'abx' .OR. .F.", ".T."},
      {"nil == NIL", ".T."},
      {"{1, , 'a'}", "{1, NIL, \"a\"}"},
      {"{}", "{}"},
      {"nten + 1", "11"},
      {"M->nTen", "10"},
      {"MEMVAR->NTEN", "10"},
      {"aList[2][1] + aList[2, 2]", "\"xy\""},
      {"IIf(nTen > 5, 'big', 'small')", "\"big\""},
      {"If(.F., 1)", "NIL"},
      {"(1, 2, 3)", "3"},
      {"1, 2", "2"},
      {"&cMac", "20"},
      {"&('nTen' + ' + 1')", "11"},
      {"Eval({|a, b| a * b}, 6, 7)", "42"},
      {"Eval({|| })", "NIL"},
      {"Eval({|a| a}, 1, 2, 3)", "1"},
      {"Eval({|a, b| b})", "NIL"},
      {"Eval(Eval({|a| {|b| a + b}}, 1), 2)", "3"},
      {"Eval({|x| PCount()}, 1, NIL, 3)", "3"},
      {"Eval({|x| PCount()})", "0"},
      {"TCount(1, , 3)", "3"},
      {"tcount()", "0"},
  };
  for (const auto& c : cases) {
    std::string got;
    try {
      got = Eval1(c.text);
    } catch (const UnhandledError&) {
      got = "error";
    }
    EXPECT_EQ(got, c.literal) << "text: " << c.text;
  }
}

TEST_F(MacroEvalTest, AssignsAndCreatesMemoryVariables) {
  SetPublic("nAcc", 1);
  EXPECT_EQ(Eval1("nAcc += 4, nAcc *= 3, nAcc -= 1, nAcc /= 2, nAcc %= 4"), "3");
  EXPECT_EQ(Eval1("nAcc++ + nAcc"), "7");  // 3 + 4
  EXPECT_EQ(Eval1("--nAcc"), "3");
  EXPECT_EQ(Eval1("M->nAcc := 'z'"), "\"z\"");
  EXPECT_EQ(GetMemvar("nAcc").str(), "z");
  // A name that is no parameter, field or variable becomes a variable.
  ASSERT_EQ(FindMemvar("NEWVAR_M1"), nullptr);
  EXPECT_EQ(Eval1("NewVar_M1 := 5"), "5");
  EXPECT_EQ(GetMemvar("NEWVAR_M1").num(), 5);
  // Chained assignment and elements of arrays.
  EXPECT_EQ(Eval1("aM1 := {1, {2, 3}}, aM1[2][1] := bM1 := 9, aM1[2][1] + bM1"), "18");
  EXPECT_EQ(Eval1("aM1[1]++, aM1[1]"), "2");
  // A date steps by days.
  SetPublic("dM1", MakeDate(2026, 12, 31));
  EXPECT_EQ(Eval1("++dM1"), "STOD(\"20270101\")");
}

TEST_F(MacroEvalTest, BlocksHaveParametersClosuresAndReferences) {
  // A block parameter hides a variable of the same name, and assigning it
  // leaves the variable alone.
  SetPublic("x", "memvar");
  EXPECT_EQ(Eval1("Eval({|x| x := x + 1, x}, 1)"), "2");
  EXPECT_EQ(GetMemvar("x").str(), "memvar");
  // An inner block keeps and shares the outer block's parameter after the
  // outer block returned.
  Value pair = MacroEval("Eval({|n| {{|| n}, {|v| n := v}}}, 1)");
  ASSERT_TRUE(pair.is_array());
  Value get = pair.array()->items[0], set = pair.array()->items[1];
  EXPECT_EQ(rt::Eval(get, {}).num(), 1);
  rt::Eval(set, {Value(42)});
  EXPECT_EQ(rt::Eval(get, {}).num(), 42);
  // @name passes a memory variable's cell: the callee writes it.
  SetPublic("cRefM1", "old");
  MacroEval("TSetFirst(@cRefM1)");
  EXPECT_EQ(GetMemvar("cRefM1").str(), "set");
  // ... and a block parameter's cell.
  EXPECT_EQ(Eval1("Eval({|p| TSetFirst(@p), p}, 'old')"), "\"set\"");
  // A block evaluated with a reference writes the caller's variable.
  SetPublic("nRefM1", 1);
  MacroEval("Eval({|v| v := 7}, @nRefM1)");
  EXPECT_EQ(GetMemvar("nRefM1").num(), 7);
  // @ on a name no one has creates the variable, so the callee can set it.
  MacroEval("TSetFirst(@cFreshM1)");
  EXPECT_EQ(GetMemvar("cFreshM1").str(), "set");
}

// The anchor text: PCOUNT() tells "no argument" from "NIL".
TEST_F(MacroEvalTest, AnchorBlockTestsArgumentCount) {
  SetPublic("AnyVar", 5);
  Value block = MacroEval("{|x| IIf( PCount()==0 , AnyVar, AnyVar:=x ) }");
  EXPECT_EQ(rt::Eval(block, {}).num(), 5);
  EXPECT_EQ(rt::Eval(block, {Value(6)}).num(), 6);
  EXPECT_EQ(GetMemvar("AnyVar").num(), 6);
  EXPECT_TRUE(rt::Eval(block, {Value()}).is_nil());
  EXPECT_TRUE(GetMemvar("AnyVar").is_nil());
}

TEST_F(MacroEvalTest, BlockValuesCarryNameAndSource) {
  Value block;
  {
    Frame frame("FIELDBLOCK", {});
    block = MacroEval("{|x| x + 1 }");
  }
  ASSERT_TRUE(block.is_block());
  EXPECT_EQ(block.block()->name(), "(b)FIELDBLOCK");
  EXPECT_EQ(block.block()->source(), "{|x| x + 1 }");
  // The block's frame is on the chain while it runs.
  EXPECT_EQ(Eval1("Eval({|| ProcName(0)})"), "\"(b)\"");
}

TEST_F(MacroEvalTest, CompilesOnceAndResolvesFunctionsAtCallTime) {
  BlockPtr block = CompileExpression("nOnce := IIf(Type('nOnce') == 'U', 0, nOnce) + 1, TLater()");
  // TLATER does not exist yet: the text compiles, the call fails.
  Caught missing = ErrorOf([&] { block->Eval({}); });
  EXPECT_EQ(missing.gen_code, kErrUndefined);
  EXPECT_EQ(missing.description, "undefined function: TLATER");
  static constexpr FunctionEntry kLater[] = {{"TLATER", 0, false, &FnCount}};
  RegisterFunctions(kLater);
  EXPECT_EQ(block->Eval({}).num(), 0);
  EXPECT_EQ(block->Eval({}).num(), 0);
  EXPECT_EQ(GetMemvar("nOnce").num(), 3);
  WithdrawFunctions(kLater);
}

TEST_F(MacroEvalTest, IifAndLogicalOperatorsAreLazy) {
  EXPECT_EQ(Eval1("IIf(.T., 1, TCount())"), "1");
  EXPECT_EQ(Eval1("IIf(.F., TCount(), 2)"), "2");
  EXPECT_EQ(Eval1(".F. .AND. TCount() > 0"), ".F.");
  EXPECT_EQ(Eval1(".T. .OR. TCount() > 0"), ".T.");
  EXPECT_EQ(g_calls, 0);
}

TEST_F(MacroEvalTest, MalformedTextRaisesSyntaxErrorAndRunsNothing) {
  for (const char* text : {"TCount(), (", "TCount() +", "TCount() TCount()", "nNever := 1 ]"}) {
    Caught c = ErrorOf([&] { MacroEval(text); });
    EXPECT_EQ(c.gen_code, kErrSyntax) << text;
    EXPECT_EQ(c.subsystem, "MACRO") << text;
    EXPECT_EQ(c.description.rfind("syntax error at ", 0), 0u) << c.description;
  }
  EXPECT_EQ(g_calls, 0);
  EXPECT_EQ(FindMemvar("nNever"), nullptr);
  EXPECT_EQ(ErrorOf([] { MacroEval("f(1, 2"); }).description,
            "syntax error at 7: expected ',' or ')' (found end of text)");
}

TEST_F(MacroEvalTest, EvaluationErrorsCarryCodes) {
  SetPublic("aBoundM1", NewArray(2));
  const struct {
    const char* text;
    int code;
    const char* description;
  } cases[] = {
      {"nNoSuchVarM1", kErrUndefined, "variable does not exist: NNOSUCHVARM1"},
      {"M->nNoSuchVarM1", kErrUndefined, "variable does not exist: NNOSUCHVARM1"},
      {"NoSuchFunc(1)", kErrUndefined, "undefined function: NOSUCHFUNC"},
      {"1 / 0", kErrZeroDiv, "zero divide: operator '/' with a divisor of 0"},
      {"1 == '1'", kErrArgument, "argument error: operator '==' cannot combine types N and C"},
      {"'a' < 1", kErrArgument, "argument error: operator '<' cannot combine types C and N"},
      {"aBoundM1[3]", kErrBound, "array index out of bounds: 3 of 2"},
      {"aBoundM1[0] := 1", kErrBound, "array index out of bounds: 0 of 2"},
      {"aBoundM1['1']", kErrArgument, "argument error: an array index must be a number, got type C"},
      {"'abc'[1]", kErrArgument, "argument error: only an array can be indexed, got type C"},
      {"IIf(1, 2, 3)", kErrArgument, "argument error: operator 'IIF' needs a logical value, got type N"},
      {"1 .AND. .T.", kErrArgument, "argument error: operator '.AND.' needs a logical value, got type N"},
      {"-'a'", kErrArgument, "argument error: unary '-' needs a number, got type C"},
      {"&(1)", kErrArgument, "argument error: '&' needs a string, got type N"},
      {"&('1 +')", kErrSyntax, "syntax error at 4: expected an expression (found end of text)"},
      {"FIELD->NOFIELD", kErrUndefined, "field does not exist: NOFIELD"},
      {"NOALIAS->NAME", kErrUndefined, "alias does not exist: NOALIAS"},
      {"(10 ** 300)->(1)", kErrArgument, "argument error: work area number out of range: 1e+300"},
  };
  for (const auto& c : cases) {
    Caught got = ErrorOf([&] { MacroEval(c.text); });
    EXPECT_EQ(got.gen_code, c.code) << c.text;
    EXPECT_EQ(got.description, c.description) << c.text;
  }
}

// A block or macro that calls itself without end fails with an error, not
// by overflowing the stack.
TEST_F(MacroEvalTest, EndlessSelfCallsRaiseInsteadOfOverflowing) {
  SetPublic("cSelfM1", "&cSelfM1");
  EXPECT_EQ(ErrorOf([] { MacroEval("&cSelfM1"); }).gen_code, kErrInternal);
  SetPublic("bSelfM1", Value());
  MacroEval("bSelfM1 := {|n| Eval(bSelfM1, n + 1)}");
  Caught c = ErrorOf([] { MacroEval("Eval(bSelfM1, 1)"); });
  EXPECT_EQ(c.gen_code, kErrInternal);
  EXPECT_NE(c.description.find("nested deeper than"), std::string::npos);
  // The count unwinds: ordinary evaluation works afterwards.
  EXPECT_EQ(Eval1("Eval({|n| n + 1}, 1)"), "2");
}

TEST_F(MacroEvalTest, SendsMessages) {
  ClassDef def;
  def.name = "MACROTESTPOINT";
  def.instance_vars = {"x"};
  def.instance_methods = {MethodDef{"twice", "@MACROTESTPOINT@TWICE", [](Frame& f) -> Value {
                                      double extra = f.arg(0).is_number() ? f.arg(0).num() : 0;
                                    return Value(GetVar(f.self(), "x").num() * 2 + extra);
                                    }}};
  ObjectPtr cls = CreateClass(def);
  SetPublic("oPointM1", Value(NewInstance(cls)));
  EXPECT_EQ(Eval1("oPointM1:x := 4"), "4");
  EXPECT_EQ(Eval1("oPointM1:x += 1, oPointM1:X"), "5");
  EXPECT_EQ(Eval1("oPointM1:twice(1)"), "11");
  EXPECT_EQ(Eval1("Eval({|o| o:twice() }, oPointM1)"), "10");
  EXPECT_NE(ErrorOf([] { MacroEval("oPointM1:nothing"); }).gen_code, 0);
}

}  // namespace
}  // namespace rt

// EVAL, PCOUNT, PROCNAME, PROCLINE, ERRORBLOCK, BREAK, SET, NATIONMSG and TYPE.
#include "tests/runtime/core/builtins_test_support.h"

namespace {

using builtins_test::BuiltinsTest;
using builtins_test::ErrorOf;
using rt::Value;

class CallBuiltins : public BuiltinsTest {
 protected:
  void SetUp() override { saved_block_ = rt::GetErrorBlock(); }
  void TearDown() override { rt::SetErrorBlock(saved_block_); }

 private:
  Value saved_block_;
};

TEST_F(CallBuiltins, EvalPassesArgumentsAndReferencesOn) {
  Value add = rt::MakeBlock("ADD", [](rt::Frame& f) {
    return Value(f.arg(0).num() + f.arg(1).num());
  });
  EXPECT_EQ(rt::Call("EVAL", {add, 2, 3}).num(), 5);

  // A reference given to EVAL reaches the block as the caller's variable.
  rt::CellPtr cell = rt::NewCell(1);
  Value assign = rt::MakeBlock("SET", [](rt::Frame& f) {
    f.set_arg(0, "changed");
    return Value();
  });
  rt::Call("EVAL", {assign, Value::Reference(cell)});
  EXPECT_EQ(cell->value.str(), "changed");

  EXPECT_NE(ErrorOf("EVAL", {5}).find("bad argument #1 to 'EVAL'"),
            std::string::npos);
}

// PCOUNT, PROCNAME and PROCLINE answer for the procedure that calls them,
// not for their own frame.
TEST_F(CallBuiltins, CallInfoDescribesTheCaller) {
  Value count = rt::MakeBlock("COUNT", [](rt::Frame&) {
    return rt::Call("PCOUNT");
  });
  EXPECT_EQ(rt::Eval(count, {}).num(), 0);
  EXPECT_EQ(rt::Eval(count, {1, Value(), 3}).num(), 3);

  Value inner = rt::MakeBlock("INNER", [](rt::Frame& f) {
    f.set_line(42);
    return Value(rt::NewArray({rt::Call("PROCNAME"), rt::Call("PROCLINE"),
                               rt::Call("PROCNAME", {1}),
                               rt::Call("PROCLINE", {1}),
                               rt::Call("PROCNAME", {50})}));
  });
  Value outer = rt::MakeBlock("OUTER", [&](rt::Frame& f) {
    f.set_line(7);
    return rt::Eval(inner, {});
  });
  EXPECT_EQ(rt::ToLiteral(rt::Eval(outer, {})),
            "{\"INNER\", 42, \"OUTER\", 7, \"\"}");
}

TEST_F(CallBuiltins, ErrorBlockAndBreakMakeAGuardedRecovery) {
  Value to_break = rt::MakeBlock("TOBREAK", [](rt::Frame& f) -> Value {
    return rt::Call("BREAK", {f.arg(0)});
  });
  Value before = rt::Call("ERRORBLOCK");
  EXPECT_TRUE(rt::ExactlyEqual(rt::Call("ERRORBLOCK", {to_break}), before));
  EXPECT_TRUE(rt::ExactlyEqual(rt::Call("ERRORBLOCK"), to_break));

  // An argument error goes to the block, whose BREAK leaves the sequence
  // with the error object.
  Value recovered = rt::Guarded(
      [] { return rt::Call("STR", {"text"}); },
      [](const Value& e) { return rt::GetVar(e, "description"); });
  EXPECT_EQ(recovered.str(), "bad argument #1 to 'STR' (numeric expected, got character)");

  Value broke = rt::Guarded([] { return rt::Call("BREAK", {42}); },
                            [](const Value& v) { return v; });
  EXPECT_EQ(broke.num(), 42);

  EXPECT_TRUE(rt::Guarded([] { return rt::Call("ERRORBLOCK", {5}); },
                          [](const Value& e) { return e; })
                  .is_object());
}

TEST_F(CallBuiltins, SetReadsAndReplacesSettings) {
  Value old = rt::Call("SET", {rt::kSetDateFormat});
  ASSERT_TRUE(old.is_string());
  EXPECT_EQ(rt::Call("SET", {rt::kSetDateFormat, "dd.mm.yyyy"}).str(),
            old.str());
  EXPECT_EQ(rt::Call("DTOC", {rt::MakeDate(2026, 12, 11)}).str(), "11.12.2026");
  // NIL leaves the setting alone.
  EXPECT_EQ(rt::Call("SET", {rt::kSetDateFormat, Value()}).str(), "dd.mm.yyyy");
  EXPECT_EQ(rt::Call("SET", {rt::kSetDateFormat}).str(), "dd.mm.yyyy");
  rt::Call("SET", {rt::kSetDateFormat, old});

  EXPECT_TRUE(rt::Call("SET", {10000}).is_nil());
  EXPECT_NE(ErrorOf("SET", {"4"}).find("bad argument #1 to 'SET'"),
            std::string::npos);
}

TEST_F(CallBuiltins, NationMsgReadsTheTexts) {
  for (int n : {7, 8, 9, 10, 11, 999}) {
    EXPECT_EQ(rt::Call("NATIONMSG", {n}).str(), rt::NationMsg(n)) << n;
  }
  EXPECT_NE(ErrorOf("NATIONMSG", {Value()}).find("bad argument #1"),
            std::string::npos);
}

TEST_F(CallBuiltins, TypeEvaluatesUnderItsOwnErrorBlock) {
  if (!rt::FindFunction("TYPE")) GTEST_SKIP();
  struct TypeCase {
    const char* text;
    const char* want;
  };
  const TypeCase cases[] = {
      {"1 + 1", "N"},          {"\"a\"", "C"},
      {"{1, 2}", "A"},         {"NIL", "U"},
      {"   ", "U"},            {"1 +", "UE"},
      {"NoSuchFunc_T()", "UI"}, {"no_such_var_t", "U"},
      {"1 + \"a\"", "U"},
  };
  Value mine = rt::MakeBlock("MINE", [](rt::Frame&) { return Value(); });
  rt::SetErrorBlock(mine);
  for (const TypeCase& c : cases) {
    EXPECT_EQ(rt::Call("TYPE", {c.text}).str(), c.want) << c.text;
  }
  // The caller's error block is back in force.
  EXPECT_TRUE(rt::ExactlyEqual(rt::GetErrorBlock(), mine));
}

}  // namespace

namespace {

// The built-ins as the module's code writes them, through the expression
// compiler: five-argument AEVAL, ASCAN with a block, TRANSFORM then LTRIM.
TEST_F(CallBuiltins, IdiomsOfTheLanguage) {
  struct IdiomCase {
    const char* text;
    const char* want;  // literal form of the result
  };
  const IdiomCase cases[] = {
      {"LEN(ARRAY(3))", "3"},
      {"EVAL({|x| IIf(x == NIL, 'none', x)})", "\"none\""},
      {"AEVAL({1, 2, 3}, {|x, i| x := i * 10}, NIL, NIL, .T.)", "{10, 20, 30}"},
      {"ASCAN({1, 'a', 2}, {|x| ValType(x) != 'N'})", "2"},
      {"LTRIM(TRANSFORM(10, ''))", "\"10\""},
      {"ALLTRIM(STR(42))", "\"42\""},
      {"DTOC(CTOD(''))", "\"  /  /    \""},
      {"EMPTY(CTOD('02/30/2026'))", ".T."},
      {"MAX(0, 3 - 5)", "0"},
      {"EMPTY(SPACE(LEN(NATIONMSG(9)))) .AND. LEN(NATIONMSG(9)) > 0", ".T."},
  };
  for (const IdiomCase& c : cases) {
    std::string message;
    std::vector<rt::ChainEntry> chain;
    Value got;
    ASSERT_TRUE(rt::RunProtected([&] { got = rt::MacroEval(c.text); },
                                 &message, &chain))
        << c.text << " raised: " << message;
    EXPECT_EQ(rt::ToLiteral(got), c.want) << c.text;
  }
}

}  // namespace

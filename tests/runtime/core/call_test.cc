// Calls by name, call frames, by-reference arguments and memory variables.
#include <gtest/gtest.h>

#include "runtime/api/runtime.h"

namespace {

rt::Value EchoArgs(rt::Frame& f) {
  // Returns {PCOUNT, first, second} as the callee sees them.
  return rt::NewArray({f.pcount(), f.arg(0), f.arg(1)});
}

rt::Value SetFirst(rt::Frame& f) {
  f.set_arg(0, "changed");
  return rt::Value();
}

rt::Value WhoCalls(rt::Frame& f) {
  RT_LINE(f);
  return rt::NewArray({rt::ProcName(0), rt::ProcName(1), rt::ProcLine(0) > 0});
}

rt::Value Replacement(rt::Frame&) { return "second"; }

const rt::FunctionEntry kTable[] = {
    {"T_ECHO", 2, false, &EchoArgs},
    {"T_SETFIRST", 1, false, &SetFirst},
    {"T_WHO", 0, false, &WhoCalls},
};
const rt::FunctionEntry kReplacement[] = {{"t_echo", 0, false, &Replacement}};

class CallTest : public testing::Test {
 protected:
  void SetUp() override {
    rt::InitRuntime();
    rt::RegisterFunctions(kTable);
  }
  void TearDown() override { rt::WithdrawFunctions(kTable); }
};

TEST_F(CallTest, NamesResolveWithoutRegardToCase) {
  for (const char* name : {"T_ECHO", "t_echo", "T_Echo"}) {
    const rt::FunctionEntry* e = rt::FindFunction(name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_EQ(e->params, 2);
    EXPECT_FALSE(e->class_fn);
  }
}

TEST_F(CallTest, MissingArgumentsAreNilAndPcountCountsWhatWasPassed) {
  rt::Value r = rt::Call("t_echo", {1});
  EXPECT_EQ(rt::ToLiteral(r), "{1, 1, NIL}");
  r = rt::Call("t_echo", {1, "a", 3});
  EXPECT_EQ(rt::ToLiteral(r), "{3, 1, \"a\"}");
}

TEST_F(CallTest, ByReferenceArgumentIsTheCallersVariable) {
  rt::CellPtr var = rt::NewCell("original");
  rt::Call("T_SETFIRST", {rt::Value::Reference(var)});
  EXPECT_EQ(var->value.str(), "changed");
  // By value: the caller's variable stays as it was.
  rt::Value copy = var->value;
  rt::Call("T_SETFIRST", {copy});
  EXPECT_EQ(copy.str(), "changed");
  rt::CellPtr other = rt::NewCell("kept");
  rt::Call("T_SETFIRST", {other->value});
  EXPECT_EQ(other->value.str(), "kept");
}

TEST_F(CallTest, FramesNameTheRunningProcedureAndItsCaller) {
  rt::Frame outer("OUTER", {});
  rt::Value r = rt::Call("T_WHO");
  EXPECT_EQ(rt::ToLiteral(r), "{\"T_WHO\", \"OUTER\", .T.}");
  EXPECT_EQ(rt::ProcName(0), "OUTER");
  EXPECT_EQ(rt::ProcName(5), "");
}

TEST_F(CallTest, UnknownFunctionRaisesAndFramesAreUnlinked) {
  rt::Frame* before = rt::CurrentFrame();
  std::string message;
  std::vector<rt::ChainEntry> chain;
  bool ok = rt::RunProtected(
      [] {
        rt::Frame f("CALLER", {});
        rt::Call("NO_SUCH_FUNCTION");
      },
      &message, &chain);
  EXPECT_FALSE(ok);
  EXPECT_NE(message.find("undefined function: NO_SUCH_FUNCTION"), std::string::npos);
  ASSERT_FALSE(chain.empty());
  EXPECT_EQ(chain.front().proc, "CALLER");
  EXPECT_EQ(rt::CurrentFrame(), before);
}

// By plain name and by a remembered FunctionName alike, each call reaches
// the registration in force at that moment.
TEST_F(CallTest, LaterRegistrationHidesAndWithdrawRevealsTheEarlier) {
  const rt::FunctionName echo("t_Echo");
  EXPECT_EQ(rt::Call(echo).array()->items.size(), 3u);
  rt::RegisterFunctions(kReplacement);
  EXPECT_EQ(rt::Call("T_ECHO").str(), "second");
  EXPECT_EQ(rt::Call(echo).str(), "second");
  rt::WithdrawFunctions(kReplacement);
  EXPECT_EQ(rt::Call("T_ECHO").array()->items.size(), 3u);
  EXPECT_EQ(rt::Call(echo, {1, 2}).array()->items.size(), 3u);
  rt::WithdrawFunctions(kTable);
  EXPECT_EQ(rt::FindFunction("T_ECHO"), nullptr);
  EXPECT_EQ(echo.Find(), nullptr);
  std::string message;
  std::vector<rt::ChainEntry> chain;
  EXPECT_FALSE(rt::RunProtected([&] { rt::Call(echo); }, &message, &chain));
  EXPECT_NE(message.find("undefined function: T_ECHO"), std::string::npos);
  rt::RegisterFunctions(kTable);  // for TearDown
}

TEST(Memvars, PrivatesHidePublicsUntilTheirFrameEnds) {
  rt::SetPublic("mvTest", 1);
  {
    rt::Frame f("P", {});
    rt::DeclarePrivate("MVTEST", 2);
    EXPECT_EQ(rt::GetMemvar("mvtest").num(), 2);
    rt::AssignMemvar("mvTest", 3);
    EXPECT_EQ(rt::GetMemvar("MVTEST").num(), 3);
  }
  EXPECT_EQ(rt::GetMemvar("mvTest").num(), 1);
  EXPECT_EQ(rt::FindMemvar("mvNoSuch"), nullptr);
  rt::AssignMemvar("mvCreated", "x");  // assigning an unknown name creates it
  EXPECT_EQ(rt::GetMemvar("MVCREATED").str(), "x");
}

TEST(Settings, DefaultsAndOnOffTexts) {
  EXPECT_EQ(rt::GetSetting(rt::kSetDateFormat).str(), "mm/dd/yyyy");
  EXPECT_TRUE(rt::SettingIsOn(rt::kSetEscape));
  EXPECT_TRUE(rt::SettingIsOn(rt::kSetScoreboard));
  EXPECT_FALSE(rt::SettingIsOn(rt::kSetSoftSeek));
  rt::Value old = rt::SetSetting(rt::kSetSoftSeek, "on");
  EXPECT_EQ(rt::ToLiteral(old), ".F.");
  EXPECT_TRUE(rt::SettingIsOn(rt::kSetSoftSeek));
  rt::SetSetting(rt::kSetSoftSeek, "OFF");
  EXPECT_FALSE(rt::SettingIsOn(rt::kSetSoftSeek));
  EXPECT_EQ(rt::NationMsg(7).size(), rt::NationMsg(8).size());
  EXPECT_TRUE(rt::GetSetting(9999).is_nil());
}

}  // namespace

// The error block, BREAK and guarded sequences, and error objects.
#include <gtest/gtest.h>

#include "runtime/api/runtime.h"

namespace {

class ErrorTest : public testing::Test {
 protected:
  void SetUp() override { rt::InitRuntime(); }
  void TearDown() override { rt::SetErrorBlock(rt::Value()); }
};

TEST_F(ErrorTest, ErrorBlockThatBreaksEndsInTheGuardedSequence) {
  rt::Value old = rt::SetErrorBlock(rt::MakeBlock("(B)TEST", [](rt::Frame& f) -> rt::Value {
    rt::Break(f.arg(0));
  }));
  EXPECT_TRUE(old.is_nil());
  rt::Frame* before = rt::CurrentFrame();
  rt::Value recovered = rt::Guarded(
      [] {
        rt::Frame inner("INNER", {});
        rt::Raise(rt::ErrorInfo{.description = "boom", .operation = "OP",
                                .gen_code = rt::kErrArgument, .filename = "X.DBF"});
        return rt::Value("not reached");
      },
      [](const rt::Value& e) { return e; });
  EXPECT_EQ(rt::CurrentFrame(), before);
  ASSERT_TRUE(recovered.is_object());
  EXPECT_EQ(rt::Send(recovered, "description").str(), "boom");
  EXPECT_EQ(rt::Send(recovered, "Operation").str(), "OP");
  EXPECT_EQ(rt::Send(recovered, "GENCODE").num(), rt::kErrArgument);
  EXPECT_EQ(rt::Send(recovered, "filename").str(), "X.DBF");
  EXPECT_EQ(rt::Send(recovered, "subsystem").str(), "BASE");
}

TEST_F(ErrorTest, ErrorBlockThatReturnsLeavesTheErrorUnhandled) {
  int calls = 0;
  rt::SetErrorBlock(rt::MakeBlock("(B)COUNT", [&calls](rt::Frame&) {
    ++calls;
    return rt::Value(true);
  }));
  std::string message;
  std::vector<rt::ChainEntry> chain;
  EXPECT_FALSE(rt::RunProtected([] { rt::RaiseArgError(2, "substr", "not a number"); },
                                &message, &chain));
  EXPECT_EQ(calls, 1);
  EXPECT_NE(message.find("bad argument #2 to 'SUBSTR' (not a number)"), std::string::npos);
}

TEST_F(ErrorTest, ErrorInsideTheErrorBlockDoesNotRecurse) {
  int calls = 0;
  rt::SetErrorBlock(rt::MakeBlock("(B)FAIL", [&calls](rt::Frame&) -> rt::Value {
    ++calls;
    rt::Raise(rt::ErrorInfo{.description = "inner"});
  }));
  std::string message;
  std::vector<rt::ChainEntry> chain;
  EXPECT_FALSE(rt::RunProtected([] { rt::Raise(rt::ErrorInfo{.description = "outer"}); },
                                &message, &chain));
  EXPECT_EQ(calls, 1);
  EXPECT_NE(message.find("inner"), std::string::npos);
}

TEST_F(ErrorTest, StrayBreakAndForeignExceptionsBecomeErrors) {
  std::string message;
  std::vector<rt::ChainEntry> chain;
  EXPECT_FALSE(rt::RunProtected([] { rt::Break(5); }, &message, &chain));
  EXPECT_NE(message.find("BREAK"), std::string::npos);
  EXPECT_FALSE(rt::RunProtected([] { throw std::runtime_error("oops"); }, &message, &chain));
  EXPECT_NE(message.find("oops"), std::string::npos);
}

}  // namespace

// Helpers of the built-in tests: a table of calls with their expected
// results, and the description of the error a call raises.
#ifndef TESTS_RUNTIME_CORE_BUILTINS_TEST_SUPPORT_H_
#define TESTS_RUNTIME_CORE_BUILTINS_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "runtime/api/runtime.h"
#include "runtime/core/builtins.h"

namespace builtins_test {

// One row: FUNC(args...) must yield `want` (exact equality, "==").
struct CallCase {
  const char* func;
  std::vector<rt::Value> args;
  rt::Value want;
};

inline std::string CallText(const char* func,
                            const std::vector<rt::Value>& args) {
  std::string text = std::string(func) + "(";
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) text += ", ";
    text += rt::ToLiteral(args[i]);
  }
  return text + ")";
}

// Runs every row; a failing row prints the call, the result and the want.
inline void ExpectCalls(std::span<const CallCase> cases) {
  for (const CallCase& c : cases) {
    std::string call = CallText(c.func, c.args);
    std::string message;
    std::vector<rt::ChainEntry> chain;
    rt::Value got;
    bool ok = rt::RunProtected([&] { got = rt::Call(c.func, c.args); },
                               &message, &chain);
    ASSERT_TRUE(ok) << call << " raised: " << message;
    EXPECT_TRUE(rt::ExactlyEqual(got, c.want))
        << call << " = " << rt::ToLiteral(got) << ", want "
        << rt::ToLiteral(c.want);
  }
}

// The message of the error FUNC(args...) raises, or "" when it returns.
inline std::string ErrorOf(const char* func, std::vector<rt::Value> args) {
  std::string message;
  std::vector<rt::ChainEntry> chain;
  bool ok = rt::RunProtected([&] { rt::Call(func, args); }, &message, &chain);
  return ok ? std::string() : message;
}

// Starts the runtime with the built-ins registered (once per process).
class BuiltinsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    rt::InitRuntime();
    if (!rt::FindFunction("ASORT")) rt::RegisterCoreBuiltins();
  }
};

}  // namespace builtins_test

#endif  // TESTS_RUNTIME_CORE_BUILTINS_TEST_SUPPORT_H_

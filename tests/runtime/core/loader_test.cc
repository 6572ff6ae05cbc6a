// Loading and unloading modules.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "runtime/api/runtime.h"

namespace {

std::string BinDir() {
  const char* dir = std::getenv("MORB_BIN_DIR");
  return dir ? dir : "build/bin";
}

TEST(Loader, AttachRegistersAndDetachWithdraws) {
  rt::InitRuntime();
  void* handle = rt::LoadModule(BinDir() + "/libsample_module.so");
  const rt::FunctionEntry* e = rt::FindFunction("sample_twice");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->params, 1);
  EXPECT_FALSE(e->class_fn);
  EXPECT_TRUE(rt::FindFunction("SAMPLE_CLASS")->class_fn);
  EXPECT_EQ(rt::Call("SAMPLE_TWICE", {21}).num(), 42);
  EXPECT_EQ(rt::GetMemvar("SAMPLE_LITERAL").str(), "created at load");
  rt::UnloadModule(handle);
  EXPECT_EQ(rt::FindFunction("SAMPLE_TWICE"), nullptr);
  EXPECT_EQ(rt::FindFunction("SAMPLE_CLASS"), nullptr);
}

TEST(Loader, BadModulesAreClearErrors) {
  rt::InitRuntime();
  std::string broken = testing::TempDir() + "/broken_module.so";
  std::ofstream(broken) << "this is not a library";
  struct Case {
    std::string path;
    const char* expected;
  };
  const Case cases[] = {
      {"/nonexistent/libnothing.so", "no such file"},
      {broken, "cannot load module"},
      {BinDir() + "/libno_hooks_module.so", "has no module hooks"},
  };
  for (const Case& c : cases) {
    std::string message;
    std::vector<rt::ChainEntry> chain;
    EXPECT_FALSE(rt::RunProtected([&] { rt::LoadModule(c.path); }, &message, &chain));
    EXPECT_NE(message.find(c.expected), std::string::npos) << message;
    EXPECT_NE(message.find(c.path), std::string::npos) << message;
  }
}

}  // namespace

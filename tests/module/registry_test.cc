// The module's public-function table: its rows in order, and what loading
// and unloading the built library does to name resolution.
#include "module/registry.h"

#include <gtest/gtest.h>

#include "runtime/api/runtime.h"
#include "tests/testing/libraries.h"

namespace {

struct Row {
  const char* name;
  int params;
  bool class_fn;
};

// The documented table, in its order.
constexpr Row kExpected[] = {
    {"VORNEX", 0, false},          {"FIELDBLOCK", 1, false},
    {"FIELDWBLOCK", 2, false},     {"MEMVARBLOCK", 1, false},
    {"ANCHORCB", 1, false},        {"SCATTER", 1, false},
    {"GATHER", 1, false},          {"READMODAL", 2, false},
    {"GETREADER", 1, false},       {"GETAPPLYKEY", 2, false},
    {"GETPREVALIDATE", 1, false},  {"GETPOSTVALIDATE", 1, false},
    {"GETDOSETKEY", 2, false},     {"GETACTIVE", 1, false},
    {"UPDATED", 0, false},         {"READEXIT", 1, false},
    {"READINSERT", 1, false},      {"READKILL", 1, false},
    {"READUPDATED", 1, false},     {"READVAR", 1, false},
    {"DISPSCOREBOARD", 0, false},  {"RANGECHECK", 3, false},
    {"GETEVENTREADER", 1, false},  {"GETHANDLEEVENT", 5, false},
    {"GETDOSETEVENT", 5, false},   {"GETLASTACTIVE", 0, false},
    {"GETKILLACTIVE", 0, false},   {"GETLIST", 0, false},
    {"GETLISTPOS", 0, false},      {"GETENABLEEVENTS", 1, false},
    {"GETTOMOUSEPOS", 2, false},   {"READSTATUS", 0, true},
};

TEST(Registry, TableHoldsEveryRowInOrder) {
  auto table = vornex::PublicFunctions();
  ASSERT_EQ(table.size(), std::size(kExpected));
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_STREQ(table[i].name, kExpected[i].name) << "row " << i + 1;
    EXPECT_EQ(table[i].params, kExpected[i].params) << kExpected[i].name;
    EXPECT_EQ(table[i].class_fn, kExpected[i].class_fn) << kExpected[i].name;
    EXPECT_NE(table[i].fn, nullptr) << kExpected[i].name;
  }
}

TEST(Registry, LoadingResolvesEveryNameAndUnloadingWithdrawsThem) {
  rt::InitRuntime();
  void* module = rt::LoadModule(testing_support::BinDir() + "/libvornex.so");
  for (const Row& row : kExpected) {
    const rt::FunctionEntry* e = rt::FindFunction(row.name);
    ASSERT_NE(e, nullptr) << row.name;
    EXPECT_EQ(e->params, row.params) << row.name;
    EXPECT_EQ(e->class_fn, row.class_fn) << row.name;
  }
  // Names of the module that are not public stay out of the registry.
  for (const char* internal : {"PATCHIT", "INVALIDDATE", "GETVARNAME"}) {
    EXPECT_EQ(rt::FindFunction(internal), nullptr) << internal;
  }
  // A call with fewer arguments than declared sees NIL: READEXIT() reads.
  EXPECT_TRUE(rt::ExactlyEqual(rt::Call("READEXIT"), rt::GetSetting(rt::kSetExit)));
  EXPECT_TRUE(rt::Call("READSTATUS").is_object());
  rt::UnloadModule(module);
  for (const Row& row : kExpected) EXPECT_EQ(rt::FindFunction(row.name), nullptr) << row.name;
}

}  // namespace

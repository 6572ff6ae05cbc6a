// Classes: class and instance variables, methods, messages by name.
#include <gtest/gtest.h>

#include "runtime/api/runtime.h"

namespace {

rt::Value Bump(rt::Frame& f) {
  rt::Value counter = rt::GetVar(f.self(), "counter");
  rt::SetVar(f.self(), "counter", counter.num() + 1);
  return f.self();
}

rt::Value Init(rt::Frame& f) {
  rt::SetVar(f.self(), "label", "fresh");
  return f.self();
}

rt::Value ProcOfMethod(rt::Frame&) { return rt::ProcName(0); }

rt::ClassDef CounterClass() {
  return rt::ClassDef{
      .name = "TCOUNTER",
      .class_vars = {{"counter", 0}},
      .instance_vars = {"label"},
      .class_methods = {{"bump", "@TCOUNTER@C@BUMP", &Bump},
                        {"whoAmI", "@TCOUNTER@C@WHOAMI", &ProcOfMethod}},
      .instance_methods = {{"INIT", "@TCOUNTER@I@INIT", &Init}},
  };
}

TEST(Classes, CreatedOnceAndSharedClassVariables) {
  rt::InitRuntime();
  rt::ObjectPtr cls = rt::CreateClass(CounterClass());
  EXPECT_EQ(rt::CreateClass(CounterClass()), cls);
  EXPECT_EQ(rt::FindClass("tcounter"), cls);
  rt::Value c = cls;
  rt::Value r = rt::Send(c, "BUMP");
  EXPECT_TRUE(rt::ExactlyEqual(r, c));  // a method returns its receiver
  rt::Send(c, "bump");
  EXPECT_EQ(rt::Send(c, "Counter").num(), 2);
  EXPECT_EQ(rt::Send(c, "whoami").str(), "@TCOUNTER@C@WHOAMI");

  rt::Value a = rt::Send(c, "new");
  rt::Value b = rt::Send(c, "new");
  EXPECT_EQ(rt::Send(a, "label").str(), "fresh");  // INIT ran
  rt::Send(a, "_label", {"mine"});
  EXPECT_EQ(rt::Send(a, "label").str(), "mine");
  EXPECT_EQ(rt::Send(b, "label").str(), "fresh");
  // Instances see the class variables of their class.
  rt::Send(b, "bump");
  EXPECT_EQ(rt::Send(a, "counter").num(), 3);
}

TEST(Classes, UnknownMessageRaises) {
  rt::InitRuntime();
  rt::Value c = rt::CreateClass(CounterClass());
  std::string message;
  std::vector<rt::ChainEntry> chain;
  EXPECT_FALSE(rt::RunProtected([&] { rt::Send(c, "nothing"); }, &message, &chain));
  EXPECT_NE(message.find("message not understood: TCOUNTER:NOTHING"), std::string::npos);
  EXPECT_FALSE(rt::RunProtected([&] { rt::Send(rt::Value(3), "x"); }, &message, &chain));
}

}  // namespace

namespace {

TEST(Classes, DroppedClassIsMadeAnewButOldObjectsKeepTheirs) {
  rt::InitRuntime();
  rt::ClassDef def{.name = "TDROPPED", .instance_vars = {"v"}};
  rt::ObjectPtr first = rt::CreateClass(def);
  rt::Value old_instance = rt::NewInstance(first);
  rt::DropClass("tdropped");
  EXPECT_EQ(rt::FindClass("TDROPPED"), nullptr);
  rt::ObjectPtr second = rt::CreateClass(def);
  EXPECT_NE(second, first);
  rt::Send(old_instance, "_v", {1});
  EXPECT_EQ(rt::Send(old_instance, "v").num(), 1);
}

}  // namespace

// Field, work-area field, memory-variable and anchor blocks; scatter and
// gather.  The functions are reached by name through the loaded module.
#include <gtest/gtest.h>

#include "runtime/api/runtime.h"
#include "runtime/api/tables.h"
#include "tests/testing/libraries.h"
#include "tests/testing/table_builder.h"

namespace {

using rt::Value;

Value Struct(std::initializer_list<std::tuple<const char*, const char*, int, int>> fields) {
  std::vector<Value> rows;
  for (const auto& [name, type, len, dec] : fields)
    rows.push_back(rt::NewArray({name, type, len, dec}));
  return rt::NewArray(rows);
}

class AccessBlocksTest : public testing::Test {
 protected:
  void SetUp() override {
    testing_support::LoadLibraries();
    rt::tables::SetDataDirectory(testing_support::MakeTempDir("blocks"));
    rt::Call("DBCREATE", {"CUST", Struct({{"NAME", "C", 10, 0}, {"AGE", "N", 3, 0}})});
    rt::Call("DBCREATE", {"ORDERS", Struct({{"NAME", "C", 10, 0}})});
    rt::Call("DBUSEAREA", {true, Value(), "CUST", "CUST"});
    rt::Call("DBAPPEND");
    rt::Call("FIELDPUT", {1, "Ann"});
    rt::Call("FIELDPUT", {2, 41});
    rt::Call("DBUSEAREA", {true, Value(), "ORDERS", "ORDERS"});
    rt::Call("DBAPPEND");
    rt::Call("FIELDPUT", {1, "Order"});
    rt::Call("DBSELECTAREA", {"CUST"});
  }
  void TearDown() override { rt::tables::CloseAllAreas(); }

  static std::string Source(const Value& block) {
    return std::string(block.block()->source());
  }
};

TEST_F(AccessBlocksTest, FieldBlockReadsTheFieldOfTheAreaCurrentWhenItRuns) {
  Value block = rt::Call("FIELDBLOCK", {"NAME"});
  ASSERT_TRUE(block.is_block());
  EXPECT_EQ(Source(block), "{|x| IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x) }");
  EXPECT_EQ(rt::Eval(block).str(), "Ann       ");
  EXPECT_EQ(rt::Eval(block, {Value()}).str(), "Ann       ");  // NIL reads
  EXPECT_EQ(rt::Eval(block, {"Bea"}).str(), "Bea");
  EXPECT_EQ(rt::Call("FIELDGET", {1}).str(), "Bea       ");
  rt::Call("DBSELECTAREA", {"ORDERS"});
  EXPECT_EQ(rt::Eval(block).str(), "Order     ");
  EXPECT_TRUE(rt::Call("FIELDBLOCK", {"AGE"}).is_nil());  // ORDERS has no AGE
}

TEST_F(AccessBlocksTest, FieldBlockWithAnAliasInTheName) {
  if (rt::Call("FIELDPOS", {"CUST->NAME"}).num() == 0) {
    EXPECT_TRUE(rt::Call("FIELDBLOCK", {"CUST->NAME"}).is_nil());
    return;
  }
  Value block = rt::Call("FIELDBLOCK", {"CUST->NAME"});
  EXPECT_EQ(Source(block), "{|x| IIf(x==NIL,CUST->NAME,CUST->NAME:=x) }");
}

TEST_F(AccessBlocksTest, FieldWBlockTextsAndTheCurrentAreaKept) {
  const int cust = rt::tables::AreaOfAlias("CUST");
  rt::Call("DBSELECTAREA", {"ORDERS"});
  const int orders = rt::tables::CurrentArea();
  struct Case {
    Value area;
    std::string text;
  };
  const Case cases[] = {
      {"CUST", "{|x| CUST->(IIf(x==NIL,FIELD->AGE,FIELD->AGE:=x)) }"},
      {cust, "{|x| (" + std::to_string(cust) + ")->(IIf(x==NIL,FIELD->AGE,FIELD->AGE:=x)) }"},
  };
  for (const Case& c : cases) {
    Value block = rt::Call("FIELDWBLOCK", {"AGE", c.area});
    ASSERT_TRUE(block.is_block());
    EXPECT_EQ(Source(block), c.text);
    EXPECT_EQ(rt::tables::CurrentArea(), orders);
    EXPECT_EQ(rt::Eval(block).num(), 41);
    EXPECT_EQ(rt::tables::CurrentArea(), orders);  // the block restores it too
  }
  EXPECT_TRUE(rt::Call("FIELDWBLOCK", {"NOPE", "CUST"}).is_nil());
  EXPECT_EQ(rt::tables::CurrentArea(), orders);
}

TEST_F(AccessBlocksTest, MemvarBlockOverVisibleVariablesOnly) {
  rt::SetPublic("X", 10);
  Value saved_handler = rt::MakeBlock("(B)CALLER", [](rt::Frame&) { return Value(); });
  rt::SetErrorBlock(saved_handler);

  Value block = rt::Call("MEMVARBLOCK", {"X"});
  ASSERT_TRUE(block.is_block());
  EXPECT_EQ(Source(block), "{|x| IIf(x==NIL,M->X,M->X:=x) }");
  EXPECT_EQ(rt::Eval(block, {11}).num(), 11);
  EXPECT_EQ(rt::GetMemvar("X").num(), 11);
  EXPECT_EQ(Source(rt::Call("MEMVARBLOCK", {"M->X"})), "{|x| IIf(x==NIL,M->X,M->X:=x) }");

  // Not visible, not text, or not a variable name: NIL, nothing evaluated,
  // and the caller's error block is in force again.
  const Value refused[] = {"NOSUCHVAR", 5, Value(), "X := 99", "X+1", "QOUT('x')", ""};
  for (const Value& name : refused) {
    EXPECT_TRUE(rt::Call("MEMVARBLOCK", {name}).is_nil()) << rt::ToLiteral(name);
    EXPECT_TRUE(rt::ExactlyEqual(rt::GetErrorBlock(), saved_handler));
  }
  EXPECT_EQ(rt::GetMemvar("X").num(), 11);
  rt::SetErrorBlock(Value());
}

TEST_F(AccessBlocksTest, AnchorBlockWritesTheCallersVariable) {
  rt::CellPtr var = rt::NewCell(1);
  Value block = rt::Call("ANCHORCB", {Value::Reference(var)});
  EXPECT_EQ(rt::Eval(block).num(), 1);
  rt::Eval(block, {5});
  EXPECT_EQ(var->value.num(), 5);
  rt::Eval(block, {Value()});  // counts arguments, so NIL is stored
  EXPECT_TRUE(var->value.is_nil());

  rt::CellPtr untouched = rt::NewCell(7);
  Value by_value = rt::Call("ANCHORCB", {untouched->value});
  EXPECT_EQ(rt::Eval(by_value).num(), 7);
  rt::Eval(by_value, {8});
  EXPECT_EQ(rt::Eval(by_value).num(), 8);
  EXPECT_EQ(untouched->value.num(), 7);

  Value fresh = rt::Call("ANCHORCB");
  EXPECT_TRUE(rt::Eval(fresh).is_nil());
}

TEST_F(AccessBlocksTest, ScatterAndGatherRecordArrays) {
  Value record = rt::Call("SCATTER");
  EXPECT_EQ(rt::ToLiteral(record), "{\"Ann       \", 41}");

  Value empty = rt::NewArray();
  EXPECT_TRUE(rt::ExactlyEqual(rt::Call("SCATTER", {empty}), empty));
  Value shorter = rt::NewArray(1);
  rt::Call("SCATTER", {shorter});
  EXPECT_EQ(rt::ToLiteral(shorter), "{\"Ann       \"}");

  record.array()->items[1] = 42;
  EXPECT_TRUE(rt::ExactlyEqual(rt::Call("GATHER", {record}), record));
  EXPECT_EQ(rt::Call("FIELDGET", {2}).num(), 42);
  rt::Call("GATHER", {rt::Call("SCATTER")});  // a round trip changes nothing
  EXPECT_EQ(rt::ToLiteral(rt::Call("SCATTER")), "{\"Ann       \", 42}");

  EXPECT_EQ(rt::Call("GATHER", {"text"}).str(), "text");
  rt::Call("GATHER", {rt::NewArray()});
  EXPECT_EQ(rt::Call("FIELDGET", {2}).num(), 42);
}

// Objects that count the messages they receive.
rt::Value CountMessage(rt::Frame& f) {
  rt::SetVar(f.self(), "hits", rt::GetVar(f.self(), "hits").num() + 1);
  return f.self();
}

TEST_F(AccessBlocksTest, ScatterAndGatherObjectArrays) {
  rt::ObjectPtr cls = rt::CreateClass(rt::ClassDef{
      .name = "TRECORDOBJ",
      .instance_vars = {"hits"},
      .instance_methods = {{"setData", "@TRECORDOBJ@I@SETDATA", &CountMessage},
                           {"getData", "@TRECORDOBJ@I@GETDATA", &CountMessage}},
  });
  auto make = [&] {
    Value o = rt::NewInstance(cls);
    rt::SetVar(o, "hits", 0);
    return o;
  };
  Value objects = rt::NewArray({make(), make()});
  rt::Call("SCATTER", {objects});
  rt::Call("GATHER", {objects});
  for (const Value& o : objects.array()->items) EXPECT_EQ(rt::GetVar(o, "hits").num(), 2);

  // One plain value makes it a record array: every element, objects included,
  // becomes a field value.
  Value mixed = rt::NewArray({make(), 0});
  rt::Call("SCATTER", {mixed});
  EXPECT_EQ(rt::ToLiteral(mixed), "{\"Ann       \", 41}");
}

}  // namespace

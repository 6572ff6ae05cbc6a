// Names that reach fields: bare names, FIELD->, alias->name, alias->(...)
// and (n)->(...), over two small tables in two work areas.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/api/runtime.h"
#include "tests/runtime/macro/runtime_setup.h"
#include "runtime/api/tables.h"
#include "tests/testing/table_builder.h"

namespace rt {
namespace {

std::string Eval1(const std::string& text) { return ToLiteral(MacroEval(text)); }

int ErrorCode(const std::string& text) {
  try {
    MacroEval(text);
  } catch (const UnhandledError& e) {
    return static_cast<int>(GetVar(e.error_object(), "genCode").num());
  }
  return 0;
}

// CUST (area 1): NAME "Ann", AGE 40.  ORD (area 2): NAME "Bob", QTY 3.
class MacroFields : public ::testing::Test {
 protected:
  void SetUp() override {
    StartRuntime();
    // A directory of its own: ctest runs the cases of this suite in parallel.
    dir_ = testing_support::MakeTempDir("macro_fields");
    SetPublic("cCustM2", (dir_ / "cust.dbf").string());
    SetPublic("cOrdM2", (dir_ / "ord.dbf").string());
    MacroEval("DBCREATE(cCustM2, {{'NAME', 'C', 10, 0}, {'AGE', 'N', 3, 0}}),"
              "DBCREATE(cOrdM2, {{'NAME', 'C', 10, 0}, {'QTY', 'N', 5, 0}}),"
              "DBUSEAREA(.T., NIL, cCustM2, 'CUST'), DBAPPEND(),"
              "FIELDPUT(1, 'Ann'), FIELDPUT(2, 40),"
              "DBUSEAREA(.T., NIL, cOrdM2, 'ORD'), DBAPPEND(),"
              "FIELDPUT(1, 'Bob'), FIELDPUT(2, 3)");
    cust_ = tables::AreaOfAlias("cust");
    ord_ = tables::AreaOfAlias("ORD");
    ASSERT_NE(cust_, 0);
    ASSERT_NE(ord_, 0);
  }
  void TearDown() override {
    MacroEval("DBCLOSEALL()");
    std::filesystem::remove_all(dir_);
  }

  std::filesystem::path dir_;
  int cust_ = 0, ord_ = 0;
};

TEST_F(MacroFields, NamesResolveToParameterThenFieldThenVariable) {
  tables::SelectArea(cust_);
  SetPublic("NAME", "memvar");
  EXPECT_EQ(Eval1("NAME"), "\"Ann       \"");
  EXPECT_EQ(Eval1("M->NAME"), "\"memvar\"");
  EXPECT_EQ(Eval1("Eval({|name| name}, 'param')"), "\"param\"");
  EXPECT_EQ(Eval1("ORD->NAME + FIELD->ORD->name"), "\"Bob       Bob       \"");
  EXPECT_EQ(Eval1("(2)->QTY"), "3");
  // Assigning a bare name that is a field writes the field, not a variable.
  EXPECT_EQ(Eval1("AGE := 41, AGE"), "41");
  EXPECT_EQ(FindMemvar("AGE"), nullptr);
  EXPECT_EQ(Eval1("CUST->AGE += 1"), "42");
  EXPECT_EQ(ErrorCode("FIELD->QTY"), kErrUndefined);
  EXPECT_EQ(ErrorCode("NOSUCH->NAME"), kErrUndefined);
}

// The field block text reads and writes the field of whichever area is
// current when it runs; NIL reads.
TEST_F(MacroFields, FieldBlockFollowsTheCurrentArea) {
  tables::SelectArea(cust_);
  Value block = MacroEval("{|x| IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x) }");
  EXPECT_EQ(ToLiteral(rt::Eval(block, {})), "\"Ann       \"");
  tables::SelectArea(ord_);
  EXPECT_EQ(ToLiteral(rt::Eval(block, {})), "\"Bob       \"");
  EXPECT_EQ(ToLiteral(rt::Eval(block, {Value()})), "\"Bob       \"");
  rt::Eval(block, {Value("Zed")});
  EXPECT_EQ(Eval1("ORD->NAME + CUST->NAME"), "\"Zed       Ann       \"");
}

// The work-area block texts evaluate in their area and put the current area
// back, also when the evaluation fails.
TEST_F(MacroFields, AreaExpressionsRestoreTheCurrentArea) {
  const char* texts[] = {
      "{|x| CUST->(IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x)) }",
      "{|x| (1)->(IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x)) }",
  };
  ASSERT_EQ(cust_, 1);
  for (const char* text : texts) {
    tables::SelectArea(ord_);
    Value block = MacroEval(text);
    EXPECT_EQ(ToLiteral(rt::Eval(block, {})), "\"Ann       \"") << text;
    EXPECT_EQ(tables::CurrentArea(), ord_) << text;
    rt::Eval(block, {Value("Cy")});
    EXPECT_EQ(Eval1("CUST->NAME + ORD->NAME"), "\"Cy        Bob       \"") << text;
    EXPECT_EQ(tables::CurrentArea(), ord_) << text;
    MacroEval("CUST->NAME := 'Ann'");
  }
  tables::SelectArea(ord_);
  EXPECT_EQ(ErrorCode("CUST->(1 / 0)"), kErrZeroDiv);
  EXPECT_EQ(tables::CurrentArea(), ord_);
  EXPECT_EQ(ErrorCode("CUST->(FIELD->QTY)"), kErrUndefined);
  EXPECT_EQ(tables::CurrentArea(), ord_);
}

}  // namespace
}  // namespace rt

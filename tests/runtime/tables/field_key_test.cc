// Keys cut from the record's text: which expressions qualify, and that the
// text is what the expression gives, blank and damaged dates included.
#include <memory>

#include "gtest/gtest.h"
#include "runtime/tables/dbf_table.h"
#include "runtime/tables/field_key.h"
#include "runtime/tables/file.h"
#include "tests/testing/table_builder.h"

namespace rt::tables {
namespace {

std::unique_ptr<DbfTable> Open(const testing_support::TableSpec& spec) {
  auto data = std::make_shared<std::string>(testing_support::BuildTable(spec));
  std::unique_ptr<DbfTable> table;
  EXPECT_TRUE(DbfTable::Open(std::make_unique<MemoryFile>("T.DBF", data, true), true,
                             &table)
                  .ok());
  return table;
}

testing_support::TableSpec Spec() {
  testing_support::TableSpec spec;
  spec.fields = {{"STATE", 'C', 2}, {"County", 'C', 3}, {"REPT_DT", 'D', 8}, {"N", 'N', 4}};
  spec.rows = {{"TX", "001", "20240131", "12"},
               {"ok", "", "        ", "3"},
               {"NY", "9", "2024AB01", "7"}};
  return spec;
}

TEST(FieldKey, OnlyCharacterFieldsAndDtosOfDatesQualify) {
  auto table = Open(Spec());
  ASSERT_TRUE(table);
  struct Case {
    const char* expression;
    std::vector<int> fields;  // empty: not a field key
  };
  const Case cases[] = {
      {"STATE", {0}},
      {"state+COUNTY", {0, 1}},
      {" STATE + county + DTOS( rept_dt ) ", {0, 1, 2}},
      {"dtos(REPT_DT)+STATE", {2, 0}},
      {"N", {}},                 // numeric field: its key is a number
      {"REPT_DT", {}},           // a date key, not text
      {"DTOS(STATE)", {}},       // DTOS of a character field
      {"UPPER(STATE)", {}},
      {"STATE+\"+\"", {}},
      {"STATE+", {}},
      {"MISSING", {}},
      {"T->STATE", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression);
    std::vector<FieldKeyPart> parts;
    EXPECT_EQ(ParseFieldKey(c.expression, *table, &parts), !c.fields.empty());
    std::vector<int> fields;
    for (const FieldKeyPart& p : parts) fields.push_back(p.field);
    EXPECT_EQ(fields, c.fields);
  }
}

TEST(FieldKey, TextIsTheFieldsSideBySide) {
  auto table = Open(Spec());
  ASSERT_TRUE(table);
  std::vector<FieldKeyPart> parts;
  ASSERT_TRUE(ParseFieldKey("STATE+COUNTY+DTOS(REPT_DT)", *table, &parts));
  // A blank date and a damaged one both give DTOS()'s eight blanks.
  const std::string expected[] = {"TX" "001" "20240131", "ok" "   " "        ",
                                  "NY" "9  " "        "};
  std::string record(table->record_length(), ' ');
  for (uint32_t r = 1; r <= 3; ++r) {
    ASSERT_TRUE(table->ReadRecord(r, record.data()).ok());
    EXPECT_EQ(FieldKeyText(parts, table->fields(), record.data()), expected[r - 1]);
  }
}

}  // namespace
}  // namespace rt::tables

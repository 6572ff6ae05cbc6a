// Keys made of the record's own text.  Most order keys are character
// fields joined by '+' and DTOS() of date fields ("STATE+COUNTY",
// "DTOS(REPT_DT)").  Such a key is the fields' text side by side, so it is
// cut from the record buffer rather than evaluated: the same key at a small
// part of the cost, on every write that may move it.
#ifndef RUNTIME_TABLES_FIELD_KEY_H_
#define RUNTIME_TABLES_FIELD_KEY_H_

#include <string>
#include <string_view>
#include <vector>

#include "runtime/tables/dbf_header.h"
#include "runtime/tables/dbf_table.h"

namespace rt::tables {

struct FieldKeyPart {
  int field = 0;      // 0-based field index
  bool date = false;  // DTOS() of a date field, else a character field
};

// The parts of `expression` over the fields of `table`; false when the
// expression is anything but character fields and DTOS(date field) joined
// by '+'.
bool ParseFieldKey(std::string_view expression, const DbfTable& table,
                   std::vector<FieldKeyPart>* parts);

// The key text of `record`, as the expression would give it.
std::string FieldKeyText(const std::vector<FieldKeyPart>& parts,
                         const std::vector<DbfField>& fields,
                         const char* record);

}  // namespace rt::tables

#endif  // RUNTIME_TABLES_FIELD_KEY_H_

// Values in and out of record bytes, one field at a time, in the encodings
// of doc/dbf_format.md ("Field types").
#ifndef RUNTIME_TABLES_DBF_FIELD_H_
#define RUNTIME_TABLES_DBF_FIELD_H_

#include <string>

#include "runtime/api/value.h"
#include "runtime/tables/dbf_header.h"

namespace rt::tables {

// The value of `field` in the record `record`:
//   C  the bytes as stored (trailing blanks kept, as the field width is part
//      of the value);
//   N F  a number; blanks read as 0; text that is not a number (an overflow
//      row of '*', junk) reads as NIL so it is never mistaken for 0;
//   D  a date; blanks, zeros, NULs or an impossible date read as empty;
//   L  .T. for T t Y y, .F. otherwise;
//   M and unknown types: the raw bytes, as a string.
Value DecodeField(const DbfField& field, const char* record);

// Encodes `v` into `field` of `record`.  Returns false and fills `*error`
// (leaving the record unchanged) when the value has the wrong type, does not
// fit the field, or the field type cannot be written (M and unknown types,
// which are carried unchanged).
bool EncodeField(const DbfField& field, const Value& v, char* record,
                 std::string* error);

// N/F text of `n` for a field of `width` and `decimals`, rounded half away
// from zero; false when it does not fit.
bool FormatNumber(double n, int width, int decimals, std::string* text);

}  // namespace rt::tables

#endif  // RUNTIME_TABLES_DBF_FIELD_H_

// Keys cut from the record's text; see field_key.h.
#include "runtime/tables/field_key.h"

#include "runtime/tables/dbf_field.h"

namespace rt::tables {
namespace {

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool IsName(std::string_view s) {
  if (s.empty() || !IsNameStart(s[0])) return false;
  for (char c : s) {
    if (!IsNameChar(c)) return false;
  }
  return true;
}

// One part: NAME of a character field, or DTOS(NAME) of a date field.
bool ParsePart(std::string_view text, const DbfTable& table,
               FieldKeyPart* part) {
  text = Trim(text);
  part->date = false;
  if (text.size() > 6 && FoldName(text.substr(0, 4)) == "DTOS") {
    std::string_view rest = Trim(text.substr(4));
    if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')') return false;
    text = Trim(rest.substr(1, rest.size() - 2));
    part->date = true;
  }
  if (!IsName(text)) return false;
  part->field = table.FieldIndex(text);
  if (part->field < 0) return false;
  const DbfField& f = table.fields()[static_cast<size_t>(part->field)];
  return part->date ? f.type == 'D' && f.length == 8 : f.type == 'C';
}

}  // namespace

bool ParseFieldKey(std::string_view expression, const DbfTable& table,
                   std::vector<FieldKeyPart>* parts) {
  parts->clear();
  for (;;) {
    const size_t plus = expression.find('+');
    FieldKeyPart part;
    if (!ParsePart(expression.substr(0, plus), table, &part)) {
      parts->clear();
      return false;
    }
    parts->push_back(part);
    if (plus == std::string_view::npos) return true;
    expression.remove_prefix(plus + 1);
  }
}

std::string FieldKeyText(const std::vector<FieldKeyPart>& parts,
                         const std::vector<DbfField>& fields,
                         const char* record) {
  std::string key;
  for (const FieldKeyPart& part : parts) {
    const DbfField& f = fields[static_cast<size_t>(part.field)];
    if (part.date) {
      // Through the date value, so that blanks or a damaged date give the
      // blank key DTOS() gives.
      key += DateToDtos(DecodeField(f, record).date());
    } else {
      key.append(record + f.offset, f.length);
    }
  }
  return key;
}

}  // namespace rt::tables

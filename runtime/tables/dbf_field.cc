// Field encodings of the table file.
#include "runtime/tables/dbf_field.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rt::tables {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\0'; }

Value DecodeNumber(const char* p, size_t n) {
  size_t b = 0, e = n;
  while (b < e && IsBlank(p[b])) ++b;
  while (e > b && IsBlank(p[e - 1])) --e;
  if (b == e) return Value(0.0);
  // Digits with an optional sign and one point; no comma, no exponent.
  size_t i = b;
  if (p[i] == '-' || p[i] == '+') ++i;
  bool digits = false, point = false;
  for (; i < e; ++i) {
    if (p[i] >= '0' && p[i] <= '9') {
      digits = true;
    } else if (p[i] == '.' && !point) {
      point = true;
    } else {
      return Value();
    }
  }
  if (!digits) return Value();
  std::string text(p + b, e - b);
  return Value(std::strtod(text.c_str(), nullptr));
}

Value DecodeDate(const char* p) {
  bool empty = true;
  for (int i = 0; i < 8; ++i) {
    if (!IsBlank(p[i]) && p[i] != '0') empty = false;
  }
  if (empty) return Value(Date{});
  int parts[3] = {0, 0, 0};
  const int widths[3] = {4, 2, 2};
  int pos = 0;
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < widths[k]; ++i, ++pos) {
      char c = p[pos];
      if (c < '0' || c > '9') return Value(Date{});
      parts[k] = parts[k] * 10 + (c - '0');
    }
  }
  return Value(MakeDate(parts[0], parts[1], parts[2]));
}

}  // namespace

Value DecodeField(const DbfField& field, const char* record) {
  const char* p = record + field.offset;
  switch (field.type) {
    case 'C':
      return Value(std::string(p, field.length));
    case 'N':
    case 'F':
      return DecodeNumber(p, field.length);
    case 'D':
      if (field.length == 8) return DecodeDate(p);
      break;
    case 'L': {
      char c = p[0];
      return Value(c == 'T' || c == 't' || c == 'Y' || c == 'y');
    }
    default:
      break;
  }
  return Value(std::string(p, field.length));
}

// The shortest decimal text that reads back as `n` (digits and the position
// of the point), so rounding works on the number as it was written: 2.675
// rounds up, and 0.1 pads with zeros rather than binary noise.
static void ShortestDigits(double n, std::string* digits, int* point) {
  char buf[40];
  for (int p = 1; p <= 17; ++p) {
    std::snprintf(buf, sizeof buf, "%.*e", p - 1, n);
    if (std::strtod(buf, nullptr) == n) break;
  }
  // buf is d.ddddde[+-]xx
  std::string text(buf);
  size_t e = text.find('e');
  int exponent = std::atoi(text.c_str() + e + 1);
  digits->clear();
  for (size_t i = 0; i < e; ++i) {
    if (text[i] >= '0' && text[i] <= '9') *digits += text[i];
  }
  *point = exponent + 1;  // digits before the decimal point
}

bool FormatNumber(double n, int width, int decimals, std::string* text) {
  if (!std::isfinite(n)) return false;
  if (std::fabs(n) >= 1e20) return false;
  bool negative = n < 0;
  std::string digits;
  int point = 0;
  ShortestDigits(std::fabs(n), &digits, &point);
  // Lay the digits out as integer part and `decimals` fraction digits plus
  // one more for rounding.
  std::string whole, frac;
  for (int i = 0; i < point; ++i) whole += i < static_cast<int>(digits.size()) ? digits[i] : '0';
  for (int i = point; i < point + decimals + 1; ++i) {
    frac += (i >= 0 && i < static_cast<int>(digits.size())) ? digits[i] : '0';
  }
  // Anything after the rounding digit only matters for a tie, and ties round
  // away from zero, so the rounding digit alone decides.
  bool up = frac.back() >= '5';
  frac.pop_back();
  std::string all = (whole.empty() ? "0" : whole) + frac;
  if (up) {
    int i = static_cast<int>(all.size()) - 1;
    while (i >= 0 && all[i] == '9') all[i--] = '0';
    if (i < 0) all.insert(all.begin(), '1');
    else ++all[i];
  }
  std::string int_part = all.substr(0, all.size() - frac.size());
  std::string frac_part = all.substr(all.size() - frac.size());
  size_t nz = int_part.find_first_not_of('0');
  int_part = nz == std::string::npos ? "0" : int_part.substr(nz);
  bool zero = int_part == "0" && frac_part.find_first_not_of('0') == std::string::npos;
  std::string out = (negative && !zero ? "-" : "") + int_part;
  if (decimals > 0) out += "." + frac_part;
  if (out.size() > static_cast<size_t>(width)) return false;
  text->assign(static_cast<size_t>(width) - out.size(), ' ');
  text->append(out);
  return true;
}

bool EncodeField(const DbfField& field, const Value& v, char* record,
                 std::string* error) {
  char* p = record + field.offset;
  const Value& value = v.deref();
  auto mismatch = [&](const char* want) {
    *error = "field " + field.name + " (" + std::string(1, field.type) + ") needs " + want +
             ", got type " + std::string(1, value.type_letter());
    return false;
  };
  switch (field.type) {
    case 'C': {
      if (!value.is_string()) return mismatch("a character value");
      const std::string& s = value.str();
      size_t n = s.size() < field.length ? s.size() : field.length;
      std::memcpy(p, s.data(), n);
      std::memset(p + n, ' ', field.length - n);
      return true;
    }
    case 'N':
    case 'F': {
      if (!value.is_number()) return mismatch("a number");
      std::string text;
      if (!FormatNumber(value.num(), field.length, field.decimals, &text)) {
        *error = "value " + NumberToText(value.num()) + " does not fit field " + field.name +
                 " (" + std::string(1, field.type) + " " + std::to_string(field.length) + "," +
                 std::to_string(field.decimals) + ")";
        return false;
      }
      std::memcpy(p, text.data(), field.length);
      return true;
    }
    case 'D': {
      if (!value.is_date()) return mismatch("a date");
      if (field.length != 8) break;
      std::string text = DateToDtos(value.date());
      std::memcpy(p, text.data(), 8);
      return true;
    }
    case 'L':
      if (!value.is_logical()) return mismatch("a logical value");
      p[0] = value.logical() ? 'T' : 'F';
      return true;
    default:
      break;
  }
  *error = "field " + field.name + " of type " + std::string(1, field.type) +
           " is carried unchanged and cannot be written";
  return false;
}

}  // namespace rt::tables

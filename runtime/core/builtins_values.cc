// Built-ins over single values and numbers: VALTYPE, EMPTY, LEN, STR,
// STRZERO, VAL, TRANSFORM, MAX, MIN, ABS, INT, ROUND.
#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>

#include "runtime/core/builtins.h"
#include "runtime/core/operators.h"

namespace rt::builtins {

double RoundDecimals(double n, int dec) {
  if (!std::isfinite(n) || dec > 15) return n;
  if (dec < -15) return 0;
  double scale = std::pow(10.0, std::abs(dec));
  double x = std::fabs(n);
  x = dec >= 0 ? x * scale : x / scale;
  if (x >= 4503599627370496.0) return n;  // 2^52: no fraction left to round
  // A few units in the last place lift 267.49999999999997 (2.675 * 100) to the
  // half it stands for, without moving any value that is really below it.
  double r = std::floor(x + 0.5 + x * 4 * DBL_EPSILON);
  r = dec >= 0 ? r / scale : r * scale;
  return n < 0 && r != 0 ? -r : r;  // no negative zero
}

std::string FormatFixed(double n, int len, int dec) {
  if (len < 1) len = 1;
  if (dec < 0) dec = 0;
  std::string text;
  if (std::isfinite(n)) {
    double r = RoundDecimals(n, dec);
    if (r == 0) r = 0;  // no "-0"
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", std::min(dec, 30), r);
    text = buf;
  }
  if (text.empty() || text.size() > static_cast<size_t>(len)) {
    return std::string(len, '*');
  }
  return std::string(len - text.size(), ' ') + text;
}

std::string FormatDefault(double n) {
  if (!std::isfinite(n)) return std::string(10, '*');
  std::string text = NumberToText(n == 0 ? 0.0 : n);  // no "-0"
  if (text.find_first_of("eE") != std::string::npos) {
    return std::string(10, '*');  // too large (or small) for plain digits
  }
  if (text.size() > 10) {
    return n == std::trunc(n) ? std::string(10, '*') : text;
  }
  return std::string(10 - text.size(), ' ') + text;
}

std::string PlainText(const Value& v, std::string_view func) {
  switch (v.type()) {
    case Type::kNil: return "";
    case Type::kString: return v.str();
    case Type::kNumber: return FormatDefault(v.num());
    case Type::kDate: return FormatDate(v.date());
    case Type::kLogical: return v.logical() ? "T" : "F";
    default: break;
  }
  RaiseArgError(1, func, "character, numeric, date or logical expected");
}

namespace {

// True for the characters EMPTY counts as blank.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

Value FnValtype(Frame& f) { return std::string(1, f.arg(0).type_letter()); }

Value FnEmpty(Frame& f) {
  const Value& v = f.arg(0);
  switch (v.type()) {
    case Type::kNil: return true;
    case Type::kString:
      for (char c : v.str()) {
        if (!IsBlank(c)) return false;
      }
      return true;
    case Type::kNumber: return v.num() == 0;
    case Type::kDate: return v.date().empty();
    case Type::kLogical: return !v.logical();
    case Type::kArray: return v.array()->items.empty();
    case Type::kBlock:
    case Type::kObject: return false;
  }
  return false;
}

Value FnLen(Frame& f) {
  const Value& v = f.arg(0);
  if (v.is_string()) return v.str().size();
  if (v.is_array()) return v.array()->items.size();
  RaiseArgError(1, "LEN", "character or array expected");
}

// The text of STR and STRZERO: the default layout without a width, else the
// number with the given width (0 taken as 10) and decimals.
std::string StrOf(Frame& f, std::string_view func) {
  double n = NumArg(f, 1, func);
  if (f.arg(1).is_nil()) return FormatDefault(n);
  int len = static_cast<int>(std::min(LengthArg(f, 2, func), size_t{255}));
  int dec = static_cast<int>(std::min(OptLengthArg(f, 3, func, 0), size_t{30}));
  if (len == 0) len = 10;
  return FormatFixed(n, len, dec);
}

Value FnStr(Frame& f) { return StrOf(f, "STR"); }

// STR with leading blanks turned into zeros; a minus sign moves to the front.
Value FnStrzero(Frame& f) {
  std::string s = StrOf(f, "STRZERO");
  if (s.find('*') != std::string::npos) return s;
  size_t minus = s.find('-');
  if (minus != std::string::npos) s[minus] = ' ';
  for (char& c : s) {
    if (c != ' ') break;
    c = '0';
  }
  if (minus != std::string::npos) s[0] = '-';
  return s;
}

// Reads the number at the start of the text (after blanks): sign, digits and
// one decimal point; stops at the first other character.  No number is 0.
Value FnVal(Frame& f) {
  const std::string& s = StrArg(f, 1, "VAL");
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  std::string num;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) num += s[i++];
  bool point = false;
  bool digits = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
    num += c;
  }
  if (!digits) return 0.0;
  return std::strtod(num.c_str(), nullptr);
}

// Pictures ---------------------------------------------------------------

bool IsTemplateSlot(char c) {
  switch (c) {
    case '9': case '#': case 'A': case 'N': case 'X': case '!': case 'L':
    case 'Y': case 'a': case 'n': case 'x': case 'l': case 'y': case '$':
    case '*':
      return true;
    default:
      return false;
  }
}

char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string TransformString(const std::string& s, bool upper,
                            const std::string& tmpl) {
  if (tmpl.empty()) {
    if (!upper) return s;
    std::string out = s;
    for (char& c : out) c = Upper(c);
    return out;
  }
  std::string out;
  size_t next = 0;
  for (char t : tmpl) {
    if (!IsTemplateSlot(t)) {
      out += t;
      continue;
    }
    char c = next < s.size() ? s[next++] : ' ';
    out += (upper || t == '!') ? Upper(c) : c;
  }
  return out;
}

// Lays the number into a template of digit places (9 # $ *), one decimal
// point, commas (shown only between digits) and literal characters.  A point
// with no digit place after it is a literal.
std::string TransformNumber(double n, const std::string& tmpl, bool blank_zero) {
  size_t point = tmpl.find('.');
  int places = 0;
  int dec = 0;
  for (size_t i = 0; i < tmpl.size(); ++i) {
    char t = tmpl[i];
    if (t == '9' || t == '#' || t == '$' || t == '*') {
      ++places;
      if (point != std::string::npos && i > point) ++dec;
    }
  }
  if (places == 0) return tmpl;
  if (dec == 0) point = std::string::npos;
  int width = places + (dec > 0 ? 1 : 0);
  std::string digits = FormatFixed(n, width, dec);
  if (digits[0] == '*') return std::string(tmpl.size(), '*');
  if (blank_zero && RoundDecimals(n, dec) == 0) {
    return std::string(tmpl.size(), ' ');
  }
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < tmpl.size(); ++i) {
    char t = tmpl[i];
    if (t == '9' || t == '#' || t == '$' || t == '*' || i == point) {
      char c = digits[next++];
      out += (c == ' ' && (t == '$' || t == '*')) ? t : c;
    } else if (t == ',') {
      bool after_digit =
          !out.empty() && std::isdigit(static_cast<unsigned char>(out.back()));
      out += after_digit ? ',' : ' ';
    } else {
      out += t;
    }
  }
  return out;
}

// TRANSFORM(value, picture): the picture is an optional function part ("@"
// and letters: ! upper case, Z blank when zero) and a template after a blank.
// The empty picture formats the value plainly (see PlainText).
Value FnTransform(Frame& f) {
  const Value& v = f.arg(0);
  const Value& pic = f.arg(1);
  if (!pic.is_nil() && !pic.is_string()) {
    RaiseArgError(2, "TRANSFORM", "character picture expected");
  }
  std::string picture = pic.is_string() ? pic.str() : std::string();
  std::string functions;
  if (!picture.empty() && picture[0] == '@') {
    size_t blank = picture.find(' ');
    functions = picture.substr(1, blank == std::string::npos ? std::string::npos
                                                            : blank - 1);
    picture = blank == std::string::npos ? "" : picture.substr(blank + 1);
  }
  bool upper = false;
  bool blank_zero = false;
  for (char c : functions) {
    if (c == '!') upper = true;
    if (c == 'Z' || c == 'z') blank_zero = true;
  }
  switch (v.type()) {
    case Type::kString: return TransformString(v.str(), upper, picture);
    case Type::kNumber:
      if (picture.empty()) {
        if (blank_zero && v.num() == 0) return std::string(10, ' ');
        return FormatDefault(v.num());
      }
      return TransformNumber(v.num(), picture, blank_zero);
    case Type::kLogical:
      if (!picture.empty() && (picture[0] == 'Y' || picture[0] == 'y')) {
        return v.logical() ? "Y" : "N";
      }
      return v.logical() ? "T" : "F";
    default: return PlainText(v, "TRANSFORM");
  }
}

// MAX and MIN take two values of one type that the comparison operators
// order: numbers, dates or strings.  On a tie they answer the first.
const Value& Extreme(Frame& f, std::string_view func, bool want_max) {
  const Value& a = f.arg(0);
  const Value& b = f.arg(1);
  if (!a.is_number() && !a.is_date() && !a.is_string()) {
    RaiseArgError(1, func, "numeric, date or character expected");
  }
  if (b.type() != a.type()) {
    RaiseArgError(2, func, "same type as argument #1 expected");
  }
  bool b_wins = want_max ? Less(a, b) : Less(b, a);
  return b_wins ? b : a;
}

Value FnMax(Frame& f) { return Extreme(f, "MAX", true); }
Value FnMin(Frame& f) { return Extreme(f, "MIN", false); }

Value FnAbs(Frame& f) { return std::fabs(NumArg(f, 1, "ABS")); }

Value FnInt(Frame& f) {
  double n = std::trunc(NumArg(f, 1, "INT"));
  return n == 0 ? 0.0 : n;  // INT(-0.5) is 0, not -0
}

Value FnRound(Frame& f) {
  double n = NumArg(f, 1, "ROUND");
  double dec = OptNumArg(f, 2, "ROUND", 0);
  if (std::isnan(dec)) RaiseArgError(2, "ROUND", "decimals is not a number");
  int d = static_cast<int>(std::clamp(std::trunc(dec), -100.0, 100.0));
  return RoundDecimals(n, d);
}

constexpr FunctionEntry kValueFunctions[] = {
    {"VALTYPE", -1, false, &FnValtype},
    {"EMPTY", -1, false, &FnEmpty},
    {"LEN", -1, false, &FnLen},
    {"STR", -1, false, &FnStr},
    {"STRZERO", -1, false, &FnStrzero},
    {"VAL", -1, false, &FnVal},
    {"TRANSFORM", -1, false, &FnTransform},
    {"MAX", -1, false, &FnMax},
    {"MIN", -1, false, &FnMin},
    {"ABS", -1, false, &FnAbs},
    {"INT", -1, false, &FnInt},
    {"ROUND", -1, false, &FnRound},
};

}  // namespace

std::span<const FunctionEntry> ValueFunctions() { return kValueFunctions; }

}  // namespace rt::builtins

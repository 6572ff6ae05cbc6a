// Built-ins over character strings: SUBSTR, LEFT, RIGHT, TRIM, RTRIM, LTRIM,
// ALLTRIM, UPPER, LOWER, SPACE, REPLICATE, CHR, ASC, AT, PADR, PADL, PADC.
//
// Strings are bytes of a single-byte code page: positions and lengths count
// bytes, and case conversion touches the ASCII letters only, so the result
// never depends on the process locale.
#include <cctype>
#include <cmath>
#include <string>

#include "runtime/core/builtins.h"

namespace rt::builtins {
namespace {

Value FnSubstr(Frame& f) {
  const std::string& s = StrArg(f, 1, "SUBSTR");
  double start = NumArg(f, 2, "SUBSTR");
  // A negative start counts from the end (-1 is the last character); 0 is
  // taken as 1.
  double from = start < 0 ? static_cast<double>(s.size()) + start
                          : std::max(start, 1.0) - 1;
  if (std::isnan(from) || from >= static_cast<double>(s.size())) return "";
  size_t pos = from < 0 ? 0 : static_cast<size_t>(from);
  size_t count = OptLengthArg(f, 3, "SUBSTR", s.size());
  return s.substr(pos, count);
}

Value FnLeft(Frame& f) {
  const std::string& s = StrArg(f, 1, "LEFT");
  return s.substr(0, LengthArg(f, 2, "LEFT"));
}

Value FnRight(Frame& f) {
  const std::string& s = StrArg(f, 1, "RIGHT");
  size_t n = LengthArg(f, 2, "RIGHT");
  return n >= s.size() ? s : s.substr(s.size() - n);
}

std::string TrimRight(const std::string& s) {
  size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

std::string TrimLeft(const std::string& s) {
  size_t start = s.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : s.substr(start);
}

Value FnTrim(Frame& f) { return TrimRight(StrArg(f, 1, "TRIM")); }
Value FnRtrim(Frame& f) { return TrimRight(StrArg(f, 1, "RTRIM")); }
Value FnLtrim(Frame& f) { return TrimLeft(StrArg(f, 1, "LTRIM")); }
Value FnAlltrim(Frame& f) {
  return TrimLeft(TrimRight(StrArg(f, 1, "ALLTRIM")));
}

Value FnUpper(Frame& f) {
  std::string s = StrArg(f, 1, "UPPER");
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

Value FnLower(Frame& f) {
  std::string s = StrArg(f, 1, "LOWER");
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

Value FnSpace(Frame& f) { return std::string(LengthArg(f, 1, "SPACE"), ' '); }

Value FnReplicate(Frame& f) {
  const std::string& s = StrArg(f, 1, "REPLICATE");
  size_t n = LengthArg(f, 2, "REPLICATE");
  if (!s.empty() && static_cast<double>(n) * s.size() > kMaxLength) {
    RaiseArgError(2, "REPLICATE", "result longer than 67108864");
  }
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

// CHR(n): the character of code n modulo 256.
Value FnChr(Frame& f) {
  double n = NumArg(f, 1, "CHR");
  if (!std::isfinite(n)) RaiseArgError(1, "CHR", "code is not a number");
  double code = std::fmod(std::trunc(n), 256.0);
  if (code < 0) code += 256;
  return std::string(1, static_cast<char>(static_cast<unsigned char>(code)));
}

// ASC(s): the code of the first character, 0 for the empty string.
Value FnAsc(Frame& f) {
  const std::string& s = StrArg(f, 1, "ASC");
  return s.empty() ? 0 : static_cast<int>(static_cast<unsigned char>(s[0]));
}

// AT(needle, haystack): 1-based position of the first occurrence, 0 when
// there is none or the needle is empty.
Value FnAt(Frame& f) {
  const std::string& needle = StrArg(f, 1, "AT");
  const std::string& hay = StrArg(f, 2, "AT");
  if (needle.empty()) return 0;
  size_t pos = hay.find(needle);
  return pos == std::string::npos ? size_t{0} : pos + 1;
}

// The text PADR, PADL and PADC pad: strings as they are, numbers without
// padding, dates in the date format.
std::string PadSource(Frame& f, std::string_view func) {
  const Value& v = f.arg(0);
  switch (v.type()) {
    case Type::kString: return v.str();
    case Type::kNumber: return NumberToText(v.num());
    case Type::kDate: return FormatDate(v.date());
    default: RaiseArgError(1, func, "character, numeric or date expected");
  }
}

// Pads to `len` with the first character of argument 3 (a blank by default);
// a longer text keeps its first `len` characters.  `left_share` is the part
// of the padding put in front: 0 (PADR), 1 (PADL) or 0.5 (PADC).
std::string Pad(Frame& f, std::string_view func, double left_share) {
  std::string s = PadSource(f, func);
  size_t len = LengthArg(f, 2, func);
  char fill = ' ';
  if (!f.arg(2).is_nil()) {
    const std::string& fill_text = StrArg(f, 3, func);
    if (!fill_text.empty()) fill = fill_text[0];
  }
  if (s.size() >= len) return s.substr(0, len);
  size_t missing = len - s.size();
  size_t before = static_cast<size_t>(missing * left_share);
  return std::string(before, fill) + s + std::string(missing - before, fill);
}

Value FnPadr(Frame& f) { return Pad(f, "PADR", 0); }
Value FnPadl(Frame& f) { return Pad(f, "PADL", 1); }
Value FnPadc(Frame& f) { return Pad(f, "PADC", 0.5); }

constexpr FunctionEntry kStringFunctions[] = {
    {"SUBSTR", -1, false, &FnSubstr},
    {"LEFT", -1, false, &FnLeft},
    {"RIGHT", -1, false, &FnRight},
    {"TRIM", -1, false, &FnTrim},
    {"RTRIM", -1, false, &FnRtrim},
    {"LTRIM", -1, false, &FnLtrim},
    {"ALLTRIM", -1, false, &FnAlltrim},
    {"UPPER", -1, false, &FnUpper},
    {"LOWER", -1, false, &FnLower},
    {"SPACE", -1, false, &FnSpace},
    {"REPLICATE", -1, false, &FnReplicate},
    {"CHR", -1, false, &FnChr},
    {"ASC", -1, false, &FnAsc},
    {"AT", -1, false, &FnAt},
    {"PADR", -1, false, &FnPadr},
    {"PADL", -1, false, &FnPadl},
    {"PADC", -1, false, &FnPadc},
};

}  // namespace

std::span<const FunctionEntry> StringFunctions() { return kStringFunctions; }

}  // namespace rt::builtins

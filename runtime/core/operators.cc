// The operator semantics of the expression language (see operators.h).
#include "runtime/core/operators.h"

#include <cmath>
#include <string>
#include <string_view>

#include "runtime/api/runtime.h"

namespace rt {
namespace {

// Operands are read with deref() so a by-reference argument behaves like
// the value it refers to.
[[noreturn]] void TypeMismatch(std::string_view op, const Value& a,
                               const Value& b) {
  ErrorInfo info;
  info.description = "argument error: operator '" + std::string(op) +
                     "' cannot combine types " + a.type_letter() + " and " +
                     b.type_letter();
  info.operation = std::string(op);
  info.args = {a, b};
  info.gen_code = kErrArgument;
  Raise(std::move(info));
}

[[noreturn]] void ZeroDivide(std::string_view op, const Value& a,
                             const Value& b) {
  ErrorInfo info;
  info.description = "zero divide: operator '" + std::string(op) +
                     "' with a divisor of 0";
  info.operation = std::string(op);
  info.args = {a, b};
  info.gen_code = kErrZeroDiv;
  Raise(std::move(info));
}

bool BothNumbers(const Value& a, const Value& b) {
  return a.is_number() && b.is_number();
}

// A shift that leaves the years 1 to 9999 (or a NaN or infinite number of
// days) is an error, not a wrapped day number.

Date ShiftDate(std::string_view op, const Value& a, const Value& b, Date d,
               double days) {
  if (d.empty()) return d;
  static const double first_day = MakeDate(1, 1, 1).day;
  static const double last_day = MakeDate(9999, 12, 31).day;
  double day = d.day + std::round(days);
  if (!(day >= first_day && day <= last_day)) {
    ErrorInfo info;
    info.description = "argument error: operator '" + std::string(op) +
                       "' gives a date outside the years 1 to 9999";
    info.operation = std::string(op);
    info.args = {a, b};
    info.gen_code = kErrArgument;
    Raise(std::move(info));
  }
  return Date{static_cast<int32_t>(day)};
}

// Three-way comparison of two values of one orderable type; raises for
// anything else.  Strings compare in full, byte by byte.
int Compare(std::string_view op, const Value& a, const Value& b) {
  if (a.type() != b.type()) TypeMismatch(op, a, b);
  switch (a.type()) {
    case Type::kString: {
      int c = std::string_view(a.str()).compare(b.str());
      // std::char_traits<char> compares as unsigned char, so bytes above
      // 127 sort after ASCII, as in the code page.
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case Type::kNumber:
      return a.num() < b.num() ? -1 : (a.num() > b.num() ? 1 : 0);
    case Type::kDate:
      return a.date().day < b.date().day ? -1
                                         : (a.date().day > b.date().day ? 1 : 0);
    case Type::kLogical:
      return static_cast<int>(a.logical()) - static_cast<int>(b.logical());
    default:
      TypeMismatch(op, a, b);
  }
}

// Shared by "=" and "==": `exact` picks full-length string comparison.
bool EqualImpl(std::string_view op, const Value& a, const Value& b,
               bool exact) {
  if (a.is_nil() || b.is_nil()) return a.is_nil() && b.is_nil();
  if (a.type() != b.type()) TypeMismatch(op, a, b);
  if (a.is_string() && !exact) {
    const std::string& left = a.str();
    const std::string& right = b.str();
    if (right.size() > left.size()) return false;
    return std::string_view(left).substr(0, right.size()) == right;
  }
  return ExactlyEqual(a, b);
}

}  // namespace

Value Add(const Value& x, const Value& y) {
  const Value& a = x.deref();
  const Value& b = y.deref();
  if (BothNumbers(a, b)) return Value(a.num() + b.num());
  if (a.is_string() && b.is_string()) return Value(a.str() + b.str());
  if (a.is_date() && b.is_number()) {
    return Value(ShiftDate("+", a, b, a.date(), b.num()));
  }
  if (a.is_number() && b.is_date()) {
    return Value(ShiftDate("+", a, b, b.date(), a.num()));
  }
  TypeMismatch("+", a, b);
}

Value Subtract(const Value& x, const Value& y) {
  const Value& a = x.deref();
  const Value& b = y.deref();
  if (BothNumbers(a, b)) return Value(a.num() - b.num());
  if (a.is_date() && b.is_date()) {
    return Value(static_cast<double>(a.date().day) - b.date().day);
  }
  if (a.is_date() && b.is_number()) {
    return Value(ShiftDate("-", a, b, a.date(), -b.num()));
  }
  if (a.is_string() && b.is_string()) {
    const std::string& left = a.str();
    size_t end = left.find_last_not_of(' ');
    size_t kept = end == std::string::npos ? 0 : end + 1;
    std::string out = left.substr(0, kept);
    out += b.str();
    out.append(left.size() - kept, ' ');
    return Value(std::move(out));
  }
  TypeMismatch("-", a, b);
}

Value Multiply(const Value& x, const Value& y) {
  const Value& a = x.deref();
  const Value& b = y.deref();
  if (!BothNumbers(a, b)) TypeMismatch("*", a, b);
  return Value(a.num() * b.num());
}

Value Divide(const Value& x, const Value& y) {
  const Value& a = x.deref();
  const Value& b = y.deref();
  if (!BothNumbers(a, b)) TypeMismatch("/", a, b);
  if (b.num() == 0) ZeroDivide("/", a, b);
  return Value(a.num() / b.num());
}

Value Modulo(const Value& x, const Value& y) {
  const Value& a = x.deref();
  const Value& b = y.deref();
  if (!BothNumbers(a, b)) TypeMismatch("%", a, b);
  if (b.num() == 0) ZeroDivide("%", a, b);
  return Value(std::fmod(a.num(), b.num()));
}

Value Power(const Value& x, const Value& y) {
  const Value& a = x.deref();
  const Value& b = y.deref();
  if (!BothNumbers(a, b)) TypeMismatch("**", a, b);
  return Value(std::pow(a.num(), b.num()));
}

Value Negate(const Value& x) {
  const Value& a = x.deref();
  if (!a.is_number()) {
    ErrorInfo info;
    info.description = std::string("argument error: unary '-' needs a number, got type ") +
                       a.type_letter();
    info.operation = "-";
    info.args = {a};
    info.gen_code = kErrArgument;
    Raise(std::move(info));
  }
  return Value(-a.num());
}

bool Equal(const Value& a, const Value& b) {
  return EqualImpl("=", a.deref(), b.deref(), /*exact=*/false);
}

bool ExactEqual(const Value& a, const Value& b) {
  return EqualImpl("==", a.deref(), b.deref(), /*exact=*/true);
}

bool NotEqual(const Value& a, const Value& b) {
  return !EqualImpl("!=", a.deref(), b.deref(), /*exact=*/false);
}

bool Less(const Value& a, const Value& b) {
  return Compare("<", a.deref(), b.deref()) < 0;
}

bool LessEqual(const Value& a, const Value& b) {
  const Value& x = a.deref();
  const Value& y = b.deref();
  return Compare("<=", x, y) < 0 || EqualImpl("<=", x, y, /*exact=*/false);
}

bool Greater(const Value& a, const Value& b) {
  const Value& x = a.deref();
  const Value& y = b.deref();
  return !(Compare(">", x, y) < 0 || EqualImpl(">", x, y, /*exact=*/false));
}

bool GreaterEqual(const Value& a, const Value& b) {
  return Compare(">=", a.deref(), b.deref()) >= 0;
}

bool Contains(const Value& x, const Value& y) {
  const Value& a = x.deref();
  const Value& b = y.deref();
  if (!a.is_string() || !b.is_string()) TypeMismatch("$", a, b);
  if (a.str().empty()) return false;
  return b.str().find(a.str()) != std::string::npos;
}

}  // namespace rt

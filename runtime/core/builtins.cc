// Registration of the built-in tables and the argument readers they share.
#include "runtime/core/builtins.h"

#include <cmath>

namespace rt {

void RegisterCoreBuiltins() {
  RegisterFunctions(builtins::ValueFunctions());
  RegisterFunctions(builtins::StringFunctions());
  RegisterFunctions(builtins::DateFunctions());
  RegisterFunctions(builtins::ArrayFunctions());
  RegisterFunctions(builtins::CallFunctions());
}

namespace builtins {
namespace {

[[noreturn]] void Expected(int n, std::string_view func, const char* what,
                           const Value& got) {
  std::string reason = std::string(what) + " expected, got ";
  switch (got.type()) {
    case Type::kNil: reason += "NIL"; break;
    case Type::kString: reason += "character"; break;
    case Type::kNumber: reason += "numeric"; break;
    case Type::kDate: reason += "date"; break;
    case Type::kLogical: reason += "logical"; break;
    case Type::kArray: reason += "array"; break;
    case Type::kBlock: reason += "block"; break;
    case Type::kObject: reason += "object"; break;
  }
  RaiseArgError(n, func, reason);
}

}  // namespace

const std::string& StrArg(Frame& f, int n, std::string_view func) {
  const Value& v = f.arg(n - 1);
  if (!v.is_string()) Expected(n, func, "character", v);
  return v.str();
}

double NumArg(Frame& f, int n, std::string_view func) {
  const Value& v = f.arg(n - 1);
  if (!v.is_number()) Expected(n, func, "numeric", v);
  return v.num();
}

double OptNumArg(Frame& f, int n, std::string_view func, double fallback) {
  return f.arg(n - 1).is_nil() ? fallback : NumArg(f, n, func);
}

Date DateArg(Frame& f, int n, std::string_view func) {
  const Value& v = f.arg(n - 1);
  if (!v.is_date()) Expected(n, func, "date", v);
  return v.date();
}

const ArrayPtr& ArrayArg(Frame& f, int n, std::string_view func) {
  const Value& v = f.arg(n - 1);
  if (!v.is_array()) Expected(n, func, "array", v);
  return v.array();
}

size_t LengthArg(Frame& f, int n, std::string_view func) {
  double d = NumArg(f, n, func);
  if (std::isnan(d)) RaiseArgError(n, func, "length is not a number");
  if (d <= 0) return 0;
  if (d > kMaxLength) {
    RaiseArgError(n, func, "length above the limit of 67108864");
  }
  return static_cast<size_t>(d);
}

size_t OptLengthArg(Frame& f, int n, std::string_view func, size_t fallback) {
  return f.arg(n - 1).is_nil() ? fallback : LengthArg(f, n, func);
}

}  // namespace builtins
}  // namespace rt

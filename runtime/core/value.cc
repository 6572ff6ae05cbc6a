// Value accessors, arrays, exact equality and the literal form.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "runtime/api/runtime.h"
#include "runtime/api/value.h"

namespace rt {
namespace {

const char* TypeName(Type t) {
  switch (t) {
    case Type::kNil: return "NIL";
    case Type::kString: return "character";
    case Type::kNumber: return "numeric";
    case Type::kDate: return "date";
    case Type::kLogical: return "logical";
    case Type::kArray: return "array";
    case Type::kBlock: return "block";
    case Type::kObject: return "object";
  }
  return "?";
}

[[noreturn]] void WrongType(const Value& v, Type expected) {
  Raise(ErrorInfo{.description = std::string("expected a ") +
                                 TypeName(expected) + " value, got " +
                                 TypeName(v.type()),
                  .operation = "value access",
                  .args = {v},
                  .gen_code = kErrArgument});
}

}  // namespace

Value Value::Reference(CellPtr cell) {
  Value v;
  v.v_.emplace<kRefIndex>(std::move(cell));
  return v;
}

const Value& Value::deref() const {
  return is_reference() ? reference()->value : *this;
}

Type Value::type() const {
  if (is_reference()) return reference()->value.type();
  return static_cast<Type>(v_.index());
}

char Value::type_letter() const {
  static constexpr char kLetters[] = "UCNDLABO";
  return kLetters[static_cast<int>(type())];
}

const std::string& Value::str() const {
  if (const auto* s = std::get_if<std::string>(&deref().v_)) return *s;
  WrongType(*this, Type::kString);
}
double Value::num() const {
  if (const auto* n = std::get_if<double>(&deref().v_)) return *n;
  WrongType(*this, Type::kNumber);
}
Date Value::date() const {
  if (const auto* d = std::get_if<Date>(&deref().v_)) return *d;
  WrongType(*this, Type::kDate);
}
bool Value::logical() const {
  if (const auto* b = std::get_if<bool>(&deref().v_)) return *b;
  WrongType(*this, Type::kLogical);
}
const ArrayPtr& Value::array() const {
  if (const auto* a = std::get_if<ArrayPtr>(&deref().v_)) return *a;
  WrongType(*this, Type::kArray);
}
const BlockPtr& Value::block() const {
  if (const auto* b = std::get_if<BlockPtr>(&deref().v_)) return *b;
  WrongType(*this, Type::kBlock);
}
const ObjectPtr& Value::object() const {
  if (const auto* o = std::get_if<ObjectPtr>(&deref().v_)) return *o;
  WrongType(*this, Type::kObject);
}

ArrayPtr NewArray(size_t size) {
  auto a = std::make_shared<Array>();
  a->items.resize(size);
  return a;
}

ArrayPtr NewArray(std::vector<Value> items) {
  auto a = std::make_shared<Array>();
  a->items = std::move(items);
  return a;
}

bool ExactlyEqual(const Value& a, const Value& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case Type::kNil: return true;
    case Type::kString: return a.str() == b.str();
    case Type::kNumber: return a.num() == b.num();
    case Type::kDate: return a.date() == b.date();
    case Type::kLogical: return a.logical() == b.logical();
    case Type::kArray: return a.array() == b.array();
    case Type::kBlock: return a.block() == b.block();
    case Type::kObject: return a.object() == b.object();
  }
  return false;
}

std::string NumberToText(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Inf" : "-Inf";
  char buf[64];
  if (n == std::trunc(n) && std::fabs(n) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", n);
  } else {
    // The shortest text that reads back as the same number.
    for (int precision = 1; precision <= 17; ++precision) {
      std::snprintf(buf, sizeof buf, "%.*g", precision, n);
      if (std::strtod(buf, nullptr) == n) break;
    }
  }
  return buf;
}

std::string ToLiteral(const Value& v) {
  switch (v.type()) {
    case Type::kNil: return "NIL";
    case Type::kString: {
      const std::string& s = v.str();
      char quote = s.find('"') == std::string::npos ? '"' : '\'';
      return quote + s + quote;
    }
    case Type::kNumber: return NumberToText(v.num());
    case Type::kDate: return "STOD(\"" + DateToDtos(v.date()) + "\")";
    case Type::kLogical: return v.logical() ? ".T." : ".F.";
    case Type::kArray: {
      std::string out = "{";
      const auto& items = v.array()->items;
      for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ", ";
        out += ToLiteral(items[i]);
      }
      return out + "}";
    }
    case Type::kBlock: {
      std::string_view src = v.block()->source();
      return "block " + std::string(src.empty() ? v.block()->name() : src);
    }
    case Type::kObject: {
      const Object& o = *v.object();
      return std::string(o.is_class_object() ? "class " : "object ") +
             std::string(o.class_name());
    }
  }
  return "?";
}

}  // namespace rt

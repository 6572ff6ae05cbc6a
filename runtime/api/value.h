// The dynamic value of the host runtime.
//
// A Value is one of eight kinds: NIL, character (a byte string in the
// single-byte code page), numeric (double), date (a day number; 0 is the empty
// date), logical, array (shared by reference), block and object.  Arrays,
// blocks and objects are reference types: copying a Value copies the
// reference, never the contents.
//
// A ninth, internal kind is the by-reference marker: a Value that carries a
// shared variable cell.  It only ever appears in the argument list of a call
// (the caller passed "@var"); every accessor below looks through it, so a
// callee reads it like any other argument.  Frame::cell() hands out the cell
// itself when a callee wants to keep writing the caller's variable.
#ifndef RUNTIME_API_VALUE_H_
#define RUNTIME_API_VALUE_H_

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rt {

class Value;
class Block;
class Object;

// A day number: 0 is the empty date, otherwise the Julian day number.
struct Date {
  int32_t day = 0;
  bool empty() const { return day == 0; }
  friend bool operator==(Date a, Date b) = default;
};

// The storage of a variable, shared when a variable is passed by reference or
// captured by a block.
struct Cell;
using CellPtr = std::shared_ptr<Cell>;

struct Array {
  std::vector<Value> items;
};
using ArrayPtr = std::shared_ptr<Array>;
using BlockPtr = std::shared_ptr<Block>;
using ObjectPtr = std::shared_ptr<Object>;

enum class Type : uint8_t {
  kNil,
  kString,
  kNumber,
  kDate,
  kLogical,
  kArray,
  kBlock,
  kObject,
};

class Value {
 public:
  Value() = default;
  Value(std::nullptr_t) {}
  Value(const char* s) : v_(std::string(s)) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(std::string_view s) : v_(std::string(s)) {}
  Value(double n) : v_(n) {}
  Value(int n) : v_(static_cast<double>(n)) {}
  Value(int64_t n) : v_(static_cast<double>(n)) {}
  Value(size_t n) : v_(static_cast<double>(n)) {}
  Value(bool b) : v_(b) {}
  Value(Date d) : v_(d) {}
  Value(ArrayPtr a) : v_(std::move(a)) {}
  Value(BlockPtr b) : v_(std::move(b)) {}
  Value(ObjectPtr o) : v_(std::move(o)) {}

  // A by-reference marker over the given cell (see the file comment).
  static Value Reference(CellPtr cell);
  bool is_reference() const { return v_.index() == kRefIndex; }
  const CellPtr& reference() const { return std::get<kRefIndex>(v_); }

  Type type() const;
  // The VALTYPE letter: U C N D L A B O.
  char type_letter() const;

  bool is_nil() const { return type() == Type::kNil; }
  bool is_string() const { return type() == Type::kString; }
  bool is_number() const { return type() == Type::kNumber; }
  bool is_date() const { return type() == Type::kDate; }
  bool is_logical() const { return type() == Type::kLogical; }
  bool is_array() const { return type() == Type::kArray; }
  bool is_block() const { return type() == Type::kBlock; }
  bool is_object() const { return type() == Type::kObject; }

  // Typed accessors.  REQUIRES: the value has that type (checked: a wrong
  // type raises a runtime error naming the expected type).
  const std::string& str() const;
  double num() const;
  Date date() const;
  bool logical() const;
  const ArrayPtr& array() const;
  const BlockPtr& block() const;
  const ObjectPtr& object() const;

  // True for a logical .T.; false for anything else.  For tests of settings
  // and block results where a non-logical counts as false.
  bool is_true() const { return is_logical() && logical(); }

  // The value with any by-reference marker removed.
  const Value& deref() const;

 private:
  static constexpr size_t kRefIndex = 8;
  std::variant<std::monostate, std::string, double, Date, bool, ArrayPtr,
               BlockPtr, ObjectPtr, CellPtr>
      v_;
};

struct Cell {
  Value value;
};

inline CellPtr NewCell(Value v = Value()) {
  return std::make_shared<Cell>(Cell{std::move(v)});
}

// Arrays -------------------------------------------------------------------

ArrayPtr NewArray(size_t size = 0);
ArrayPtr NewArray(std::vector<Value> items);

// Dates --------------------------------------------------------------------

// Day number of a calendar date, or the empty date when it does not exist.
Date MakeDate(int year, int month, int day);
// Calendar parts of a non-empty date.
void SplitDate(Date d, int* year, int* month, int* day);
// 0 = Sunday .. 6 = Saturday.  REQUIRES: !d.empty().
int DayOfWeek(Date d);
// "YYYYMMDD", or eight blanks for the empty date.
std::string DateToDtos(Date d);
// Parses "YYYYMMDD"; anything else (blanks included) is the empty date.
Date DateFromDtos(std::string_view s);
// Today's date from the system clock (local time).
Date Today();

// Comparison ---------------------------------------------------------------

// Exact equality (the "==" operator): same type and same contents; arrays,
// blocks and objects are equal only when they are the same reference.
bool ExactlyEqual(const Value& a, const Value& b);

// Formatting ---------------------------------------------------------------

// The value in the language's literal form: NIL, "text", 12.5, .T.,
// {1, "a"}, STOD("20261211"), and a kind-and-name text for blocks and objects.
std::string ToLiteral(const Value& v);

// A number as text the way STR() without a width shows it when it has no
// padding: integers without decimals, others with the digits they need.
std::string NumberToText(double n);

}  // namespace rt

#endif  // RUNTIME_API_VALUE_H_

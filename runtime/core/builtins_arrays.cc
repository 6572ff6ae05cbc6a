// Built-ins over arrays: ARRAY, AADD, ASIZE, ATAIL, ADEL, AINS, AFILL, ACOPY,
// ACLONE, ASCAN, AEVAL, ASORT.
//
// Blocks that these functions evaluate may change the array they walk (grow
// it, shrink it, sort it): every step re-reads the array's current size, so a
// block can never make the walk read past the end.
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "runtime/core/builtins.h"
#include "runtime/core/operators.h"

namespace rt::builtins {
namespace {

// The 0-based index of a 1-based position argument (default 1); positions
// below 1 count as 1.
size_t StartArg(Frame& f, int n, std::string_view func) {
  double start = OptNumArg(f, n, func, 1);
  if (std::isnan(start) || start < 1) return 0;
  return start > kMaxLength ? static_cast<size_t>(kMaxLength)
                            : static_cast<size_t>(start) - 1;
}

// ARRAY(n1 [, n2 ...]): an array of n1 elements, each an array of n2 ... ;
// the innermost elements are NIL.
Value MakeDimensions(Frame& f, int dim) {
  size_t size = LengthArg(f, dim + 1, "ARRAY");
  ArrayPtr a = NewArray(size);
  if (dim + 1 < f.pcount()) {
    for (Value& item : a->items) item = MakeDimensions(f, dim + 1);
  }
  return a;
}

Value FnArray(Frame& f) {
  if (f.pcount() == 0) RaiseArgError(1, "ARRAY", "numeric expected, got NIL");
  double total = 1;
  for (int i = 0; i < f.pcount(); ++i) {
    total *= static_cast<double>(LengthArg(f, i + 1, "ARRAY"));
  }
  if (total > kMaxLength) {
    RaiseArgError(f.pcount(), "ARRAY", "more than 67108864 elements in all");
  }
  return MakeDimensions(f, 0);
}

// AADD(a, v): appends v and returns it.
Value FnAadd(Frame& f) {
  const ArrayPtr& a = ArrayArg(f, 1, "AADD");
  if (static_cast<double>(a->items.size()) >= kMaxLength) {
    RaiseArgError(1, "AADD", "array already holds 67108864 elements");
  }
  a->items.push_back(f.arg(1));
  return f.arg(1);
}

// ASIZE(a, n): grows with NIL or cuts to n elements; returns a.
Value FnAsize(Frame& f) {
  const ArrayPtr& a = ArrayArg(f, 1, "ASIZE");
  a->items.resize(LengthArg(f, 2, "ASIZE"));
  return a;
}

Value FnAtail(Frame& f) {
  const ArrayPtr& a = ArrayArg(f, 1, "ATAIL");
  return a->items.empty() ? Value() : a->items.back();
}

// ADEL(a, pos): removes element pos; the others move up and the last becomes
// NIL, so the length stays.  A position out of range changes nothing.
Value FnAdel(Frame& f) {
  const ArrayPtr& a = ArrayArg(f, 1, "ADEL");
  double pos = NumArg(f, 2, "ADEL");
  auto& items = a->items;
  if (pos >= 1 && pos <= static_cast<double>(items.size())) {
    items.erase(items.begin() + static_cast<ptrdiff_t>(pos - 1));
    items.emplace_back();
  }
  return a;
}

// AINS(a, pos): inserts NIL at pos; the others move down and the last one is
// lost, so the length stays.  A position out of range changes nothing.
Value FnAins(Frame& f) {
  const ArrayPtr& a = ArrayArg(f, 1, "AINS");
  double pos = NumArg(f, 2, "AINS");
  auto& items = a->items;
  if (pos >= 1 && pos <= static_cast<double>(items.size())) {
    items.pop_back();
    items.insert(items.begin() + static_cast<ptrdiff_t>(pos - 1), Value());
  }
  return a;
}

// AFILL(a, v [, start [, count]]): returns a.
Value FnAfill(Frame& f) {
  const ArrayPtr& a = ArrayArg(f, 1, "AFILL");
  size_t start = StartArg(f, 3, "AFILL");
  size_t count = OptLengthArg(f, 4, "AFILL", a->items.size());
  for (size_t i = start; i < a->items.size() && i - start < count; ++i) {
    a->items[i] = f.arg(1);
  }
  return a;
}

// ACOPY(src, dst [, start [, count [, dst_start]]]): copies as many elements
// as both arrays have room for; returns dst.  Overlapping copies within one
// array read the source as it was before.
Value FnAcopy(Frame& f) {
  const ArrayPtr& src = ArrayArg(f, 1, "ACOPY");
  const ArrayPtr& dst = ArrayArg(f, 2, "ACOPY");
  size_t start = StartArg(f, 3, "ACOPY");
  size_t count = OptLengthArg(f, 4, "ACOPY", src->items.size());
  size_t to = StartArg(f, 5, "ACOPY");
  if (start >= src->items.size() || to >= dst->items.size()) return dst;
  count = std::min({count, src->items.size() - start, dst->items.size() - to});
  std::vector<Value> copy(src->items.begin() + static_cast<ptrdiff_t>(start),
                          src->items.begin() +
                              static_cast<ptrdiff_t>(start + count));
  std::copy(copy.begin(), copy.end(),
            dst->items.begin() + static_cast<ptrdiff_t>(to));
  return dst;
}

// A deep copy of nested arrays.  An array met twice (shared, or containing
// itself) is copied once, so the copy has the same shape and a cycle cannot
// recurse without end.
ArrayPtr Clone(const ArrayPtr& a,
               std::unordered_map<const Array*, ArrayPtr>& done) {
  auto found = done.find(a.get());
  if (found != done.end()) return found->second;
  ArrayPtr copy = NewArray(a->items.size());
  done[a.get()] = copy;
  for (size_t i = 0; i < a->items.size(); ++i) {
    const Value& item = a->items[i];
    copy->items[i] = item.is_array() ? Value(Clone(item.array(), done)) : item;
  }
  return copy;
}

Value FnAclone(Frame& f) {
  if (!f.arg(0).is_array()) return Value();
  std::unordered_map<const Array*, ArrayPtr> done;
  return Clone(f.arg(0).array(), done);
}

// ASCAN(a, target [, start [, count]]): the 1-based position of the first
// element that equals target (the "=" comparison, for values of the same
// type), or for which the block target yields .T. when evaluated with the
// element and its position; 0 when none does.
Value FnAscan(Frame& f) {
  // Copies: a block may assign the caller's variables behind the arguments.
  ArrayPtr a = ArrayArg(f, 1, "ASCAN");
  Value target = f.arg(1);
  size_t start = StartArg(f, 3, "ASCAN");
  size_t count = OptLengthArg(f, 4, "ASCAN", a->items.size());
  for (size_t i = start; i < a->items.size() && i - start < count; ++i) {
    Value item = a->items[i];  // the block may change the array
    bool hit = target.is_block()
                   ? Eval(target, {item, Value(i + 1)}).is_true()
                   : item.type() == target.type() && Equal(item, target);
    if (hit) return i + 1;
  }
  return 0;
}

// AEVAL(a, block [, start [, count [, assign]]]): evaluates the block with
// each element and its position, first to last; with assign .T. the block's
// result replaces the element.  Returns a.
Value FnAeval(Frame& f) {
  ArrayPtr a = ArrayArg(f, 1, "AEVAL");
  if (!f.arg(1).is_block()) RaiseArgError(2, "AEVAL", "block expected");
  Value block = f.arg(1);
  size_t start = StartArg(f, 3, "AEVAL");
  size_t count = OptLengthArg(f, 4, "AEVAL", a->items.size());
  bool assign = f.arg(4).is_true();
  for (size_t i = start; i < a->items.size() && i - start < count; ++i) {
    Value item = a->items[i];
    Value result = Eval(block, {item, Value(i + 1)});
    if (assign && i < a->items.size()) a->items[i] = std::move(result);
  }
  return a;
}

// Rank of a type in the default sort order when two values differ in type.
int TypeRank(Type t) {
  switch (t) {
    case Type::kNil: return 0;
    case Type::kLogical: return 1;
    case Type::kNumber: return 2;
    case Type::kDate: return 3;
    case Type::kString: return 4;
    default: return 5;  // arrays, blocks, objects keep their order
  }
}

bool DefaultBefore(const Value& x, const Value& y) {
  int rx = TypeRank(x.type());
  int ry = TypeRank(y.type());
  if (rx != ry) return rx < ry;
  if (rx == 0 || rx == 5) return false;
  return Less(x, y);
}

// A stable merge sort that stays within bounds whatever the comparison
// answers: a user block need not be a consistent ordering.
template <typename Before>
void MergeSort(std::vector<Value>& v, Before before) {
  std::vector<Value> tmp(v.size());
  for (size_t width = 1; width < v.size(); width *= 2) {
    for (size_t lo = 0; lo < v.size(); lo += 2 * width) {
      size_t mid = std::min(lo + width, v.size());
      size_t hi = std::min(lo + 2 * width, v.size());
      size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) {
        tmp[k++] = before(v[j], v[i]) ? v[j++] : v[i++];
      }
      while (i < mid) tmp[k++] = v[i++];
      while (j < hi) tmp[k++] = v[j++];
    }
    v.swap(tmp);
  }
}

// ASORT(a [, start [, count [, block]]]): sorts in place, ascending by
// default (values of different types are grouped: NIL, logical, numeric,
// date, character, then the rest); a block receives two elements and yields
// .T. when the first belongs before the second.  Returns a.
Value FnAsort(Frame& f) {
  ArrayPtr a = ArrayArg(f, 1, "ASORT");
  size_t start = StartArg(f, 2, "ASORT");
  size_t count = OptLengthArg(f, 3, "ASORT", a->items.size());
  Value order = f.arg(3);
  if (!order.is_nil() && !order.is_block()) {
    RaiseArgError(4, "ASORT", "block expected");
  }
  if (start >= a->items.size()) return a;
  count = std::min(count, a->items.size() - start);
  // Sort a copy, so a block that changes the array cannot break the sort.
  auto first = a->items.begin() + static_cast<ptrdiff_t>(start);
  std::vector<Value> part(first, first + static_cast<ptrdiff_t>(count));
  if (order.is_block()) {
    MergeSort(part, [&](const Value& x, const Value& y) {
      return Eval(order, {x, y}).is_true();
    });
  } else {
    MergeSort(part, DefaultBefore);
  }
  for (size_t i = 0; i < part.size() && start + i < a->items.size(); ++i) {
    a->items[start + i] = std::move(part[i]);
  }
  return a;
}

constexpr FunctionEntry kArrayFunctions[] = {
    {"ARRAY", -1, false, &FnArray},
    {"AADD", -1, false, &FnAadd},
    {"ASIZE", -1, false, &FnAsize},
    {"ATAIL", -1, false, &FnAtail},
    {"ADEL", -1, false, &FnAdel},
    {"AINS", -1, false, &FnAins},
    {"AFILL", -1, false, &FnAfill},
    {"ACOPY", -1, false, &FnAcopy},
    {"ACLONE", -1, false, &FnAclone},
    {"ASCAN", -1, false, &FnAscan},
    {"AEVAL", -1, false, &FnAeval},
    {"ASORT", -1, false, &FnAsort},
};

}  // namespace

std::span<const FunctionEntry> ArrayFunctions() { return kArrayFunctions; }

}  // namespace rt::builtins

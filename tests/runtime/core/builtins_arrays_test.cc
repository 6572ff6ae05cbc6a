// The array built-ins, including blocks that change the array they walk.
#include <algorithm>

#include "tests/runtime/core/builtins_test_support.h"

namespace {

using builtins_test::BuiltinsTest;
using builtins_test::ErrorOf;
using rt::Value;

class ArrayBuiltins : public BuiltinsTest {};

Value Arr(std::vector<Value> items) { return rt::NewArray(std::move(items)); }

Value Block(std::function<Value(rt::Frame&)> fn) {
  return rt::MakeBlock("T", std::move(fn));
}

// Compares the contents of an array with the wanted items, by literal form.
void ExpectItems(const Value& array, std::vector<Value> want) {
  ASSERT_TRUE(array.is_array()) << rt::ToLiteral(array);
  EXPECT_EQ(rt::ToLiteral(array), rt::ToLiteral(Arr(std::move(want))));
}

TEST_F(ArrayBuiltins, CreateGrowAndShrink) {
  Value a = rt::Call("ARRAY", {2, 3});
  ExpectItems(a, {Arr({Value(), Value(), Value()}),
                  Arr({Value(), Value(), Value()})});
  // Each row is its own array.
  EXPECT_NE(a.array()->items[0].array(), a.array()->items[1].array());
  EXPECT_EQ(rt::Call("LEN", {rt::Call("ARRAY", {0})}).num(), 0);

  Value b = Arr({1});
  EXPECT_EQ(rt::Call("AADD", {b, "x"}).str(), "x");
  ExpectItems(b, {1, "x"});
  EXPECT_EQ(rt::Call("ATAIL", {b}).str(), "x");
  EXPECT_TRUE(rt::Call("ATAIL", {Arr({})}).is_nil());
  ExpectItems(rt::Call("ASIZE", {b, 4}), {1, "x", Value(), Value()});
  ExpectItems(rt::Call("ASIZE", {b, 1}), {1});
}

TEST_F(ArrayBuiltins, DeleteInsertFillCopy) {
  ExpectItems(rt::Call("ADEL", {Arr({1, 2, 3}), 2}), {1, 3, Value()});
  ExpectItems(rt::Call("ADEL", {Arr({1, 2, 3}), 4}), {1, 2, 3});
  ExpectItems(rt::Call("AINS", {Arr({1, 2, 3}), 2}), {1, Value(), 2});
  ExpectItems(rt::Call("AINS", {Arr({1, 2, 3}), 0}), {1, 2, 3});
  ExpectItems(rt::Call("AFILL", {Arr({1, 2, 3, 4}), 0, 2, 2}), {1, 0, 0, 4});
  ExpectItems(rt::Call("AFILL", {Arr({1, 2}), "z"}), {"z", "z"});
  ExpectItems(rt::Call("ACOPY", {Arr({1, 2, 3}), rt::NewArray(5), 2, 5, 4}),
              {Value(), Value(), Value(), 2, 3});
  // Within one array the source is read as it was before the copy.
  Value same = Arr({1, 2, 3, 4});
  ExpectItems(rt::Call("ACOPY", {same, same, 1, 3, 2}), {1, 1, 2, 3});
}

TEST_F(ArrayBuiltins, ACloneCopiesDeeplyAndSurvivesCycles) {
  Value inner = Arr({1});
  Value outer = Arr({inner, inner});
  Value copy = rt::Call("ACLONE", {outer});
  inner.array()->items[0] = 2;
  ExpectItems(copy, {Arr({1}), Arr({1})});
  // Shared rows stay shared in the copy.
  EXPECT_EQ(copy.array()->items[0].array(), copy.array()->items[1].array());

  Value cyclic = Arr({7});
  cyclic.array()->items.push_back(cyclic);
  Value cyclic_copy = rt::Call("ACLONE", {cyclic});
  ASSERT_EQ(cyclic_copy.array()->items.size(), 2u);
  EXPECT_EQ(cyclic_copy.array()->items[1].array(), cyclic_copy.array());
  EXPECT_NE(cyclic_copy.array(), cyclic.array());
  cyclic.array()->items.clear();  // break the cycles so both are freed
  cyclic_copy.array()->items.clear();
  EXPECT_TRUE(rt::Call("ACLONE", {5}).is_nil());
}

TEST_F(ArrayBuiltins, AScanByValueAndByBlock) {
  Value a = Arr({"abc", 1, "ab", rt::Date{}, Value()});
  struct ScanCase {
    Value target;
    std::vector<Value> range;  // start, count
    int want;
  };
  const ScanCase cases[] = {
      {"ab", {}, 1},      // "abc" = "ab" under the "=" rule
      {1, {}, 2},         // elements of other types are skipped, not errors
      {"ab", {2}, 3},
      {"ab", {2, 1}, 0},  // count limits the scan
      {rt::Date{}, {}, 4},
      {Value(), {}, 5},
      {2, {}, 0},
      {Block([](rt::Frame& f) { return Value(f.arg(0).is_number()); }), {},
       2},
      // The block receives the position as its second argument.
      {Block([](rt::Frame& f) { return Value(f.arg(1).num() == 4); }), {}, 4},
  };
  for (const ScanCase& c : cases) {
    std::vector<Value> args = {a, c.target};
    args.insert(args.end(), c.range.begin(), c.range.end());
    EXPECT_EQ(rt::Call("ASCAN", args).num(), c.want)
        << builtins_test::CallText("ASCAN", args);
  }
}

TEST_F(ArrayBuiltins, AEvalPassesPositionsAndAssignsOnRequest) {
  Value a = Arr({1, 2, 3});
  Value times_ten = Block([](rt::Frame& f) { return Value(f.arg(1).num() * 10); });
  rt::Call("AEVAL", {a, times_ten});
  ExpectItems(a, {1, 2, 3});
  rt::Call("AEVAL", {a, times_ten, 2, 1, true});
  ExpectItems(a, {1, 20, 3});
  EXPECT_TRUE(rt::ExactlyEqual(rt::Call("AEVAL", {a, times_ten, Value(), Value(), true}), a));
  ExpectItems(a, {10, 20, 30});
  EXPECT_NE(ErrorOf("AEVAL", {a, 5}).find("bad argument #2 to 'AEVAL'"),
            std::string::npos);
}

// A block that empties or grows the array it walks never makes the walk read
// past the end.
TEST_F(ArrayBuiltins, BlocksMayResizeTheArrayTheyWalk) {
  Value a = Arr({1, 2, 3, 4});
  int calls = 0;
  Value shrink = Block([&](rt::Frame&) {
    ++calls;
    rt::Call("ASIZE", {a, 1});
    return Value(false);
  });
  EXPECT_EQ(rt::Call("ASCAN", {a, shrink}).num(), 0);
  EXPECT_EQ(calls, 1);

  Value b = Arr({1, 2});
  Value grow_then_clear = Block([&](rt::Frame& f) {
    if (f.arg(1).num() == 1) rt::Call("AADD", {b, 3});
    if (f.arg(1).num() == 2) b.array()->items.clear();
    return Value(0);
  });
  rt::Call("AEVAL", {b, grow_then_clear, Value(), Value(), true});
  EXPECT_TRUE(b.array()->items.empty());
}

TEST_F(ArrayBuiltins, ASortOrdersByTypeThenValue) {
  rt::Date d1 = rt::MakeDate(2026, 1, 1);
  rt::Date d2 = rt::MakeDate(2026, 6, 1);
  Value a = Arr({"b", 3, d2, true, "a", Value(), 1, rt::Date{}, false, d1});
  rt::Call("ASORT", {a});
  ExpectItems(a, {Value(), false, true, 1, 3, rt::Date{}, d1, d2, "a", "b"});

  Value part = Arr({5, 4, 3, 2, 1});
  rt::Call("ASORT", {part, 2, 3});
  ExpectItems(part, {5, 2, 3, 4, 1});

  Value down = Arr({1, 3, 2});
  rt::Call("ASORT",
           {down, Value(), Value(), Block([](rt::Frame& f) {
              return Value(f.arg(0).num() > f.arg(1).num());
            })});
  ExpectItems(down, {3, 2, 1});
}

// A comparison block need not be a consistent order; the sort still ends
// with the same elements, however they are arranged.
TEST_F(ArrayBuiltins, ASortSurvivesAnInconsistentBlock) {
  std::vector<Value> items;
  for (int i = 0; i < 200; ++i) items.push_back((i * 37) % 101);
  Value a = Arr(items);
  unsigned state = 1;
  Value coin = Block([&](rt::Frame&) {
    state = state * 1103515245 + 12345;
    return Value((state >> 16) % 2 == 0);
  });
  rt::Call("ASORT", {a, Value(), Value(), coin});
  std::vector<double> got, want;
  for (const Value& v : a.array()->items) got.push_back(v.num());
  for (const Value& v : items) want.push_back(v.num());
  std::sort(got.begin(), got.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
}

TEST_F(ArrayBuiltins, BadArgumentsRaiseArgumentErrors) {
  struct ErrorCase {
    const char* func;
    std::vector<Value> args;
    const char* names;
  };
  const ErrorCase cases[] = {
      {"ARRAY", {}, "bad argument #1 to 'ARRAY'"},
      {"ARRAY", {"3"}, "bad argument #1 to 'ARRAY'"},
      {"ARRAY", {10000, 10000}, "bad argument #2 to 'ARRAY'"},
      {"AADD", {"x", 1}, "bad argument #1 to 'AADD'"},
      {"ASCAN", {Value(), 1}, "bad argument #1 to 'ASCAN'"},
      {"ASORT", {Arr({1}), 1, 1, 5}, "bad argument #4 to 'ASORT'"},
      {"ASIZE", {Arr({}), "2"}, "bad argument #2 to 'ASIZE'"},
  };
  for (const ErrorCase& c : cases) {
    std::string message = ErrorOf(c.func, c.args);
    EXPECT_NE(message.find(c.names), std::string::npos)
        << builtins_test::CallText(c.func, c.args) << " raised \"" << message
        << "\"";
  }
}

}  // namespace

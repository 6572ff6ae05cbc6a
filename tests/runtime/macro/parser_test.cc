// The parser against dumps of its trees, and the texts it must refuse.
#include "runtime/macro/parser.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/macro/dump.h"

namespace rt::macro {
namespace {

struct DumpCase {
  const char* text;
  const char* dump;
};

std::string DumpOf(const char* text) {
  ParseResult r = Parse(text);
  return r.ok() ? Dump(*r.root) : "ERROR " + r.error.Message();
}

TEST(Parser, BuildsTheExpectedTrees) {
  const DumpCase cases[] = {
      // Precedence and grouping.
      {"a + b * 2", "add(var a, mul(var b, num 2))"},
      {"(a + b) * 2", "mul(add(var a, var b), num 2)"},
      {"a - b - c", "sub(sub(var a, var b), var c)"},
      {"2 ** 3 ^ 2", "pow(pow(num 2, num 3), num 2)"},
      {"-2 ** 2", "pow(num -2, num 2)"},
      {"-a * b", "mul(neg(var a), var b)"},
      {"a % b / c", "div(mod(var a, var b), var c)"},
      {"a = b .AND. c # d .OR. !e",
       "or(and(eq(var a, var b), ne(var c, var d)), not(var e))"},
      {".NOT. a == b", "not(eeq(var a, var b))"},
      {"a <> b .or. a != b", "or(ne(var a, var b), ne(var a, var b))"},
      {"a<=b", "le(var a, var b)"},
      {"a >= b", "ge(var a, var b)"},
      {"a < b", "lt(var a, var b)"},
      {"a > b", "gt(var a, var b)"},
      {"'x' $ s", "has(str \"x\", var s)"},
      // Literals.
      {"12.5", "num 12.5"},
      {".5", "num 0.5"},
      {"\"it's\"", "str \"it's\""},
      {"'say \"hi\"'", "str \"say \"hi\"\""},
      {".t. .AND. .N.", "and(log .T., log .F.)"},
      {"nil", "nil"},
      {"{1, , 'a'}", "array(num 1, nil, str \"a\")"},
      {"{}", "array()"},
      {"{{1}}", "array(array(num 1))"},
      // Assignment groups right to left and wants a place.
      {"a := b := 1", "assign(var a, assign(var b, num 1))"},
      {"x += 2", "addassign(var x, num 2)"},
      {"a[1] -= 1", "subassign(index(var a, num 1), num 1)"},
      {"o:name := 3", "assign(msg name(var o), num 3)"},
      {"++i", "preinc(var i)"},
      {"i--", "postdec(var i)"},
      // Names with aliases.
      {"FIELD->NAME", "field NAME"},
      {"_field->name", "field name"},
      {"M->x", "memvar x"},
      {"memvar->x := 1", "assign(memvar x, num 1)"},
      {"CUST->NAME", "field CUST->NAME"},
      {"FIELD->CUST->NAME", "field CUST->NAME"},
      {"CUST->(a, b)", "area(str \"CUST\", list(var a, var b))"},
      {"(3)->(x)", "area(num 3, var x)"},
      {"(n)->NAME", "area(var n, field NAME)"},
      // Calls, IIf, references, macros.
      {"f()", "call f()"},
      {"FieldGet(i)", "call FieldGet(var i)"},
      {"f(1,,@x, @M->y)", "call f(num 1, nil, ref(var x), ref(memvar y))"},
      {"f(,)", "call f(nil, nil)"},
      {"IIf(a, b, c)", "iif(var a, var b, var c)"},
      {"if(a, b)", "iif(var a, var b, nil)"},
      {"&name", "macro(var name)"},
      {"&('1' + x)", "macro(add(str \"1\", var x))"},
      // Messages and indexing.
      {"o:setData()", "send setData(var o)"},
      {"o:a:b(1, 2)", "send b(msg a(var o), num 1, num 2)"},
      {"a[i][j]", "index(index(var a, var i), var j)"},
      {"a[i, j]", "index(index(var a, var i), var j)"},
      {"f(x)[2]:y", "msg y(index(call f(var x), num 2))"},
      {"(1, 2)", "list(num 1, num 2)"},
      {"1, 2", "list(num 1, num 2)"},
      // Blocks.
      {"{|| 1}", "block(|| num 1)"},
      {"{||}", "block(||)"},
      {"{|x,i| x:=FieldGet(i) }",
       "block(|x,i| assign(var x, call FieldGet(var i)))"},
      {"{|a| a, {|b| a + b}}", "block(|a| var a, block(|b| add(var a, var b)))"},
      // The texts the block builders assemble.
      {"{|x| IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x) }",
       "block(|x| iif(eeq(var x, nil), field NAME, assign(field NAME, var x)))"},
      {"{|x| CUST->(IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x)) }",
       "block(|x| area(str \"CUST\", iif(eeq(var x, nil), field NAME, "
       "assign(field NAME, var x))))"},
      {"{|x| (3)->(IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x)) }",
       "block(|x| area(num 3, iif(eeq(var x, nil), field NAME, "
       "assign(field NAME, var x))))"},
      {"{|x| IIf( PCount()==0 , AnyVar, AnyVar:=x ) }",
       "block(|x| iif(eeq(call PCount(), num 0), var AnyVar, "
       "assign(var AnyVar, var x)))"},
      {"{|x| Valtype(x) <> \"O\" }",
       "block(|x| ne(call Valtype(var x), str \"O\"))"},
      {"{|e| Break(e) }", "block(|e| call Break(var e))"},
  };
  for (const DumpCase& c : cases) {
    EXPECT_EQ(DumpOf(c.text), c.dump) << "text: " << c.text;
  }
}

TEST(Parser, KeepsTheSourceOfEachBlockLiteral) {
  ParseResult r = Parse("f({|x| x + 1 }, {|| 2})");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.root->kids[0]->text, "{|x| x + 1 }");
  EXPECT_EQ(r.root->kids[1]->text, "{|| 2}");
}

struct ErrorCase {
  const char* text;
  const char* message;
};

TEST(Parser, RefusesMalformedTextWithPositionAndReason) {
  const ErrorCase cases[] = {
      {"", "syntax error at 1: expected an expression (found end of text)"},
      {"f(1, 2", "syntax error at 7: expected ',' or ')' (found end of text)"},
      {"(a + b", "syntax error at 7: expected ')' (found end of text)"},
      {"a + b)", "syntax error at 6: expected an operator or end of text (found ')')"},
      {"a b", "syntax error at 3: expected an operator or end of text (found name 'b')"},
      {"1 + * 2", "syntax error at 5: expected an expression (found '*')"},
      {"'abc", "syntax error at 1: string without its closing quote"},
      {"a ~ b", "syntax error at 3: character that starts no token"},
      {"a .XOR. b", "syntax error at 3: '.' that starts no number or operator"},
      {"1 := 2", "syntax error at 3: expected a variable, field, element or object variable before ':=' (found ':=')"},
      {"f() := 2", "syntax error at 5: expected a variable, field, element or object variable before ':=' (found ':=')"},
      {"o:m() := 2", "syntax error at 7: expected a variable, field, element or object variable before ':=' (found ':=')"},
      {"++1", "syntax error at 3: expected a variable, field or element after '++' (found an expression that cannot be assigned)"},
      {"{|x, x| x}", "syntax error at 6: expected a parameter name not used before (found name 'x')"},
      {"{|x x}", "syntax error at 5: expected ',' or '|' (found name 'x')"},
      {"{|x| x", "syntax error at 7: expected ',' or '}' (found end of text)"},
      {"{1, 2", "syntax error at 6: expected ',' or '}' (found end of text)"},
      {"a[1", "syntax error at 4: expected ']' (found end of text)"},
      {"o:", "syntax error at 3: expected a message name after ':' (found end of text)"},
      {"FIELD->", "syntax error at 8: expected a field name after 'FIELD->' (found end of text)"},
      {"M->1", "syntax error at 4: expected a variable name after 'M->' (found a number)"},
      {"CUST->1", "syntax error at 7: expected '(' or a field name after '->' (found a number)"},
      {"f(@1)", "syntax error at 4: expected a variable name after '@' (found another expression)"},
      {"IIf(a)", "syntax error at 1: expected 2 or 3 arguments to IIf (found 1 arguments)"},
      {"IIf(a, @b, c)", "syntax error at 8: expected a value in IIf (found '@')"},
      {"@x", "syntax error at 1: expected an expression (found '@')"},
      {"&1", "syntax error at 2: expected a name or '(' after '&' (found a number)"},
      {"x := ", "syntax error at 6: expected an expression (found end of text)"},
  };
  for (const ErrorCase& c : cases) {
    ParseResult r = Parse(c.text);
    EXPECT_FALSE(r.ok()) << "text: " << c.text;
    EXPECT_EQ(r.error.Message(), c.message) << "text: " << c.text;
  }
}

// Deep nesting fails as a syntax error instead of exhausting the stack in
// the parser, the compiler or the evaluation.
TEST(Parser, LimitsNestingDepth) {
  const std::string cases[] = {
      std::string(100000, '(') + "1" + std::string(100000, ')'),
      std::string(100000, '-') + "a",
      std::string(50000, '!') + "a",
      [] {
        std::string s = "1";
        for (int i = 0; i < 50000; ++i) s += "+1";
        return s;
      }(),
      [] {
        std::string s = "a";
        for (int i = 0; i < 50000; ++i) s += "[1]";
        return s;
      }(),
      [] {
        std::string s;
        for (int i = 0; i < 50000; ++i) s += "a:=";
        return s + "1";
      }(),
      [] {
        std::string s;
        for (int i = 0; i < 50000; ++i) s += "{|| ";
        return s;
      }(),
  };
  for (const std::string& text : cases) {
    ParseResult r = Parse(text);
    ASSERT_FALSE(r.ok()) << text.substr(0, 40);
    EXPECT_NE(r.error.Message().find("nesting deeper than"), std::string::npos)
        << r.error.Message();
  }
  // Nesting within the limit still parses.
  std::string fine = std::string(50, '(') + "1" + std::string(50, ')');
  EXPECT_TRUE(Parse(fine).ok());
}

}  // namespace
}  // namespace rt::macro

// The semantics of the expression language's operators, as plain functions
// over values.  The macro compiler calls them for every operator it compiles;
// built-ins that compare or combine values (ASCAN, MAX, ...) call them too,
// so the language has one meaning of "+" or "=" everywhere.
//
// Every function raises a runtime error (subsystem "BASE") on operands it
// does not accept: an argument error (kErrArgument) naming the operator and
// the operand types, or a zero-divide error (kErrZeroDiv).
#ifndef RUNTIME_CORE_OPERATORS_H_
#define RUNTIME_CORE_OPERATORS_H_

#include "runtime/api/value.h"

namespace rt {

// Arithmetic ---------------------------------------------------------------

// N + N; C + C concatenates; D + N and N + D shift a date by days (the empty
// date stays empty).
Value Add(const Value& a, const Value& b);
// N - N; D - D is the number of days between them; D - N is a date (the
// empty date stays empty); C - C concatenates after moving the trailing
// blanks of the left operand to the end of the result.
Value Subtract(const Value& a, const Value& b);
Value Multiply(const Value& a, const Value& b);
// Raises kErrZeroDiv when b is 0.
Value Divide(const Value& a, const Value& b);
// Remainder with the sign of the dividend.  Raises kErrZeroDiv when b is 0.
Value Modulo(const Value& a, const Value& b);
// a raised to b (the "**" and "^" operators).
Value Power(const Value& a, const Value& b);
// Unary minus; numbers only.
Value Negate(const Value& a);

// Comparison ---------------------------------------------------------------
//
// Ordering (<, <=, >, >=) needs two values of one type among C, N, D, L.
// Strings compare byte by byte as unsigned bytes; the empty date sorts
// before every date; .F. sorts before .T.

// The "=" operator.  NIL equals NIL and nothing else.  Strings are compared
// up to the length of the right operand: "abc" = "ab" is true, "ab" = "abc"
// false, and anything = "" is true.  Arrays, blocks and objects are equal
// only when they are the same reference.  Other mixes of types raise an
// argument error.
bool Equal(const Value& a, const Value& b);
// The "==" operator: like Equal, but strings must match in full.
bool ExactEqual(const Value& a, const Value& b);
// The "!=", "<>" and "#" operators: the negation of Equal.
bool NotEqual(const Value& a, const Value& b);

// "<" compares strings in full; "<=" is "<" or "="; ">" is not "<="; ">=" is
// not "<".  With the "=" rule above this keeps the four consistent:
// "abc" >= "ab" is true and "abc" > "ab" is false, as "abc" = "ab".
bool Less(const Value& a, const Value& b);
bool LessEqual(const Value& a, const Value& b);
bool Greater(const Value& a, const Value& b);
bool GreaterEqual(const Value& a, const Value& b);

// The "$" operator: true when string a occurs in string b.  An empty a
// occurs nowhere (as AT() finds no empty string).
bool Contains(const Value& a, const Value& b);

}  // namespace rt

#endif  // RUNTIME_CORE_OPERATORS_H_

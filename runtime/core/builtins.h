// The built-in functions of the host runtime: values, strings, numbers,
// dates, arrays, blocks, errors, calls, settings and national messages.
//
// Each file builtins_<group>.cc holds one group as a registration table; this
// header lists the tables and the helpers the groups share.  Every built-in is
// registered variadic (declared parameter count -1): it reads what the caller
// passed and treats a missing argument as NIL.  An argument of the wrong type
// raises "bad argument #n to 'NAME' (...)" through RaiseArgError.
#ifndef RUNTIME_CORE_BUILTINS_H_
#define RUNTIME_CORE_BUILTINS_H_

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "runtime/api/runtime.h"
#include "runtime/api/value.h"

namespace rt {

// Registers every table below.  Called once by InitRuntime.
void RegisterCoreBuiltins();

namespace builtins {

// The registration tables, one per group.
std::span<const FunctionEntry> ValueFunctions();   // VALTYPE, EMPTY, STR, ...
std::span<const FunctionEntry> StringFunctions();  // SUBSTR, UPPER, AT, ...
std::span<const FunctionEntry> DateFunctions();    // CTOD, DTOC, DATE, TIME, ...
std::span<const FunctionEntry> ArrayFunctions();   // ARRAY, AADD, ASCAN, ...
std::span<const FunctionEntry> CallFunctions();    // EVAL, PCOUNT, SET, ...

// Longest string or array a built-in will create; asking for more raises an
// argument error instead of exhausting memory.
inline constexpr double kMaxLength = 64.0 * 1024 * 1024;

// Argument readers.  `n` is the 1-based argument number, `func` the name
// reported in the error.  Each raises an argument error when the argument has
// another type; the Opt forms return `fallback` when it is NIL or missing.
const std::string& StrArg(Frame& f, int n, std::string_view func);
double NumArg(Frame& f, int n, std::string_view func);
double OptNumArg(Frame& f, int n, std::string_view func, double fallback);
Date DateArg(Frame& f, int n, std::string_view func);
const ArrayPtr& ArrayArg(Frame& f, int n, std::string_view func);
// A count or length argument: truncated toward zero; negative becomes 0; more
// than kMaxLength raises an argument error.
size_t LengthArg(Frame& f, int n, std::string_view func);
size_t OptLengthArg(Frame& f, int n, std::string_view func, size_t fallback);

// Rounds half away from zero at `dec` decimals (negative: tens, hundreds ...).
// Absorbs the binary representation error of decimal fractions, so 2.675
// rounds to 2.68 as its written form says.
double RoundDecimals(double n, int dec);

// The number with exactly `dec` decimals, right-aligned in `len` columns; a
// row of `len` asterisks when it does not fit.
std::string FormatFixed(double n, int len, int dec);

// STR(n) without a width: the number as NumberToText writes it, right-aligned
// in 10 columns.  An integer that needs more than 10 columns shows 10
// asterisks; a number with decimals keeps all its digits (the text may then
// be wider than 10).
std::string FormatDefault(double n);

// A date as DTOC shows it under the date-format setting; the format with
// blanks in place of the digits for the empty date.
std::string FormatDate(Date d);

// The value as TRANSFORM with the empty picture shows it.  Numbers keep their
// leading blanks (as STR), dates follow the date format, logicals are T or F,
// NIL is the empty string.  Arrays, blocks and objects raise an argument
// error for `func`.
std::string PlainText(const Value& v, std::string_view func);

}  // namespace builtins
}  // namespace rt

#endif  // RUNTIME_CORE_BUILTINS_H_

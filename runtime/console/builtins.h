// Helpers shared by the console's built-in functions.
#ifndef RUNTIME_CONSOLE_BUILTINS_H_
#define RUNTIME_CONSOLE_BUILTINS_H_

#include <span>
#include <string>

#include "runtime/api/console.h"
#include "runtime/api/runtime.h"

namespace rt::console {

// A number as an int, truncated and clamped to +-1e9; NaN gives `fallback`.
// (Casting an out-of-range double straight to int is undefined.)
int ToInt(double n, int fallback = 0);

// Argument i as an int: `fallback` when NIL or not passed; a number is
// truncated and clamped to +-1e6; anything else raises "bad argument".
int IntArg(Frame& frame, int i, int fallback, const char* func);

// The text a value shows as on the screen (strings as they are, numbers as
// STR() gives them, dates as DTOC() gives them, logicals T/F, NIL "NIL").
std::string DisplayText(const Value& v);

// The registration tables of the two halves of the built-ins.
std::span<const FunctionEntry> ScreenBuiltins();
std::span<const FunctionEntry> InputBuiltins();

}  // namespace rt::console

#endif  // RUNTIME_CONSOLE_BUILTINS_H_

// Built-ins over blocks, errors, calls, settings and messages: EVAL, PCOUNT,
// ERRORBLOCK, BREAK, PROCNAME, PROCLINE, SET, NATIONMSG, TYPE.
//
// A built-in runs in its own frame, so "the running procedure" of PCOUNT,
// PROCNAME and PROCLINE is the caller of that frame.
#include <cmath>
#include <string>

#include "runtime/core/builtins.h"

namespace rt::builtins {
namespace {

// EVAL(block [, args ...]): the arguments pass on as they came, references
// included.
Value FnEval(Frame& f) {
  if (!f.arg(0).is_block()) RaiseArgError(1, "EVAL", "block expected");
  Value block = f.arg(0);
  return Eval(block, f.args().subspan(1));
}

Value FnPcount(Frame& f) {
  const Frame* caller = f.caller();
  return caller ? caller->pcount() : 0;
}

// ERRORBLOCK([block]): the block in force; installs a new one when given.
Value FnErrorblock(Frame& f) {
  const Value& block = f.arg(0);
  if (block.is_nil()) return GetErrorBlock();
  if (!block.is_block()) RaiseArgError(1, "ERRORBLOCK", "block expected");
  return SetErrorBlock(block);
}

Value FnBreak(Frame& f) { Break(f.arg(0)); }

// The level argument of PROCNAME and PROCLINE, counted from the caller.
int Level(Frame& f, std::string_view func) {
  double n = OptNumArg(f, 1, func, 0);
  if (!(n >= 0)) return 1;  // negative or not a number: the caller
  return n > 1e6 ? 1000001 : static_cast<int>(n) + 1;
}

Value FnProcname(Frame& f) { return ProcName(Level(f, "PROCNAME")); }
Value FnProcline(Frame& f) { return ProcLine(Level(f, "PROCLINE")); }

int NumberArg(Frame& f, std::string_view func) {
  double n = NumArg(f, 1, func);
  if (!std::isfinite(n) || n < -1e6 || n > 1e6) return -1;
  return static_cast<int>(n);
}

// SET(n [, v]): the value of setting n before the call; a value other than
// NIL replaces it.
Value FnSet(Frame& f) {
  int n = NumberArg(f, "SET");
  if (f.arg(1).is_nil()) return GetSetting(n);
  return SetSetting(n, f.arg(1));
}

Value FnNationmsg(Frame& f) { return NationMsg(NumberArg(f, "NATIONMSG")); }

// TYPE(text): the type letter of the expression's value, evaluated with
// every runtime error caught: "UE" when the text does not compile, "UI" when
// it calls an unknown function, "U" for any other error or a NIL result.
Value FnType(Frame& f) {
  const std::string& text = StrArg(f, 1, "TYPE");
  if (text.find_first_not_of(' ') == std::string::npos) return "U";
  // Installs an error block that leaves the guarded sequence below, and puts
  // the caller's block back on every way out.
  struct ErrorBlockScope {
    Value saved;
    ~ErrorBlockScope() { SetErrorBlock(saved); }
  } scope{SetErrorBlock(MakeBlock("TYPE", [](Frame& e) -> Value {
    Break(e.arg(0));
  }))};
  return Guarded(
      [&]() -> Value {
        return std::string(1, MacroEval(text).type_letter());
      },
      [](const Value& error) -> Value {
        if (!error.is_object()) return "U";
        Value code = GetVar(error, "genCode");
        if (code.is_number() && code.num() == static_cast<int>(kErrSyntax)) return "UE";
        Value desc = GetVar(error, "description");
        if (code.is_number() && code.num() == static_cast<int>(kErrUndefined) &&
            desc.is_string() && desc.str().find("function") != std::string::npos) {
          return "UI";
        }
        return "U";
      });
}

constexpr FunctionEntry kCallFunctions[] = {
    {"EVAL", -1, false, &FnEval},
    {"PCOUNT", -1, false, &FnPcount},
    {"ERRORBLOCK", -1, false, &FnErrorblock},
    {"BREAK", -1, false, &FnBreak},
    {"PROCNAME", -1, false, &FnProcname},
    {"PROCLINE", -1, false, &FnProcline},
    {"SET", -1, false, &FnSet},
    {"NATIONMSG", -1, false, &FnNationmsg},
    {"TYPE", -1, false, &FnType},
};

}  // namespace

std::span<const FunctionEntry> CallFunctions() { return kCallFunctions; }

}  // namespace rt::builtins

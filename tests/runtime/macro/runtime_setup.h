// Start-up shared by the macro tests.
#ifndef TESTS_RUNTIME_MACRO_RUNTIME_SETUP_H_
#define TESTS_RUNTIME_MACRO_RUNTIME_SETUP_H_

#include "runtime/api/runtime.h"
#include "runtime/core/builtins.h"

namespace rt {

// InitRuntime, plus the core built-ins (EVAL, PCOUNT, TYPE, ...) for as long
// as InitRuntime does not register them itself; a no-op once it does.
inline void StartRuntime() {
  InitRuntime();
  if (!FindFunction("EVAL")) RegisterCoreBuiltins();
}

}  // namespace rt

#endif  // TESTS_RUNTIME_MACRO_RUNTIME_SETUP_H_

// Start-up of the runtime: registers the built-in functions and classes of
// every concern once.
#include "runtime/api/console.h"
#include "runtime/api/runtime.h"
#include "runtime/console/get_class.h"
#include "runtime/core/builtins.h"
#include "runtime/core/internal.h"
#include "runtime/tables/table_builtins.h"

namespace rt {

void InitRuntime() {
  static bool done = false;
  if (done) return;
  done = true;
  internal::RegisterErrorClass();
  RegisterCoreBuiltins();
  RegisterGetClass();
  console::RegisterConsoleBuiltins();
  RegisterTableBuiltins();
}

}  // namespace rt

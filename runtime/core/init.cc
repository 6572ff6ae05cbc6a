// Start-up of the runtime: registers the built-in functions and classes of
// every concern once.
#include "runtime/api/runtime.h"
#include "runtime/core/internal.h"

namespace rt {

void InitRuntime() {
  static bool done = false;
  if (done) return;
  done = true;
  internal::RegisterErrorClass();
}

}  // namespace rt

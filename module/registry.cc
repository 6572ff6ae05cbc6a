// The public-function table of the module, and the hooks the runtime calls
// when it loads and unloads the library.
#include "module/registry.h"

#include "module/export.h"

namespace vornex {
namespace {

// One row per public function, in the documented order.  A row is added here
// when its function is built.
constexpr rt::FunctionEntry kPublicFunctions[] = {
    {"VORNEX", 0, false, &Vornex},
};

}  // namespace

std::span<const rt::FunctionEntry> PublicFunctions() {
  return kPublicFunctions;
}

}  // namespace vornex

// Attach: register the table.  Every literal string of the module is a
// function-local or namespace-scope constant created when the library is
// loaded, before this hook runs, so nothing more is needed here.
extern "C" MORB_EXPORT int rt_module_attach() {
  rt::RegisterFunctions(vornex::PublicFunctions());
  return 1;
}

// Detach: withdraw the table, so the names no longer resolve.
extern "C" MORB_EXPORT int rt_module_detach() {
  rt::WithdrawFunctions(vornex::PublicFunctions());
  return 1;
}

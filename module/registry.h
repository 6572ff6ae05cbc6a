// The module's public-function table and its load and unload hooks.
//
// Loading the module registers every row of the table with the runtime, so
// the host and other modules call these functions by name; unloading
// withdraws the same rows.  The table keeps the documented order; each row
// holds the public name, the declared parameter count and whether the call
// yields a class object.
#ifndef MODULE_REGISTRY_H_
#define MODULE_REGISTRY_H_

#include <span>

#include "runtime/api/runtime.h"

namespace vornex {

// The rows of the public-function table, in order.
std::span<const rt::FunctionEntry> PublicFunctions();

}  // namespace vornex

#endif  // MODULE_REGISTRY_H_

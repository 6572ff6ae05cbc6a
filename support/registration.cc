// The support library's function table and its load and unload hooks.
#include <span>

#include "runtime/api/runtime.h"

#define SUPPORT_EXPORT __attribute__((visibility("default")))

namespace support {
namespace {

// One row per function of the library.
constexpr rt::FunctionEntry kFunctions[] = {
    {"SUPPORTVERSION", 0, false, [](rt::Frame&) -> rt::Value { return "1"; }},
};

}  // namespace
}  // namespace support

extern "C" SUPPORT_EXPORT int rt_module_attach() {
  rt::RegisterFunctions(support::kFunctions);
  return 1;
}

extern "C" SUPPORT_EXPORT int rt_module_detach() {
  rt::WithdrawFunctions(support::kFunctions);
  return 1;
}

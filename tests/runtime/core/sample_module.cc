// A tiny loadable module for the loader tests: registers two functions.
#include "runtime/api/runtime.h"

namespace {
rt::Value Twice(rt::Frame& f) { return f.arg(0).num() * 2; }
const rt::FunctionEntry kTable[] = {
    {"SAMPLE_TWICE", 1, false, &Twice},
    {"SAMPLE_CLASS", 0, true, &Twice},
};
// Created when the library is loaded, before the attach hook runs.
const rt::Value kLiteral = "created at load";
}  // namespace

extern "C" __attribute__((visibility("default"))) int rt_module_attach() {
  rt::RegisterFunctions(kTable);
  rt::SetPublic("SAMPLE_LITERAL", kLiteral);
  return 1;
}
extern "C" __attribute__((visibility("default"))) int rt_module_detach() {
  rt::WithdrawFunctions(kTable);
  return 1;
}

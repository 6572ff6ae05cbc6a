// Hooks between the files of runtime/core that are not part of the API.
#ifndef RUNTIME_CORE_INTERNAL_H_
#define RUNTIME_CORE_INTERNAL_H_

#include <string>
#include <string_view>

#include "runtime/api/runtime.h"

namespace rt::internal {

// Drops the private variables a frame declared (called when it ends).
void ReleasePrivatesOf(const Frame* frame);
// Upper-case copy of a name (names of functions, variables, messages).
std::string UpperName(std::string_view name);
// Creates the ERROR class (once) and builds an error object from `info`.
Value MakeErrorObject(const ErrorInfo& info);
// Registration of the error class and core functions, run by InitRuntime.
void RegisterErrorClass();

}  // namespace rt::internal

#endif  // RUNTIME_CORE_INTERNAL_H_

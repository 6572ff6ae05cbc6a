// Running library code with runtime errors caught, for the functions that
// report a failure in a message instead of ending the program.
#ifndef SUPPORT_ERROR_TRAP_H_
#define SUPPORT_ERROR_TRAP_H_

#include <functional>
#include <string>

#include "runtime/api/runtime.h"

namespace support {

// Runs `body` with an error block that leaves it at the first runtime error
// (the error block in force before is put back afterwards, whatever
// happens).  Returns true when `body` completed; otherwise false with
// `error` set to the error object.
bool TrapErrors(const std::function<void()>& body, rt::Value* error);

// What an error object says, for a person: its description, followed by the
// file it names when the description does not already name it.
std::string DescribeError(const rt::Value& error);

// Raises again the error an error object describes (after TrapErrors caught
// it and the caller decided it cannot handle it).
[[noreturn]] void RaiseAgain(const rt::Value& error);

}  // namespace support

#endif  // SUPPORT_ERROR_TRAP_H_

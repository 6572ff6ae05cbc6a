// A one-line text form of a parsed tree, for tests and for reading what the
// parser made of a text: "a + b * 2" dumps as
// "add(var a, mul(var b, num 2))".
#ifndef RUNTIME_MACRO_DUMP_H_
#define RUNTIME_MACRO_DUMP_H_

#include <string>

#include "runtime/macro/node.h"

namespace rt::macro {

std::string Dump(const Node& node);

}  // namespace rt::macro

#endif  // RUNTIME_MACRO_DUMP_H_

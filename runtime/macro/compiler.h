// Turns a parsed tree (node.h) into a tree of closures, once.  Evaluating
// the result walks the closures only: the text is never looked at again.
#ifndef RUNTIME_MACRO_COMPILER_H_
#define RUNTIME_MACRO_COMPILER_H_

#include <string>

#include "runtime/api/runtime.h"
#include "runtime/macro/node.h"

namespace rt::macro {

// Compiles `root` (the tree of `source`) into a block of no parameters that
// yields the expression's value.  Compiling cannot fail: every check that
// can fail on the text is the parser's.
//
// The returned block pushes no frame of its own: an expression runs in the
// context of its caller, so PCOUNT() and PROCNAME(0) in it see the caller,
// as the macro operator must.  Block literals inside it are blocks in their
// own right: evaluating one pushes a frame named "(b)" plus the procedure
// that created it, holding its arguments.
BlockPtr Compile(const Node& root, std::string source);

}  // namespace rt::macro

#endif  // RUNTIME_MACRO_COMPILER_H_

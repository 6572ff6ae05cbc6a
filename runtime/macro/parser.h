// Parses expression text into a tree of nodes (node.h).  The parser runs
// without the runtime: a malformed text yields a SyntaxError value, which
// the caller turns into a runtime error (macro.cc).
#ifndef RUNTIME_MACRO_PARSER_H_
#define RUNTIME_MACRO_PARSER_H_

#include <string>
#include <string_view>

#include "runtime/macro/node.h"

namespace rt::macro {

// Deepest nesting of the tree the parser accepts.  Compiling and evaluating
// recurse along the tree, so the limit bounds their stack use as well.
constexpr int kMaxDepth = 200;

// Why a text did not parse: the 1-based position of the offending token,
// what the parser expected there and what it found.
struct SyntaxError {
  int pos = 0;
  std::string expected;  // e.g. "')'", "an expression"; empty when the
                         // text holds no valid token there
  std::string found;     // e.g. "end of text", "name 'x'", or what is
                         // wrong with the bytes at `pos`

  // "syntax error at 7: expected ')' (found end of text)", or
  // "syntax error at 1: string without its closing quote"
  std::string Message() const;
};

struct ParseResult {
  NodePtr root;       // the expression; null when `error` is set
  SyntaxError error;  // pos 0 when the text parsed
  bool ok() const { return root != nullptr; }
};

// Parses a whole text as one expression list ("e1, e2" is allowed at the top
// and yields a kList).  Never throws for any input.
ParseResult Parse(std::string_view text);

}  // namespace rt::macro

#endif  // RUNTIME_MACRO_PARSER_H_

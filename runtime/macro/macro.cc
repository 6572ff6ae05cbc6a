// rt::CompileExpression and rt::MacroEval: parse fully, then compile, then
// (for MacroEval) run.  Nothing of a text runs unless all of it parsed.
#include "runtime/api/runtime.h"
#include "runtime/macro/compiler.h"
#include "runtime/macro/parser.h"

namespace rt {

BlockPtr CompileExpression(std::string_view text) {
  macro::ParseResult parsed = macro::Parse(text);
  if (!parsed.ok()) {
    ErrorInfo info;
    info.description = parsed.error.Message();
    info.operation = "&";
    info.args = {Value(text)};
    info.subsystem = "MACRO";
    info.gen_code = kErrSyntax;
    info.sub_code = parsed.error.pos;  // the 1-based position, for handlers
    Raise(std::move(info));
  }
  return macro::Compile(*parsed.root, std::string(text));
}

Value MacroEval(std::string_view text) {
  BlockPtr block = CompileExpression(text);
  return block->Eval({});
}

}  // namespace rt

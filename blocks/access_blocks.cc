// FIELDBLOCK, FIELDWBLOCK, MEMVARBLOCK and ANCHORCB.  The first three assemble
// the text of a block literal and have the macro compiler turn it into a
// block, so the block looks its field or variable up each time it runs.
#include "blocks/access_blocks.h"

#include <cctype>

namespace vornex {
namespace {

// Literal pieces of the generated texts, created when the module is loaded.
const std::string kFieldPrefix = "FIELD->";
const std::string kAliasArrow = "->";
const std::string kReadOrAssignHead = "{|x| IIf(x==NIL,";
const std::string kComma = ",";
const std::string kAssignTail = ":=x) }";
const std::string kBlockHead = "{|x| ";
const std::string kOpenParen = "(";
const std::string kCloseParenArrow = ")->";
const std::string kAreaReadHead = "(IIf(x==NIL,FIELD->";
const std::string kAreaAssignTail = ":=x)) }";
const std::string kMemvarPrefix = "M->";

// The error-to-break block "{|e| Break(e) }" that MEMVARBLOCK installs, so
// any error while it builds its block ends its guarded sequence.
const rt::Value kErrorToBreak =
    rt::MakeBlock("(B)MEMVARBLOCK@0000", [](rt::Frame& f) -> rt::Value {
      rt::Break(f.arg(0));
    });

bool Contains(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

bool IsIdentifier(std::string_view s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_'))
    return false;
  for (char c : s) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  }
  return true;
}

// A variable name, optionally with an alias prefix ("X", "M->X").  Anything
// else would be compiled and run as code, so it is refused before that.
bool IsVariableName(const std::string& name) {
  size_t arrow = name.find(kAliasArrow);
  if (arrow == std::string::npos) return IsIdentifier(name);
  return IsIdentifier(std::string_view(name).substr(0, arrow)) &&
         IsIdentifier(std::string_view(name).substr(arrow + kAliasArrow.size()));
}

// Makes the area that was current when it was built current again when it
// goes out of scope, on an error too.
class AreaRestorer {
 public:
  AreaRestorer() : area_(rt::Call("SELECT")) {}
  ~AreaRestorer() {
    try {
      rt::Call("DBSELECTAREA", {area_});
    } catch (...) {
      // Leaving by an error already: that error is the one to report.
    }
  }

 private:
  rt::Value area_;
};

}  // namespace

rt::Value FieldBlock(rt::Frame& frame) {
  RT_LINE(frame);
  const rt::Value& name_arg = frame.arg(0);
  if (rt::Call("FIELDPOS", {name_arg}).num() == 0) return rt::Value();
  std::string name = name_arg.str();
  if (!Contains(name, kAliasArrow)) name = kFieldPrefix + name;
  RT_LINE(frame);
  return rt::MacroEval(kReadOrAssignHead + name + kComma + name + kAssignTail);
}

rt::Value FieldWBlock(rt::Frame& frame) {
  RT_LINE(frame);
  const rt::Value& name = frame.arg(0);
  const rt::Value& area = frame.arg(1);
  AreaRestorer restore_area;
  RT_LINE(frame);
  rt::Call("DBSELECTAREA", {area});
  rt::Value block;
  if (rt::Call("FIELDPOS", {name}).num() != 0) {
    RT_LINE(frame);
    std::string text = kBlockHead;
    if (rt::Call("VALTYPE", {area}).str() == "C") {
      text += area.str() + kAliasArrow;
    } else {
      text += kOpenParen + rt::Call("LTRIM", {rt::Call("STR", {area})}).str() +
              kCloseParenArrow;
    }
    text += kAreaReadHead + name.str() + kComma + kFieldPrefix + name.str() +
            kAreaAssignTail;
    block = rt::MacroEval(text);
  }
  return block;
}

rt::Value MemvarBlock(rt::Frame& frame) {
  RT_LINE(frame);
  const rt::Value name_arg = frame.arg(0);
  rt::Value saved_handler = rt::SetErrorBlock(kErrorToBreak);
  rt::Value block;
  try {
    block = rt::Guarded(
        [&]() -> rt::Value {
          RT_LINE(frame);
          std::string name = name_arg.str();
          if (!IsVariableName(name)) return rt::Value();
          if (!Contains(name, kAliasArrow)) name = kMemvarPrefix + name;
          rt::MacroEval(name);  // fails when no such variable is visible
          RT_LINE(frame);
          return rt::MacroEval(kReadOrAssignHead + name + kComma + name + kAssignTail);
        },
        [](const rt::Value&) { return rt::Value(); });
  } catch (...) {
    rt::SetErrorBlock(saved_handler);
    throw;
  }
  rt::SetErrorBlock(saved_handler);
  return block;
}

rt::Value AnchorCb(rt::Frame& frame) {
  // The parameter's cell: the caller's variable when it came by reference,
  // otherwise a fresh one; the block keeps it alive.
  rt::CellPtr any_var = frame.cell(0);
  return rt::MakeBlock("(B)ANCHORCB", [any_var](rt::Frame& f) {
    if (f.pcount() == 0) return any_var->value;
    any_var->value = f.arg(0);
    return any_var->value;
  });
}

}  // namespace vornex

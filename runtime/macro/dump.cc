// Nothing pretty, just enough to compare trees in tests.
#include "runtime/macro/dump.h"

#include <charconv>
#include <cmath>

namespace rt::macro {
namespace {

// Names of the operator kinds, printed as name(kid, kid).  Keep in sync
// with NodeKind in node.h.
const char* OperatorName(NodeKind kind) {
  switch (kind) {
    case NodeKind::kArray: return "array";
    case NodeKind::kIif: return "iif";
    case NodeKind::kRef: return "ref";
    case NodeKind::kMacro: return "macro";
    case NodeKind::kIndex: return "index";
    case NodeKind::kList: return "list";
    case NodeKind::kAreaExpr: return "area";
    case NodeKind::kNeg: return "neg";
    case NodeKind::kPlus: return "plus";
    case NodeKind::kNot: return "not";
    case NodeKind::kAnd: return "and";
    case NodeKind::kOr: return "or";
    case NodeKind::kAdd: return "add";
    case NodeKind::kSub: return "sub";
    case NodeKind::kMul: return "mul";
    case NodeKind::kDiv: return "div";
    case NodeKind::kMod: return "mod";
    case NodeKind::kPow: return "pow";
    case NodeKind::kEq: return "eq";
    case NodeKind::kExactEq: return "eeq";
    case NodeKind::kNe: return "ne";
    case NodeKind::kLt: return "lt";
    case NodeKind::kLe: return "le";
    case NodeKind::kGt: return "gt";
    case NodeKind::kGe: return "ge";
    case NodeKind::kContains: return "has";
    case NodeKind::kAssign: return "assign";
    case NodeKind::kAddAssign: return "addassign";
    case NodeKind::kSubAssign: return "subassign";
    case NodeKind::kMulAssign: return "mulassign";
    case NodeKind::kDivAssign: return "divassign";
    case NodeKind::kModAssign: return "modassign";
    case NodeKind::kPreInc: return "preinc";
    case NodeKind::kPreDec: return "predec";
    case NodeKind::kPostInc: return "postinc";
    case NodeKind::kPostDec: return "postdec";
    default: return "?";
  }
}

std::string NumberText(double n) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, n);
  return std::string(buf, res.ptr);
}

void DumpKids(const Node& node, size_t from, std::string* out) {
  for (size_t i = from; i < node.kids.size(); ++i) {
    if (i > from) *out += ", ";
    *out += Dump(*node.kids[i]);
  }
}

}  // namespace

std::string Dump(const Node& node) {
  std::string out;
  switch (node.kind) {
    case NodeKind::kNil:
      return "nil";
    case NodeKind::kNumber:
      return "num " + NumberText(node.number);
    case NodeKind::kString:
      return "str \"" + node.text + "\"";
    case NodeKind::kLogical:
      return node.flag ? "log .T." : "log .F.";
    case NodeKind::kName:
      return "var " + node.text;
    case NodeKind::kField:
      return "field " + node.text;
    case NodeKind::kMemvar:
      return "memvar " + node.text;
    case NodeKind::kAliasField:
      return "field " + node.alias + "->" + node.text;
    case NodeKind::kCall:
      out = "call " + node.text + "(";
      DumpKids(node, 0, &out);
      return out + ")";
    case NodeKind::kSend:
      out = (node.flag ? "send " : "msg ") + node.text + "(";
      DumpKids(node, 0, &out);
      return out + ")";
    case NodeKind::kBlock: {
      out = "block(|";
      for (size_t i = 0; i < node.params.size(); ++i) {
        if (i > 0) out += ",";
        out += node.params[i];
      }
      out += "|";
      if (!node.kids.empty()) out += " ";
      DumpKids(node, 0, &out);
      return out + ")";
    }
    default:
      out = std::string(OperatorName(node.kind)) + "(";
      DumpKids(node, 0, &out);
      return out + ")";
  }
}

}  // namespace rt::macro

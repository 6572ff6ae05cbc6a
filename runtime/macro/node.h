// The parsed form of an expression: a tree of nodes, one kind per construct.
// The parser builds it (parser.h), the compiler turns it into closures
// (compiler.h) and the dumper prints it for tests (dump.h).
#ifndef RUNTIME_MACRO_NODE_H_
#define RUNTIME_MACRO_NODE_H_

#include <memory>
#include <string>
#include <vector>

namespace rt::macro {

// Keep in sync with the names in dump.cc (kKindNames) and with
// doc/expression_language.md.  `text` and `kids` are the fields of Node.
enum class NodeKind {
  kNil,         // NIL
  kNumber,      // number literal; value in `number`
  kString,      // string literal; bytes in `text`
  kLogical,     // .T. .F. .Y. .N.; value in `flag`
  kArray,       // {e1, e2}: kids are the elements (an empty slot is kNil)
  kBlock,       // {|a,b| e1, e2}: `params`, kids the body, `text` the source
  kName,        // bare name: block parameter, field or memory variable
  kField,       // FIELD->name: field of the current area; name in `text`
  kMemvar,      // M->name / MEMVAR->name: memory variable; name in `text`
  kAliasField,  // alias->name: `alias` and name in `text`
  kAreaExpr,    // alias->(list) / (n)->(list): kids[0] the area (kString
                // with the alias, or an expression yielding a number or an
                // alias), kids[1] the list evaluated with that area current
  kCall,        // name(args): function `text`, kids the arguments
  kIif,         // IIf(c, a, b) / If(c, a, b): kids c, a, b; lazy
  kRef,         // @name: kids[0] a kName, kMemvar or kField
  kMacro,       // &name / &(expr): kids[0] yields the text to compile
  kSend,        // obj:name(args): kids[0] receiver, kids[1..] arguments,
                // message `text`; `flag` when written with parentheses
  kIndex,       // a[i]: kids[0] the array, kids[1] the 1-based index
  kList,        // (e1, e2): kids evaluated in order; the last is the value
  kNeg,         // -a
  kPlus,        // +a (numbers only)
  kNot,         // .NOT. a / !a
  kAnd,         // a .AND. b (short-circuit)
  kOr,          // a .OR. b (short-circuit)
  kAdd,         // a + b
  kSub,         // a - b
  kMul,         // a * b
  kDiv,         // a / b
  kMod,         // a % b
  kPow,         // a ** b, a ^ b
  kEq,          // a = b  (strings up to the right operand's length)
  kExactEq,     // a == b
  kNe,          // a != b, a <> b, a # b
  kLt,          // a < b
  kLe,          // a <= b
  kGt,          // a > b
  kGe,          // a >= b
  kContains,    // a $ b
  kAssign,      // place := value; kids[0] the place (kName, kField, kMemvar,
                // kAliasField, kIndex or kSend without parentheses)
  kAddAssign,   // place += value
  kSubAssign,   // place -= value
  kMulAssign,   // place *= value
  kDivAssign,   // place /= value
  kModAssign,   // place %= value
  kPreInc,      // ++place
  kPreDec,      // --place
  kPostInc,     // place++
  kPostDec,     // place--
};

struct Node {
  NodeKind kind = NodeKind::kNil;
  int pos = 1;          // 1-based offset in the source of the node's start
  std::string text;     // name, string bytes, message, or a block's source
  std::string alias;    // kAliasField: the alias
  double number = 0;    // kNumber
  bool flag = false;    // kLogical value; kSend: written with "(...)"
  std::vector<std::string> params;  // kBlock parameters, in order
  std::vector<std::unique_ptr<Node>> kids;
  int height = 1;       // 1 for a leaf, else 1 + the tallest kid
};

using NodePtr = std::unique_ptr<Node>;

}  // namespace rt::macro

#endif  // RUNTIME_MACRO_NODE_H_

// Recursive-descent parser of the expression language.
//
// Precedence, lowest first: assignments (right to left), .OR., .AND.,
// .NOT./!, comparisons, + -, * / %, ** ^, unary - + ++ --, then postfix
// [index] :message ++ -- on a primary.  Binary operators group left to
// right.
#include "runtime/macro/parser.h"

#include <cctype>
#include <utility>
#include <vector>

#include "runtime/macro/lexer.h"

namespace rt::macro {
namespace {

// Thrown inside the parser only; Parse() turns it into a SyntaxError.
struct Failure {
  SyntaxError error;
};

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool IsPlace(const Node& n) {
  switch (n.kind) {
    case NodeKind::kName:
    case NodeKind::kField:
    case NodeKind::kMemvar:
    case NodeKind::kAliasField:
    case NodeKind::kIndex:
      return true;
    case NodeKind::kSend:
      return !n.flag;
    default:
      return false;
  }
}

class Parser {
 public:
  explicit Parser(std::string_view text)
      : text_(text), tokens_(Tokenize(text)) {}

  NodePtr ParseAll() {
    int pos = Peek().pos;
    std::vector<NodePtr> items = ParseExprList();
    if (Peek().kind != Tok::kEnd) Fail("an operator or end of text");
    return Collapse(pos, std::move(items));
  }

 private:
  // Tokens ---------------------------------------------------------------

  const Token& Peek(size_t ahead = 0) const {
    size_t i = next_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
  }
  bool At(Tok kind) const { return Peek().kind == kind; }
  const Token& Take() {
    const Token& t = Peek();
    // A kError token is always last and never consumed: report it.
    if (t.kind == Tok::kError) Fail("a valid token");
    if (next_ < tokens_.size() - 1) ++next_;
    return t;
  }
  bool Accept(Tok kind) {
    if (!At(kind)) return false;
    Take();
    return true;
  }
  const Token& Expect(Tok kind, const char* what) {
    if (!At(kind)) Fail(what);
    return Take();
  }

  [[noreturn]] void Fail(std::string expected) const {
    const Token& t = Peek();
    // A byte that starts no token is the error, whatever was expected.
    if (t.kind == Tok::kError) FailAt(t.pos, "", t.text);
    FailAt(t.pos, std::move(expected), Describe(t));
  }
  [[noreturn]] void FailAt(int pos, std::string expected,
                           std::string found) const {
    throw Failure{SyntaxError{pos, std::move(expected), std::move(found)}};
  }

  // Nodes ----------------------------------------------------------------

  NodePtr Make(NodeKind kind, int pos, std::vector<NodePtr> kids = {}) {
    auto n = std::make_unique<Node>();
    n->kind = kind;
    n->pos = pos;
    int tallest = 0;
    for (const NodePtr& k : kids) tallest = std::max(tallest, k->height);
    n->height = tallest + 1;
    if (n->height > kMaxDepth) {
      FailAt(pos, "a shallower expression",
             "nesting deeper than " + std::to_string(kMaxDepth));
    }
    n->kids = std::move(kids);
    return n;
  }
  NodePtr Make1(NodeKind kind, int pos, NodePtr a) {
    std::vector<NodePtr> kids;
    kids.push_back(std::move(a));
    return Make(kind, pos, std::move(kids));
  }
  NodePtr Make2(NodeKind kind, int pos, NodePtr a, NodePtr b) {
    std::vector<NodePtr> kids;
    kids.push_back(std::move(a));
    kids.push_back(std::move(b));
    return Make(kind, pos, std::move(kids));
  }
  NodePtr Collapse(int pos, std::vector<NodePtr> items) {
    if (items.size() == 1) return std::move(items[0]);
    return Make(NodeKind::kList, pos, std::move(items));
  }

  // Recursion guard: every construct that nests goes through it, so a deep
  // text fails cleanly before the C++ stack does.
  class Deeper {
   public:
    explicit Deeper(Parser* p) : p_(p) {
      if (++p_->depth_ > kMaxDepth) {
        p_->FailAt(p_->Peek().pos, "a shallower expression",
                   "nesting deeper than " + std::to_string(kMaxDepth));
      }
    }
    ~Deeper() { --p_->depth_; }

   private:
    Parser* p_;
  };

  // Grammar --------------------------------------------------------------

  std::vector<NodePtr> ParseExprList() {
    std::vector<NodePtr> items;
    items.push_back(ParseExpr());
    while (Accept(Tok::kComma)) items.push_back(ParseExpr());
    return items;
  }

  NodePtr ParseExpr() {
    Deeper guard(this);
    NodePtr left = ParseOr();
    NodeKind kind;
    switch (Peek().kind) {
      case Tok::kAssign: kind = NodeKind::kAssign; break;
      case Tok::kAddAssign: kind = NodeKind::kAddAssign; break;
      case Tok::kSubAssign: kind = NodeKind::kSubAssign; break;
      case Tok::kMulAssign: kind = NodeKind::kMulAssign; break;
      case Tok::kDivAssign: kind = NodeKind::kDivAssign; break;
      case Tok::kModAssign: kind = NodeKind::kModAssign; break;
      default: return left;
    }
    const Token& op = Peek();
    if (!IsPlace(*left)) {
      FailAt(op.pos, "a variable, field, element or object variable before '" + op.text + "'",
             Describe(op));
    }
    int pos = Take().pos;
    NodePtr right = ParseExpr();
    return Make2(kind, pos, std::move(left), std::move(right));
  }

  NodePtr ParseOr() {
    NodePtr left = ParseAnd();
    while (At(Tok::kOr)) {
      int pos = Take().pos;
      left = Make2(NodeKind::kOr, pos, std::move(left), ParseAnd());
    }
    return left;
  }

  NodePtr ParseAnd() {
    NodePtr left = ParseNot();
    while (At(Tok::kAnd)) {
      int pos = Take().pos;
      left = Make2(NodeKind::kAnd, pos, std::move(left), ParseNot());
    }
    return left;
  }

  NodePtr ParseNot() {
    if (At(Tok::kNot)) {
      Deeper guard(this);
      int pos = Take().pos;
      return Make1(NodeKind::kNot, pos, ParseNot());
    }
    return ParseCompare();
  }

  NodePtr ParseCompare() {
    NodePtr left = ParseAdditive();
    while (true) {
      NodeKind kind;
      switch (Peek().kind) {
        case Tok::kEq: kind = NodeKind::kEq; break;
        case Tok::kExactEq: kind = NodeKind::kExactEq; break;
        case Tok::kNe: kind = NodeKind::kNe; break;
        case Tok::kLt: kind = NodeKind::kLt; break;
        case Tok::kLe: kind = NodeKind::kLe; break;
        case Tok::kGt: kind = NodeKind::kGt; break;
        case Tok::kGe: kind = NodeKind::kGe; break;
        case Tok::kDollar: kind = NodeKind::kContains; break;
        default: return left;
      }
      int pos = Take().pos;
      left = Make2(kind, pos, std::move(left), ParseAdditive());
    }
  }

  NodePtr ParseAdditive() {
    NodePtr left = ParseMultiplicative();
    while (At(Tok::kPlus) || At(Tok::kMinus)) {
      NodeKind kind = At(Tok::kPlus) ? NodeKind::kAdd : NodeKind::kSub;
      int pos = Take().pos;
      left = Make2(kind, pos, std::move(left), ParseMultiplicative());
    }
    return left;
  }

  NodePtr ParseMultiplicative() {
    NodePtr left = ParsePower();
    while (At(Tok::kStar) || At(Tok::kSlash) || At(Tok::kPercent)) {
      NodeKind kind = At(Tok::kStar)    ? NodeKind::kMul
                      : At(Tok::kSlash) ? NodeKind::kDiv
                                        : NodeKind::kMod;
      int pos = Take().pos;
      left = Make2(kind, pos, std::move(left), ParsePower());
    }
    return left;
  }

  NodePtr ParsePower() {
    NodePtr left = ParseUnary();
    while (At(Tok::kPower)) {
      int pos = Take().pos;
      left = Make2(NodeKind::kPow, pos, std::move(left), ParseUnary());
    }
    return left;
  }

  NodePtr ParseUnary() {
    switch (Peek().kind) {
      case Tok::kMinus: {
        Deeper guard(this);
        int pos = Take().pos;
        NodePtr operand = ParseUnary();
        if (operand->kind == NodeKind::kNumber) {
          // Fold "-5" into a literal so it costs nothing at run time.
          operand->number = -operand->number;
          operand->pos = pos;
          return operand;
        }
        return Make1(NodeKind::kNeg, pos, std::move(operand));
      }
      case Tok::kPlus: {
        Deeper guard(this);
        int pos = Take().pos;
        return Make1(NodeKind::kPlus, pos, ParseUnary());
      }
      case Tok::kInc:
      case Tok::kDec: {
        Deeper guard(this);
        const Token& op = Take();
        NodeKind kind = op.kind == Tok::kInc ? NodeKind::kPreInc : NodeKind::kPreDec;
        int pos = op.pos;
        std::string spelled = op.text;
        NodePtr operand = ParseUnary();
        if (!IsPlace(*operand)) {
          FailAt(operand->pos, "a variable, field or element after '" + spelled + "'",
                 "an expression that cannot be assigned");
        }
        return Make1(kind, pos, std::move(operand));
      }
      default:
        return ParsePostfix(ParsePrimary());
    }
  }

  NodePtr ParsePostfix(NodePtr node) {
    while (true) {
      if (At(Tok::kLBracket)) {
        Deeper guard(this);
        Take();
        do {
          int pos = Peek().pos;
          node = Make2(NodeKind::kIndex, pos, std::move(node), ParseExpr());
        } while (Accept(Tok::kComma));
        Expect(Tok::kRBracket, "']'");
      } else if (At(Tok::kColon)) {
        Deeper guard(this);
        int pos = Take().pos;
        const Token& name = Expect(Tok::kName, "a message name after ':'");
        std::string message = name.text;
        std::vector<NodePtr> kids;
        kids.push_back(std::move(node));
        bool parens = false;
        if (Accept(Tok::kLParen)) {
          parens = true;
          ParseArgs(&kids);
        }
        node = Make(NodeKind::kSend, pos, std::move(kids));
        node->text = std::move(message);
        node->flag = parens;
      } else if (At(Tok::kInc) || At(Tok::kDec)) {
        // Not after a value that cannot change: the caller then reports the
        // stray operator.
        if (!IsPlace(*node)) return node;
        const Token& op = Take();
        NodeKind kind = op.kind == Tok::kInc ? NodeKind::kPostInc : NodeKind::kPostDec;
        node = Make1(kind, op.pos, std::move(node));
      } else {
        return node;
      }
    }
  }

  // Arguments after "(" up to and including ")".  An empty slot is NIL;
  // "@name" passes a variable by reference.
  void ParseArgs(std::vector<NodePtr>* args) {
    Deeper guard(this);
    if (Accept(Tok::kRParen)) return;
    while (true) {
      if (At(Tok::kComma) || At(Tok::kRParen)) {
        args->push_back(Make(NodeKind::kNil, Peek().pos));
      } else if (At(Tok::kAt)) {
        int pos = Take().pos;
        NodePtr target = ParsePrimary();
        if (target->kind != NodeKind::kName && target->kind != NodeKind::kMemvar) {
          FailAt(target->pos, "a variable name after '@'", "another expression");
        }
        args->push_back(Make1(NodeKind::kRef, pos, std::move(target)));
      } else {
        args->push_back(ParseExpr());
      }
      if (Accept(Tok::kComma)) continue;
      Expect(Tok::kRParen, "',' or ')'");
      return;
    }
  }

  // After "->": "(list)" or a field name, evaluated in the area `area`.
  NodePtr ParseAreaBody(int pos, NodePtr area) {
    if (At(Tok::kName)) {
      const Token& name = Take();
      NodePtr field = Make(NodeKind::kField, name.pos);
      field->text = name.text;
      return Make2(NodeKind::kAreaExpr, pos, std::move(area), std::move(field));
    }
    Deeper guard(this);
    Expect(Tok::kLParen, "'(' or a field name after '->'");
    int list_pos = Peek().pos;
    NodePtr body = Collapse(list_pos, ParseExprList());
    Expect(Tok::kRParen, "')'");
    return Make2(NodeKind::kAreaExpr, pos, std::move(area), std::move(body));
  }

  NodePtr ParseAliased(const Token& alias_tok) {
    // The arrow has been taken.
    std::string alias = Upper(alias_tok.text);
    int pos = alias_tok.pos;
    if (alias == "FIELD" || alias == "_FIELD") {
      const Token& name = Expect(Tok::kName, "a field name after 'FIELD->'");
      if (Accept(Tok::kArrow)) {
        // FIELD->alias->name: a field of an aliased area.
        std::string area = name.text;
        const Token& field = Expect(Tok::kName, "a field name after '->'");
        NodePtr n = Make(NodeKind::kAliasField, pos);
        n->alias = area;
        n->text = field.text;
        return n;
      }
      NodePtr n = Make(NodeKind::kField, pos);
      n->text = name.text;
      return n;
    }
    if (alias == "M" || alias == "MEMVAR") {
      const Token& name = Expect(Tok::kName, "a variable name after 'M->'");
      NodePtr n = Make(NodeKind::kMemvar, pos);
      n->text = name.text;
      return n;
    }
    if (At(Tok::kName)) {
      const Token& field = Take();
      NodePtr n = Make(NodeKind::kAliasField, pos);
      n->alias = alias_tok.text;
      n->text = field.text;
      return n;
    }
    NodePtr area = Make(NodeKind::kString, pos);
    area->text = alias_tok.text;
    return ParseAreaBody(pos, std::move(area));
  }

  NodePtr ParseBlock(const Token& open) {
    // "{" and "|" have been taken.
    std::vector<std::string> params;
    if (!Accept(Tok::kPipe)) {
      while (true) {
        const Token& p = Expect(Tok::kName, "a parameter name");
        std::string upper = Upper(p.text);
        for (const std::string& seen : params) {
          if (Upper(seen) == upper) {
            FailAt(p.pos, "a parameter name not used before", Describe(p));
          }
        }
        params.push_back(p.text);
        if (Accept(Tok::kComma)) continue;
        Expect(Tok::kPipe, "',' or '|'");
        break;
      }
    }
    std::vector<NodePtr> body;
    if (!At(Tok::kRBrace)) body = ParseExprList();
    const Token& close = Expect(Tok::kRBrace, "',' or '}'");
    NodePtr block = Make(NodeKind::kBlock, open.pos, std::move(body));
    block->params = std::move(params);
    size_t start = static_cast<size_t>(open.pos - 1);
    size_t end = static_cast<size_t>(close.pos - 1 + close.length);
    block->text = std::string(text_.substr(start, end - start));
    return block;
  }

  NodePtr ParseArray(const Token& open) {
    // "{" has been taken.
    std::vector<NodePtr> items;
    if (!Accept(Tok::kRBrace)) {
      while (true) {
        if (At(Tok::kComma) || At(Tok::kRBrace)) {
          items.push_back(Make(NodeKind::kNil, Peek().pos));
        } else {
          items.push_back(ParseExpr());
        }
        if (Accept(Tok::kComma)) continue;
        Expect(Tok::kRBrace, "',' or '}'");
        break;
      }
    }
    return Make(NodeKind::kArray, open.pos, std::move(items));
  }

  NodePtr ParseCall(const Token& name_tok) {
    // "(" has been taken.
    std::vector<NodePtr> args;
    ParseArgs(&args);
    std::string upper = Upper(name_tok.text);
    if (upper == "IIF" || upper == "IF") {
      if (args.size() == 2) args.push_back(Make(NodeKind::kNil, name_tok.pos));
      if (args.size() != 3) {
        FailAt(name_tok.pos, "2 or 3 arguments to " + name_tok.text,
               std::to_string(args.size()) + " arguments");
      }
      for (const NodePtr& a : args) {
        if (a->kind == NodeKind::kRef) {
          FailAt(a->pos, "a value in " + name_tok.text, "'@'");
        }
      }
      return Make(NodeKind::kIif, name_tok.pos, std::move(args));
    }
    NodePtr call = Make(NodeKind::kCall, name_tok.pos, std::move(args));
    call->text = name_tok.text;
    return call;
  }

  NodePtr ParsePrimary() {
    const Token& t = Peek();
    switch (t.kind) {
      case Tok::kNumber: {
        const Token& num = Take();
        NodePtr n = Make(NodeKind::kNumber, num.pos);
        n->number = num.number;
        if (Accept(Tok::kArrow)) return ParseAreaBody(num.pos, std::move(n));
        return n;
      }
      case Tok::kString: {
        const Token& s = Take();
        NodePtr n = Make(NodeKind::kString, s.pos);
        n->text = s.text;
        return n;
      }
      case Tok::kTrue:
      case Tok::kFalse: {
        const Token& l = Take();
        NodePtr n = Make(NodeKind::kLogical, l.pos);
        n->flag = l.kind == Tok::kTrue;
        return n;
      }
      case Tok::kName: {
        const Token& name = Take();
        if (Accept(Tok::kArrow)) return ParseAliased(name);
        if (Accept(Tok::kLParen)) return ParseCall(name);
        if (Upper(name.text) == "NIL") return Make(NodeKind::kNil, name.pos);
        NodePtr n = Make(NodeKind::kName, name.pos);
        n->text = name.text;
        return n;
      }
      case Tok::kLParen: {
        Deeper guard(this);
        int pos = Take().pos;
        NodePtr inner = Collapse(pos, ParseExprList());
        Expect(Tok::kRParen, "')'");
        if (Accept(Tok::kArrow)) return ParseAreaBody(pos, std::move(inner));
        return inner;
      }
      case Tok::kLBrace: {
        Deeper guard(this);
        const Token& open = Take();
        if (Accept(Tok::kPipe)) return ParseBlock(open);
        return ParseArray(open);
      }
      case Tok::kAmp: {
        Deeper guard(this);
        int pos = Take().pos;
        if (At(Tok::kName)) {
          const Token& name = Take();
          NodePtr var = Make(NodeKind::kName, name.pos);
          var->text = name.text;
          return Make1(NodeKind::kMacro, pos, std::move(var));
        }
        Expect(Tok::kLParen, "a name or '(' after '&'");
        int list_pos = Peek().pos;
        NodePtr inner = Collapse(list_pos, ParseExprList());
        Expect(Tok::kRParen, "')'");
        return Make1(NodeKind::kMacro, pos, std::move(inner));
      }
      default:
        Fail("an expression");
    }
  }

  std::string_view text_;
  std::vector<Token> tokens_;
  size_t next_ = 0;
  int depth_ = 0;
};

}  // namespace

std::string SyntaxError::Message() const {
  if (expected.empty()) return "syntax error at " + std::to_string(pos) + ": " + found;
  return "syntax error at " + std::to_string(pos) + ": expected " + expected +
         " (found " + found + ")";
}

ParseResult Parse(std::string_view text) {
  ParseResult result;
  try {
    Parser parser(text);
    result.root = parser.ParseAll();
  } catch (const Failure& f) {
    result.root.reset();
    result.error = f.error;
  }
  return result;
}

}  // namespace rt::macro

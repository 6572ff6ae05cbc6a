// Compiles a parsed tree into closures (std::function objects that call one
// another), and the block types that run them.
//
// Block parameters live in cells, one Scope per running block that has
// parameters.  A block literal captures the scope it was created in, so an
// inner block reads and writes the parameters of the block around it even
// after that block has returned.  Parameter references are resolved when
// compiling, to a (hops, index) pair; every other name is resolved each
// time it runs: field of the current work area, then memory variable.
#include "runtime/macro/compiler.h"

#include <array>
#include <cctype>
#include <functional>
#include <optional>
#include <memory>
#include <utility>
#include <vector>

#include "runtime/api/tables.h"
#include "runtime/core/operators.h"

namespace rt::macro {
namespace {

struct Scope;
using ScopePtr = std::shared_ptr<Scope>;
struct Scope {
  std::vector<CellPtr> cells;  // one per parameter of the block
  ScopePtr parent;             // the scope the block was created in
};

using Fn = std::function<Value(const ScopePtr&)>;

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out;
}

// Errors raised while running ----------------------------------------------

[[noreturn]] void RaiseCode(int code, std::string description,
                            std::string operation, std::vector<Value> args) {
  ErrorInfo info;
  info.description = std::move(description);
  info.operation = std::move(operation);
  info.args = std::move(args);
  info.gen_code = code;
  Raise(std::move(info));
}

[[noreturn]] void RaiseUndefined(std::string description,
                                 std::string operation) {
  RaiseCode(kErrUndefined, std::move(description), std::move(operation), {});
}

[[noreturn]] void RaiseType(std::string description, std::string operation,
                            std::vector<Value> args) {
  RaiseCode(kErrArgument, std::move(description), std::move(operation),
            std::move(args));
}

bool Logical(const Value& v, const char* op) {
  const Value& d = v.deref();
  if (!d.is_logical()) {
    RaiseType(std::string("argument error: operator '") + op +
                  "' needs a logical value, got type " + d.type_letter(),
              op, {d});
  }
  return d.logical();
}

// Places: what an assignment, ++/-- or @ can target --------------------------

// A place resolved once per assignment, so "a[f()] += 1" calls f() once.
struct Target {
  CellPtr cell;      // parameter or memory variable (null: none exists yet)
  int area = 0;      // field: its work area (0 = current) ...
  int field = 0;     // ... and its 1-based index (0: not a field)
  Value container;   // element: the array; object variable: the receiver
  size_t index = 0;  // element: 0-based index
};

class Place {
 public:
  virtual ~Place() = default;
  virtual void Resolve(const ScopePtr& s, Target* t) const = 0;
  virtual Value Get(const Target& t) const = 0;
  virtual void Set(const Target& t, Value v) const = 0;
};
using PlacePtr = std::shared_ptr<const Place>;

CellPtr ParamCell(const ScopePtr& s, int hops, int index) {
  const Scope* scope = s.get();
  for (int i = 0; i < hops; ++i) scope = scope->parent.get();
  return scope->cells[static_cast<size_t>(index)];
}

class ParamPlace final : public Place {
 public:
  ParamPlace(int hops, int index) : hops_(hops), index_(index) {}
  void Resolve(const ScopePtr& s, Target* t) const override {
    t->cell = ParamCell(s, hops_, index_);
  }
  Value Get(const Target& t) const override { return t.cell->value; }
  void Set(const Target& t, Value v) const override { t.cell->value = std::move(v); }

 private:
  int hops_, index_;
};

// A memory variable (M->name) or, for a bare name, a field of the current
// area when it has one and a memory variable otherwise.
class NamePlace final : public Place {
 public:
  NamePlace(std::string name, bool fields_first)
      : name_(std::move(name)), fields_first_(fields_first) {}
  void Resolve(const ScopePtr&, Target* t) const override {
    if (fields_first_) {
      t->field = tables::FieldIndex(0, name_);
      if (t->field > 0) return;
    }
    t->cell = FindMemvar(name_);
  }
  Value Get(const Target& t) const override {
    if (t.field > 0) return tables::GetField(0, t.field);
    if (!t.cell) {
      RaiseUndefined("variable does not exist: " + Upper(name_), Upper(name_));
    }
    return t.cell->value;
  }
  void Set(const Target& t, Value v) const override {
    if (t.field > 0) {
      tables::PutField(0, t.field, v);
    } else if (t.cell) {
      t.cell->value = std::move(v);
    } else {
      AssignMemvar(name_, std::move(v));
    }
  }

 private:
  std::string name_;
  bool fields_first_;
};

// FIELD->name (no alias) or alias->name.
class FieldPlace final : public Place {
 public:
  FieldPlace(std::string alias, std::string name)
      : alias_(std::move(alias)), name_(std::move(name)) {}
  void Resolve(const ScopePtr&, Target* t) const override {
    t->area = 0;
    if (!alias_.empty()) {
      t->area = tables::AreaOfAlias(alias_);
      if (t->area == 0) {
        RaiseUndefined("alias does not exist: " + Upper(alias_), Upper(alias_));
      }
    }
    t->field = tables::FieldIndex(t->area, name_);
    if (t->field == 0) {
      std::string full = alias_.empty() ? Upper(name_) : Upper(alias_) + "->" + Upper(name_);
      RaiseUndefined("field does not exist: " + full, full);
    }
  }
  Value Get(const Target& t) const override { return tables::GetField(t.area, t.field); }
  void Set(const Target& t, Value v) const override { tables::PutField(t.area, t.field, v); }

 private:
  std::string alias_, name_;
};

// The checks of a[i]: shared by reading and assigning.
size_t CheckedIndex(const Value& container, const Value& index) {
  const Value& a = container.deref();
  const Value& i = index.deref();
  if (!a.is_array()) {
    RaiseType(std::string("argument error: only an array can be indexed, got type ") +
                  a.type_letter(),
              "[]", {a, i});
  }
  if (!i.is_number()) {
    RaiseType(std::string("argument error: an array index must be a number, got type ") +
                  i.type_letter(),
              "[]", {a, i});
  }
  double n = i.num();
  size_t size = a.array()->items.size();
  if (!(n >= 1 && n < static_cast<double>(size) + 1)) {
    RaiseCode(kErrBound,
              "array index out of bounds: " + NumberToText(n) + " of " +
                  std::to_string(size),
              "[]", {a, i});
  }
  return static_cast<size_t>(n) - 1;
}

class IndexPlace final : public Place {
 public:
  IndexPlace(Fn array, Fn index) : array_(std::move(array)), index_(std::move(index)) {}
  void Resolve(const ScopePtr& s, Target* t) const override {
    t->container = array_(s);
    Value i = index_(s);
    t->index = CheckedIndex(t->container, i);
  }
  Value Get(const Target& t) const override {
    return t.container.array()->items[t.index];
  }
  void Set(const Target& t, Value v) const override {
    // A block run by the right-hand side may have shrunk the array.
    auto& items = t.container.array()->items;
    if (t.index >= items.size()) CheckedIndex(t.container, Value(t.index + 1));
    items[t.index] = std::move(v);
  }

 private:
  Fn array_, index_;
};

class SendPlace final : public Place {
 public:
  SendPlace(Fn receiver, std::string message)
      : receiver_(std::move(receiver)), message_(std::move(message)) {}
  void Resolve(const ScopePtr& s, Target* t) const override { t->container = receiver_(s); }
  Value Get(const Target& t) const override {
    return Send(t.container, message_, std::span<const Value>());
  }
  void Set(const Target& t, Value v) const override { SetVar(t.container, message_, std::move(v)); }

 private:
  Fn receiver_;
  std::string message_;
};

// Nesting of evaluations -------------------------------------------------------

// Deepest nesting of compiled blocks and macro texts running inside one
// another.  A block or macro that calls itself without end would otherwise
// exhaust the C++ stack; past the limit it raises an error instead.  One
// level takes about 1.2 KB of stack in an optimised build (measured with a
// shrunken stack), several times that with AddressSanitizer, so 500 levels
// stay well inside the usual 8 MB.
constexpr int kMaxEvalDepth = 500;
int g_eval_depth = 0;

class EvalDepth {
 public:
  EvalDepth() {
    if (++g_eval_depth > kMaxEvalDepth) {
      --g_eval_depth;
      RaiseCode(kErrInternal,
                "evaluation nested deeper than " + std::to_string(kMaxEvalDepth) +
                    " blocks or macros: a block or macro that calls itself without end?",
                "&", {});
    }
  }
  ~EvalDepth() { --g_eval_depth; }
  EvalDepth(const EvalDepth&) = delete;
  EvalDepth& operator=(const EvalDepth&) = delete;
};

// Blocks ---------------------------------------------------------------------

// What every block value made from one block literal shares.
struct BlockCode {
  int params = 0;
  std::vector<Fn> body;
  std::string source;
};

class CompiledBlock final : public Block {
 public:
  CompiledBlock(std::shared_ptr<const BlockCode> code, ScopePtr captured, std::string name)
      : code_(std::move(code)), captured_(std::move(captured)), name_(std::move(name)) {}

  Value Eval(std::span<const Value> args) override {
    EvalDepth depth;
    Frame frame(name_, args);
    ScopePtr scope = captured_;
    if (code_->params > 0) {
      scope = std::make_shared<Scope>();
      scope->parent = captured_;
      scope->cells.reserve(static_cast<size_t>(code_->params));
      // A by-reference argument lends the caller's own cell; any other
      // gets a cell of its own (NIL when not passed).
      const size_t passed = args.size();
      for (size_t i = 0; i < static_cast<size_t>(code_->params); ++i) {
        if (i < passed && args[i].is_reference()) {
          scope->cells.push_back(args[i].reference());
        } else {
          scope->cells.push_back(NewCell(i < passed ? args[i] : Value()));
        }
      }
    }
    Value result;
    for (const Fn& fn : code_->body) result = fn(scope);
    return result;
  }
  std::string_view name() const override { return name_; }
  std::string_view source() const override { return code_->source; }

 private:
  std::shared_ptr<const BlockCode> code_;
  ScopePtr captured_;
  std::string name_;
};

// The block CompileExpression returns: no parameters and no frame.
class ExpressionBlock final : public Block {
 public:
  ExpressionBlock(Fn body, std::string source)
      : body_(std::move(body)), source_(std::move(source)) {}
  Value Eval(std::span<const Value>) override {
    EvalDepth depth;
    return body_(nullptr);
  }
  std::string_view name() const override { return "(macro)"; }
  std::string_view source() const override { return source_; }

 private:
  Fn body_;
  std::string source_;
};

// Selects a work area for the life of the object and puts the previous one
// back on every way out.
class AreaSwitch {
 public:
  explicit AreaSwitch(int area) : previous_(tables::CurrentArea()) {
    tables::SelectArea(area);
  }
  ~AreaSwitch() {
    try {
      tables::SelectArea(previous_);
    } catch (...) {
      // Re-selecting an area that was current cannot fail in practice; an
      // exception here would end the process while unwinding.
    }
  }
  AreaSwitch(const AreaSwitch&) = delete;
  AreaSwitch& operator=(const AreaSwitch&) = delete;

 private:
  int previous_;
};

constexpr double kMaxAreaNumber = 65535;

int AreaOf(const Value& v) {
  const Value& d = v.deref();
  if (d.is_number()) {
    // Checked before the conversion: a huge or NaN number has no int value.
    if (!(d.num() >= 0 && d.num() <= kMaxAreaNumber)) {
      RaiseType("argument error: work area number out of range: " + NumberToText(d.num()),
                "->", {d});
    }
    return static_cast<int>(d.num());
  }
  if (d.is_string()) {
    int area = tables::AreaOfAlias(d.str());
    if (area == 0) RaiseUndefined("alias does not exist: " + Upper(d.str()), Upper(d.str()));
    return area;
  }
  RaiseType(std::string("argument error: a work area must be a number or an alias, got type ") +
                d.type_letter(),
            "->", {d});
}

// The compiler ---------------------------------------------------------------

using BinaryOp = Value (*)(const Value&, const Value&);
using CompareOp = bool (*)(const Value&, const Value&);

// Arguments of a call sit in a small array on the stack when they fit.
constexpr size_t kInlineArgs = 8;

template <typename Use>
Value WithArgs(const std::vector<Fn>& fns, const ScopePtr& s, const Use& use) {
  const size_t n = fns.size();
  if (n <= kInlineArgs) {
    std::array<Value, kInlineArgs> argv;
    for (size_t i = 0; i < n; ++i) argv[i] = fns[i](s);
    return use(std::span<const Value>(argv.data(), n));
  }
  std::vector<Value> argv;
  argv.reserve(n);
  for (const Fn& fn : fns) argv.push_back(fn(s));
  return use(std::span<const Value>(argv));
}

class Compiler {
 public:
  Fn Compile(const Node& n) {
    switch (n.kind) {
      case NodeKind::kNil:
        return [](const ScopePtr&) { return Value(); };
      case NodeKind::kNumber: {
        double v = n.number;
        return [v](const ScopePtr&) { return Value(v); };
      }
      case NodeKind::kString: {
        Value v(n.text);
        return [v](const ScopePtr&) { return v; };
      }
      case NodeKind::kLogical: {
        bool v = n.flag;
        return [v](const ScopePtr&) { return Value(v); };
      }
      case NodeKind::kArray: {
        std::vector<Fn> items = CompileKids(n, 0);
        return [items](const ScopePtr& s) {
          std::vector<Value> values;
          values.reserve(items.size());
          for (const Fn& fn : items) values.push_back(fn(s));
          return Value(NewArray(std::move(values)));
        };
      }
      case NodeKind::kBlock:
        return CompileBlock(n);
      case NodeKind::kName:
        if (auto param = FindParam(n.text)) {
          int hops = param->first, index = param->second;
          if (hops == 0) {
            return [index](const ScopePtr& s) { return s->cells[index]->value; };
          }
          return [hops, index](const ScopePtr& s) { return ParamCell(s, hops, index)->value; };
        }
        return Read(CompilePlace(n));
      case NodeKind::kField:
      case NodeKind::kMemvar:
      case NodeKind::kAliasField:
      case NodeKind::kIndex:
        return Read(CompilePlace(n));
      case NodeKind::kAreaExpr: {
        Fn area = Compile(*n.kids[0]);
        Fn body = Compile(*n.kids[1]);
        return [area, body](const ScopePtr& s) {
          AreaSwitch in(AreaOf(area(s)));
          return body(s);
        };
      }
      case NodeKind::kCall:
        return CompileCall(n);
      case NodeKind::kIif: {
        Fn c = Compile(*n.kids[0]), a = Compile(*n.kids[1]), b = Compile(*n.kids[2]);
        return [c, a, b](const ScopePtr& s) { return Logical(c(s), "IIF") ? a(s) : b(s); };
      }
      case NodeKind::kRef:
        return CompileRef(*n.kids[0]);
      case NodeKind::kMacro:
        return CompileMacro(n);
      case NodeKind::kSend: {
        if (!n.flag) return Read(CompilePlace(n));
        Fn receiver = Compile(*n.kids[0]);
        std::vector<Fn> args = CompileKids(n, 1);
        std::string message = n.text;
        return [receiver, args, message](const ScopePtr& s) {
          Value r = receiver(s);
          return WithArgs(args, s, [&](std::span<const Value> a) { return Send(r, message, a); });
        };
      }
      case NodeKind::kList: {
        std::vector<Fn> items = CompileKids(n, 0);
        return [items](const ScopePtr& s) {
          Value last;
          for (const Fn& fn : items) last = fn(s);
          return last;
        };
      }
      case NodeKind::kNeg: {
        Fn a = Compile(*n.kids[0]);
        return [a](const ScopePtr& s) { return Negate(a(s)); };
      }
      case NodeKind::kPlus: {
        Fn a = Compile(*n.kids[0]);
        return [a](const ScopePtr& s) {
          Value v = a(s);
          if (!v.deref().is_number()) {
            RaiseType(std::string("argument error: unary '+' needs a number, got type ") +
                          v.deref().type_letter(),
                      "+", {v});
          }
          return v;
        };
      }
      case NodeKind::kNot: {
        Fn a = Compile(*n.kids[0]);
        return [a](const ScopePtr& s) { return Value(!Logical(a(s), ".NOT.")); };
      }
      case NodeKind::kAnd: {
        Fn a = Compile(*n.kids[0]), b = Compile(*n.kids[1]);
        return [a, b](const ScopePtr& s) {
          return Value(Logical(a(s), ".AND.") && Logical(b(s), ".AND."));
        };
      }
      case NodeKind::kOr: {
        Fn a = Compile(*n.kids[0]), b = Compile(*n.kids[1]);
        return [a, b](const ScopePtr& s) {
          return Value(Logical(a(s), ".OR.") || Logical(b(s), ".OR."));
        };
      }
      case NodeKind::kAdd: return Binary(n, &Add);
      case NodeKind::kSub: return Binary(n, &Subtract);
      case NodeKind::kMul: return Binary(n, &Multiply);
      case NodeKind::kDiv: return Binary(n, &Divide);
      case NodeKind::kMod: return Binary(n, &Modulo);
      case NodeKind::kPow: return Binary(n, &Power);
      case NodeKind::kEq: return Comparison(n, &Equal);
      case NodeKind::kExactEq: return Comparison(n, &ExactEqual);
      case NodeKind::kNe: return Comparison(n, &NotEqual);
      case NodeKind::kLt: return Comparison(n, &Less);
      case NodeKind::kLe: return Comparison(n, &LessEqual);
      case NodeKind::kGt: return Comparison(n, &Greater);
      case NodeKind::kGe: return Comparison(n, &GreaterEqual);
      case NodeKind::kContains: return Comparison(n, &Contains);
      case NodeKind::kAssign: return Assignment(n, nullptr);
      case NodeKind::kAddAssign: return Assignment(n, &Add);
      case NodeKind::kSubAssign: return Assignment(n, &Subtract);
      case NodeKind::kMulAssign: return Assignment(n, &Multiply);
      case NodeKind::kDivAssign: return Assignment(n, &Divide);
      case NodeKind::kModAssign: return Assignment(n, &Modulo);
      case NodeKind::kPreInc: return Step(n, &Add, /*post=*/false);
      case NodeKind::kPreDec: return Step(n, &Subtract, /*post=*/false);
      case NodeKind::kPostInc: return Step(n, &Add, /*post=*/true);
      case NodeKind::kPostDec: return Step(n, &Subtract, /*post=*/true);
    }
    return [](const ScopePtr&) { return Value(); };  // unreachable
  }

 private:
  std::vector<Fn> CompileKids(const Node& n, size_t from) {
    std::vector<Fn> out;
    for (size_t i = from; i < n.kids.size(); ++i) out.push_back(Compile(*n.kids[i]));
    return out;
  }

  // (hops, index) of a parameter of an enclosing block, counting only blocks
  // with parameters (the others make no scope at run time).
  std::optional<std::pair<int, int>> FindParam(const std::string& name) const {
    std::string upper = Upper(name);
    int hops = 0;
    for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
      if ((*it)->empty()) continue;
      for (size_t i = 0; i < (*it)->size(); ++i) {
        if (Upper((**it)[i]) == upper) return std::make_pair(hops, static_cast<int>(i));
      }
      ++hops;
    }
    return std::nullopt;
  }

  PlacePtr CompilePlace(const Node& n) {
    switch (n.kind) {
      case NodeKind::kName:
        if (auto param = FindParam(n.text)) {
          return std::make_shared<ParamPlace>(param->first, param->second);
        }
        return std::make_shared<NamePlace>(n.text, /*fields_first=*/true);
      case NodeKind::kMemvar:
        return std::make_shared<NamePlace>(n.text, /*fields_first=*/false);
      case NodeKind::kField:
        return std::make_shared<FieldPlace>("", n.text);
      case NodeKind::kAliasField:
        return std::make_shared<FieldPlace>(n.alias, n.text);
      case NodeKind::kIndex:
        return std::make_shared<IndexPlace>(Compile(*n.kids[0]), Compile(*n.kids[1]));
      case NodeKind::kSend:
        return std::make_shared<SendPlace>(Compile(*n.kids[0]), n.text);
      default:
        // The parser admits only the kinds above as places.
        return std::make_shared<NamePlace>("", false);
    }
  }

  static Fn Read(PlacePtr place) {
    return [place](const ScopePtr& s) {
      Target t;
      place->Resolve(s, &t);
      return place->Get(t);
    };
  }

  Fn Binary(const Node& n, BinaryOp op) {
    Fn a = Compile(*n.kids[0]), b = Compile(*n.kids[1]);
    return [a, b, op](const ScopePtr& s) {
      Value left = a(s);
      return op(left, b(s));
    };
  }

  Fn Comparison(const Node& n, CompareOp op) {
    Fn a = Compile(*n.kids[0]), b = Compile(*n.kids[1]);
    return [a, b, op](const ScopePtr& s) {
      Value left = a(s);
      return Value(op(left, b(s)));
    };
  }

  // place := value, or place op= value when `op` is set.
  Fn Assignment(const Node& n, BinaryOp op) {
    PlacePtr place = CompilePlace(*n.kids[0]);
    Fn value = Compile(*n.kids[1]);
    return [place, value, op](const ScopePtr& s) {
      Target t;
      place->Resolve(s, &t);
      Value v;
      if (op) {
        Value old = place->Get(t);
        v = op(old, value(s));
      } else {
        v = value(s).deref();
      }
      place->Set(t, v);
      return v;
    };
  }

  Fn Step(const Node& n, BinaryOp op, bool post) {
    PlacePtr place = CompilePlace(*n.kids[0]);
    return [place, op, post](const ScopePtr& s) {
      Target t;
      place->Resolve(s, &t);
      Value old = place->Get(t);
      Value v = op(old, Value(1));
      place->Set(t, v);
      return post ? old : v;
    };
  }

  Fn CompileRef(const Node& target) {
    if (target.kind == NodeKind::kName) {
      if (auto param = FindParam(target.text)) {
        int hops = param->first, index = param->second;
        return [hops, index](const ScopePtr& s) {
          return Value::Reference(ParamCell(s, hops, index));
        };
      }
    }
    // A memory variable by reference (created when none is visible); a
    // bare name that is a field of the current area passes its value, as a
    // field has no variable cell to share.
    std::string name = target.text;
    bool fields_first = target.kind == NodeKind::kName;
    return [name, fields_first](const ScopePtr&) {
      if (fields_first) {
        if (int field = tables::FieldIndex(0, name); field > 0) {
          return tables::GetField(0, field);
        }
      }
      CellPtr cell = FindMemvar(name);
      if (!cell) {
        AssignMemvar(name, Value());
        cell = FindMemvar(name);
      }
      return Value::Reference(cell);
    };
  }

  Fn CompileCall(const Node& n) {
    std::vector<Fn> args = CompileKids(n, 0);
    std::string name = n.text;
    return [args, name](const ScopePtr& s) {
      // Looked up on every call, so a function registered after the text
      // was compiled still resolves.
      const FunctionEntry* entry = FindFunction(name);
      if (!entry) RaiseUndefined("undefined function: " + Upper(name), Upper(name));
      return WithArgs(args, s, [&](std::span<const Value> a) { return CallEntry(*entry, a); });
    };
  }

  Fn CompileMacro(const Node& n) {
    Fn text = Compile(*n.kids[0]);
    // The last text and its compiled block: a macro in a loop usually sees
    // the same text every time.
    struct Cache {
      std::string text;
      BlockPtr block;
    };
    auto cache = std::make_shared<Cache>();
    return [text, cache](const ScopePtr& s) {
      Value v = text(s).deref();
      if (!v.is_string()) {
        RaiseType(std::string("argument error: '&' needs a string, got type ") + v.type_letter(),
                  "&", {v});
      }
      if (!cache->block || cache->text != v.str()) {
        BlockPtr block = CompileExpression(v.str());
        cache->text = v.str();
        cache->block = std::move(block);
      }
      BlockPtr keep = cache->block;
      return keep->Eval({});
    };
  }

  Fn CompileBlock(const Node& n) {
    auto code = std::make_shared<BlockCode>();
    code->params = static_cast<int>(n.params.size());
    code->source = n.text;
    scopes_.push_back(&n.params);
    for (const NodePtr& kid : n.kids) code->body.push_back(Compile(*kid));
    scopes_.pop_back();
    std::shared_ptr<const BlockCode> shared = std::move(code);
    return [shared](const ScopePtr& s) {
      std::string name = "(b)";
      if (const Frame* f = CurrentFrame()) name += f->proc_name();
      return Value(BlockPtr(std::make_shared<CompiledBlock>(shared, s, std::move(name))));
    };
  }

  std::vector<const std::vector<std::string>*> scopes_;
};

}  // namespace

BlockPtr Compile(const Node& root, std::string source) {
  Compiler compiler;
  return std::make_shared<ExpressionBlock>(compiler.Compile(root), std::move(source));
}

}  // namespace rt::macro

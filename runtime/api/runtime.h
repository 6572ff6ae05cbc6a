// The host runtime's public interface: calls by name, call frames, blocks,
// errors, memory variables, numbered settings, national messages, classes,
// macro evaluation and module loading.
//
// The runtime is one per process and single-threaded: every function here
// runs on the interpreter thread.  Libraries above the runtime (the module,
// the support library) include only the headers in runtime/api/.
#ifndef RUNTIME_API_RUNTIME_H_
#define RUNTIME_API_RUNTIME_H_

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/api/value.h"

namespace rt {

class Frame;

// Every callable of the runtime has this one signature: it reads its
// arguments (and, for a method, its receiver) from the frame and returns one
// value, NIL for a procedure.
using NativeFn = Value (*)(Frame&);

// Call frames ----------------------------------------------------------------

// The record of one running function, block or method.  Constructing a Frame
// links it into the chain of active calls; destroying it unlinks it, so a
// frame is always a local of the C++ function it describes and leaves the
// chain on every exit, normal or by exception.
class Frame {
 public:
  // `proc` must outlive the frame (a literal or a string owned by the
  // function's registration).  `args` may contain by-reference markers.
  Frame(std::string_view proc, std::span<const Value> args,
        const Value* self = nullptr);
  ~Frame();
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  // Number of arguments the caller passed (PCOUNT).
  int pcount() const { return static_cast<int>(args_.size()); }
  // Argument i (0-based) with any reference looked through; NIL when the
  // caller passed fewer.
  const Value& arg(int i) const;
  // True when argument i came by reference.
  bool by_ref(int i) const;
  // The variable behind parameter i: the caller's own cell when it came by
  // reference, else a fresh cell holding the value (NIL when not passed).
  // The same cell is returned on every call for the same i.
  CellPtr cell(int i);
  // Assigns parameter i: writes through to the caller for a by-reference
  // argument; otherwise only the frame's own copy changes.
  void set_arg(int i, Value v);
  std::span<const Value> args() const { return args_; }

  // The receiver of a method (NIL for a function or block).
  const Value& self() const;

  std::string_view proc_name() const { return proc_; }
  int line() const { return line_; }
  void set_line(int line) { line_ = line; }
  Frame* caller() const { return caller_; }

 private:
  std::string_view proc_;
  std::span<const Value> args_;
  const Value* self_;
  int line_ = 0;
  Frame* caller_;
  std::vector<CellPtr> cells_;  // parameter cells handed out by cell()
};

// The running frame, or nullptr outside any call.
Frame* CurrentFrame();
// PROCNAME(n) / PROCLINE(n): the n-th frame up the chain, 0 the running one.
// An empty name and line 0 when there is no such frame.
std::string ProcName(int level);
int ProcLine(int level);

// Marks the source line of the statement about to run in the current frame.
#define RT_LINE(frame) (frame).set_line(__LINE__)

// Blocks -------------------------------------------------------------------

// A callable value.  Evaluating a block pushes a frame with its name.
class Block {
 public:
  virtual ~Block() = default;
  // Evaluates the block with positional arguments (references allowed).
  virtual Value Eval(std::span<const Value> args) = 0;
  // The procedure name its frame records, e.g. "(B)SCATTER@0001".
  virtual std::string_view name() const = 0;
  // The source text, when the block was compiled from text; else empty.
  virtual std::string_view source() const { return {}; }
};

// A block backed by a C++ callable.  The callable receives the block's frame.
BlockPtr MakeBlock(std::string name, std::function<Value(Frame&)> fn);

// Evaluates a block (EVAL).  A value that is not a block raises an error.
Value Eval(const Value& block, std::span<const Value> args = {});
Value Eval(const Value& block, std::initializer_list<Value> args);

// Functions by name ----------------------------------------------------------

// One row of a registration table.  `params` is the declared parameter count
// (-1: variadic built-in); `class_fn` marks a function whose call yields a
// class object.
struct FunctionEntry {
  const char* name;
  int params;
  bool class_fn;
  NativeFn fn;
};

// Registers every row; names resolve without regard to case.  A name already
// registered is replaced (the newest registration wins) and reappears when
// the replacing table is withdrawn.
void RegisterFunctions(std::span<const FunctionEntry> table);
// Withdraws the rows of a table registered earlier.
void WithdrawFunctions(std::span<const FunctionEntry> table);
// The registration in force for a name, or nullptr.
const FunctionEntry* FindFunction(std::string_view name);

// Calls a function by name with positional arguments (references allowed).
// An unknown name raises "undefined function".
Value Call(std::string_view name, std::span<const Value> args);
Value Call(std::string_view name, std::initializer_list<Value> args = {});
// Calls a resolved entry directly (what Call does after the lookup).
Value CallEntry(const FunctionEntry& entry, std::span<const Value> args);

// A function name for calls made over and over, such as a run's calls for
// every record: it remembers the registration it found and looks again only
// after a table of functions was registered or withdrawn, so each call
// still reaches the registration in force.
class FunctionName {
 public:
  explicit constexpr FunctionName(std::string_view name) : name_(name) {}
  std::string_view name() const { return name_; }
  // The registration in force, or nullptr.
  const FunctionEntry* Find() const;

 private:
  std::string_view name_;
  mutable const FunctionEntry* entry_ = nullptr;
  mutable uint64_t generation_ = 0;  // 0: not looked up yet
};
Value Call(const FunctionName& name, std::span<const Value> args);
Value Call(const FunctionName& name, std::initializer_list<Value> args = {});

// Errors ---------------------------------------------------------------------

// What a runtime error says.  Becomes an error object (class ERROR) whose
// variables are description, operation, args, subSystem, genCode, subCode,
// osCode, filename, severity, canRetry, canDefault.
struct ErrorInfo {
  std::string description;
  std::string operation;
  std::vector<Value> args;
  std::string subsystem = "BASE";
  int gen_code = 0;
  int sub_code = 0;
  int os_code = 0;
  std::string filename;
};

// Error codes (genCode) used by the runtime.
enum ErrorCode : int {
  kErrArgument = 1,    // bad argument type or value
  kErrBound = 2,       // array index out of bounds
  kErrUndefined = 3,   // undefined function, variable, field or message
  kErrSyntax = 4,      // text that does not compile
  kErrZeroDiv = 5,
  kErrOpen = 6,        // a file could not be opened
  kErrCreate = 7,      // a file could not be created
  kErrRead = 8,
  kErrWrite = 9,
  kErrCorrupt = 10,    // a file's contents are malformed
  kErrLock = 11,       // a file is locked by another program
  kErrNoTable = 12,    // no table in use in the work area
  kErrNoKeys = 13,     // a headless run ran out of queued keys
  kErrInternal = 99,
};

// The one raise point: builds the error object, records the call chain and
// hands the object to the block installed with ERRORBLOCK.  If that block
// returns (or none is installed), the error is unhandled and propagates as
// UnhandledError to the entry that started the run.
[[noreturn]] void Raise(ErrorInfo info);

// Convenience for argument errors: "bad argument #n to 'FUNC' (reason)".
[[noreturn]] void RaiseArgError(int n, std::string_view func,
                                std::string_view reason);

// The error block in force (ERRORBLOCK()); installing returns the old one.
Value GetErrorBlock();
Value SetErrorBlock(Value block);

// One entry of the call chain captured with an error.
struct ChainEntry {
  std::string proc;
  int line;
};

// An error that no error block handled.  Carries the error object and the
// call chain at the raise point.
class UnhandledError : public std::exception {
 public:
  UnhandledError(Value error_object, std::string message,
                 std::vector<ChainEntry> chain);
  const char* what() const noexcept override { return message_.c_str(); }
  const Value& error_object() const { return error_object_; }
  const std::vector<ChainEntry>& chain() const { return chain_; }

 private:
  Value error_object_;
  std::string message_;
  std::vector<ChainEntry> chain_;
};

// BREAK(v): leaves the innermost guarded sequence with v.
class BreakSignal {
 public:
  explicit BreakSignal(Value v) : value_(std::move(v)) {}
  const Value& value() const { return value_; }

 private:
  Value value_;
};
[[noreturn]] void Break(Value v);

// A guarded sequence: runs `body`; a BREAK inside it (typically from the
// error block) runs `recover` with the break value instead.  Frames are
// unlinked on the way out.
Value Guarded(const std::function<Value()>& body,
              const std::function<Value(const Value&)>& recover);

// The one catch point for an entry of the host: runs `fn`; returns true when
// it completed.  On failure fills `message` and `chain` from the unhandled
// error (a stray BREAK or a C++ exception becomes an error too).
bool RunProtected(const std::function<void()>& fn, std::string* message,
                  std::vector<ChainEntry>* chain);

// Memory variables -------------------------------------------------------------

// Creates (or re-assigns) a public variable.
void SetPublic(std::string_view name, Value v);
// Declares a private variable in the running frame's scope: it hides any
// variable of that name until the frame that declared it ends.  REQUIRES: a
// frame is running.
void DeclarePrivate(std::string_view name, Value v = Value());
// The cell of the visible variable of that name, or nullptr.
CellPtr FindMemvar(std::string_view name);
// Reads a visible variable; raises "variable does not exist" when none is.
Value GetMemvar(std::string_view name);
// Assigns a visible variable; creates a private in the running frame when
// none exists (a public outside any frame).
void AssignMemvar(std::string_view name, Value v);

// Settings and national messages ---------------------------------------------

// SET(n): the value of setting n (NIL for an unknown number).
Value GetSetting(int n);
// SET(n, v): stores v and returns the previous value.  For the logical
// settings the texts "ON" and "OFF" (any case) are stored as .T. and .F.
Value SetSetting(int n, Value v);
// Setting numbers with a meaning in this runtime.
enum Setting : int {
  kSetDateFormat = 4,
  kSetEpoch = 5,
  kSetSoftSeek = 9,
  kSetBell = 26,
  kSetConfirm = 27,
  kSetEscape = 28,
  kSetInsert = 29,
  kSetExit = 30,
  kSetScoreboard = 32,
  kSetEventDispatch = 44,
};
bool SettingIsOn(int n);
// NATIONMSG(n): short fixed English texts; "" for an unknown number.
std::string NationMsg(int n);

// Classes ----------------------------------------------------------------------

// A method implemented in C++.  The frame's self() is the receiver.
struct MethodDef {
  std::string name;       // matched without regard to case
  std::string proc_name;  // recorded in the frame, e.g. "@READSTATUS@C@SAVE"
  NativeFn fn;
};

struct ClassDef {
  std::string name;
  std::vector<std::pair<std::string, Value>> class_vars;  // with initial value
  std::vector<std::string> instance_vars;                  // start as NIL
  std::vector<MethodDef> class_methods;
  std::vector<MethodDef> instance_methods;
};

class Class;

// An object is an instance of a class or a class object.  A class object's
// variables are the class variables; an instance's are its own.
class Object {
 public:
  Class& cls() const { return *class_; }
  bool is_class_object() const { return is_class_object_; }
  std::string_view class_name() const;

  // Variable access by index for C++ code that owns the class: an instance's
  // own variables in the order of ClassDef::instance_vars, a class object's
  // class variables in the order of ClassDef::class_vars.
  // REQUIRES: index < var_count().
  Value& var(size_t index) { return vars_[index]; }
  size_t var_count() const { return vars_.size(); }

  // State that a C++ class keeps beside its variables.
  std::shared_ptr<void> native;

 private:
  friend class Class;
  friend ObjectPtr NewInstance(const ObjectPtr& class_object);
  friend ObjectPtr CreateClass(ClassDef def);
  Class* class_ = nullptr;
  bool is_class_object_ = false;
  std::vector<Value> vars_;
};

// Creates a class once, under the class lock, and returns its class object.
// A second call with a name already created returns the existing object.
ObjectPtr CreateClass(ClassDef def);
// The class object of a created class, or nullptr.
ObjectPtr FindClass(std::string_view name);
// Forgets a class by name, so a later CreateClass of that name makes a new
// one.  Objects already made keep their class.  A module whose methods are
// C++ functions drops its classes when it is unloaded, because a reloaded
// module's functions live at other addresses.
void DropClass(std::string_view name);
// A new instance (variables NIL); INIT is sent when the class has one.
ObjectPtr NewInstance(const ObjectPtr& class_object);

// Sends a message by name (case-insensitive).  Lookup: a method of that name;
// else a variable of that name (read); else "_name" with one argument assigns
// variable "name".  Instances fall back to their class's variables and class
// methods.  Sending "new" to a class object makes an instance.  Anything else
// raises "message not understood".
Value Send(const Value& receiver, std::string_view message,
           std::span<const Value> args);
Value Send(const Value& receiver, std::string_view message,
           std::initializer_list<Value> args = {});
// Reads / assigns a variable by name (same lookup as Send, no methods).
Value GetVar(const Value& receiver, std::string_view name);
void SetVar(const Value& receiver, std::string_view name, Value v);
// Index of a variable of an object, or -1.
int VarIndex(const Object& object, std::string_view name);

// Macro evaluation ------------------------------------------------------------

// Compiles text as an expression (once) into a block of no parameters whose
// evaluation yields the expression's value.  Text that does not compile
// raises a syntax error with the position and what was expected.
BlockPtr CompileExpression(std::string_view text);
// Compiles and evaluates text (the macro operator).
Value MacroEval(std::string_view text);

// Module loading -----------------------------------------------------------------

// Loads a shared library by path and runs its attach hook, which registers
// its functions.  Raises an error naming the file and the cause on failure.
// Returns an opaque handle for UnloadModule.
void* LoadModule(const std::string& path);
// Runs the detach hook (withdrawing the registration) and unloads.
void UnloadModule(void* handle);

// The hooks a loadable library exports (C linkage, default visibility).
#define RT_MODULE_ATTACH_SYMBOL "rt_module_attach"
#define RT_MODULE_DETACH_SYMBOL "rt_module_detach"
extern "C" {
using ModuleHookFn = int (*)();
}

// Runtime start-up ---------------------------------------------------------------

// Registers the runtime's built-in functions and classes.  Idempotent;
// called by the host before anything else runs.
void InitRuntime();

}  // namespace rt

#endif  // RUNTIME_API_RUNTIME_H_

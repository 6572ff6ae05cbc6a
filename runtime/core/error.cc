// The error system: one raise point (Raise), the error block, BREAK, guarded
// sequences, and the catch point of a host entry (RunProtected).
#include <exception>

#include "runtime/api/runtime.h"
#include "runtime/core/internal.h"

namespace rt {
namespace {

Value g_error_block;
int g_handling_depth = 0;  // > 0 while the error block runs

// The variables of an error object, in this order.
enum ErrorVar : size_t {
  kDescription, kOperation, kArgs, kSubSystem, kGenCode, kSubCode, kOsCode,
  kFilename, kSeverity, kCanRetry, kCanDefault, kErrorVarCount
};

ObjectPtr ErrorClass() {
  static ObjectPtr cls = CreateClass(ClassDef{
      .name = "ERROR",
      .instance_vars = {"description", "operation", "args", "subSystem",
                        "genCode", "subCode", "osCode", "filename",
                        "severity", "canRetry", "canDefault"},
  });
  return cls;
}

std::string MessageOf(const ErrorInfo& info) {
  std::string msg = "Error " + info.subsystem + "/" + std::to_string(info.gen_code);
  msg += "  " + info.description;
  if (!info.operation.empty() && info.description.find(info.operation) == std::string::npos)
    msg += " (" + info.operation + ")";
  if (!info.filename.empty() && info.description.find(info.filename) == std::string::npos)
    msg += ": " + info.filename;
  return msg;
}

std::vector<ChainEntry> CaptureChain() {
  std::vector<ChainEntry> chain;
  for (Frame* f = CurrentFrame(); f; f = f->caller())
    chain.push_back({std::string(f->proc_name()), f->line()});
  return chain;
}

}  // namespace

namespace internal {

Value MakeErrorObject(const ErrorInfo& info) {
  ObjectPtr e = NewInstance(ErrorClass());
  e->var(kDescription) = info.description;
  e->var(kOperation) = info.operation;
  e->var(kArgs) = NewArray(info.args);
  e->var(kSubSystem) = info.subsystem;
  e->var(kGenCode) = info.gen_code;
  e->var(kSubCode) = info.sub_code;
  e->var(kOsCode) = info.os_code;
  e->var(kFilename) = info.filename;
  e->var(kSeverity) = 2;
  e->var(kCanRetry) = false;
  e->var(kCanDefault) = false;
  return e;
}

void RegisterErrorClass() { ErrorClass(); }

}  // namespace internal

UnhandledError::UnhandledError(Value error_object, std::string message,
                               std::vector<ChainEntry> chain)
    : error_object_(std::move(error_object)),
      message_(std::move(message)),
      chain_(std::move(chain)) {}

void Raise(ErrorInfo info) {
  Value error = internal::MakeErrorObject(info);
  std::vector<ChainEntry> chain = CaptureChain();
  // An error inside the error block itself is not handed to it again.
  if (g_error_block.is_block() && g_handling_depth == 0) {
    ++g_handling_depth;
    try {
      Eval(g_error_block, {error});
    } catch (...) {
      --g_handling_depth;
      throw;
    }
    --g_handling_depth;
  }
  throw UnhandledError(error, MessageOf(info), std::move(chain));
}

void RaiseArgError(int n, std::string_view func, std::string_view reason) {
  std::string desc = "bad argument #" + std::to_string(n) + " to '" +
                     internal::UpperName(func) + "'";
  if (!reason.empty()) desc += " (" + std::string(reason) + ")";
  Raise(ErrorInfo{.description = desc,
                  .operation = internal::UpperName(func),
                  .gen_code = kErrArgument});
}

Value GetErrorBlock() { return g_error_block; }

Value SetErrorBlock(Value block) {
  Value old = g_error_block;
  g_error_block = std::move(block).deref();
  return old;
}

void Break(Value v) { throw BreakSignal(std::move(v).deref()); }

Value Guarded(const std::function<Value()>& body,
              const std::function<Value(const Value&)>& recover) {
  try {
    return body();
  } catch (const BreakSignal& signal) {
    return recover(signal.value());
  }
}

bool RunProtected(const std::function<void()>& fn, std::string* message,
                  std::vector<ChainEntry>* chain) {
  try {
    fn();
    return true;
  } catch (const UnhandledError& e) {
    *message = e.what();
    *chain = e.chain();
  } catch (const BreakSignal& b) {
    *message = "BREAK outside a guarded sequence, value " + ToLiteral(b.value());
    chain->clear();
  } catch (const std::exception& e) {
    *message = std::string("internal error: ") + e.what();
    chain->clear();
  } catch (...) {
    *message = "internal error: unknown exception";
    chain->clear();
  }
  return false;
}

}  // namespace rt

// The function registry: names resolve without regard to case; a later
// registration of a name hides an earlier one until it is withdrawn.
#include <cctype>
#include <unordered_map>
#include <vector>

#include "runtime/api/runtime.h"
#include "runtime/core/internal.h"

namespace rt {
namespace internal {

std::string UpperName(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace internal

namespace {

// ASCII upper-casing: function names are plain ASCII, and the locale-aware
// toupper costs a call per character on the hottest path of every call.
inline unsigned char Fold(char c) {
  return static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

// Hashes and compares names as if upper-cased, so a lookup needs no copy.
struct CaseInsensitiveHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const {
    size_t h = 14695981039346656037ull;
    for (char c : s) {
      h ^= Fold(c);
      h *= 1099511628211ull;
    }
    return h;
  }
};
struct CaseInsensitiveEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
  }
};

// Per name, the stack of registrations; the last one is in force.
using Registry = std::unordered_map<std::string, std::vector<const FunctionEntry*>,
                                    CaseInsensitiveHash, CaseInsensitiveEqual>;

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

// Counts the changes of the registry (starting at 1), so that a remembered
// lookup knows when it may be stale.
uint64_t g_generation = 1;

[[noreturn]] void RaiseUndefinedFunction(std::string_view name) {
  Raise(ErrorInfo{.description = "undefined function: " + internal::UpperName(name),
                  .operation = std::string(name),
                  .gen_code = kErrUndefined});
}

}  // namespace

void RegisterFunctions(std::span<const FunctionEntry> table) {
  Registry& registry = TheRegistry();
  for (const FunctionEntry& entry : table) {
    registry[internal::UpperName(entry.name)].push_back(&entry);
  }
  ++g_generation;
}

void WithdrawFunctions(std::span<const FunctionEntry> table) {
  Registry& registry = TheRegistry();
  for (const FunctionEntry& entry : table) {
    auto it = registry.find(std::string_view(entry.name));
    if (it == registry.end()) continue;
    auto& stack = it->second;
    std::erase(stack, &entry);
    if (stack.empty()) registry.erase(it);
  }
  ++g_generation;
}

const FunctionEntry* FindFunction(std::string_view name) {
  Registry& registry = TheRegistry();
  auto it = registry.find(name);
  return it == registry.end() ? nullptr : it->second.back();
}

Value CallEntry(const FunctionEntry& entry, std::span<const Value> args) {
  Frame frame(entry.name, args);
  return entry.fn(frame);
}

Value Call(std::string_view name, std::span<const Value> args) {
  const FunctionEntry* entry = FindFunction(name);
  if (!entry) RaiseUndefinedFunction(name);
  return CallEntry(*entry, args);
}

Value Call(std::string_view name, std::initializer_list<Value> args) {
  return Call(name, std::span<const Value>(args.begin(), args.size()));
}

const FunctionEntry* FunctionName::Find() const {
  if (generation_ != g_generation) {
    entry_ = FindFunction(name_);
    generation_ = g_generation;
  }
  return entry_;
}

Value Call(const FunctionName& name, std::span<const Value> args) {
  const FunctionEntry* entry = name.Find();
  if (!entry) RaiseUndefinedFunction(name.name());
  return CallEntry(*entry, args);
}

Value Call(const FunctionName& name, std::initializer_list<Value> args) {
  return Call(name, std::span<const Value>(args.begin(), args.size()));
}

}  // namespace rt

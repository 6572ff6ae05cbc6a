// Memory variables: publics, and privates that live as long as the frame
// that declared them and hide a variable of the same name meanwhile.
#include <unordered_map>
#include <vector>

#include "runtime/api/runtime.h"
#include "runtime/core/internal.h"

namespace rt {
namespace {

struct Declaration {
  const Frame* frame;
  std::string name;  // upper case
};

struct Memvars {
  std::unordered_map<std::string, CellPtr> publics;
  std::unordered_map<std::string, std::vector<CellPtr>> privates;
  std::vector<Declaration> declarations;  // in order of declaration
};

Memvars& TheMemvars() {
  static Memvars memvars;
  return memvars;
}

}  // namespace

namespace internal {

void ReleasePrivatesOf(const Frame* frame) {
  Memvars& m = TheMemvars();
  while (!m.declarations.empty() && m.declarations.back().frame == frame) {
    auto it = m.privates.find(m.declarations.back().name);
    it->second.pop_back();
    if (it->second.empty()) m.privates.erase(it);
    m.declarations.pop_back();
  }
}

}  // namespace internal

void SetPublic(std::string_view name, Value v) {
  CellPtr& cell = TheMemvars().publics[internal::UpperName(name)];
  if (!cell) cell = NewCell();
  cell->value = std::move(v).deref();
}

void DeclarePrivate(std::string_view name, Value v) {
  Memvars& m = TheMemvars();
  std::string upper = internal::UpperName(name);
  m.privates[upper].push_back(NewCell(std::move(v).deref()));
  m.declarations.push_back({CurrentFrame(), std::move(upper)});
}

CellPtr FindMemvar(std::string_view name) {
  Memvars& m = TheMemvars();
  std::string upper = internal::UpperName(name);
  if (auto it = m.privates.find(upper); it != m.privates.end())
    return it->second.back();
  if (auto it = m.publics.find(upper); it != m.publics.end()) return it->second;
  return nullptr;
}

Value GetMemvar(std::string_view name) {
  CellPtr cell = FindMemvar(name);
  if (!cell) {
    Raise(ErrorInfo{.description = "variable does not exist: " + internal::UpperName(name),
                    .operation = internal::UpperName(name),
                    .gen_code = kErrUndefined});
  }
  return cell->value;
}

void AssignMemvar(std::string_view name, Value v) {
  if (CellPtr cell = FindMemvar(name)) {
    cell->value = std::move(v).deref();
  } else {
    SetPublic(name, std::move(v));
  }
}

}  // namespace rt

// The set of work areas, name resolution, and the field access API that the
// macro compiler and native callers use (runtime/api/tables.h).
#include "runtime/tables/work_area_set.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "runtime/api/runtime.h"
#include "runtime/api/tables.h"

namespace rt::tables {

namespace {

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

void CloseAllAtExit() { CloseAllAreas(); }

}  // namespace

WorkAreaSet& WorkAreaSet::Get() {
  // Never destroyed: the exit hook below may run after static destructors.
  static WorkAreaSet* set = [] {
    auto* s = new WorkAreaSet();
    std::atexit(CloseAllAtExit);
    return s;
  }();
  return *set;
}

WorkArea* WorkAreaSet::area(int n) {
  if (n == 0) n = current_;
  if (n < 1 || static_cast<size_t>(n) > areas_.size()) return nullptr;
  return areas_[static_cast<size_t>(n - 1)].get();
}

int WorkAreaSet::LowestUnused() const {
  for (size_t i = 0; i < areas_.size(); ++i) {
    if (!areas_[i]) return static_cast<int>(i + 1);
  }
  return static_cast<int>(areas_.size() + 1);
}

int WorkAreaSet::AreaOfAlias(std::string_view alias) const {
  while (!alias.empty() && alias.back() == ' ') alias.remove_suffix(1);
  while (!alias.empty() && alias.front() == ' ') alias.remove_prefix(1);
  for (size_t i = 0; i < areas_.size(); ++i) {
    if (areas_[i] && SameNoCase(areas_[i]->alias(), alias)) return static_cast<int>(i + 1);
  }
  return 0;
}

void WorkAreaSet::Install(std::unique_ptr<WorkArea> area) {
  size_t index = static_cast<size_t>(area->number() - 1);
  if (areas_.size() <= index) areas_.resize(index + 1);
  areas_[index] = std::move(area);
}

Status WorkAreaSet::Close(int n) {
  WorkArea* a = area(n);
  if (a == nullptr) return Status::OK();
  // The slot is freed whatever happens: an area that failed to close is
  // still not usable.
  std::unique_ptr<WorkArea> owned = std::move(areas_[static_cast<size_t>(a->number() - 1)]);
  return owned->Close();
}

Status WorkAreaSet::CloseAll() {
  Status first;
  std::exception_ptr raised;
  for (size_t i = 0; i < areas_.size(); ++i) {
    if (!areas_[i]) continue;
    try {
      Status s = Close(static_cast<int>(i + 1));
      if (first.ok()) first = s;
    } catch (...) {
      // A key expression failed while flushing: close the others anyway.
      if (!raised) raised = std::current_exception();
    }
  }
  if (raised) std::rethrow_exception(raised);
  return first;
}

Status WorkAreaSet::CommitAll() {
  Status first;
  for (auto& area : areas_) {
    if (!area) continue;
    Status s = area->Commit();
    if (first.ok()) first = s;
  }
  return first;
}

std::string ResolveTablePath(std::string_view name, std::string_view ext,
                             const std::string& base_dir) {
  std::string n(name);
  while (!n.empty() && n.back() == ' ') n.pop_back();
  while (!n.empty() && n.front() == ' ') n.erase(0, 1);
  std::string path = n.find('/') == std::string::npos && !base_dir.empty()
                         ? base_dir + "/" + n
                         : n;
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) path += ext;
  if (Exists(path)) return path;
  // Look for the same name in another letter case.
  slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (DIR* d = ::opendir(dir.c_str())) {
    std::string match;
    while (dirent* e = ::readdir(d)) {
      if (SameNoCase(e->d_name, base)) {
        match = e->d_name;
        break;
      }
    }
    ::closedir(d);
    if (!match.empty()) return slash == std::string::npos ? match : dir + "/" + match;
  }
  return path;
}

std::string DefaultAlias(std::string_view path) {
  size_t slash = path.rfind('/');
  std::string_view base = slash == std::string_view::npos ? path : path.substr(slash + 1);
  size_t dot = base.rfind('.');
  if (dot != std::string_view::npos && dot > 0) base = base.substr(0, dot);
  std::string alias(base);
  for (char& c : alias) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return alias;
}

// runtime/api/tables.h ---------------------------------------------------------

namespace {

WorkArea& AreaOrRaise(int area, const char* operation) {
  WorkArea* a = WorkAreaSet::Get().area(area);
  if (a == nullptr) {
    int n = area == 0 ? WorkAreaSet::Get().current() : area;
    Raise(ErrorInfo{"no table in use in work area " + std::to_string(n), operation, {},
                    "TABLES", kErrNoTable, 0, 0, ""});
  }
  return *a;
}

void CheckFieldIndex(WorkArea& a, int index, const char* operation) {
  if (index < 1 || index > a.field_count()) {
    Raise(ErrorInfo{"field position " + std::to_string(index) + " is out of range 1.." +
                        std::to_string(a.field_count()),
                    operation, {Value(index)}, "TABLES", kErrBound, 0, 0, a.table().name()});
  }
}

}  // namespace

int CurrentArea() { return WorkAreaSet::Get().current(); }

void SelectArea(int area) {
  WorkAreaSet& set = WorkAreaSet::Get();
  if (area == 0) area = set.LowestUnused();
  if (area < 1 || area > kMaxAreas) {
    Raise(ErrorInfo{"work area " + std::to_string(area) + " is out of range 1.." +
                        std::to_string(kMaxAreas),
                    "SELECT", {Value(area)}, "TABLES", kErrArgument, 0, 0, ""});
  }
  set.Select(area);
}

int AreaOfAlias(std::string_view alias) { return WorkAreaSet::Get().AreaOfAlias(alias); }

int FieldIndex(int area, std::string_view name) {
  WorkArea* a = WorkAreaSet::Get().area(area);
  if (a == nullptr) return 0;
  return a->table().FieldIndex(name) + 1;
}

Value GetField(int area, int index) {
  WorkArea& a = AreaOrRaise(area, "FIELDGET");
  CheckFieldIndex(a, index, "FIELDGET");
  KeyTrace::NoteRead(a.number(), index - 1);
  return a.GetField(index - 1);
}

void PutField(int area, int index, const Value& v) {
  WorkArea& a = AreaOrRaise(area, "FIELDPUT");
  CheckFieldIndex(a, index, "FIELDPUT");
  Status s = a.PutField(index - 1, v);
  if (!s.ok()) {
    Raise(ErrorInfo{s.message(), "FIELDPUT", {Value(index), v}, "TABLES",
                    a.table().read_only_reason().empty() ? kErrArgument : kErrWrite, 0, 0,
                    a.table().name()});
  }
}

void SetDataDirectory(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  WorkAreaSet::Get().set_data_directory(std::move(dir));
}

const std::string& DataDirectory() { return WorkAreaSet::Get().data_directory(); }

void CloseAllAreas() {
  try {
    Status s = WorkAreaSet::Get().CloseAll();
    if (!s.ok()) std::fprintf(stderr, "closing tables: %s\n", s.ToString().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "closing tables: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "closing tables: an order key could not be evaluated\n");
  }
}

}  // namespace rt::tables

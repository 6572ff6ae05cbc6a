// The process's work areas: numbered from 1, selected by number or alias,
// one of them current.  Also where table and bag names are turned into
// paths (the data directory) and where everything is flushed at exit.
//
// Single-threaded, like the rest of the runtime.
#ifndef RUNTIME_TABLES_WORK_AREA_SET_H_
#define RUNTIME_TABLES_WORK_AREA_SET_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/tables/status.h"
#include "runtime/tables/work_area.h"

namespace rt::tables {

// Highest work-area number.
constexpr int kMaxAreas = 65535;

class WorkAreaSet {
 public:
  // The one set of the process.  The first call registers an exit hook that
  // commits and closes every area.
  static WorkAreaSet& Get();

  int current() const { return current_; }
  // REQUIRES: 1 <= n <= kMaxAreas.
  void Select(int n) { current_ = n; }
  // The table in area n (0: the current area), or nullptr when unused.
  WorkArea* area(int n);
  WorkArea* Current() { return area(current_); }
  int LowestUnused() const;
  // Number of the area whose alias is `alias` (case-insensitive), or 0.
  int AreaOfAlias(std::string_view alias) const;

  // Puts `area` into slot area->number() (which must be unused).
  void Install(std::unique_ptr<WorkArea> area);
  // Commits and closes area n; the slot is free afterwards even when the
  // close reported an error.
  Status Close(int n);
  // Closes every area; returns the first error.
  Status CloseAll();
  // Writes back and makes durable every open area; returns the first error.
  Status CommitAll();

  // Directory for table and bag names without a directory part.
  void set_data_directory(std::string dir) { data_dir_ = std::move(dir); }
  const std::string& data_directory() const { return data_dir_; }

 private:
  WorkAreaSet() = default;
  std::vector<std::unique_ptr<WorkArea>> areas_;  // index = number - 1
  int current_ = 1;
  std::string data_dir_ = "./data";
};

// Makes area `area` current for the life of the scope (for evaluating key
// expressions in their own area), then puts back the area that was current.
class CurrentAreaScope {
 public:
  explicit CurrentAreaScope(int area)
      : saved_(WorkAreaSet::Get().current()) {
    WorkAreaSet::Get().Select(area);
  }
  ~CurrentAreaScope() { WorkAreaSet::Get().Select(saved_); }
  CurrentAreaScope(const CurrentAreaScope&) = delete;
  CurrentAreaScope& operator=(const CurrentAreaScope&) = delete;

 private:
  int saved_;
};

// Turns a table or bag name into a path: a name without a directory goes
// into `base_dir`; a name without an extension gets `ext` (".dbf", ".cdx").
// When that exact file does not exist, a file in the same directory whose
// name differs only in letter case is used, so "morbrept" finds
// MORBREPT.DBF.
std::string ResolveTablePath(std::string_view name, std::string_view ext,
                             const std::string& base_dir);
// The alias a table gets by default: its base name in upper case.
std::string DefaultAlias(std::string_view path);

}  // namespace rt::tables

#endif  // RUNTIME_TABLES_WORK_AREA_SET_H_

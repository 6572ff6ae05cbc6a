// The demo database: MORBREPT and MORBUPLD (morbidity reports and uploads)
// with their order bags MOR01.CDX and MUP01.CDX, and the application log
// SYSLOG.DBF.  The data is made from a seed, so the same seed gives the
// same files.
#ifndef TOOLS_DEMO_DATABASE_H_
#define TOOLS_DEMO_DATABASE_H_

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/tables/status.h"

namespace dbftool {

struct DemoOptions {
  std::string dir;
  uint32_t records = 1000;  // report records; uploads get records / 5
  uint64_t seed = 1;
  // Reports progress: a phase name, work done, work total.
  std::function<void(const std::string&, uint64_t, uint64_t)> progress;
};

// Creates (replacing) the demo tables and bags in options.dir.
// REQUIRES: the runtime is initialised (key expressions are compiled by it).
rt::tables::Status CreateDemoDatabase(const DemoOptions& options);

// MMWR week and year of a day number (weeks run Sunday to Saturday; week 1
// is the week that holds January 4).
void MmwrWeekOf(int32_t day, int* week, int* year);

}  // namespace dbftool

#endif  // TOOLS_DEMO_DATABASE_H_

// Generation of the demo database.
#include "tools/demo_database.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "runtime/api/runtime.h"
#include "runtime/api/tables.h"
#include "runtime/api/value.h"
#include "runtime/tables/dbf_field.h"
#include "runtime/tables/dbf_table.h"
#include "runtime/tables/file.h"

namespace dbftool {

using rt::tables::DbfField;
using rt::tables::DbfTable;
using rt::tables::Status;

namespace {

// A small portable generator, so a seed gives the same data everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n).
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

 private:
  uint64_t state_;
};

const char* const kStates[] = {"AL", "AK", "AZ", "CA", "CO", "FL", "GA", "IL", "MA", "MI",
                               "MN", "NC", "NY", "OH", "PA", "TX", "VA", "WA", "WI", "WY"};
const char* const kEvents[] = {"10110", "10190", "10250", "10680", "11080",
                               "11250", "11550", "11640", "11700", "12010"};
const char* const kComments[] = {"", "", "", "Follow-up pending", "Lab confirmed",
                                 "Reported by clinic", "Duplicate check done",
                                 "Outbreak associated", "Travel related"};

std::vector<DbfField> MorbidityFields(bool upload) {
  std::vector<DbfField> f = {
      {"CASE_ID", 'C', 10, 0, 0},  {"STATE", 'C', 2, 0, 0},    {"COUNTY", 'C', 3, 0, 0},
      {"EVENT", 'C', 5, 0, 0},     {"EVENT_DT", 'D', 8, 0, 0}, {"REPT_DT", 'D', 8, 0, 0},
      {"MMWR_WEEK", 'C', 2, 0, 0}, {"MMWR_YEAR", 'C', 4, 0, 0}, {"MORB_DW", 'D', 8, 0, 0},
      {"MORB_TW", 'C', 8, 0, 0},   {"AGE", 'N', 3, 0, 0},      {"SEX", 'C', 1, 0, 0},
      {"COUNT", 'N', 5, 0, 0},     {"COMMENT", 'C', 60, 0, 0},
  };
  if (upload) {
    f.push_back({"UPLD_DT", 'D', 8, 0, 0});
    f.push_back({"BATCH", 'C', 8, 0, 0});
  }
  return f;
}

Status CreateTable(const std::string& path, std::vector<DbfField> fields,
                   std::unique_ptr<DbfTable>* table) {
  rt::tables::OpenOptions o;
  o.create = true;
  o.truncate = true;
  std::unique_ptr<rt::tables::File> file;
  Status s = rt::tables::OpenPosixFile(path, o, &file);
  if (!s.ok()) return s;
  return DbfTable::Create(std::move(file), std::move(fields), table);
}

void Put(const DbfTable& t, int index, const rt::Value& v, char* record) {
  std::string error;
  if (!rt::tables::EncodeField(t.fields()[static_cast<size_t>(index)], v, record, &error)) {
    std::fprintf(stderr, "dbftool: internal error: %s\n", error.c_str());
  }
}

std::string TwoDigits(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

// Writes `count` morbidity records into `t`, in batches.
Status FillMorbidity(DbfTable& t, uint32_t count, bool upload, Random& rnd,
                     const DemoOptions& options, const std::string& phase) {
  const int32_t first_day = rt::MakeDate(2000, 1, 1).day;
  const int32_t last_day = rt::MakeDate(2025, 12, 31).day;
  const size_t len = t.record_length();
  constexpr uint32_t kBatch = 4096;
  std::string batch;
  batch.reserve(len * kBatch);
  for (uint32_t i = 1; i <= count; ++i) {
    std::string rec = t.BlankRecord();
    char id[16];
    std::snprintf(id, sizeof id, "%c%09u", upload ? 'U' : 'C', i);
    Put(t, 0, rt::Value(id), rec.data());
    Put(t, 1, rt::Value(kStates[rnd.Below(20)]), rec.data());
    Put(t, 2, rt::Value(TwoDigits(0) + std::to_string(1 + rnd.Below(9))), rec.data());
    Put(t, 3, rt::Value(kEvents[rnd.Below(10)]), rec.data());
    int32_t rept = first_day + static_cast<int32_t>(rnd.Below(static_cast<uint32_t>(last_day - first_day + 1)));
    Put(t, 4, rt::Value(rt::Date{rept - static_cast<int32_t>(rnd.Below(30))}), rec.data());
    Put(t, 5, rt::Value(rt::Date{rept}), rec.data());
    int week = 0, year = 0;
    MmwrWeekOf(rept, &week, &year);
    switch (rnd.Below(4)) {
      case 0:  // blank: never calculated
        break;
      case 1:  // wrong: an old calculation off by some weeks
        week = 1 + static_cast<int>(rnd.Below(52));
        year = year - static_cast<int>(rnd.Below(2));
        [[fallthrough]];
      default:
        Put(t, 6, rt::Value(TwoDigits(week)), rec.data());
        Put(t, 7, rt::Value(std::to_string(year)), rec.data());
        Put(t, 8, rt::Value(rt::Date{rept + 1 + static_cast<int32_t>(rnd.Below(20))}), rec.data());
        Put(t, 9, rt::Value(TwoDigits(8 + static_cast<int>(rnd.Below(10))) + ":" +
                            TwoDigits(static_cast<int>(rnd.Below(60))) + ":" +
                            TwoDigits(static_cast<int>(rnd.Below(60)))),
            rec.data());
        break;
    }
    Put(t, 10, rt::Value(static_cast<int>(rnd.Below(100))), rec.data());
    Put(t, 11, rt::Value(std::string(1, "MFU"[rnd.Below(3)])), rec.data());
    Put(t, 12, rt::Value(static_cast<int>(1 + rnd.Below(5))), rec.data());
    Put(t, 13, rt::Value(kComments[rnd.Below(9)]), rec.data());
    if (upload) {
      Put(t, 14, rt::Value(rt::Date{rept + static_cast<int32_t>(rnd.Below(10))}), rec.data());
      char b[16];
      std::snprintf(b, sizeof b, "B%07u", 1 + i / 500);
      Put(t, 15, rt::Value(b), rec.data());
    }
    batch += rec;
    if (i % kBatch == 0 || i == count) {
      Status s = t.AppendRecords(batch.data(), static_cast<uint32_t>(batch.size() / len));
      if (!s.ok()) return s;
      batch.clear();
      if (options.progress) options.progress(phase, i, count);
    }
  }
  return t.Sync();
}

struct TagDef {
  const char* name;
  const char* key;
};

// Opens the table in a work area and builds the tags into a fresh bag.
Status BuildBag(const std::string& table, const std::string& bag,
                const std::vector<TagDef>& tags) {
  std::remove(bag.c_str());
  rt::Value ok = rt::Guarded(
      [&]() -> rt::Value {
        rt::Call("DBUSEAREA", {true, rt::Value(), rt::Value(table), rt::Value(), false, false});
        for (const TagDef& t : tags) {
          rt::Call("ORDCREATE", {rt::Value(bag), rt::Value(t.name), rt::Value(t.key)});
        }
        rt::Call("DBCLOSEAREA");
        return rt::Value(true);
      },
      [](const rt::Value&) { return rt::Value(false); });
  (void)ok;
  return Status::OK();
}

}  // namespace

void MmwrWeekOf(int32_t day, int* week, int* year) {
  int y = 0, m = 0, d = 0;
  rt::SplitDate(rt::Date{day}, &y, &m, &d);
  auto week1 = [](int yr) {
    rt::Date jan4 = rt::MakeDate(yr, 1, 4);
    return jan4.day - rt::DayOfWeek(jan4);
  };
  int start = week1(y);
  if (day < start) {
    --y;
    start = week1(y);
  } else if (day >= week1(y + 1)) {
    ++y;
    start = week1(y);
  }
  *year = y;
  *week = (day - start) / 7 + 1;
}

Status CreateDemoDatabase(const DemoOptions& options) {
  if (::mkdir(options.dir.c_str(), 0755) != 0 && errno != EEXIST) {
    return Status::IOError(options.dir, std::string("cannot create the directory: ") + std::strerror(errno));
  }
  Random rnd(options.seed);
  const std::string rept = options.dir + "/MORBREPT.DBF";
  const std::string upld = options.dir + "/MORBUPLD.DBF";
  const std::string log = options.dir + "/SYSLOG.DBF";
  {
    std::unique_ptr<DbfTable> t;
    Status s = CreateTable(rept, MorbidityFields(false), &t);
    if (!s.ok()) return s;
    s = FillMorbidity(*t, options.records, false, rnd, options, "MORBREPT.DBF");
    if (!s.ok()) return s;
  }
  {
    std::unique_ptr<DbfTable> t;
    Status s = CreateTable(upld, MorbidityFields(true), &t);
    if (!s.ok()) return s;
    s = FillMorbidity(*t, options.records / 5, true, rnd, options, "MORBUPLD.DBF");
    if (!s.ok()) return s;
  }
  {
    std::unique_ptr<DbfTable> t;
    Status s = CreateTable(log,
                           {{"LOG_DATE", 'D', 8, 0, 0},
                            {"LOG_TIME", 'C', 8, 0, 0},
                            {"PROGRAM", 'C', 10, 0, 0},
                            {"STAMP", 'C', 19, 0, 0},
                            {"MESSAGE", 'C', 60, 0, 0},
                            {"DETAIL1", 'C', 80, 0, 0},
                            {"DETAIL2", 'C', 80, 0, 0},
                            {"DETAIL3", 'C', 80, 0, 0}},
                           &t);
    if (!s.ok()) return s;
  }
  // Key expressions go through the runtime like any user's would.
  const std::vector<TagDef> mor01 = {{"CASE_ID", "CASE_ID"},
                                     {"STCOUNTY", "STATE+COUNTY"},
                                     {"EVENT", "EVENT+DTOS(EVENT_DT)"},
                                     {"MMWR", "MMWR_YEAR+MMWR_WEEK"},
                                     {"REPT_DT", "DTOS(REPT_DT)"}};
  const std::vector<TagDef> mup01 = {{"REPT_DT", "DTOS(REPT_DT)"},
                                     {"MMWR", "MMWR_YEAR+MMWR_WEEK"},
                                     {"CASE_ID", "CASE_ID"}};
  std::string failure;
  rt::Value saved_block = rt::GetErrorBlock();
  rt::SetErrorBlock(rt::Value(rt::MakeBlock("DEMO_ERROR", [&failure](rt::Frame& f) -> rt::Value {
    rt::Value e = f.arg(0);
    failure = rt::GetVar(e, "description").is_string() ? rt::GetVar(e, "description").str() : "error";
    rt::Value file = rt::GetVar(e, "filename");
    if (file.is_string() && !file.str().empty()) failure = file.str() + ": " + failure;
    rt::Break(e);
  })));
  if (options.progress) options.progress("MOR01.CDX", 0, 1);
  BuildBag(rept, options.dir + "/MOR01.CDX", mor01);
  if (failure.empty()) {
    if (options.progress) options.progress("MUP01.CDX", 0, 1);
    BuildBag(upld, options.dir + "/MUP01.CDX", mup01);
  }
  rt::SetErrorBlock(saved_block);
  if (!failure.empty()) return Status::IOError("building the order bags", failure);
  return Status::OK();
}

}  // namespace dbftool

// Table benchmarks on the demo database (1,000,000 report records by
// default): a seek plus a walk of one year along the report-date order,
// and the same walk writing MMWR_WEEK, MMWR_YEAR, MORB_DW and MORB_TW per
// record through FIELDPUT, so the MMWR_YEAR+MMWR_WEEK order is maintained
// on every record.
//
// The database is made once with dbftool in $MORB_BENCH_DIR (default
// /tmp/morb_bench_<records>); set MORB_BENCH_RECORDS for another size.
// Reports records per second and the peak resident memory.
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "benchmark/benchmark.h"
#include "runtime/api/runtime.h"
#include "runtime/api/tables.h"

namespace {

std::string g_dir;

void MakeDatabase() {
  if (!g_dir.empty()) return;
  const char* n = std::getenv("MORB_BENCH_RECORDS");
  std::string records = n ? n : "1000000";
  const char* d = std::getenv("MORB_BENCH_DIR");
  g_dir = d ? d : "/tmp/morb_bench_" + records;
  struct stat st;
  if (::stat((g_dir + "/MOR01.CDX").c_str(), &st) != 0) {
    ::mkdir(g_dir.c_str(), 0755);
    const char* bin = std::getenv("MORB_BIN_DIR");
    std::string cmd = std::string(bin ? bin : "./bin") + "/dbftool create-demo " + g_dir +
                      " --records " + records + " --seed 1";
    if (std::system(cmd.c_str()) != 0) {
      std::fprintf(stderr, "could not create the demo database: %s\n", cmd.c_str());
      std::exit(1);
    }
  }
  rt::InitRuntime();
  rt::tables::SetDataDirectory(g_dir);
}

// Peak resident memory, file pages of the mapped table included.
double PeakMegabytes() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

// Private (anonymous) resident memory now: what the process holds of its
// own, without the table's file pages that the kernel can drop at will.
double PrivateMegabytes() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  double kb = -1;
  while (std::fgets(line, sizeof line, f)) {
    if (std::sscanf(line, "RssAnon: %lf", &kb) == 1) break;
  }
  std::fclose(f);
  return kb / 1024.0;
}

void OpenReports() {
  rt::Call("DBUSEAREA", {true, rt::Value(), rt::Value("MORBREPT"), rt::Value("morbrept"), false, false});
  rt::Call("ORDLISTCLEAR");
  rt::Call("ORDLISTADD", {rt::Value("mor01")});
  rt::Call("ORDSETFOCUS", {5});
}

// Walks 2015 along the report-date order; with `write`, stores the four
// MMWR fields of every record.  Returns the records visited.
int64_t WalkYear(bool write, int pass) {
  const rt::Date first = rt::MakeDate(2015, 1, 1);
  const rt::Date last = rt::MakeDate(2015, 12, 31);
  const int rept = rt::tables::FieldIndex(0, "REPT_DT");
  rt::Call("DBSEEK", {rt::Value("20150101"), true});
  const rt::Value week(pass % 2 ? "07" : "08");
  const rt::Value year("2015");
  const rt::Value today(rt::MakeDate(2026, 12, 11));
  const rt::Value now("11:13:17");
  // The functions are looked up once, as compiled code binds them.
  const rt::FunctionEntry& eof = *rt::FindFunction("EOF");
  const rt::FunctionEntry& skip = *rt::FindFunction("DBSKIP");
  const rt::FunctionEntry& put = *rt::FindFunction("FIELDPUT");
  const rt::Value fields[4] = {rt::Value(7), rt::Value(8), rt::Value(9), rt::Value(10)};
  int64_t n = 0;
  while (!rt::CallEntry(eof, {}).logical()) {
    rt::Value d = rt::tables::GetField(0, rept);
    if (d.date().day < first.day || d.date().day > last.day) break;
    if (write) {
      const rt::Value a[4][2] = {{fields[0], week}, {fields[1], year}, {fields[2], today},
                                 {fields[3], now}};
      for (const auto& args : a) rt::CallEntry(put, args);
    }
    rt::CallEntry(skip, {});
    ++n;
  }
  return n;
}

void BM_SeekAndWalkYear(benchmark::State& state) {
  MakeDatabase();
  OpenReports();
  int64_t records = 0;
  double private_mb = 0;
  for (auto _ : state) {
    records += WalkYear(false, 0);
    private_mb = std::max(private_mb, PrivateMegabytes());
  }
  rt::Call("DBCLOSEALL");
  state.counters["private_MB"] = private_mb;
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_SeekAndWalkYear)->Unit(benchmark::kMillisecond);

void BM_WalkYearWritingMmwr(benchmark::State& state) {
  MakeDatabase();
  OpenReports();
  int64_t records = 0;
  int pass = 0;
  double private_mb = 0;
  for (auto _ : state) {
    records += WalkYear(true, ++pass);
    private_mb = std::max(private_mb, PrivateMegabytes());
  }
  rt::Call("DBCLOSEALL");  // includes writing back and syncing
  state.counters["private_MB"] = private_mb;
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_WalkYearWritingMmwr)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

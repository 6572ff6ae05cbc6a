// Seek and walk on one large tag (a million keys) of an order bag on disk.
//
//   build-bench/bin/index_seek_bench [--benchmark_filter=...]
//
// The bag is built once in a temporary file by a bulk build; each benchmark
// opens it afresh, so the engine's node cache starts cold and only the
// operating system's file cache is warm.  peak_rss_MB is the process's peak
// resident size so far and rss_MB the size at the end of the benchmark (the
// bag file is never read whole into memory).
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "runtime/tables/file.h"
#include "runtime/tables/index_bag.h"

namespace rt::tables {
namespace {

constexpr uint32_t kKeys = 1000000;
constexpr int32_t kFirstDay = 2451545;  // 2000-01-01

// Report dates spread over about 26 years, about 105 records per day, in
// random record order (like the demo table's report-date tag).
int32_t DayOfRecord(uint32_t recno) {
  return kFirstDay + static_cast<int32_t>((uint64_t(recno) * 2654435761u) % 9500);
}

const std::string& BagPath() {
  static const std::string path = [] {
    std::string p = "/tmp/index_seek_bench_" + std::to_string(getpid()) + ".cdx";
    OpenOptions o;
    o.create = o.truncate = true;
    std::unique_ptr<File> file;
    Status s = OpenPosixFile(p, o, &file);
    std::unique_ptr<IndexBag> bag;
    if (s.ok()) s = IndexBag::Create(std::move(file), &bag);
    std::vector<IndexEntry> entries;
    entries.reserve(kKeys);
    for (uint32_t r = 1; r <= kKeys; ++r) {
      entries.push_back({EncodeDateKey(DayOfRecord(r)), r});
    }
    TagSpec spec;
    spec.name = "REPT_DT";
    spec.key_expression = "REPT_DT";
    spec.key_length = 8;
    spec.key_type = KeyType::kDate;
    if (s.ok()) s = bag->AddTag(spec, std::move(entries));
    if (s.ok()) s = bag->Close();
    if (!s.ok()) {
      std::fprintf(stderr, "building the bag failed: %s\n", s.ToString().c_str());
      std::exit(1);
    }
    std::atexit([] { unlink(BagPath().c_str()); });
    return p;
  }();
  return path;
}

std::unique_ptr<IndexBag> OpenBag(bool read_only) {
  OpenOptions o;
  o.read_only = read_only;
  std::unique_ptr<File> file;
  std::unique_ptr<IndexBag> bag;
  Status s = OpenPosixFile(BagPath(), o, &file);
  if (s.ok()) s = IndexBag::Open(std::move(file), read_only, &bag);
  if (s.ok()) s = bag->SetKeyType(0, KeyType::kDate);
  if (!s.ok()) {
    std::fprintf(stderr, "%s\n", s.ToString().c_str());
    std::exit(1);
  }
  return bag;
}

// Peak resident size of the process so far (the bulk build of the bag at
// the start dominates it) and the resident size now.
void ReportMemory(benchmark::State& state) {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  state.counters["peak_rss_MB"] = double(u.ru_maxrss) / 1024.0;
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  state.counters["rss_MB"] = double(resident) * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

// A soft seek to a random day.
void BM_Seek(benchmark::State& state) {
  auto bag = OpenBag(true);
  std::unique_ptr<IndexCursor> c;
  bag->NewCursor(0, &c);
  std::mt19937 rng(1);
  for (auto _ : state) {
    bool found;
    Status s = c->Seek(EncodeDateKey(kFirstDay + rng() % 9500), &found);
    benchmark::DoNotOptimize(found);
    if (!s.ok()) state.SkipWithError(s.ToString().c_str());
  }
  state.SetItemsProcessed(state.iterations());
  ReportMemory(state);
}
BENCHMARK(BM_Seek);

// Seek to a random day, then walk one year of report dates (about 38,000
// entries) in order.
void BM_SeekAndWalkOneYear(benchmark::State& state) {
  auto bag = OpenBag(true);
  std::unique_ptr<IndexCursor> c;
  bag->NewCursor(0, &c);
  std::mt19937 rng(2);
  int64_t entries = 0;
  for (auto _ : state) {
    const int32_t from = kFirstDay + static_cast<int32_t>(rng() % (9500 - 366));
    const std::string end = EncodeDateKey(from + 365);
    bool found;
    Status s = c->Seek(EncodeDateKey(from), &found);
    while (s.ok() && c->Valid() && c->key() < end) {
      ++entries;
      s = c->Next();
    }
    if (!s.ok()) state.SkipWithError(s.ToString().c_str());
  }
  state.SetItemsProcessed(entries);
  ReportMemory(state);
}
BENCHMARK(BM_SeekAndWalkOneYear)->Unit(benchmark::kMillisecond);

// The whole tag, first to last.
void BM_FullWalk(benchmark::State& state) {
  auto bag = OpenBag(true);
  std::unique_ptr<IndexCursor> c;
  bag->NewCursor(0, &c);
  int64_t entries = 0;
  for (auto _ : state) {
    Status s;
    for (s = c->First(); s.ok() && c->Valid(); s = c->Next()) ++entries;
    if (!s.ok()) state.SkipWithError(s.ToString().c_str());
  }
  state.SetItemsProcessed(entries);
  ReportMemory(state);
}
BENCHMARK(BM_FullWalk)->Unit(benchmark::kMillisecond);

// Moving one record to another day (delete the old key, insert the new
// one), as a write of the indexed field does; flushed every 1000 moves.
void BM_MoveKey(benchmark::State& state) {
  auto bag = OpenBag(false);
  std::mt19937 rng(3);
  std::vector<int32_t> day(kKeys + 1);
  for (uint32_t r = 1; r <= kKeys; ++r) day[r] = DayOfRecord(r);
  int64_t moves = 0;
  for (auto _ : state) {
    const uint32_t r = 1 + rng() % kKeys;
    const int32_t to = kFirstDay + static_cast<int32_t>(rng() % 9500);
    Status s = bag->Delete(0, EncodeDateKey(day[r]), r);
    if (s.ok()) s = bag->Insert(0, EncodeDateKey(to), r);
    day[r] = to;
    if (s.ok() && ++moves % 1000 == 0) s = bag->Flush();
    if (!s.ok()) state.SkipWithError(s.ToString().c_str());
  }
  Status s = bag->Close();
  if (!s.ok()) state.SkipWithError(s.ToString().c_str());
  state.SetItemsProcessed(state.iterations());
  ReportMemory(state);
}
BENCHMARK(BM_MoveKey);

// Building the million-key tag from unsorted pairs (sort included).
void BM_BulkBuild(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<IndexEntry> entries;
    entries.reserve(kKeys);
    for (uint32_t r = 1; r <= kKeys; ++r) {
      entries.push_back({EncodeDateKey(DayOfRecord(r)), r});
    }
    auto data = std::make_shared<std::string>();
    std::unique_ptr<IndexBag> bag;
    IndexBag::Create(std::make_unique<MemoryFile>("bulk.cdx", data), &bag);
    TagSpec spec;
    spec.name = "D";
    spec.key_expression = "d";
    spec.key_length = 8;
    spec.key_type = KeyType::kDate;
    state.ResumeTiming();
    Status s = bag->AddTag(spec, std::move(entries));
    if (!s.ok()) state.SkipWithError(s.ToString().c_str());
    state.counters["file_MB"] = double(data->size()) / (1 << 20);
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
  ReportMemory(state);
}
BENCHMARK(BM_BulkBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace rt::tables

BENCHMARK_MAIN();

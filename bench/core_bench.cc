// The costs of the runtime's core calls on the recalculation's per-record
// path: a call by name through the registry, block evaluation (a native
// block and a compiled one), and CALCMMWR from the support library, alone
// and with the other calls the run makes for every record.
//
// Run by hand: build-dir/bin/core_bench (libsupport.so is loaded from the
// folder of the program).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "runtime/api/runtime.h"

namespace {

std::string ProgramDirectory() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

void Init() {
  static bool done = [] {
    rt::InitRuntime();
    return true;
  }();
  (void)done;
}

void LoadSupport() {
  static bool done = [] {
    Init();
    rt::LoadModule(ProgramDirectory() + "/libsupport.so");
    rt::Call("LOADMMWR");
    return true;
  }();
  (void)done;
}

// A native function of one argument by name: the lookup (case-insensitive)
// and the frame.
void BM_CallByName(benchmark::State& state) {
  Init();
  const rt::Value args[] = {rt::Value("abc")};
  for (auto _ : state) benchmark::DoNotOptimize(rt::Call("len", args));
}
BENCHMARK(BM_CallByName);

// The same call with the lookup done once: what the lookup costs is the
// difference from BM_CallByName.
void BM_CallResolvedEntry(benchmark::State& state) {
  Init();
  const rt::FunctionEntry* entry = rt::FindFunction("LEN");
  const rt::Value args[] = {rt::Value("abc")};
  for (auto _ : state) benchmark::DoNotOptimize(rt::CallEntry(*entry, args));
}
BENCHMARK(BM_CallResolvedEntry);

// A call with no arguments through the registry.
void BM_CallNoArgs(benchmark::State& state) {
  Init();
  for (auto _ : state) benchmark::DoNotOptimize(rt::Call("DATE"));
}
BENCHMARK(BM_CallNoArgs);

// EVAL of a block backed by C++ (as the patch's validation blocks are).
void BM_EvalNativeBlock(benchmark::State& state) {
  Init();
  rt::Value block(rt::MakeBlock("(B)BENCH@0000", [](rt::Frame& f) {
    return rt::Value(f.arg(0).num() + 1);
  }));
  const rt::Value args[] = {rt::Value(41)};
  for (auto _ : state) benchmark::DoNotOptimize(rt::Eval(block, args));
}
BENCHMARK(BM_EvalNativeBlock);

// EVAL of the same block compiled from text.
void BM_EvalCompiledBlock(benchmark::State& state) {
  Init();
  rt::Value block = rt::MacroEval("{|n| n + 1}");
  const rt::Value args[] = {rt::Value(41)};
  for (auto _ : state) benchmark::DoNotOptimize(rt::Eval(block, args));
}
BENCHMARK(BM_EvalCompiledBlock);

// CALCMMWR as the run calls it: a work array with the week and year slots
// blanked and the report date in the third element.  The date moves on by a
// day each time so that every week of the years is visited.
void BM_CalcMmwr(benchmark::State& state) {
  LoadSupport();
  rt::ArrayPtr work = rt::Call("ARRAY", {3}).array();
  const rt::Value args[] = {rt::Value(work), 1, 2, 3};
  const rt::Value blanks("  ");
  const int32_t first = rt::MakeDate(2000, 1, 1).day;
  int32_t offset = 0;
  for (auto _ : state) {
    work->items[0] = blanks;
    work->items[1] = blanks;
    work->items[2] = rt::Value(rt::Date{first + offset});
    offset = (offset + 1) % 9497;
    benchmark::DoNotOptimize(rt::Call("CALCMMWR", args));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CalcMmwr);

// The calls the run makes for every record besides reading and writing the
// fields: CALCMMWR, DATE and TIME for the stamp.  Items per second here is an
// upper bound on the run's records per second.
void BM_PerRecordCalls(benchmark::State& state) {
  LoadSupport();
  rt::ArrayPtr work = rt::Call("ARRAY", {3}).array();
  const rt::Value args[] = {rt::Value(work), 1, 2, 3};
  const rt::Value blanks("  ");
  const rt::Value date(rt::MakeDate(2024, 6, 15));
  for (auto _ : state) {
    work->items[0] = blanks;
    work->items[1] = blanks;
    work->items[2] = date;
    rt::Call("CALCMMWR", args);
    benchmark::DoNotOptimize(rt::Call("DATE"));
    benchmark::DoNotOptimize(rt::Call("TIME"));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PerRecordCalls);

}  // namespace

BENCHMARK_MAIN();

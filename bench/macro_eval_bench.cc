// The macro compiler's costs: compiling the texts the block builders
// assemble, and evaluating compiled expressions and blocks, which is the
// per-record path of the recalculation.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "runtime/api/runtime.h"
#include "runtime/api/tables.h"
#include "runtime/core/builtins.h"

namespace {

constexpr const char* kFieldBlock = "{|x| IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x) }";
constexpr const char* kAreaBlock =
    "{|x| CUST->(IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x)) }";
constexpr const char* kAnchorBlock = "{|x| IIf( PCount()==0 , AnyVar, AnyVar:=x ) }";

void Init() {
  static bool done = [] {
    rt::InitRuntime();
    // The core built-ins, for as long as InitRuntime does not register them.
    if (!rt::FindFunction("EVAL")) rt::RegisterCoreBuiltins();
    rt::SetPublic("nA", 12);
    rt::SetPublic("nB", 30);
    rt::SetPublic("AnyVar", 1);
    return true;
  }();
  (void)done;
}

// Opens a one-record table CUST in a temporary folder, with a name field and
// the fields of the recalculation's index keys.
void OpenTable() {
  static bool done = [] {
    auto dir = std::filesystem::temp_directory_path() / "macro_eval_bench";
    std::filesystem::create_directories(dir);
    rt::SetPublic("cBenchPath", (dir / "cust.dbf").string());
    rt::MacroEval(
        "DBCREATE(cBenchPath, {{'NAME', 'C', 20, 0}, {'REPT_DT', 'D', 8, 0},"
        "  {'MMWR_YEAR', 'C', 4, 0}, {'MMWR_WEEK', 'C', 2, 0}}),"
        "DBUSEAREA(.T., NIL, cBenchPath, 'CUST'), DBAPPEND(), FIELDPUT(1, 'Ann'),"
        "FIELDPUT(2, STOD('20261211')), FIELDPUT(3, '2026'), FIELDPUT(4, '49')");
    return true;
  }();
  (void)done;
}

void BM_CompileFieldBlockText(benchmark::State& state) {
  Init();
  for (auto _ : state) benchmark::DoNotOptimize(rt::CompileExpression(kFieldBlock));
}
BENCHMARK(BM_CompileFieldBlockText);

// What FIELDBLOCK does: compile the text and evaluate it into a block.
void BM_MacroEvalFieldBlockText(benchmark::State& state) {
  Init();
  for (auto _ : state) benchmark::DoNotOptimize(rt::MacroEval(kFieldBlock));
}
BENCHMARK(BM_MacroEvalFieldBlockText);

void BM_EvalCompiledArithmetic(benchmark::State& state) {
  Init();
  rt::BlockPtr block = rt::CompileExpression("nA + nB * 2 - 1");
  for (auto _ : state) benchmark::DoNotOptimize(block->Eval({}));
}
BENCHMARK(BM_EvalCompiledArithmetic);

void BM_EvalAnchorBlockRead(benchmark::State& state) {
  Init();
  rt::Value block = rt::MacroEval(kAnchorBlock);
  for (auto _ : state) benchmark::DoNotOptimize(rt::Eval(block, {}));
}
BENCHMARK(BM_EvalAnchorBlockRead);

void BM_EvalFieldBlockRead(benchmark::State& state) {
  Init();
  OpenTable();
  rt::Value block = rt::MacroEval(kFieldBlock);
  for (auto _ : state) benchmark::DoNotOptimize(rt::Eval(block, {}));
}
BENCHMARK(BM_EvalFieldBlockRead);

void BM_EvalFieldBlockWrite(benchmark::State& state) {
  Init();
  OpenTable();
  rt::Value block = rt::MacroEval(kFieldBlock);
  rt::Value name("Bob");
  for (auto _ : state) benchmark::DoNotOptimize(rt::Eval(block, {name}));
}
BENCHMARK(BM_EvalFieldBlockWrite);

void BM_EvalAreaBlockRead(benchmark::State& state) {
  Init();
  OpenTable();
  rt::Value block = rt::MacroEval(kAreaBlock);
  for (auto _ : state) benchmark::DoNotOptimize(rt::Eval(block, {}));
}
BENCHMARK(BM_EvalAreaBlockRead);

// Index keys are compiled expressions evaluated for every record written.
void BM_EvalKeyExpression(benchmark::State& state, const char* text) {
  Init();
  OpenTable();
  rt::BlockPtr block = rt::CompileExpression(text);
  for (auto _ : state) benchmark::DoNotOptimize(block->Eval({}));
}
BENCHMARK_CAPTURE(BM_EvalKeyExpression, dtos, "DTOS(REPT_DT)");
BENCHMARK_CAPTURE(BM_EvalKeyExpression, concat, "MMWR_YEAR+MMWR_WEEK");

}  // namespace

BENCHMARK_MAIN();

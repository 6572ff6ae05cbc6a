// morbhost: loads the runtime, the support library and the module, sets the
// memory variables the patch expects, and runs VORNEX (or evaluates the
// expressions given with --eval).
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "app/options.h"
#include "runtime/api/console.h"
#include "runtime/api/runtime.h"
#include "runtime/api/tables.h"

namespace {

// The folder of the running program, where the libraries are built.
std::string ProgramDirectory() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

void PrintError(const std::string& message, const std::vector<rt::ChainEntry>& chain) {
  std::fprintf(stderr, "%s\n", message.c_str());
  for (const rt::ChainEntry& e : chain) {
    std::fprintf(stderr, "Called from %s(%d)\n", e.proc.c_str(), e.line);
  }
}

// --- Console set-up and tear-down (--headless, --keys, --mouse, --dump) ---

// Chooses the back end, queues the --keys script and turns the mouse on.
// Returns false with `error` filled when the run cannot start.
bool StartConsole(const morbhost::Options& options, std::string* error) {
  // Without a terminal to take over (a pipe, a CI job) the run is headless.
  if (options.headless || !isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    rt::console::UseHeadless();
  } else if (!rt::console::UseTerminal(error)) {
    return false;
  }
  if (!rt::console::QueueKeys(options.keys, error)) {
    rt::console::RestoreTerminal();
    *error = "--keys: " + *error;
    return false;
  }
  if (options.mouse) rt::console::SetMouseEnabled(true);
  return true;
}

// Gives the terminal back and writes the final screen to the --dump file.
// Returns false when the dump cannot be written.
bool StopConsole(const morbhost::Options& options) {
  rt::console::RestoreTerminal();
  if (options.dump_path.empty()) return true;
  const std::string screen = rt::console::DumpScreen();
  std::FILE* f = std::fopen(options.dump_path.c_str(), "w");
  bool written = f != nullptr && std::fwrite(screen.data(), 1, screen.size(), f) == screen.size();
  if (f != nullptr && std::fclose(f) != 0) written = false;
  if (!written) {
    std::fprintf(stderr, "morbhost: cannot write the screen dump to %s\n",
                 options.dump_path.c_str());
    return false;
  }
  return true;
}

// --- end of console set-up ---

}  // namespace

int main(int argc, char** argv) {
  morbhost::Options options;
  std::string error;
  if (!morbhost::ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "morbhost: %s\nusage: morbhost [options]  (morbhost --help lists them)\n",
                 error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(morbhost::UsageText().c_str(), stdout);
    return 0;
  }
  const std::string dir = ProgramDirectory();
  if (options.module_path.empty()) options.module_path = dir + "/libvornex.so";
  if (options.support_path.empty()) options.support_path = dir + "/libsupport.so";

  rt::InitRuntime();
  rt::tables::SetDataDirectory(options.data_dir);
  if (!StartConsole(options, &error)) {
    std::fprintf(stderr, "morbhost: %s\n", error.c_str());
    return 2;
  }
  std::vector<std::string> results;
  std::vector<rt::ChainEntry> chain;
  void* support = nullptr;
  void* module = nullptr;
  bool ok = rt::RunProtected(
      [&] {
        rt::Frame frame("MORBHOST", {});
        support = rt::LoadModule(options.support_path);
        module = rt::LoadModule(options.module_path);
        for (const auto& [name, expr] : options.sets) {
          rt::SetPublic(name, rt::MacroEval(expr));
        }
        if (!options.evals.empty()) {
          for (const std::string& expr : options.evals) {
            results.push_back(rt::ToLiteral(rt::MacroEval(expr)));
          }
          return;
        }
        if (!rt::FindMemvar("mC_SCREEN")) {
          rt::SetPublic("mC_SCREEN", options.colour.empty() ? "W/B,N/W" : options.colour);
        }
        if (!rt::FindMemvar("GetList")) rt::SetPublic("GetList", rt::NewArray());
        rt::Call("VORNEX");
      },
      &error, &chain);
  // Tables are flushed and closed on every path, an error included; then the
  // terminal is given back (and the screen dumped) before anything is printed.
  rt::tables::CloseAllAreas();
  const bool dumped = StopConsole(options);
  for (const std::string& line : results) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  if (!ok) PrintError(error, chain);
  // The libraries stay loaded until the process ends: memory variables such
  // as GetList may still hold blocks whose code lives in them.
  (void)module;
  (void)support;
  return ok && dumped ? 0 : 1;
}

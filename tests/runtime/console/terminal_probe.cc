// A tiny program for the terminal test: it takes over the terminal, draws a
// title in colour, puts the cursor at row 5, column 10, and then records
// every key and click it receives (event code, keyboard code, position; the
// screen size after "s") in the log file named by its first argument, until
// "q" arrives.  Its process id is logged first, so a test can signal it.
//
//   terminal_probe LOG_FILE
//
// Exit status 0 after "q", 2 when the terminal cannot be used.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "runtime/api/console.h"
#include "runtime/api/runtime.h"

namespace {

int Run(const char* log_path) {
  std::string error;
  if (!rt::console::UseTerminal(&error)) {
    std::fprintf(stderr, "terminal_probe: %s\n", error.c_str());
    return 2;
  }
  std::FILE* log = std::fopen(log_path, "w");
  if (log == nullptr) {
    rt::console::RestoreTerminal();
    std::fprintf(stderr, "terminal_probe: cannot write %s\n", log_path);
    return 2;
  }
  rt::console::SetMouseEnabled(true);
  rt::Call("SETCOLOR", {"GR+/B"});
  rt::Call("SETPOS", {0, 0});
  rt::Call("DISPOUT", {" PROBE "});
  rt::Call("SETCOLOR", {"W/N"});
  rt::Call("DISPOUT", {" caf\xE9 ", "W+/R"});
  rt::Call("SETPOS", {5, 10});
  std::fprintf(log, "pid %ld\nready\n", static_cast<long>(getpid()));
  std::fflush(log);
  int row = 10;
  for (;;) {
    rt::CellPtr p1 = rt::NewCell(), p2 = rt::NewCell(), target = rt::NewCell();
    const int code = static_cast<int>(
        rt::Call("APPEVENT", {rt::Value::Reference(p1), rt::Value::Reference(p2),
                              rt::Value::Reference(target), 0})
            .num());
    const int key = static_cast<int>(rt::Call("LASTKEY").num());
    std::string line = "event " + std::to_string(code) + " key " + std::to_string(key);
    if (p1->value.is_array()) {
      line += " at " + rt::NumberToText(p1->value.array()->items[0].num()) + "," +
              rt::NumberToText(p1->value.array()->items[1].num());
    }
    // "s" also reports the screen size, which follows the terminal's.
    if (code == 's') {
      line += " size " + std::to_string(rt::console::MaxRow() + 1) + "x" +
              std::to_string(rt::console::MaxCol() + 1);
    }
    std::fprintf(log, "%s\n", line.c_str());
    std::fflush(log);
    rt::console::WriteAt(row, 0, line, rt::console::CurrentColor());
    if (++row > rt::console::MaxRow()) row = 10;
    rt::Call("SETPOS", {5, 10});
    if (code == 'q') break;
  }
  std::fclose(log);
  rt::console::RestoreTerminal();
  std::printf("probe done\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: terminal_probe LOG_FILE\n");
    return 2;
  }
  rt::InitRuntime();
  int status = 1;
  std::string message;
  std::vector<rt::ChainEntry> chain;
  if (!rt::RunProtected([&] { status = Run(argv[1]); }, &message, &chain)) {
    rt::console::RestoreTerminal();
    std::fprintf(stderr, "terminal_probe: %s\n", message.c_str());
  }
  return status;
}

// Compiles arbitrary bytes as an expression.  Text that does not compile
// must end in the runtime's syntax error, never in a crash, a hang or a
// sanitizer report.  Nothing is evaluated: a random text could call any
// registered function.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/api/runtime.h"
#include "runtime/macro/dump.h"
#include "runtime/macro/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = [] {
    rt::InitRuntime();
    return true;
  }();
  (void)started;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  // The parser alone, and the dump of what it built.
  rt::macro::ParseResult parsed = rt::macro::Parse(text);
  if (parsed.ok()) {
    std::string dump = rt::macro::Dump(*parsed.root);
    if (dump.empty()) __builtin_trap();
  } else if (parsed.error.pos < 1 ||
             parsed.error.pos > static_cast<int>(size) + 1) {
    __builtin_trap();  // a position outside the text
  }
  // The whole compiler through the public entry.
  try {
    rt::BlockPtr block = rt::CompileExpression(text);
    if (!parsed.ok() || !block) __builtin_trap();  // must agree with Parse
  } catch (const rt::UnhandledError&) {
    if (parsed.ok()) __builtin_trap();  // compiling cannot fail after parsing
  }
  return 0;
}

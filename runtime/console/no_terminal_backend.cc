// The terminal back end of a build without ncurses: it never starts.
#include "runtime/console/backend.h"

#ifndef HAVE_CURSES

namespace rt::console {

std::unique_ptr<Backend> StartTerminalBackend(int*, int*, std::string* error) {
  *error = "this build has no terminal support (built without ncurses): use --headless";
  return nullptr;
}

}  // namespace rt::console

#endif  // HAVE_CURSES

// The seam between the console and what shows it.  The base class is the
// headless back end: it shows nothing and has no keyboard, so every key must
// come from the queue.  The terminal back end (curses_backend) overrides it.
#ifndef RUNTIME_CONSOLE_BACKEND_H_
#define RUNTIME_CONSOLE_BACKEND_H_

#include <memory>
#include <string>

#include "runtime/console/keys.h"
#include "runtime/console/screen_buffer.h"

namespace rt::console {

class Backend {
 public:
  virtual ~Backend() = default;

  // True when there is a real keyboard behind ReadInput.
  virtual bool interactive() const { return false; }

  // Shows the dirty rows of the screen and its cursor.
  virtual void Present(ScreenBuffer& screen) { screen.TakeDirtyRows(); }
  virtual void SetCursorShape(int shape) {}
  virtual void Bell() {}
  virtual void SetMouse(bool on) {}

  // Waits up to `timeout_ms` (negative: without limit) for one key or click.
  // Returns false when none came.  May resize `screen` when the terminal
  // was resized (and then repaints it).
  virtual bool ReadInput(int timeout_ms, ScreenBuffer& screen, InputEvent* out) {
    return false;
  }

  // Gives the terminal back.  Idempotent.
  virtual void Restore() {}
};

// The terminal back end, or nullptr with `error` filled when it cannot start
// (no terminal, too small, or no terminal support in this build).
// `screen_rows`/`screen_cols` receive the terminal's size.
std::unique_ptr<Backend> StartTerminalBackend(int* screen_rows, int* screen_cols,
                                              std::string* error);

}  // namespace rt::console

#endif  // RUNTIME_CONSOLE_BACKEND_H_

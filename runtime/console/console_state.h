// The one console of the process: screen, colours, back end and input
// queues.  Private to runtime/console; everything else goes through
// runtime/api/console.h.
#ifndef RUNTIME_CONSOLE_CONSOLE_STATE_H_
#define RUNTIME_CONSOLE_CONSOLE_STATE_H_

#include <chrono>
#include <deque>
#include <memory>

#include "runtime/api/console.h"
#include "runtime/api/value.h"
#include "runtime/console/backend.h"
#include "runtime/console/keys.h"
#include "runtime/console/screen_buffer.h"

namespace rt::console {

struct ConsoleState {
  ConsoleState();

  std::unique_ptr<Backend> backend;  // never null; the base class is headless
  ScreenBuffer screen;
  Palette palette;
  int cursor_shape = kCursorNormal;
  int bells = 0;
  bool mouse = false;
  std::chrono::steady_clock::time_point last_present;

  // Input, taken in this order: keys stuffed by KEYBOARD, keys queued from a
  // script, terminal input read ahead by NEXTKEY, then the terminal itself.
  std::deque<InputEvent> stuffed;
  std::deque<InputEvent> scripted;
  std::deque<InputEvent> read_ahead;

  int last_key = 0;  // keyboard code of the last key taken (LASTKEY)
  int last_event = 0;  // code of the last event taken by APPEVENT
  Value last_p1;
  Value last_p2;

  // Headless polls in a row that found the queues empty with nothing drawn
  // in between, since when, and the screen generation they started at (see
  // input.cc).
  long empty_polls = 0;
  std::chrono::steady_clock::time_point empty_since;
  unsigned long empty_generation = 0;
};

ConsoleState& State();

// Pushes the screen to a terminal if the last push is older than a moment,
// so long computations still show progress.  Cheap when headless.
void PresentSoon();

// Takes the next input.  `timeout_ms` < 0 waits without limit, 0 only polls.
// With `keys_only` clicks met on the way are dropped (INKEY's rule); clicks
// are dropped anyway while mouse events are off.  A headless console whose
// queues are empty raises kErrNoKeys (naming `operation`) for an unlimited
// wait, and after a very long run of empty polls (a polling loop that can
// never end).  Returns false when nothing came within the time-out.
bool TakeInput(int timeout_ms, bool keys_only, const char* operation,
               InputEvent* out);
// The next key without taking it (NEXTKEY); false when none is waiting.
bool PeekKey(Key* out);

}  // namespace rt::console

#endif  // RUNTIME_CONSOLE_CONSOLE_STATE_H_

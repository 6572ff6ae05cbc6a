// The input queues and the wait for the next key or click.
#include <chrono>
#include <vector>

#include "runtime/api/console.h"
#include "runtime/api/runtime.h"
#include "runtime/console/console_state.h"
#include "runtime/console/key_script.h"

namespace rt::console {
namespace {

// A headless program that polls this many times in a row, for this long,
// without finding input and without drawing anything in between, is taken to
// wait for keys that can never come: the run ends with an error instead of
// hanging.  A long job that polls for Esc while showing its progress never
// trips this, as its drawing restarts the count.
constexpr long kMaxEmptyPolls = 100000;
constexpr auto kMaxEmptyPollTime = std::chrono::milliseconds(500);

[[noreturn]] void RaiseNoKeys(const char* operation, const char* what) {
  ErrorInfo info;
  info.description = std::string("no more keys: ") + what +
                     " (headless run; queue more keys with --keys)";
  info.operation = operation;
  info.subsystem = "CONSOLE";
  info.gen_code = kErrNoKeys;
  Raise(std::move(info));
}

// Pops the first queued event from the queues in their order of precedence.
bool PopQueued(ConsoleState& s, InputEvent* out) {
  for (std::deque<InputEvent>* q : {&s.stuffed, &s.scripted, &s.read_ahead}) {
    if (!q->empty()) {
      *out = q->front();
      q->pop_front();
      return true;
    }
  }
  return false;
}

// Counts one empty headless poll; raises once the program is plainly stuck.
void CountEmptyPoll(ConsoleState& s, const char* operation) {
  const auto now = std::chrono::steady_clock::now();
  if (s.empty_polls == 0 || s.screen.generation() != s.empty_generation) {
    s.empty_polls = 0;
    s.empty_since = now;
    s.empty_generation = s.screen.generation();
  }
  if (++s.empty_polls > kMaxEmptyPolls && now - s.empty_since > kMaxEmptyPollTime) {
    s.empty_polls = 0;
    RaiseNoKeys(operation, "the program keeps polling for keys but the key queue is empty");
  }
}

bool Wanted(const ConsoleState& s, const InputEvent& e, bool keys_only) {
  return e.kind == InputEvent::kKey || (!keys_only && s.mouse);
}

}  // namespace

bool TakeInput(int timeout_ms, bool keys_only, const char* operation,
               InputEvent* out) {
  ConsoleState& s = State();
  InputEvent e;
  while (PopQueued(s, &e)) {
    if (Wanted(s, e, keys_only)) {
      s.empty_polls = 0;
      *out = e;
      return true;
    }
  }
  if (!s.backend->interactive()) {
    if (timeout_ms < 0) RaiseNoKeys(operation, "the program waits for a key but the key queue is empty");
    CountEmptyPoll(s, operation);
    return false;
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    int wait = -1;
    if (timeout_ms >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - Clock::now());
      wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    s.backend->Present(s.screen);
    s.last_present = Clock::now();
    if (!s.backend->ReadInput(wait, s.screen, &e)) return false;
    if (Wanted(s, e, keys_only)) {
      *out = e;
      return true;
    }
    if (timeout_ms >= 0 && Clock::now() >= deadline) return false;
  }
}

bool PeekKey(Key* out) {
  ConsoleState& s = State();
  for (std::deque<InputEvent>* q : {&s.stuffed, &s.scripted, &s.read_ahead}) {
    for (const InputEvent& e : *q) {
      if (e.kind == InputEvent::kKey) {
        *out = e.key;
        return true;
      }
    }
  }
  if (!s.backend->interactive()) {
    // A loop waiting for NEXTKEY() to change would never end headless.
    CountEmptyPoll(s, "NEXTKEY");
    return false;
  }
  // Read what the terminal has now, without waiting, and keep it.
  InputEvent e;
  while (s.backend->ReadInput(0, s.screen, &e)) {
    s.read_ahead.push_back(e);
    if (e.kind == InputEvent::kKey) {
      *out = e.key;
      return true;
    }
  }
  return false;
}

bool QueueKeys(std::string_view script, std::string* error) {
  std::vector<InputEvent> events;
  if (!ParseKeyScript(script, &events, error)) return false;
  ConsoleState& s = State();
  s.scripted.insert(s.scripted.end(), events.begin(), events.end());
  s.empty_polls = 0;
  return true;
}

int PendingInputCount() {
  const ConsoleState& s = State();
  return static_cast<int>(s.stuffed.size() + s.scripted.size() + s.read_ahead.size());
}

void ClearInput() {
  ConsoleState& s = State();
  s.stuffed.clear();
  s.scripted.clear();
  s.read_ahead.clear();
}

}  // namespace rt::console

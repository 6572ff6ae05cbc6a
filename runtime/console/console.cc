// The console's screen, colours and back-end choice.
#include <algorithm>

#include "runtime/api/console.h"
#include "runtime/console/console_state.h"
#include "runtime/console/cp1252.h"

namespace rt::console {
namespace {

constexpr int kMaxSide = 500;
constexpr auto kPresentInterval = std::chrono::milliseconds(40);

}  // namespace

ConsoleState::ConsoleState()
    : backend(std::make_unique<Backend>()),
      screen(25, 80, DefaultPalette().slot[kStandard]),
      palette(DefaultPalette()) {}

ConsoleState& State() {
  // Never destroyed: exit handlers and signal handlers may still restore the
  // terminal after static destructors have run.
  static ConsoleState* state = new ConsoleState();
  return *state;
}

void PresentSoon() {
  ConsoleState& s = State();
  if (!s.backend->interactive()) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - s.last_present < kPresentInterval) return;
  s.backend->Present(s.screen);
  s.last_present = now;
}

const Palette& CurrentPalette() { return State().palette; }

Attr CurrentColor(ColorSlot slot) {
  if (slot < 0 || slot >= kColorSlots) slot = kStandard;
  return State().palette.slot[slot];
}

bool SetColorString(std::string_view text, std::string* previous,
                    std::string* error) {
  ConsoleState& s = State();
  Palette p = s.palette;
  if (!ParseColorString(text, &p, error)) return false;
  if (previous != nullptr) *previous = FormatColorString(s.palette);
  s.palette = p;
  return true;
}

int MaxRow() { return State().screen.rows() - 1; }
int MaxCol() { return State().screen.cols() - 1; }

void WriteAt(int row, int col, std::string_view text, Attr attr) {
  State().screen.Write(row, col, text, attr);
  PresentSoon();
}

void WriteAtCursor(std::string_view text, Attr attr) {
  ScreenBuffer& screen = State().screen;
  const int row = screen.cursor_row();
  const int col = screen.cursor_col();
  screen.Write(row, col, text, attr);
  const long end = static_cast<long>(col) + static_cast<long>(text.size());
  screen.SetCursor(row, static_cast<int>(std::min<long>(end, screen.cols())));
  PresentSoon();
}

void SetCursorPos(int row, int col) { State().screen.SetCursor(row, col); }
int CursorRow() { return State().screen.cursor_row(); }
int CursorCol() { return State().screen.cursor_col(); }

int SetCursorShape(int shape) {
  ConsoleState& s = State();
  const int old = s.cursor_shape;
  if (shape >= kCursorNone && shape <= kCursorUpper) {
    s.cursor_shape = shape;
    s.backend->SetCursorShape(shape);
  }
  return old;
}

int GetCursorShape() { return State().cursor_shape; }

void Bell() {
  ConsoleState& s = State();
  ++s.bells;
  s.backend->Bell();
}

int BellCount() { return State().bells; }

char CellChar(int row, int col) {
  const ScreenBuffer& screen = State().screen;
  return screen.Contains(row, col) ? screen.at(row, col).ch : ' ';
}

Attr CellAttr(int row, int col) {
  const ScreenBuffer& screen = State().screen;
  return screen.Contains(row, col) ? screen.at(row, col).attr : CurrentColor();
}

std::string DumpScreen() {
  const ScreenBuffer& screen = State().screen;
  std::string out;
  for (int r = 0; r < screen.rows(); ++r) {
    std::string row = screen.RowBytes(r);
    row.erase(row.find_last_not_of(' ') + 1);
    out += ScreenTextToUtf8(row);
    out += '\n';
  }
  return out;
}

std::string RowText(int row) { return State().screen.RowBytes(row); }

void Flush() {
  ConsoleState& s = State();
  s.backend->Present(s.screen);
  s.last_present = std::chrono::steady_clock::now();
}

bool SetMouseEnabled(bool on) {
  ConsoleState& s = State();
  const bool old = s.mouse;
  s.mouse = on;
  s.backend->SetMouse(on);
  return old;
}

bool MouseEnabled() { return State().mouse; }

namespace {

// What a fresh console starts with, whatever the back end.
void ResetConsole(int rows, int cols) {
  ConsoleState& s = State();
  s.palette = DefaultPalette();
  s.screen = ScreenBuffer(rows, cols, s.palette.slot[kStandard]);
  s.cursor_shape = kCursorNormal;
  s.bells = 0;
  s.mouse = false;
  s.stuffed.clear();
  s.scripted.clear();
  s.read_ahead.clear();
  s.last_key = 0;
  s.last_event = 0;
  s.last_p1 = Value();
  s.last_p2 = Value();
  s.empty_polls = 0;
}

}  // namespace

void UseHeadless(int rows, int cols) {
  RestoreTerminal();
  ResetConsole(std::clamp(rows, 1, kMaxSide), std::clamp(cols, 1, kMaxSide));
}

bool UseTerminal(std::string* error) {
  RestoreTerminal();
  int rows = 0, cols = 0;
  std::unique_ptr<Backend> backend = StartTerminalBackend(&rows, &cols, error);
  if (backend == nullptr) return false;
  ResetConsole(rows, cols);
  ConsoleState& s = State();
  s.backend = std::move(backend);
  s.backend->SetCursorShape(s.cursor_shape);
  Flush();
  return true;
}

bool IsTerminal() { return State().backend->interactive(); }

void RestoreTerminal() {
  ConsoleState& s = State();
  if (!s.backend->interactive()) return;
  s.backend->Present(s.screen);
  s.backend->Restore();
  s.backend = std::make_unique<Backend>();
  // Terminal input read ahead is lost with the terminal.
  s.read_ahead.clear();
}

}  // namespace rt::console

// The console of the host runtime: one screen (a grid of cells with a cursor
// and a current colour set), one input queue (keys and mouse clicks), and the
// choice of back end (a real terminal, or a headless grid for tests and
// unattended runs).
//
// Coordinates are 0-based: row 0 is the top line, MaxRow() the bottom one.
// Text is single-byte (code page 1252); the terminal back end converts it to
// UTF-8 on output and typed UTF-8 back to bytes.  Writes are clipped at the
// screen edges; nothing here fails on an out-of-range position.
//
// Until the host chooses a back end the console is headless, 25x80, with an
// empty key queue, so library code and tests can use it without set-up.
//
// Everything runs on the interpreter thread.
#ifndef RUNTIME_API_CONSOLE_H_
#define RUNTIME_API_CONSOLE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace rt::console {

// Colours ---------------------------------------------------------------------

// A cell colour: foreground in the low nibble, background in the high one.
// Colour numbers 0..7 are black, blue, green, cyan, red, magenta, brown,
// white (letters N B G BG R RB GR W); 8..15 are their bright forms ("+" in a
// colour string for the foreground, "*" for the background).
using Attr = uint8_t;
constexpr Attr MakeAttr(int fg, int bg) {
  return static_cast<Attr>((fg & 0x0F) | ((bg & 0x0F) << 4));
}
constexpr int Foreground(Attr a) { return a & 0x0F; }
constexpr int Background(Attr a) { return (a >> 4) & 0x0F; }

// The slots of a colour string, in order: "standard,enhanced,border,
// background,unselected".
enum ColorSlot : int {
  kStandard = 0,
  kEnhanced = 1,
  kBorder = 2,
  kBackground = 3,
  kUnselected = 4,
};
constexpr int kColorSlots = 5;

struct Palette {
  Attr slot[kColorSlots];
};

// The palette in force when the console starts: "W/N,N/W,N/N,N/N,N/W".
Palette DefaultPalette();

// Parses a colour string such as "W/B,N/W" or "GR+/B, W*/R" into `palette`:
// each comma-separated pair is "fg/bg" (either side may be empty, meaning N);
// an empty pair or a missing one keeps what `palette` held.  "I" is inverse
// (N/W), "X" blank (the foreground takes the background colour), "U"
// underline (shown as blue).  Returns false and fills `error` (naming the
// bad piece) when the text is not a colour string; `palette` is then
// unchanged.
bool ParseColorString(std::string_view text, Palette* palette,
                      std::string* error);
// The canonical text of a palette, e.g. "W/N,N/W,N/N,N/N,N/W".
std::string FormatColorString(const Palette& palette);

// The current colour set (SETCOLOR) and one of its slots.
const Palette& CurrentPalette();
Attr CurrentColor(ColorSlot slot = kStandard);
// SETCOLOR(text): parses and installs; returns the previous canonical text.
// A text that does not parse leaves the colours as they were and returns
// false with `error` filled.
bool SetColorString(std::string_view text, std::string* previous,
                    std::string* error);

// Screen ------------------------------------------------------------------------

int MaxRow();  // bottom row (rows - 1)
int MaxCol();  // rightmost column (columns - 1)

// Writes bytes at a position in a colour, clipped at the right edge (no wrap);
// the cursor does not move.  This is what edit fields draw with.
void WriteAt(int row, int col, std::string_view text, Attr attr);
// Writes at the cursor and moves the cursor after the text (DISPOUT).
void WriteAtCursor(std::string_view text, Attr attr);

// Cursor position (SETPOS, ROW, COL).  A position off the screen is clamped.
void SetCursorPos(int row, int col);
int CursorRow();
int CursorCol();

// Cursor shapes (SETCURSOR).
enum CursorShape : int {
  kCursorNone = 0,
  kCursorNormal = 1,
  kCursorInsert = 2,  // lower half
  kCursorFull = 3,
  kCursorUpper = 4,   // upper half
};
// Sets the shape; returns the previous one.  Values out of range are ignored.
int SetCursorShape(int shape);
int GetCursorShape();

// Rings the bell (the terminal's, or a counter when headless).
void Bell();
// Number of times the bell rang since the back end was chosen.
int BellCount();

// The byte and colour of one cell; a blank in the standard colour off screen.
char CellChar(int row, int col);
Attr CellAttr(int row, int col);

// The screen as text: every row as UTF-8 with trailing blanks removed, each
// followed by "\n".
std::string DumpScreen();
// One row's bytes, full width, as stored (code page 1252).
std::string RowText(int row);

// Pushes what was drawn to the terminal (a no-op when headless).  Waiting for
// input does this by itself.
void Flush();

// Keyboard and mouse ---------------------------------------------------------------
//
// One queue holds keys and left clicks.  INKEY takes keys only and drops the
// clicks it meets on the way; APPEVENT takes both: a key comes with its
// event code (65536 and up for the non-character keys), NIL parameters and
// the application window as target, a click as event 1048589 with {row, col}
// as first parameter.  LASTKEY is the keyboard code of the last key either
// of them took.  Clicks are delivered only while mouse events are on; while
// they are off, queued clicks are dropped.
//
// Headless, nothing ever arrives but what is queued: a wait without limit on
// an empty queue raises kErrNoKeys, a timed wait returns at once with no key,
// and a loop that keeps polling an empty queue without drawing anything
// raises kErrNoKeys after about half a second, so no headless run hangs.

// Queues keys written in the key-script notation: literal characters, and
// {ENTER} {ESC} {UP} {DOWN} {LEFT} {RIGHT} {HOME} {END} {PGUP} {PGDN} {INS}
// {DEL} {BS} {TAB} {SHIFT+TAB} {CTRL+HOME} {CTRL+END} {CTRL+LEFT}
// {CTRL+RIGHT} {CTRL+BS} {CTRL+W} {CTRL+T} {CTRL+Y} {CTRL+U} {CLICK row col}
// {KEY n} and {{} for "{".  The keys follow whatever was queued before; in a
// terminal run the real keyboard is read once they are used up.  On a bad
// script nothing is queued and `error` names the offending piece and its
// offset.
bool QueueKeys(std::string_view script, std::string* error);
// Number of queued keys and clicks not yet taken.
int PendingInputCount();
// Drops every queued key and click (KEYBOARD's stuffed keys included).
void ClearInput();

// Whether mouse events are on (SETMOUSE()).  Turning them on in a terminal
// asks it to report clicks.  Returns the previous state.
bool SetMouseEnabled(bool on);
bool MouseEnabled();

// Back ends ------------------------------------------------------------------------

// Makes the console headless with a fresh blank screen of rows x cols
// (clamped to 1..500), default colours, cursor at 0,0, an empty queue and
// mouse events off.  Any terminal in use is restored first.
void UseHeadless(int rows = 25, int cols = 80);

// Takes over the terminal on standard input/output (ncurses): fresh blank
// screen of the terminal's size, default colours, mouse events off.  Fails,
// with a message for the user in `error`, when there is no terminal, the
// build has no terminal support, or the terminal is smaller than 80x25.
// Installs handlers so the terminal is restored on normal exit and on
// SIGINT, SIGTERM, SIGHUP and SIGQUIT (and on a crash: SIGABRT, SIGSEGV,
// SIGBUS, SIGFPE); the signal then takes its default course.  Ctrl+C stays
// an interrupt, so keyboard code 3 comes from PgDn only.
bool UseTerminal(std::string* error);

// True while the terminal back end is in use.
bool IsTerminal();

// Gives the terminal back to the shell (cursor shown, modes reset).  Safe to
// call more than once and when headless.  The screen model survives, so
// DumpScreen() still answers afterwards; the console is headless from then on.
void RestoreTerminal();

// Built-in functions --------------------------------------------------------------

// Registers the console, keyboard and event built-ins (SCROLL, SETPOS, DEVPOS,
// DEVOUT, DISPOUT, QOUT, QQOUT, ROW, COL, MAXROW, MAXCOL, SETCOLOR,
// SETCURSOR, SAVESCREEN, RESTSCREEN, INKEY, LASTKEY, NEXTKEY, KEYBOARD,
// SETKEY, APPEVENT, LASTAPPEVENT, SETAPPEVENT, SETAPPWINDOW, SETMOUSE).
// Idempotent.
void RegisterConsoleBuiltins();

}  // namespace rt::console

#endif  // RUNTIME_API_CONSOLE_H_

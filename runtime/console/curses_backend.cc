// The terminal back end over ncurses (wide-character build).
//
// Output: the screen model is painted cell by cell with each byte's glyph
// as UTF-8.  Input: ncurses hands over raw bytes (keypad translation off) and
// input_decoder turns them into keys, so every key of the two code tables is
// reachable whatever the terminal's key definitions say.  Mouse reporting is
// switched on and off with the xterm sequences directly for the same reason.
#include <algorithm>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <map>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#define NCURSES_WIDECHAR 1
#include <curses.h>

#include "runtime/console/backend.h"
#include "runtime/console/cp1252.h"
#include "runtime/console/input_decoder.h"

namespace rt::console {
namespace {

constexpr int kMinRows = 25;
constexpr int kMinCols = 80;
// How long the rest of an escape sequence may take to arrive.
constexpr int kEscapeWaitMs = 40;

constexpr char kMouseOn[] = "\x1b[?1000h\x1b[?1006h";
constexpr char kMouseOff[] = "\x1b[?1006l\x1b[?1000l";
// Asks the terminal to report keys it otherwise cannot tell apart (such as
// Ctrl+Backspace) in the "modify other keys" form; terminals that do not
// know the request ignore it.
constexpr char kModifyKeysOn[] = "\x1b[>4;1m";
constexpr char kModifyKeysOff[] = "\x1b[>4;0m";

// Set while ncurses owns the terminal; read by the exit and signal handlers.
volatile sig_atomic_t g_active = 0;
volatile sig_atomic_t g_mouse_on = 0;
SCREEN* g_screen = nullptr;

// What a signal handler needs to give the terminal back without calling
// into ncurses or the allocator (neither is safe inside a handler): the
// terminal modes from before the start, and the bytes that leave the
// alternate screen, show the cursor and reset colours and reporting modes.
struct termios g_saved_modes;
bool g_have_saved_modes = false;
char g_reset_bytes[512];

void WriteRaw(const char* s) {
  ssize_t ignored = write(STDOUT_FILENO, s, std::strlen(s));
  (void)ignored;
}

void AppendCapability(const char* name, std::string* out) {
  const char* cap = tigetstr(const_cast<char*>(name));
  if (cap != nullptr && cap != reinterpret_cast<char*>(-1)) out->append(cap);
}

void PrepareSignalReset() {
  std::string bytes = std::string(kMouseOff) + kModifyKeysOff;
  AppendCapability("sgr0", &bytes);
  AppendCapability("cnorm", &bytes);
  AppendCapability("rmcup", &bytes);
  if (bytes.size() >= sizeof g_reset_bytes) bytes.resize(sizeof g_reset_bytes - 1);
  std::memcpy(g_reset_bytes, bytes.c_str(), bytes.size() + 1);
}

// Gives the terminal back through ncurses.  Called from the back end and at
// exit; runs at most once per start.
void RestoreNow() {
  if (!g_active) return;
  g_active = 0;
  if (g_mouse_on) WriteRaw(kMouseOff);
  g_mouse_on = 0;
  WriteRaw(kModifyKeysOff);
  endwin();
}

void OnFatalSignal(int sig) {
  if (g_active) {
    g_active = 0;
    WriteRaw(g_reset_bytes);
    if (g_have_saved_modes) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_modes);
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void InstallHandlers() {
  static bool at_exit = false;
  if (!at_exit) {
    at_exit = true;
    std::atexit(&RestoreNow);
  }
  // After newterm, which installs handlers of its own for some of these.
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE}) {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = &OnFatalSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
  }
}

// ncursesw needs a UTF-8 character type; a shell in the "C" locale gets
// C.UTF-8 for the characters only (numbers keep their format).
// Returns false when no UTF-8 locale exists; the screen then shows ASCII
// only, with "?" for the other characters.
bool ChooseUtf8Locale() {
  std::setlocale(LC_CTYPE, "");
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0) return true;
  if (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr) return true;
  return std::setlocale(LC_CTYPE, "en_US.UTF-8") != nullptr;
}

std::string SizeMessage(int rows, int cols) {
  return "the terminal is " + std::to_string(cols) + "x" + std::to_string(rows) +
         "; this program needs at least " + std::to_string(kMinCols) + " columns and " +
         std::to_string(kMinRows) + " rows: enlarge the window and start again";
}

class CursesBackend final : public Backend {
 public:
  explicit CursesBackend(bool utf8) : utf8_(utf8) {
    struct termios t;
    if (tcgetattr(STDIN_FILENO, &t) == 0) {
      options_.erase_is_ctrl_h = t.c_cc[VERASE] == 0x08;
    }
    colors_ = has_colors() ? COLORS : 0;
  }

  bool interactive() const override { return true; }

  void Present(ScreenBuffer& screen) override {
    if (too_small_) {
      screen.TakeDirtyRows();
      return;
    }
    const std::vector<bool> dirty = screen.TakeDirtyRows();
    const int rows = std::min(screen.rows(), LINES);
    const int cols = std::min(screen.cols(), COLS);
    for (int r = 0; r < rows; ++r) {
      if (!dirty[static_cast<size_t>(r)]) continue;
      for (int c = 0; c < cols; ++c) {
        const Cell& cell = screen.at(r, c);
        char32_t glyph = ScreenGlyph(static_cast<unsigned char>(cell.ch));
        if (!utf8_ && glyph > 0x7E) glyph = '?';
        wchar_t text[2] = {static_cast<wchar_t>(glyph), 0};
        attr_t attrs = A_NORMAL;
        const short pair = PairFor(cell.attr, &attrs);
        cchar_t cc;
        setcchar(&cc, text, attrs, pair, nullptr);
        mvadd_wch(r, c, &cc);
      }
    }
    move(screen.cursor_row(), std::min(screen.cursor_col(), screen.cols() - 1));
    wnoutrefresh(stdscr);
    doupdate();
  }

  void SetCursorShape(int shape) override {
    // Terminals offer hidden, normal and very visible; the two half shapes
    // and the full block show as very visible.
    curs_set(shape == 0 ? 0 : shape == 1 ? 1 : 2);
  }

  void Bell() override { beep(); }

  void SetMouse(bool on) override {
    fflush(stdout);
    WriteRaw(on ? kMouseOn : kMouseOff);
    g_mouse_on = on ? 1 : 0;
  }

  bool ReadInput(int timeout_ms, ScreenBuffer& screen, InputEvent* out) override {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
    for (;;) {
      // Whatever is buffered may already hold a whole key.
      while (!pending_.empty()) {
        size_t used = 0;
        const DecodeStatus st = DecodeInput(pending_, true, options_, out, &used);
        if (st == DecodeStatus::kIncomplete) break;
        pending_.erase(0, used);
        if (st == DecodeStatus::kEvent) return true;
      }
      int wait = -1;
      if (!pending_.empty()) {
        wait = kEscapeWaitMs;
      } else if (timeout_ms >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 && timeout_ms > 0) return false;
        wait = static_cast<int>(std::max<long long>(left, 0));
      }
      wtimeout(stdscr, wait);
      const int ch = wgetch(stdscr);
      if (ch == KEY_RESIZE) {
        OnResize(screen);
        continue;
      }
      if (ch == ERR) {
        if (!pending_.empty()) {
          // The terminal went quiet in the middle of a sequence: settle it.
          size_t used = 0;
          const DecodeStatus st = DecodeInput(pending_, false, options_, out, &used);
          pending_.erase(0, std::max<size_t>(used, 1));
          if (st == DecodeStatus::kEvent) return true;
          continue;
        }
        if (timeout_ms < 0) continue;  // interrupted; keep waiting
        return false;
      }
      if (ch >= 0 && ch <= 0xFF) pending_.push_back(static_cast<char>(ch));
    }
  }

  void Restore() override { RestoreNow(); }

 private:
  // The colour pair (allocated on first use) and extra attributes of a cell
  // colour.  Terminals with 8 colours show a bright foreground as bold and
  // drop a bright background.
  short PairFor(Attr attr, attr_t* attrs) {
    if (colors_ < 8) {
      if (Background(attr) != 0) *attrs |= A_REVERSE;
      return 0;
    }
    static constexpr short kCurses[8] = {COLOR_BLACK, COLOR_BLUE, COLOR_GREEN, COLOR_CYAN,
                                         COLOR_RED, COLOR_MAGENTA, COLOR_YELLOW, COLOR_WHITE};
    int fg = Foreground(attr);
    int bg = Background(attr);
    short cfg = kCurses[fg & 7];
    short cbg = kCurses[bg & 7];
    if (colors_ >= 16) {
      if (fg & 8) cfg = static_cast<short>(cfg + 8);
      if (bg & 8) cbg = static_cast<short>(cbg + 8);
    } else if (fg & 8) {
      *attrs |= A_BOLD;
    }
    const int key = cfg * 256 + cbg;
    auto it = pairs_.find(key);
    if (it != pairs_.end()) return it->second;
    if (next_pair_ >= COLOR_PAIRS || next_pair_ > 32767) return 0;
    const short pair = static_cast<short>(next_pair_++);
    init_pair(pair, cfg, cbg);
    pairs_[key] = pair;
    return pair;
  }

  void OnResize(ScreenBuffer& screen) {
    if (LINES < kMinRows || COLS < kMinCols) {
      too_small_ = true;
      erase();
      const std::string msg = "Terminal too small (" + std::to_string(COLS) + "x" +
                              std::to_string(LINES) + "): enlarge it to at least 80x25.";
      mvaddnstr(0, 0, msg.c_str(), COLS);
      refresh();
      return;
    }
    too_small_ = false;
    screen.Resize(LINES, COLS, MakeAttr(7, 0));
    clearok(stdscr, TRUE);
    screen.MarkAllDirty();
    Present(screen);
  }

  bool utf8_;
  DecoderOptions options_;
  std::string pending_;  // bytes read but not yet decoded
  int colors_ = 0;
  std::map<int, short> pairs_;
  int next_pair_ = 1;
  bool too_small_ = false;
};

}  // namespace

std::unique_ptr<Backend> StartTerminalBackend(int* screen_rows, int* screen_cols,
                                              std::string* error) {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    *error = "standard input and output must be a terminal (use --headless for runs without one)";
    return nullptr;
  }
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0') {
    *error = "TERM is not set: cannot drive the terminal (use --headless for runs without one)";
    return nullptr;
  }
  const bool utf8 = ChooseUtf8Locale();
  g_have_saved_modes = tcgetattr(STDIN_FILENO, &g_saved_modes) == 0;
  if (g_screen != nullptr) {
    delscreen(g_screen);
    g_screen = nullptr;
  }
  g_screen = newterm(nullptr, stdout, stdin);
  if (g_screen == nullptr) {
    *error = std::string("cannot use the terminal type '") + term +
             "' (TERM): no terminal description found";
    return nullptr;
  }
  set_term(g_screen);
  g_active = 1;
  if (LINES < kMinRows || COLS < kMinCols) {
    const int rows = LINES, cols = COLS;
    RestoreNow();
    *error = SizeMessage(rows, cols);
    return nullptr;
  }
  PrepareSignalReset();
  InstallHandlers();
  cbreak();
  noecho();
  nonl();
  keypad(stdscr, FALSE);
  meta(stdscr, TRUE);
  intrflush(stdscr, FALSE);
  // Ctrl+S and Ctrl+Q are keys here, not flow control.
  struct termios t;
  if (tcgetattr(STDIN_FILENO, &t) == 0) {
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
    tcsetattr(STDIN_FILENO, TCSANOW, &t);
  }
  if (has_colors()) start_color();
  fflush(stdout);
  WriteRaw(kModifyKeysOn);
  *screen_rows = LINES;
  *screen_cols = COLS;
  return std::make_unique<CursesBackend>(utf8);
}

}  // namespace rt::console

// Keys and input events of the console: the two code spaces and the table of
// named keys shared by the key-script parser and the terminal decoder.
//
// Every key carries two codes.  Its keyboard code is what INKEY returns and
// LASTKEY reports (characters as themselves, Up 5, Shift+Tab 271, Ctrl+Home
// 29, function keys 28 and below zero, ...).  Its event code is what APPEVENT
// returns: characters and the control characters as themselves, other keys
// 0x10000 plus their virtual-key number, with 0x20000 added for Shift and
// 0x80000 for Ctrl (Up 0x10026, Shift+Tab 0x20009, Ctrl+Home 0x90024,
// Ctrl+Backspace 0x8007F).
#ifndef RUNTIME_CONSOLE_KEYS_H_
#define RUNTIME_CONSOLE_KEYS_H_

#include <span>
#include <string_view>

namespace rt::console {

// Event codes of the platform events the console delivers or names.
constexpr int kEventNone = 0;
constexpr int kEventPlatformBase = 0x100000;  // 1048576
constexpr int kEventKeyboard = 0x100004;      // a key carried in p1
constexpr int kEventLeftClick = 0x10000D;     // 1048589, p1 = {row, col}

struct Key {
  int key_code = 0;    // INKEY / LASTKEY
  int event_code = 0;  // APPEVENT
  friend bool operator==(const Key&, const Key&) = default;
};

// One entry of the input queue: a key, or a left click at a screen position.
struct InputEvent {
  enum Kind { kKey, kClick };
  Kind kind = kKey;
  Key key;
  int row = 0;  // clicks only, 0-based
  int col = 0;
  friend bool operator==(const InputEvent&, const InputEvent&) = default;

  static InputEvent OfKey(Key k) { return InputEvent{kKey, k, 0, 0}; }
  static InputEvent Click(int row, int col) {
    return InputEvent{kClick, Key{}, row, col};
  }
};

// A key of the named-key table.
struct NamedKey {
  const char* name;  // key-script name, e.g. "CTRL+HOME"
  Key key;
  // False for a key whose keyboard code belongs to another, more usual key
  // (Ctrl+End shares 23 with Ctrl+W); KeyFromKeyboardCode skips it.
  bool usual = true;
};

// The named keys, the script names first in the order the notation lists
// them, then keys a terminal can send beyond the notation (function keys,
// Ctrl with PgUp, PgDn, Up, Down).
std::span<const NamedKey> NamedKeys();
// The key of a script name (upper case, as in NamedKeys), or nullptr.
const NamedKey* FindNamedKey(std::string_view name);

// The key that a keyboard code stands for: the usual key of that code
// (5 is Up, 8 Backspace, 23 Ctrl+W, 127 Ctrl+Backspace, 271 Shift+Tab), a
// character for 32..255, the control character itself for other codes from
// 1 to 31.  Codes no key has keep the keyboard code as event code when it
// lies in 1..0xFFFFF and get event code 0 otherwise.
Key KeyFromKeyboardCode(int code);

// The key of a typed byte of code page 1252 (32..255, excluding 127).
inline Key CharKey(unsigned char c) { return Key{c, c}; }

}  // namespace rt::console

#endif  // RUNTIME_CONSOLE_KEYS_H_

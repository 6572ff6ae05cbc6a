// The key-script notation: keys written ahead as text, for --keys and tests.
//
//   text     literal characters (UTF-8 or code page 1252 bytes; a tab is
//            {TAB}, a carriage return or line feed is {ENTER})
//   {NAME}   a named key: ENTER ESC UP DOWN LEFT RIGHT HOME END PGUP PGDN
//            INS DEL BS TAB SHIFT+TAB CTRL+HOME CTRL+END CTRL+LEFT CTRL+RIGHT
//            CTRL+BS CTRL+W CTRL+T CTRL+Y CTRL+U, and also CTRL+PGUP
//            CTRL+PGDN CTRL+UP CTRL+DOWN F1..F12 (names in any case)
//   {CLICK row col}   a left click at a 0-based screen position
//   {KEY n}  the key with keyboard code n (its usual key, see keys.h)
//   {{}      a literal "{"
#ifndef RUNTIME_CONSOLE_KEY_SCRIPT_H_
#define RUNTIME_CONSOLE_KEY_SCRIPT_H_

#include <string>
#include <string_view>
#include <vector>

#include "runtime/console/keys.h"

namespace rt::console {

// Parses a whole script.  On success appends its events to `out`; on
// failure leaves `out` as it was and fills `error` with what is wrong and
// the byte offset where it starts.
bool ParseKeyScript(std::string_view script, std::vector<InputEvent>* out,
                    std::string* error);

}  // namespace rt::console

#endif  // RUNTIME_CONSOLE_KEY_SCRIPT_H_

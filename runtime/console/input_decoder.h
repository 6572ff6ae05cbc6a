// Turns the bytes a terminal sends into keys and clicks.  Decoding is done
// here rather than by the terminal library's keypad tables because those
// tables lack most modified keys (Ctrl+Home, Ctrl+Backspace, ...) and differ
// from terminal to terminal, while the escape sequences themselves are few.
#ifndef RUNTIME_CONSOLE_INPUT_DECODER_H_
#define RUNTIME_CONSOLE_INPUT_DECODER_H_

#include <cstddef>
#include <string_view>

#include "runtime/console/keys.h"

namespace rt::console {

struct DecoderOptions {
  // The terminal's erase character is ^H (0x08) rather than DEL (0x7F).
  // Most terminals send DEL for Backspace and ^H for Ctrl+Backspace; with
  // this set, the two bytes swap meanings.
  bool erase_is_ctrl_h = false;
};

enum class DecodeStatus {
  kEvent,       // *out holds a key or a click
  kSkip,        // bytes consumed that mean nothing to us (mouse release, ...)
  kIncomplete,  // the bytes are the start of a sequence: wait for more
};

// Decodes the first key or click at the start of `bytes` (not empty) and sets
// *consumed.  `more_may_come` is false once the terminal has been silent for
// a moment: an unfinished sequence is then resolved (a lone ESC is the Esc
// key) instead of reported as kIncomplete.
//
// Backspace (DEL) is keyboard code 8, Ctrl+Backspace (^H, or ESC DEL) 127;
// Enter (CR or LF) 13; typed UTF-8 becomes code-page bytes, and characters
// the code page lacks are skipped.  Clicks are left-button presses, in SGR
// (ESC [ < b ; x ; y M) or the older ESC [ M b x y form.
DecodeStatus DecodeInput(std::string_view bytes, bool more_may_come,
                         const DecoderOptions& options, InputEvent* out,
                         size_t* consumed);

}  // namespace rt::console

#endif  // RUNTIME_CONSOLE_INPUT_DECODER_H_

// Terminal byte sequences to keys and clicks.
#include "runtime/console/input_decoder.h"

#include <vector>

#include "runtime/console/cp1252.h"

namespace rt::console {
namespace {

constexpr char kEsc = '\x1b';

Key Named(const char* name) { return FindNamedKey(name)->key; }

// Modifier parameter of a CSI sequence (xterm: 1 + shift 1, alt 2, ctrl 4).
bool HasCtrl(int modifier) { return modifier >= 2 && ((modifier - 1) & 4) != 0; }

// The parameters of a CSI sequence ("1;5" -> {1, 5}); missing ones are 0.
std::vector<int> Params(std::string_view text) {
  std::vector<int> params(1, 0);
  for (char c : text) {
    if (c == ';') {
      params.push_back(0);
    } else if (c >= '0' && c <= '9') {
      int& p = params.back();
      if (p < 100000) p = p * 10 + (c - '0');
    }
  }
  return params;
}

int ParamAt(const std::vector<int>& params, size_t i, int fallback) {
  return i < params.size() && params[i] != 0 ? params[i] : fallback;
}

DecodeStatus Emit(Key key, size_t length, InputEvent* out, size_t* consumed) {
  *out = InputEvent::OfKey(key);
  *consumed = length;
  return DecodeStatus::kEvent;
}

DecodeStatus Skip(size_t length, size_t* consumed) {
  *consumed = length;
  return DecodeStatus::kSkip;
}

DecodeStatus Click(int button, int x, int y, bool press, size_t length,
                   InputEvent* out, size_t* consumed) {
  // Only a press of the left button, without motion or wheel bits.
  if (!press || (button & 3) != 0 || (button & (32 | 64)) != 0 || x < 1 || y < 1) {
    return Skip(length, consumed);
  }
  *out = InputEvent::Click(y - 1, x - 1);
  *consumed = length;
  return DecodeStatus::kEvent;
}

// A key given by its character code and xterm modifier, as in the
// "modify other keys" forms ESC [ 27 ; m ; code ~ and ESC [ code ; m u.
DecodeStatus CodedKey(int code, int modifier, const DecoderOptions& options,
                      size_t length, InputEvent* out, size_t* consumed) {
  const bool ctrl = HasCtrl(modifier);
  const bool shift = modifier >= 2 && ((modifier - 1) & 1) != 0;
  if (code == 127 || code == 8) {
    return Emit(ctrl ? Named("CTRL+BS") : Named("BS"), length, out, consumed);
  }
  if (code == 9) return Emit(shift ? Named("SHIFT+TAB") : Named("TAB"), length, out, consumed);
  if (code == 13) return Emit(Named("ENTER"), length, out, consumed);
  if (code == 27) return Emit(Named("ESC"), length, out, consumed);
  if (ctrl && code >= 'a' && code <= 'z') code -= 'a' - 1;
  if (ctrl && code >= 'A' && code <= 'Z') code -= 'A' - 1;
  if (code >= 1 && code <= 26) return Emit(KeyFromKeyboardCode(code), length, out, consumed);
  if (code >= 32 && code < 127) return Emit(CharKey(static_cast<unsigned char>(code)), length, out, consumed);
  const int b = code > 127 ? UnicodeToCp1252(static_cast<char32_t>(code)) : -1;
  if (b >= 0x80) {
    return Emit(CharKey(static_cast<unsigned char>(b)), length, out, consumed);
  }
  return Skip(length, consumed);
}

DecodeStatus Csi(std::string_view bytes, bool more_may_come,
                 const DecoderOptions& options, InputEvent* out, size_t* consumed) {
  // bytes starts with ESC [.
  if (bytes.size() >= 3 && bytes[2] == 'M') {
    if (bytes.size() < 6) {
      return more_may_come ? DecodeStatus::kIncomplete : Skip(bytes.size(), consumed);
    }
    const int b = static_cast<unsigned char>(bytes[3]) - 32;
    const int x = static_cast<unsigned char>(bytes[4]) - 32;
    const int y = static_cast<unsigned char>(bytes[5]) - 32;
    return Click(b, x, y, (b & 3) != 3, 6, out, consumed);
  }
  // The Linux console sends F1..F5 as ESC [ [ A .. ESC [ [ E.
  if (bytes.size() >= 3 && bytes[2] == '[') {
    if (bytes.size() < 4) {
      return more_may_come ? DecodeStatus::kIncomplete : Emit(Named("ESC"), 1, out, consumed);
    }
    static const char* const kF[] = {"F1", "F2", "F3", "F4", "F5"};
    if (bytes[3] >= 'A' && bytes[3] <= 'E') return Emit(Named(kF[bytes[3] - 'A']), 4, out, consumed);
    return Skip(4, consumed);
  }
  // Find the final byte.  rxvt ends modified keys with '$' (Shift) or '^'.
  size_t end = 2;
  while (end < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[end]);
    if ((c >= 0x40 && c <= 0x7E) || c == '$') break;
    if (c < 0x20 || c > 0x3F) {
      // Not a sequence after all: the ESC stands alone.
      return Emit(Named("ESC"), 1, out, consumed);
    }
    ++end;
  }
  if (end >= bytes.size()) {
    if (more_may_come) return DecodeStatus::kIncomplete;
    return Emit(Named("ESC"), 1, out, consumed);
  }
  const size_t length = end + 1;
  const char final = bytes[end];
  const std::string_view param_text = bytes.substr(2, end - 2);
  if (!param_text.empty() && param_text[0] == '<') {
    if (final != 'M' && final != 'm') return Skip(length, consumed);
    const std::vector<int> p = Params(param_text.substr(1));
    if (p.size() != 3) return Skip(length, consumed);
    return Click(p[0], p[1], p[2], final == 'M', length, out, consumed);
  }
  if (!param_text.empty() && (param_text[0] == '?' || param_text[0] == '>')) {
    return Skip(length, consumed);  // replies to queries, not keys
  }
  const std::vector<int> p = Params(param_text);
  const int modifier = ParamAt(p, 1, 1);
  const bool ctrl = HasCtrl(modifier);
  switch (final) {
    case 'A': return Emit(Named(ctrl ? "CTRL+UP" : "UP"), length, out, consumed);
    case 'B': return Emit(Named(ctrl ? "CTRL+DOWN" : "DOWN"), length, out, consumed);
    case 'C': return Emit(Named(ctrl ? "CTRL+RIGHT" : "RIGHT"), length, out, consumed);
    case 'D': return Emit(Named(ctrl ? "CTRL+LEFT" : "LEFT"), length, out, consumed);
    case 'H': return Emit(Named(ctrl ? "CTRL+HOME" : "HOME"), length, out, consumed);
    case 'F': return Emit(Named(ctrl ? "CTRL+END" : "END"), length, out, consumed);
    case 'Z': return Emit(Named("SHIFT+TAB"), length, out, consumed);
    case 'P': return Emit(Named("F1"), length, out, consumed);
    case 'Q': return Emit(Named("F2"), length, out, consumed);
    case 'R': return Emit(Named("F3"), length, out, consumed);
    case 'S': return Emit(Named("F4"), length, out, consumed);
    case 'u': return CodedKey(ParamAt(p, 0, 0), modifier, options, length, out, consumed);
    case '~':
    case '^':
    case '$': {
      const bool c = ctrl || final == '^';
      const int n = ParamAt(p, 0, 0);
      switch (n) {
        case 1: case 7: return Emit(Named(c ? "CTRL+HOME" : "HOME"), length, out, consumed);
        case 4: case 8: return Emit(Named(c ? "CTRL+END" : "END"), length, out, consumed);
        case 2: return Emit(Named("INS"), length, out, consumed);
        case 3: return Emit(Named("DEL"), length, out, consumed);
        case 5: return Emit(Named(c ? "CTRL+PGUP" : "PGUP"), length, out, consumed);
        case 6: return Emit(Named(c ? "CTRL+PGDN" : "PGDN"), length, out, consumed);
        case 11: case 12: case 13: case 14: case 15: {
          static const char* const kF[] = {"F1", "F2", "F3", "F4", "F5"};
          return Emit(Named(kF[n - 11]), length, out, consumed);
        }
        case 17: case 18: case 19: case 20: case 21: {
          static const char* const kF[] = {"F6", "F7", "F8", "F9", "F10"};
          return Emit(Named(kF[n - 17]), length, out, consumed);
        }
        case 23: return Emit(Named("F11"), length, out, consumed);
        case 24: return Emit(Named("F12"), length, out, consumed);
        case 27:
          return CodedKey(ParamAt(p, 2, 0), modifier, options, length, out, consumed);
        default: return Skip(length, consumed);
      }
    }
    default:
      return Skip(length, consumed);
  }
}

DecodeStatus Ss3(std::string_view bytes, bool more_may_come, InputEvent* out,
                 size_t* consumed) {
  // bytes starts with ESC O.
  if (bytes.size() < 3) {
    if (more_may_come) return DecodeStatus::kIncomplete;
    return Emit(Named("ESC"), 1, out, consumed);
  }
  switch (bytes[2]) {
    case 'A': return Emit(Named("UP"), 3, out, consumed);
    case 'B': return Emit(Named("DOWN"), 3, out, consumed);
    case 'C': return Emit(Named("RIGHT"), 3, out, consumed);
    case 'D': return Emit(Named("LEFT"), 3, out, consumed);
    case 'H': return Emit(Named("HOME"), 3, out, consumed);
    case 'F': return Emit(Named("END"), 3, out, consumed);
    case 'P': return Emit(Named("F1"), 3, out, consumed);
    case 'Q': return Emit(Named("F2"), 3, out, consumed);
    case 'R': return Emit(Named("F3"), 3, out, consumed);
    case 'S': return Emit(Named("F4"), 3, out, consumed);
    case 'M': return Emit(Named("ENTER"), 3, out, consumed);  // keypad Enter
    // rxvt sends Ctrl with the arrows as lower-case letters.
    case 'a': return Emit(Named("CTRL+UP"), 3, out, consumed);
    case 'b': return Emit(Named("CTRL+DOWN"), 3, out, consumed);
    case 'c': return Emit(Named("CTRL+RIGHT"), 3, out, consumed);
    case 'd': return Emit(Named("CTRL+LEFT"), 3, out, consumed);
    default: return Emit(Named("ESC"), 1, out, consumed);
  }
}

}  // namespace

DecodeStatus DecodeInput(std::string_view bytes, bool more_may_come,
                         const DecoderOptions& options, InputEvent* out,
                         size_t* consumed) {
  if (bytes.empty()) return DecodeStatus::kIncomplete;
  const auto b = static_cast<unsigned char>(bytes[0]);
  if (b == static_cast<unsigned char>(kEsc)) {
    if (bytes.size() == 1) {
      if (more_may_come) return DecodeStatus::kIncomplete;
      return Emit(Named("ESC"), 1, out, consumed);
    }
    switch (bytes[1]) {
      case '[': return Csi(bytes, more_may_come, options, out, consumed);
      case 'O': return Ss3(bytes, more_may_come, out, consumed);
      // Alt+Backspace: the nearest thing to Ctrl+Backspace many terminals have.
      case '\x7f': case '\x08': return Emit(Named("CTRL+BS"), 2, out, consumed);
      default: return Emit(Named("ESC"), 1, out, consumed);
    }
  }
  if (b == 0x7F) return Emit(Named(options.erase_is_ctrl_h ? "CTRL+BS" : "BS"), 1, out, consumed);
  if (b == 0x08) return Emit(Named(options.erase_is_ctrl_h ? "BS" : "CTRL+BS"), 1, out, consumed);
  if (b == '\r' || b == '\n') return Emit(Named("ENTER"), 1, out, consumed);
  if (b == '\t') return Emit(Named("TAB"), 1, out, consumed);
  if (b == 0 || (b >= 28 && b < 32)) return Skip(1, consumed);
  if (b < 32) return Emit(KeyFromKeyboardCode(b), 1, out, consumed);
  if (b < 0x80) return Emit(CharKey(b), 1, out, consumed);
  char32_t cp = 0;
  const int len = DecodeUtf8(bytes, &cp);
  if (len == 0 && more_may_come) return DecodeStatus::kIncomplete;
  // A byte that starts no complete UTF-8 sequence comes from a terminal
  // that sends the code page itself.
  if (len <= 0) return Emit(CharKey(b), 1, out, consumed);
  const int byte = UnicodeToCp1252(cp);
  if (byte < 0) return Skip(static_cast<size_t>(len), consumed);
  return Emit(CharKey(static_cast<unsigned char>(byte)), static_cast<size_t>(len), out, consumed);
}

}  // namespace rt::console

// Colour strings: parsing and canonical text.
#include <cctype>
#include <string>

#include "runtime/api/console.h"

namespace rt::console {
namespace {

constexpr const char* kColorNames[8] = {"N", "B", "G", "BG", "R", "RB", "GR", "W"};

// One side of a pair ("GR+", "W*", "7").  Sets *color and *bright; *bright is
// also set by '*' (blink shows as a bright background).  Returns false on a
// character that is no colour.
bool ParseSide(std::string_view side, int* color, bool* plus, bool* star,
               bool* inverse, bool* blank, char* bad) {
  int value = 0;
  bool digits = false;
  for (char raw : side) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(raw)));
    switch (c) {
      case ' ': break;
      case 'N': break;
      case 'B': value |= 1; break;
      case 'G': value |= 2; break;
      case 'R': value |= 4; break;
      case 'W': value |= 7; break;
      case 'U': value |= 1; break;  // underline: no such thing on a cell
      case 'I': *inverse = true; break;
      case 'X': *blank = true; break;
      case '+': *plus = true; break;
      case '*': *star = true; break;
      default:
        if (c >= '0' && c <= '9') {
          value = (digits ? value * 10 : 0) + (c - '0');
          digits = true;
          if (value > 15) {
            *bad = c;
            return false;
          }
          break;
        }
        *bad = raw;
        return false;
    }
  }
  *color = value;
  return true;
}

bool ParsePair(std::string_view pair, Attr* attr, std::string* error) {
  const size_t slash = pair.find('/');
  const std::string_view fg_text = pair.substr(0, slash);
  const std::string_view bg_text =
      slash == std::string_view::npos ? std::string_view() : pair.substr(slash + 1);
  if (bg_text.find('/') != std::string_view::npos) {
    *error = "more than one '/' in colour pair '" + std::string(pair) + "'";
    return false;
  }
  int fg = 0, bg = 0;
  bool fg_plus = false, fg_star = false, bg_plus = false, bg_star = false;
  bool inverse = false, blank = false;
  char bad = 0;
  if (!ParseSide(fg_text, &fg, &fg_plus, &fg_star, &inverse, &blank, &bad) ||
      !ParseSide(bg_text, &bg, &bg_plus, &bg_star, &inverse, &blank, &bad)) {
    *error = std::string("bad colour character '") + bad + "' in '" +
             std::string(pair) + "'";
    return false;
  }
  if (inverse) {
    fg = 0;
    bg = 7;
  }
  if (fg_plus) fg |= 8;
  if (bg_plus || fg_star || bg_star) bg |= 8;
  if (blank) fg = bg;
  *attr = MakeAttr(fg, bg);
  return true;
}

std::string SideText(int color) {
  std::string s = kColorNames[color & 7];
  return s;
}

}  // namespace

Palette DefaultPalette() {
  return Palette{{MakeAttr(7, 0), MakeAttr(0, 7), MakeAttr(0, 0), MakeAttr(0, 0),
                  MakeAttr(0, 7)}};
}

bool ParseColorString(std::string_view text, Palette* palette,
                      std::string* error) {
  Palette result = *palette;
  int slot = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view pair = text.substr(start, comma - start);
    if (slot < kColorSlots && pair.find_first_not_of(' ') != std::string_view::npos) {
      if (!ParsePair(pair, &result.slot[slot], error)) return false;
    }
    ++slot;
    start = comma + 1;
  }
  *palette = result;
  return true;
}

std::string FormatColorString(const Palette& palette) {
  std::string out;
  for (int i = 0; i < kColorSlots; ++i) {
    if (i > 0) out += ',';
    const Attr a = palette.slot[i];
    out += SideText(Foreground(a));
    if (Foreground(a) & 8) out += '+';
    out += '/';
    out += SideText(Background(a));
    if (Background(a) & 8) out += '*';
  }
  return out;
}

}  // namespace rt::console

// Code page 1252 <-> Unicode.
#include "runtime/console/cp1252.h"

namespace rt::console {
namespace {

// 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Glyphs of the control bytes 0x00..0x1F.
constexpr char16_t kControlGlyphs[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
};

}  // namespace

char32_t ScreenGlyph(unsigned char byte) {
  if (byte < 0x20) return kControlGlyphs[byte];
  if (byte == 0x7F) return 0x2302;
  const char32_t cp = Cp1252ToUnicode(byte);
  if (cp >= 0x80 && cp < 0xA0) return 0xFFFD;
  return cp;
}

std::string ScreenTextToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) AppendUtf8(ScreenGlyph(static_cast<unsigned char>(c)), &out);
  return out;
}

char32_t Cp1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHigh[byte - 0x80];
  return byte;
}

int UnicodeToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == cp) return 0x80 + i;
  }
  return -1;
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) AppendUtf8(Cp1252ToUnicode(static_cast<unsigned char>(c)), &out);
  return out;
}

int DecodeUtf8(std::string_view in, char32_t* cp) {
  if (in.empty()) return 0;
  const auto b0 = static_cast<unsigned char>(in[0]);
  *cp = b0;
  if (b0 < 0x80) return 1;
  int len;
  char32_t value;
  if ((b0 & 0xE0) == 0xC0 && b0 >= 0xC2) {
    len = 2;
    value = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    value = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0 && b0 <= 0xF4) {
    len = 4;
    value = b0 & 0x07;
  } else {
    return -1;
  }
  for (int i = 1; i < len; ++i) {
    if (static_cast<size_t>(i) >= in.size()) return 0;
    const auto b = static_cast<unsigned char>(in[i]);
    if ((b & 0xC0) != 0x80) return -1;
    value = (value << 6) | (b & 0x3F);
  }
  // Overlong forms and surrogates are not text.
  if ((len == 3 && value < 0x800) || (len == 4 && value < 0x10000) ||
      (value >= 0xD800 && value < 0xE000) || value > 0x10FFFF) {
    return -1;
  }
  *cp = value;
  return len;
}

}  // namespace rt::console

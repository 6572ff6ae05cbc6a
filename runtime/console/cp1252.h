// Conversion between the runtime's single-byte code page (1252) and Unicode.
#ifndef RUNTIME_CONSOLE_CP1252_H_
#define RUNTIME_CONSOLE_CP1252_H_

#include <string>
#include <string_view>

namespace rt::console {

// The Unicode code point of a byte.  The five bytes the code page leaves
// undefined (0x81 0x8D 0x8F 0x90 0x9D) map to the C1 controls of the same
// number, so every byte has a code point and the mapping round-trips.
char32_t Cp1252ToUnicode(unsigned char byte);
// The byte of a code point, or -1 when the code page has none.
int UnicodeToCp1252(char32_t cp);

// What a screen cell holding the byte shows: the byte's character, or for
// the control bytes (0x01..0x1F, 0x7F) the classic text-mode glyphs (a smiling
// face, arrows, ...), a blank for 0x00 and a replacement mark for the five
// undefined bytes, so that nothing written to a terminal or dump file is a
// control character.
char32_t ScreenGlyph(unsigned char byte);
// The UTF-8 text a row of cells shows (ScreenGlyph of every byte).
std::string ScreenTextToUtf8(std::string_view bytes);

// Appends the UTF-8 form of a code point.
void AppendUtf8(char32_t cp, std::string* out);
// The UTF-8 text of a byte string.
std::string Cp1252ToUtf8(std::string_view bytes);

// Decodes one UTF-8 sequence at the start of `in`.  Returns the number of
// bytes it takes (1..4) with the code point in `cp`; 0 when `in` holds only
// the start of a sequence (more bytes needed); -1 when the first byte does
// not start a valid sequence (then `cp` is that byte).
int DecodeUtf8(std::string_view in, char32_t* cp);

}  // namespace rt::console

#endif  // RUNTIME_CONSOLE_CP1252_H_

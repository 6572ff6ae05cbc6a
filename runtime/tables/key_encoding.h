// Index keys as byte strings.  Every key of a tag is exactly `key_length`
// bytes, laid out so that comparing two keys as unsigned bytes (memcmp)
// gives the order of the tag.  These helpers turn values into such keys and
// back; doc/index_format.md describes the byte layouts.
#ifndef RUNTIME_TABLES_KEY_ENCODING_H_
#define RUNTIME_TABLES_KEY_ENCODING_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace rt::tables {

// The kind of value a tag's keys hold.  The file itself does not record it:
// the table layer learns it by evaluating the key expression.  The kind
// matters to the engine only through the pad byte (PadByte below), which is
// the byte that trimmed key tails are rebuilt with.
enum class KeyType : uint8_t {
  kCharacter,  // text, padded with blanks; pad 0x20
  kNumeric,    // 8-byte ordered double; pad 0x00
  kDate,       // 8-byte ordered double of the day number; pad 0x00
  kLogical,    // one byte, 'T' or 'F'; pad 0x20
  kBinary,     // any other binary key (e.g. 4-byte ordered integers); pad 0x00
};

// Longest key a tag may have, in bytes.
constexpr int kMaxKeyLength = 240;
// Length of numeric and date keys.
constexpr int kNumericKeyLength = 8;

// The byte that trailing key bytes are padded with for `type`.
uint8_t PadByte(KeyType type);

// Returns `text` cut or padded with blanks to exactly `key_length` bytes.
// The bytes are kept as they are (no case folding, no code-page change).
std::string EncodeCharacterKey(std::string_view text, int key_length);

// The 8-byte key of a number: the IEEE-754 double in big-endian order, with
// the top bit set for values >= 0 and all bits inverted for values < 0, so
// that memcmp orders keys like the numbers.  -0.0 gives the key of +0.0;
// every NaN gives one key that sorts after +infinity.
std::string EncodeNumericKey(double value);
// Inverse of EncodeNumericKey.  REQUIRES: key.size() == 8.
double DecodeNumericKey(std::string_view key);

// The key of a date: its day number (the Julian day number; 2000-01-01 is
// 2451545, 0 is the empty date) encoded as a number.  The empty date sorts
// before every real date.
std::string EncodeDateKey(int32_t day_number);
// Inverse of EncodeDateKey (the fraction, if any, is dropped).
// REQUIRES: key.size() == 8.
int32_t DecodeDateKey(std::string_view key);

// The 1-byte key of a logical value: "T" or "F".
std::string EncodeLogicalKey(bool value);

// The 4-byte key of a binary integer field of the later table variant: the
// int32 in big-endian order with the sign bit flipped (1 -> 80 00 00 01).
std::string EncodeIntegerKey(int32_t value);
// Inverse of EncodeIntegerKey.  REQUIRES: key.size() == 4.
int32_t DecodeIntegerKey(std::string_view key);

// Three-way unsigned byte comparison of two keys (shorter is smaller when
// one is a prefix of the other).
int CompareKeys(std::string_view a, std::string_view b);

}  // namespace rt::tables

#endif  // RUNTIME_TABLES_KEY_ENCODING_H_

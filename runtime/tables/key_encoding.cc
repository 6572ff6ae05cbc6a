// Value-to-key conversions of the order-bag engine.
#include "runtime/tables/key_encoding.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace rt::tables {

uint8_t PadByte(KeyType type) {
  switch (type) {
    case KeyType::kCharacter:
    case KeyType::kLogical:
      return 0x20;
    case KeyType::kNumeric:
    case KeyType::kDate:
    case KeyType::kBinary:
      return 0x00;
  }
  return 0x20;
}

std::string EncodeCharacterKey(std::string_view text, int key_length) {
  std::string key(text.substr(0, static_cast<size_t>(key_length)));
  key.resize(static_cast<size_t>(key_length), ' ');
  return key;
}

std::string EncodeNumericKey(double value) {
  if (value == 0) value = 0.0;  // -0.0 and +0.0 are one key
  uint64_t bits;
  if (std::isnan(value)) {
    bits = 0xFFF8000000000000ull;  // the key of a positive quiet NaN
  } else {
    bits = std::bit_cast<uint64_t>(value);
    bits = (bits & 0x8000000000000000ull) ? ~bits
                                           : bits ^ 0x8000000000000000ull;
  }
  std::string key(8, '\0');
  for (int i = 0; i < 8; ++i) key[i] = static_cast<char>(bits >> (56 - 8 * i));
  return key;
}

double DecodeNumericKey(std::string_view key) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = bits << 8 | static_cast<uint8_t>(key[i]);
  bits = (bits & 0x8000000000000000ull) ? bits ^ 0x8000000000000000ull : ~bits;
  return std::bit_cast<double>(bits);
}

std::string EncodeDateKey(int32_t day_number) {
  return EncodeNumericKey(static_cast<double>(day_number));
}

int32_t DecodeDateKey(std::string_view key) {
  const double d = DecodeNumericKey(key);
  if (!(d >= -2147483648.0 && d <= 2147483647.0)) return 0;
  return static_cast<int32_t>(d);
}

std::string EncodeLogicalKey(bool value) { return value ? "T" : "F"; }

std::string EncodeIntegerKey(int32_t value) {
  const uint32_t bits = static_cast<uint32_t>(value) ^ 0x80000000u;
  std::string key(4, '\0');
  for (int i = 0; i < 4; ++i) key[i] = static_cast<char>(bits >> (24 - 8 * i));
  return key;
}

int32_t DecodeIntegerKey(std::string_view key) {
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits = bits << 8 | static_cast<uint8_t>(key[i]);
  return static_cast<int32_t>(bits ^ 0x80000000u);
}

int CompareKeys(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace rt::tables

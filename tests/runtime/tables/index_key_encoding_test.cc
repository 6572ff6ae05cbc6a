// Key encodings: byte order must be value order, and the bytes must be the
// ones other tools write.
#include <cmath>
#include <cstdio>
#include <limits>

#include <gtest/gtest.h>

#include "runtime/tables/key_encoding.h"

namespace rt::tables {
namespace {

std::string Hex(const std::string& s) {
  std::string out;
  char buf[4];
  for (unsigned char c : s) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}

TEST(KeyEncoding, NumericKeysSortLikeTheirValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const double tiny = std::numeric_limits<double>::denorm_min();
  const double ascending[] = {-inf, -1e300, -2.5, -1, -0.5, -tiny, 0,
                              tiny, 0.5,    1,    2,  2449749, 1e300, inf};
  for (size_t i = 0; i < std::size(ascending); ++i) {
    const std::string key = EncodeNumericKey(ascending[i]);
    ASSERT_EQ(key.size(), 8u);
    EXPECT_EQ(DecodeNumericKey(key), ascending[i]);
    if (i > 0) {
      EXPECT_LT(CompareKeys(EncodeNumericKey(ascending[i - 1]), key), 0)
          << ascending[i - 1] << " vs " << ascending[i];
    }
  }
  EXPECT_EQ(EncodeNumericKey(-0.0), EncodeNumericKey(0.0));
  EXPECT_GT(CompareKeys(EncodeNumericKey(std::nan("")), EncodeNumericKey(inf)), 0);
}

TEST(KeyEncoding, BytesMatchOtherWriters) {
  struct Case {
    std::string key;
    const char* hex;
  } cases[] = {
      {EncodeDateKey(2449749), "c142b0aa80000000"},  // 1995-01-31, from a fixture
      {EncodeDateKey(0), "8000000000000000"},        // the empty date
      {EncodeNumericKey(1), "bff0000000000000"},
      {EncodeNumericKey(-1), "400fffffffffffff"},
      {EncodeIntegerKey(1), "80000001"},              // from a fixture
      {EncodeIntegerKey(-1), "7fffffff"},
      {EncodeLogicalKey(true), "54"},
      {EncodeCharacterKey("ab", 4), "61622020"},
      {EncodeCharacterKey("abcdef", 4), "61626364"},
  };
  for (const Case& c : cases) EXPECT_EQ(Hex(c.key), c.hex);
  EXPECT_EQ(DecodeDateKey(EncodeDateKey(2451545)), 2451545);
  EXPECT_EQ(DecodeIntegerKey(EncodeIntegerKey(-123456)), -123456);
  EXPECT_LT(CompareKeys(EncodeDateKey(0), EncodeDateKey(1)), 0);
  EXPECT_LT(CompareKeys(EncodeIntegerKey(-5), EncodeIntegerKey(3)), 0);
  EXPECT_EQ(PadByte(KeyType::kCharacter), 0x20);
  EXPECT_EQ(PadByte(KeyType::kDate), 0x00);
}

}  // namespace
}  // namespace rt::tables

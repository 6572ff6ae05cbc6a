// The order-bag engine against real files written by other tools: every tag
// must list and walk exactly the keys its table implies.
#include <algorithm>
#include <cstring>
#include <map>

#include <gtest/gtest.h>

#include "runtime/tables/key_encoding.h"
#include "tests/runtime/tables/index_test_util.h"

namespace rt::tables {
namespace {

using testing::FixturePath;
using testing::MemFile;
using testing::Pairs;
using testing::ReadWholeFile;
using testing::Walk;

// Just enough of a table reader for these tests: field bytes by name.
struct MiniTable {
  struct Field {
    std::string name;
    char type;
    size_t offset, length;
  };
  std::string bytes;
  uint32_t count = 0;
  uint16_t header = 0, record = 0;
  std::vector<Field> fields;

  explicit MiniTable(const std::string& path) : bytes(ReadWholeFile(path)) {
    auto u8 = [&](size_t i) { return static_cast<uint8_t>(bytes.at(i)); };
    count = u8(4) | u8(5) << 8 | u8(6) << 16 | uint32_t(u8(7)) << 24;
    header = static_cast<uint16_t>(u8(8) | u8(9) << 8);
    record = static_cast<uint16_t>(u8(10) | u8(11) << 8);
    size_t offset = 1;
    for (size_t p = 32; u8(p) != 0x0D; p += 32) {
      Field f;
      f.name = std::string(bytes.c_str() + p);  // stops at the NUL
      f.type = bytes[p + 11];
      f.offset = offset;
      f.length = u8(p + 16);
      offset += f.length;
      fields.push_back(f);
    }
  }
  std::string Raw(uint32_t recno, const std::string& field) const {
    for (const Field& f : fields) {
      if (f.name == field) {
        return bytes.substr(header + (recno - 1) * record + f.offset, f.length);
      }
    }
    ADD_FAILURE() << "no field " << field;
    return "";
  }
  int32_t Int(uint32_t recno, const std::string& field) const {
    const std::string raw = Raw(recno, field);
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(raw[i]);
    return static_cast<int32_t>(v);
  }
};

std::string Upper(std::string s) {
  for (char& ch : s) ch = static_cast<char>(toupper(ch));
  return s;
}

enum class Conv { kCharacter, kInteger, kDateTime };

struct TagCase {
  const char* name;
  const char* field;
  Conv conv;
  const char* expression;
  int key_length;
  KeyType expected_guess;
};

struct FixtureCase {
  const char* base;
  std::vector<TagCase> tags;  // in bag order (by header position)
};

std::string KeyOf(const MiniTable& t, uint32_t recno, const TagCase& c) {
  switch (c.conv) {
    case Conv::kCharacter:
      return t.Raw(recno, c.field);
    case Conv::kInteger:
      return EncodeIntegerKey(t.Int(recno, c.field));
    case Conv::kDateTime:  // day number in the first 4 bytes, time after
      return EncodeDateKey(t.Int(recno, c.field));
  }
  return "";
}

const FixtureCase kFixtures[] = {
    {"setup",
     {{"KEY_NAME", "KEY_NAME", Conv::kCharacter, "key_name", 50,
       KeyType::kCharacter}}},
    {"expense_details",
     {{"PRIMARYKEY", "EXPENSEDET", Conv::kInteger, "expensedetailid", 4,
       KeyType::kBinary},
      {"EXPREPID", "EXPENSEREP", Conv::kInteger, "expensereportid", 4,
       KeyType::kBinary},
      {"EXPENSECAT", "EXPENSECAT", Conv::kInteger, "expensecategoryid", 4,
       KeyType::kBinary}}},
    {"expense_reports",
     {{"PRIMARYKEY", "EXPENSEREP", Conv::kInteger, "expensereportid", 4,
       KeyType::kBinary},
      // The file also holds an older, unlisted header for employeeid at
      // 3072; the listed one (6144) comes after DATESUBMIT's (4608).
      {"DATESUBMIT", "DATESUBMIT", Conv::kDateTime, "datesubmitted", 8,
       KeyType::kBinary},
      {"EMPLOYEEID", "EMPLOYEEID", Conv::kInteger, "employeeid", 4,
       KeyType::kBinary}}},
};

TEST(IndexFixture, TagsListAndWalkAsTheirTablesImply) {
  for (const FixtureCase& fc : kFixtures) {
    SCOPED_TRACE(fc.base);
    const MiniTable table(FixturePath(std::string(fc.base) + ".dbf"));
    ASSERT_GT(table.count, 0u);
    auto data = std::make_shared<std::string>(
        ReadWholeFile(FixturePath(std::string(fc.base) + ".cdx")));
    ASSERT_FALSE(data->empty());
    const std::string original = *data;
    std::unique_ptr<IndexBag> bag;
    ASSERT_TRUE(IndexBag::Open(MemFile(data), /*read_only=*/true, &bag).ok());
    ASSERT_EQ(bag->tags().size(), fc.tags.size());
    for (size_t i = 0; i < fc.tags.size(); ++i) {
      const TagCase& tc = fc.tags[i];
      const TagInfo& info = bag->tags()[i];
      SCOPED_TRACE(tc.name);
      EXPECT_EQ(info.name, tc.name);
      EXPECT_EQ(info.key_expression, tc.expression);
      EXPECT_EQ(info.for_expression, "");
      EXPECT_FALSE(info.descending);
      EXPECT_FALSE(info.unique);
      EXPECT_EQ(info.key_length, tc.key_length);
      EXPECT_EQ(info.key_type, tc.expected_guess);
      EXPECT_FALSE(info.key_type_known);
      EXPECT_EQ(bag->FindTag(Upper(tc.name)), static_cast<int>(i));

      Pairs expected;
      for (uint32_t r = 1; r <= table.count; ++r) {
        expected.emplace_back(KeyOf(table, r, tc), r);
      }
      std::sort(expected.begin(), expected.end());
      Pairs walked;
      ASSERT_TRUE(Walk(bag.get(), static_cast<int>(i), &walked).ok());
      EXPECT_EQ(walked, expected);
      TagStats stats;
      ASSERT_TRUE(bag->Verify(static_cast<int>(i), &stats).ok());
      EXPECT_EQ(stats.depth, 1);

      // An exact seek finds every record's key.
      std::unique_ptr<IndexCursor> c;
      ASSERT_TRUE(bag->NewCursor(static_cast<int>(i), &c).ok());
      for (const auto& [key, recno] : expected) {
        bool found = false;
        ASSERT_TRUE(c->SeekEntry(key, recno, &found).ok());
        EXPECT_TRUE(found);
      }
    }
    bag.reset();
    EXPECT_EQ(*data, original) << "a read-only open changed the file";
  }
}

// Settling the key type keeps the walk (the pad byte matters for trimmed
// binary keys), and a soft seek between two dates lands on the later one.
TEST(IndexFixture, DateKeysSeekByDayNumber) {
  auto data = std::make_shared<std::string>(
      ReadWholeFile(FixturePath("expense_reports.cdx")));
  std::unique_ptr<IndexBag> bag;
  ASSERT_TRUE(IndexBag::Open(MemFile(data), true, &bag).ok());
  const int tag = bag->FindTag("datesubmit");
  ASSERT_GE(tag, 0);
  ASSERT_TRUE(bag->SetKeyType(tag, KeyType::kDate).ok());
  EXPECT_TRUE(bag->SetKeyType(tag, KeyType::kLogical).IsInvalidArgument());
  std::unique_ptr<IndexCursor> c;
  ASSERT_TRUE(bag->NewCursor(tag, &c).ok());
  struct Row {
    int32_t day;
    bool found;
    uint32_t recno;  // 0: eof
  } rows[] = {
      {2449749, true, 2},   // 1995-01-31
      {2449750, false, 1},  // the next date is 1995-03-01
      {2449813, true, 3},
      {2449814, false, 0},
      {0, false, 2},  // the empty date sorts first
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.day);
    bool found = true;
    ASSERT_TRUE(c->Seek(EncodeDateKey(row.day), &found).ok());
    EXPECT_EQ(found, row.found);
    EXPECT_EQ(c->Valid() ? c->recno() : 0u, row.recno);
    EXPECT_EQ(c->eof(), row.recno == 0);
  }
}

// A prefix seek on a character tag, as DBSEEK("CONTACT") does.
TEST(IndexFixture, CharacterPrefixSeek) {
  auto data =
      std::make_shared<std::string>(ReadWholeFile(FixturePath("setup.cdx")));
  std::unique_ptr<IndexBag> bag;
  ASSERT_TRUE(IndexBag::Open(MemFile(data), true, &bag).ok());
  std::unique_ptr<IndexCursor> c;
  ASSERT_TRUE(bag->NewCursor(0, &c).ok());
  bool found;
  ASSERT_TRUE(c->Seek("CONTACT", &found).ok());
  EXPECT_TRUE(found);
  EXPECT_EQ(c->recno(), 2u);  // CONTACTS
  ASSERT_TRUE(c->SeekLast("CONTACT", &found).ok());
  EXPECT_TRUE(found);
  EXPECT_EQ(c->recno(), 3u);  // CONTACT_TYPES
  ASSERT_TRUE(c->Seek("CB", &found).ok());
  EXPECT_FALSE(found);
  EXPECT_EQ(c->recno(), 2u);
  // Writing is refused on a read-only bag.
  EXPECT_TRUE(bag->Insert(0, std::string(50, 'Z'), 9).IsInvalidArgument());
}

// Growing a fixture's tag past one leaf: the tree gets interior nodes, the
// original entries stay, and the file reopens with everything in order.
TEST(IndexFixture, GrowsAFixtureTagAndReopens) {
  auto data =
      std::make_shared<std::string>(ReadWholeFile(FixturePath("setup.cdx")));
  std::unique_ptr<IndexBag> bag;
  ASSERT_TRUE(IndexBag::Open(MemFile(data), false, &bag).ok());
  Pairs expected;
  ASSERT_TRUE(Walk(bag.get(), 0, &expected).ok());
  for (uint32_t r = 4; r < 400; ++r) {
    std::string key = EncodeCharacterKey("T" + std::to_string(r * 7919 % 1000), 50);
    ASSERT_TRUE(bag->Insert(0, key, r).ok());
    expected.emplace_back(key, r);
  }
  std::sort(expected.begin(), expected.end());
  ASSERT_TRUE(bag->Close().ok());
  ASSERT_TRUE(IndexBag::Open(MemFile(data), true, &bag).ok());
  Pairs walked;
  ASSERT_TRUE(Walk(bag.get(), 0, &walked).ok());
  EXPECT_EQ(walked, expected);
  TagStats stats;
  ASSERT_TRUE(bag->Verify(0, &stats).ok());
  EXPECT_GE(stats.depth, 2);
}

}  // namespace
}  // namespace rt::tables

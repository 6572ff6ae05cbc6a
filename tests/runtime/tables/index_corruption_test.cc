// Damaged bags: every fault must come back as a Corruption status (never a
// crash, a hang or a wrong walk reported as fine).
#include <functional>

#include <gtest/gtest.h>

#include "runtime/tables/index_bag.h"
#include "tests/runtime/tables/index_test_util.h"

namespace rt::tables {
namespace {

using testing::MemFile;
using testing::Pairs;
using testing::Walk;

constexpr int kKeyLength = 100;
constexpr uint32_t kTagHeader = 1536;  // first tag: after directory + its leaf
constexpr uint32_t kFirstLeaf = kTagHeader + 1024;

void Put32(std::string* data, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*data)[at + i] = static_cast<char>(v >> (8 * i));
}
uint32_t Get32(const std::string& data, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(data[at + i]);
  return v;
}

// A bag with one three-level tag laid out by the bulk build: tag header at
// 1536, leaves from 2560 on, interior nodes after them, the root last.
std::string GoodBag(Pairs* entries_out = nullptr) {
  auto data = std::make_shared<std::string>();
  std::unique_ptr<IndexBag> bag;
  EXPECT_TRUE(IndexBag::Create(MemFile(data), &bag).ok());
  std::vector<IndexEntry> entries;
  for (uint32_t r = 1; r <= 60; ++r) {
    // Long keys that hardly compress: several leaves and interior nodes.
    entries.push_back(
        {EncodeCharacterKey("key" + std::to_string(r * 7) + std::string(90, 'x'),
                            kKeyLength),
         r});
  }
  TagSpec spec;
  spec.name = "T";
  spec.key_expression = "t";
  spec.key_length = kKeyLength;
  EXPECT_TRUE(bag->AddTag(spec, entries).ok());
  EXPECT_TRUE(bag->Close().ok());
  if (entries_out) {
    IndexBag::Open(MemFile(data), true, &bag);
    Walk(bag.get(), 0, entries_out);
  }
  return *data;
}

// Opens the bag and uses every tag every way; returns the first failure.
Status Exercise(const std::string& bytes) {
  auto data = std::make_shared<std::string>(bytes);
  std::unique_ptr<IndexBag> bag;
  Status s = IndexBag::Open(MemFile(data), false, &bag);
  if (!s.ok()) return s;
  for (int t = 0; t < static_cast<int>(bag->tags().size()); ++t) {
    Pairs walked;
    if (!(s = Walk(bag.get(), t, &walked)).ok()) return s;
    std::unique_ptr<IndexCursor> c;
    if (!(s = bag->NewCursor(t, &c)).ok()) return s;
    if (!(s = c->Last()).ok()) return s;
    for (int i = 0; i < 200 && c->Valid(); ++i) {
      if (!(s = c->Prev()).ok()) return s;
    }
    bool found;
    const int kl = bag->tags()[t].key_length;
    if (!(s = c->Seek(std::string(kl, 'k'), &found)).ok()) return s;
    if (!(s = bag->Verify(t)).ok()) return s;
    if (!(s = bag->Insert(t, std::string(kl, 'm'), 999)).ok()) return s;
    if (!(s = bag->Delete(t, std::string(kl, 'm'), 999)).ok()) return s;
    if (!walked.empty()) {
      if (!(s = bag->Delete(t, walked[0].first, walked[0].second)).ok()) return s;
    }
  }
  return bag->Close();
}

TEST(IndexCorruption, GoodBagPassesEveryUse) {
  EXPECT_TRUE(Exercise(GoodBag()).ok());
}

TEST(IndexCorruption, DamagedBagsGiveCorruption) {
  const std::string good = GoodBag();
  const uint32_t root = Get32(good, kTagHeader);
  ASSERT_GT(root, kFirstLeaf);
  ASSERT_EQ(root + 512, good.size()) << "bulk build puts the root last";
  const uint32_t second_leaf = kFirstLeaf + 512;
  struct Case {
    const char* what;
    std::function<void(std::string*)> damage;
  } cases[] = {
      {"empty file", [](std::string* d) { d->clear(); }},
      {"cut inside the directory header", [](std::string* d) { d->resize(700); }},
      {"cut inside a tag header", [](std::string* d) { d->resize(2000); }},
      {"cut before the root", [&](std::string* d) { d->resize(root); }},
      {"cut inside the root", [&](std::string* d) { d->resize(root + 100); }},
      {"root pointer not a block", [](std::string* d) { Put32(d, kTagHeader, 7); }},
      {"root pointer past the end",
       [](std::string* d) { Put32(d, kTagHeader, static_cast<uint32_t>(d->size()) + 512); }},
      {"root pointer into its own header",
       [](std::string* d) { Put32(d, kTagHeader, kTagHeader + 512); }},
      {"directory root pointer zero", [](std::string* d) { Put32(d, 0, 0); }},
      {"tag header past the end (directory entry)",
       // The directory's only entry: 3-byte packed entry at 1024 + 24.
       [](std::string* d) { (*d)[1024 + 24 + 1] = 0x7F; }},
      {"key length 0", [](std::string* d) { (*d)[kTagHeader + 12] = 0; (*d)[kTagHeader + 13] = 0; }},
      {"key length 1000", [](std::string* d) { Put32(d, kTagHeader + 12, 1000 | (0x60 << 16) | (1 << 24)); }},
      {"old uncompressed layout", [](std::string* d) { (*d)[kTagHeader + 14] = 0x40; }},
      {"leaf key count past the end",
       [](std::string* d) { (*d)[kFirstLeaf + 2] = '\xFF'; (*d)[kFirstLeaf + 3] = '\x7F'; }},
      {"interior key count past the end", [&](std::string* d) { (*d)[root + 2] = 100; }},
      {"interior key count zero", [&](std::string* d) { (*d)[root + 2] = 0; }},
      {"leaf entry width zero", [](std::string* d) { (*d)[kFirstLeaf + 23] = 0; }},
      {"leaf entry width nine", [](std::string* d) { (*d)[kFirstLeaf + 23] = 9; }},
      {"leaf masks disagree with widths", [](std::string* d) { (*d)[kFirstLeaf + 18] = 1; }},
      {"leaf keys out of order",
       // Entry 0, "key105" and 90 x's (trimmed of 4 blanks), starts at
       // 512 - 96; its first byte is shared by every later key.
       [](std::string* d) { (*d)[kFirstLeaf + 512 - 96] = '\x7F'; }},
      {"cyclic sibling links (back to the first leaf)",
       [&](std::string* d) { Put32(d, second_leaf + 8, kFirstLeaf); }},
      {"leaf is its own right sibling",
       [](std::string* d) { Put32(d, kFirstLeaf + 8, kFirstLeaf); }},
      {"sibling link to an interior node",
       [&](std::string* d) { Put32(d, kFirstLeaf + 8, root); }},
      {"child pointer to its own node",
       [&](std::string* d) {
         (*d)[root + 12 + kKeyLength + 4] = static_cast<char>(root >> 24);
         (*d)[root + 12 + kKeyLength + 5] = static_cast<char>(root >> 16);
         (*d)[root + 12 + kKeyLength + 6] = static_cast<char>(root >> 8);
         (*d)[root + 12 + kKeyLength + 7] = static_cast<char>(root);
       }},
      {"child pointer to the directory leaf",
       [&](std::string* d) {
         (*d)[root + 12 + kKeyLength + 6] = 0x04;
         (*d)[root + 12 + kKeyLength + 7] = 0x00;
         (*d)[root + 12 + kKeyLength + 4] = 0;
         (*d)[root + 12 + kKeyLength + 5] = 0;
       }},
      {"free list leads to a live leaf",
       [](std::string* d) { Put32(d, 4, kFirstLeaf); }},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    c.damage(&bytes);
    Status s = Exercise(bytes);
    EXPECT_TRUE(s.IsCorruption()) << c.what << ": " << s.ToString();
  }
}

// Reading through a damaged free list must not hand out a live node: the
// insert fails and the tag is left as it was.
TEST(IndexCorruption, BadFreeListFailsTheChangeOnly) {
  Pairs entries;
  std::string bytes = GoodBag(&entries);
  Put32(&bytes, 4, kFirstLeaf + 512);
  auto data = std::make_shared<std::string>(bytes);
  std::unique_ptr<IndexBag> bag;
  ASSERT_TRUE(IndexBag::Open(MemFile(data), false, &bag).ok());
  Status s;
  for (uint32_t r = 100; r < 200 && s.ok(); ++r) {
    s = bag->Insert(0, EncodeCharacterKey("key" + std::to_string(r), kKeyLength), r);
    if (s.ok()) entries.emplace_back(EncodeCharacterKey("key" + std::to_string(r), kKeyLength), r);
  }
  EXPECT_TRUE(s.IsCorruption()) << s.ToString();
  std::sort(entries.begin(), entries.end());
  Pairs walked;
  ASSERT_TRUE(Walk(bag.get(), 0, &walked).ok());
  EXPECT_EQ(walked, entries);
}

// Every single damaged byte: the bag either still works or says Corruption.
TEST(IndexCorruption, EveryFlippedByteIsHandled) {
  const std::string good = GoodBag();
  for (size_t i = 0; i < good.size(); ++i) {
    for (uint8_t mask : {0x01, 0x80, 0xFF}) {
      std::string bytes = good;
      bytes[i] = static_cast<char>(bytes[i] ^ mask);
      Status s = Exercise(bytes);
      ASSERT_TRUE(s.ok() || s.IsCorruption())
          << "byte " << i << " ^ " << int(mask) << ": " << s.ToString();
    }
  }
}

// A damaged bag (found by fuzzing) on which a descending seek fails after
// moving the position: the cursor must then be on no entry, and a later
// Next() must report that instead of reading a half-made position.
TEST(IndexCorruption, CursorIsOffAfterAFailedMove) {
  auto data = std::make_shared<std::string>(testing::ReadWholeFile(
      testing::FixturePath("../cdx_cases/cursor_after_failed_seek.cdx")));
  ASSERT_FALSE(data->empty());
  std::unique_ptr<IndexBag> bag;
  ASSERT_TRUE(IndexBag::Open(MemFile(data), false, &bag).ok());
  int failures = 0;
  for (int t = 0; t < static_cast<int>(bag->tags().size()); ++t) {
    std::unique_ptr<IndexCursor> c;
    ASSERT_TRUE(bag->NewCursor(t, &c).ok());
    Status s = c->First();
    std::string seen = c->Valid() ? c->key() : "";
    if (s.ok() && c->Valid()) s = c->Next();
    if (s.ok() && c->Valid()) seen = c->key();
    bool found;
    for (Status step : {c->Seek(seen.substr(0, seen.size() / 2), &found),
                        c->SeekLast(seen, &found)}) {
      if (!step.ok()) {
        ++failures;
        EXPECT_TRUE(step.IsCorruption()) << step.ToString();
        EXPECT_FALSE(c->Valid());
      }
    }
    const std::string key(static_cast<size_t>(bag->tags()[t].key_length), 'q');
    s = bag->Insert(t, key, 7);
    EXPECT_TRUE(s.ok() || s.IsCorruption()) << s.ToString();
    if (c->Valid()) {
      s = c->Next();
      EXPECT_TRUE(s.ok() || s.IsCorruption()) << s.ToString();
    } else {
      EXPECT_TRUE(c->Next().IsInvalidArgument());
    }
  }
  EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace rt::tables

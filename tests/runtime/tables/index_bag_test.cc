// The order-bag engine checked against simple models: random changes and
// seeks compared with a sorted set, tree shape under growth and shrinkage,
// tags added and dropped, cursors under changes, and failures part-way.
#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "runtime/tables/index_bag.h"
#include "tests/runtime/tables/index_test_util.h"

namespace rt::tables {
namespace {

using testing::FaultyFile;
using testing::MemFile;
using testing::Pairs;
using testing::Walk;

TagSpec Spec(const std::string& name, int key_length,
             KeyType type = KeyType::kCharacter, bool descending = false,
             bool unique = false) {
  TagSpec spec;
  spec.name = name;
  spec.key_expression = "k_" + name;
  spec.key_length = key_length;
  spec.key_type = type;
  spec.descending = descending;
  spec.unique = unique;
  return spec;
}

std::shared_ptr<std::string> NewBag(std::unique_ptr<IndexBag>* bag) {
  auto data = std::make_shared<std::string>();
  EXPECT_TRUE(IndexBag::Create(MemFile(data), bag).ok());
  return data;
}

// --- The model -------------------------------------------------------------

struct ModelConfig {
  const char* name;
  int key_length;
  KeyType type;
  bool descending;
  bool unique;
};

class KeyMaker {
 public:
  KeyMaker(const ModelConfig& config, uint32_t seed)
      : config_(config), rng_(seed) {}

  std::string Key() {
    if (config_.type == KeyType::kNumeric) {
      static const double kValues[] = {-1e300, -12.5, -1, -0.25, 0, 0.5,
                                       1, 2, 3.75, 1024, 1e12, 2449749};
      const double v = kValues[rng_() % std::size(kValues)] +
                       (rng_() % 4 == 0 ? double(rng_() % 100) : 0);
      return EncodeNumericKey(v);
    }
    // Short texts over a small alphabet: many equal keys, shared prefixes
    // and trailing blanks, so every kind of compression is used.
    std::string text;
    const int len = static_cast<int>(rng_() % (config_.key_length + 1));
    for (int i = 0; i < len && i < 16; ++i) text += "ABC"[rng_() % 3];
    if (len > 16) text += std::string(len - 16, 'x');
    return EncodeCharacterKey(text, config_.key_length);
  }
  std::string Prefix() {
    std::string key = Key();
    return key.substr(0, rng_() % (key.size() + 1));
  }
  uint32_t Recno() {
    // Mostly small record numbers, sometimes huge ones: entry widths vary
    // from node to node.
    return rng_() % 16 == 0 ? 1 + rng_() % 0x7FFFFFFF : 1 + rng_() % 3000;
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

 private:
  ModelConfig config_;
  std::mt19937 rng_;
};

class Model {
 public:
  explicit Model(const ModelConfig& c) : config_(c) {}
  bool Insert(const std::string& key, uint32_t recno) {
    if (config_.unique) {
      auto it = pairs_.lower_bound({key, 0});
      if (it != pairs_.end() && it->first == key) return false;
    }
    return pairs_.insert({key, recno}).second;
  }
  bool Erase(const std::string& key, uint32_t recno) {
    return pairs_.erase({key, recno}) > 0;
  }
  Pairs InOrder() const {
    Pairs out(pairs_.begin(), pairs_.end());
    if (config_.descending) std::reverse(out.begin(), out.end());
    return out;
  }
  size_t size() const { return pairs_.size(); }
  const std::set<std::pair<std::string, uint32_t>>& pairs() const {
    return pairs_;
  }

 private:
  ModelConfig config_;
  std::set<std::pair<std::string, uint32_t>> pairs_;
};

// Expected cursor position after Seek / SeekLast, by definition: in tag
// order, the first entry that does not come before `prefix` (comparing only
// the prefix's length); for SeekLast the last matching entry if any.
int ExpectedSeek(const Pairs& order, const std::string& prefix,
                 bool descending, bool last, bool* found) {
  const int n = static_cast<int>(order.size());
  auto head = [&](int i) { return order[i].first.substr(0, prefix.size()); };
  int first = n;
  for (int i = 0; i < n; ++i) {
    if (descending ? head(i) <= prefix : head(i) >= prefix) {
      first = i;
      break;
    }
  }
  *found = first < n && head(first) == prefix;
  if (last && *found) {
    while (first + 1 < n && head(first + 1) == prefix) ++first;
  }
  return first;
}

void CheckCursorAt(const IndexCursor& c, const Pairs& order, int index) {
  if (index >= static_cast<int>(order.size())) {
    EXPECT_FALSE(c.Valid());
    EXPECT_TRUE(c.eof());
    return;
  }
  if (index < 0) {
    EXPECT_FALSE(c.Valid());
    EXPECT_TRUE(c.bof());
    return;
  }
  ASSERT_TRUE(c.Valid());
  EXPECT_EQ(c.key(), order[index].first);
  EXPECT_EQ(c.recno(), order[index].second);
}

class IndexModelTest : public ::testing::TestWithParam<ModelConfig> {};

TEST_P(IndexModelTest, RandomChangesAndSeeksMatchASortedSet) {
  const ModelConfig config = GetParam();
  KeyMaker keys(config, 20261211);
  Model model(config);
  std::unique_ptr<IndexBag> bag;
  auto data = NewBag(&bag);

  std::vector<IndexEntry> initial;
  for (int i = 0; i < 300; ++i) {
    IndexEntry e{keys.Key(), keys.Recno()};
    initial.push_back(e);
  }
  // The model keeps the first record of a key in a unique tag, as does
  // the bulk build (lowest record number).
  std::sort(initial.begin(), initial.end(), [](auto& a, auto& b) {
    return std::tie(a.key, a.recno) < std::tie(b.key, b.recno);
  });
  for (const IndexEntry& e : initial) model.Insert(e.key, e.recno);
  ASSERT_TRUE(bag->AddTag(Spec("T", config.key_length, config.type,
                               config.descending, config.unique),
                          initial)
                  .ok());

  for (int batch = 0; batch < 16; ++batch) {
    SCOPED_TRACE("batch " + std::to_string(batch));
    for (int op = 0; op < 250; ++op) {
      const uint32_t what = keys.Below(10);
      if (what < 5 || model.size() == 0) {
        const std::string key = keys.Key();
        const uint32_t recno = keys.Recno();
        bool added = false;
        ASSERT_TRUE(bag->Insert(0, key, recno, &added).ok());
        EXPECT_EQ(added, model.Insert(key, recno));
      } else if (what < 9) {
        // Delete an existing pair (or, now and then, one that is not there).
        auto it = model.pairs().begin();
        std::advance(it, keys.Below(static_cast<uint32_t>(model.size())));
        std::pair<std::string, uint32_t> victim = *it;
        if (what == 8) victim.second += 1;
        bool removed = false;
        ASSERT_TRUE(bag->Delete(0, victim.first, victim.second, &removed).ok());
        EXPECT_EQ(removed, model.Erase(victim.first, victim.second));
      } else {
        ASSERT_TRUE(bag->Flush().ok());
      }
    }
    const Pairs order = model.InOrder();
    Pairs walked;
    ASSERT_TRUE(Walk(bag.get(), 0, &walked).ok());
    ASSERT_EQ(walked, order);
    TagStats stats;
    ASSERT_TRUE(bag->Verify(0, &stats).ok()) << bag->Verify(0).ToString();
    EXPECT_EQ(stats.entries, model.size());

    // Seeks, and a few steps either way from where they land.
    std::unique_ptr<IndexCursor> c;
    ASSERT_TRUE(bag->NewCursor(0, &c).ok());
    for (int i = 0; i < 40; ++i) {
      const std::string prefix = keys.Prefix();
      const bool last = i % 2 == 1;
      bool expected_found;
      int at = ExpectedSeek(order, prefix, config.descending, last,
                            &expected_found);
      bool found = !expected_found;
      ASSERT_TRUE((last ? c->SeekLast(prefix, &found)
                        : c->Seek(prefix, &found))
                      .ok());
      EXPECT_EQ(found, expected_found) << "prefix '" << prefix << "'";
      CheckCursorAt(*c, order, at);
      const bool forward = i % 4 < 2;
      for (int step = 0; step < 3 && c->Valid(); ++step) {
        ASSERT_TRUE((forward ? c->Next() : c->Prev()).ok());
        at += forward ? 1 : -1;
        CheckCursorAt(*c, order, at);
      }
    }

    if (batch % 4 == 3) {
      ASSERT_TRUE(bag->Close().ok());
      ASSERT_TRUE(IndexBag::Open(MemFile(data), false, &bag).ok());
      ASSERT_EQ(bag->tags().size(), 1u);
      EXPECT_EQ(bag->tags()[0].descending, config.descending);
      EXPECT_EQ(bag->tags()[0].unique, config.unique);
      ASSERT_TRUE(bag->SetKeyType(0, config.type).ok());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Configs, IndexModelTest,
    ::testing::Values(
        ModelConfig{"Char12", 12, KeyType::kCharacter, false, false},
        ModelConfig{"Char12Descending", 12, KeyType::kCharacter, true, false},
        ModelConfig{"NumericUnique", 8, KeyType::kNumeric, false, true},
        ModelConfig{"Long120DescendingUnique", 120, KeyType::kCharacter, true,
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Tree shape ------------------------------------------------------------

// Long keys make small nodes (four keys per leaf and per interior node),
// so a few hundred keys give a deep tree: every level splits on the way up
// and merges on the way down, and freed blocks are used again.
TEST(IndexBag, SplitsAndMergesAtEveryLevel) {
  constexpr int kKeyLength = 100;
  std::unique_ptr<IndexBag> bag;
  auto data = NewBag(&bag);
  ASSERT_TRUE(bag->AddTag(Spec("LONG", kKeyLength), {}).ok());
  std::mt19937 rng(7);
  std::vector<std::string> keys;
  for (int i = 0; i < 600; ++i) {
    std::string k(kKeyLength, ' ');
    for (char& ch : k) ch = static_cast<char>('a' + rng() % 26);
    keys.push_back(k);
  }
  int max_depth = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    ASSERT_TRUE(bag->Insert(0, keys[i], static_cast<uint32_t>(i + 1)).ok());
    TagStats stats;
    ASSERT_TRUE(bag->Verify(0, &stats).ok()) << "after insert " << i;
    EXPECT_GE(stats.depth, max_depth);  // the tree never gets shallower
    max_depth = stats.depth;
  }
  EXPECT_GE(max_depth, 4);
  ASSERT_TRUE(bag->Flush().ok());
  const size_t grown = data->size();

  std::vector<size_t> order(keys.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  for (size_t n = 0; n < order.size(); ++n) {
    const size_t i = order[n];
    bool removed = false;
    ASSERT_TRUE(
        bag->Delete(0, keys[i], static_cast<uint32_t>(i + 1), &removed).ok());
    ASSERT_TRUE(removed);
    TagStats stats;
    ASSERT_TRUE(bag->Verify(0, &stats).ok()) << "after delete " << n;
    EXPECT_EQ(stats.entries, keys.size() - n - 1);
    // Merges keep the tree about as small as its contents.
    EXPECT_LE(stats.nodes, 2 * stats.entries + 1);
  }
  TagStats stats;
  ASSERT_TRUE(bag->Verify(0, &stats).ok());
  EXPECT_EQ(stats.depth, 1);
  EXPECT_EQ(stats.nodes, 1u);

  // Filling it again takes blocks from the free list, not from the end.
  for (size_t i = 0; i < keys.size(); ++i) {
    ASSERT_TRUE(bag->Insert(0, keys[i], static_cast<uint32_t>(i + 1)).ok());
  }
  ASSERT_TRUE(bag->Close().ok());
  EXPECT_LE(data->size(), grown + 4 * 512);
  ASSERT_TRUE(IndexBag::Open(MemFile(data), true, &bag).ok());
  ASSERT_TRUE(bag->Verify(0, &stats).ok());
  EXPECT_EQ(stats.entries, keys.size());
}

// Ascending loads (record numbers or dates in order) fill their leaves
// instead of leaving each half empty.
TEST(IndexBag, AscendingAppendsFillLeaves) {
  std::unique_ptr<IndexBag> bag;
  NewBag(&bag);
  ASSERT_TRUE(bag->AddTag(Spec("D", 8, KeyType::kDate), {}).ok());
  const int n = 20000;
  for (int i = 0; i < n; ++i) {
    ASSERT_TRUE(bag->Insert(0, EncodeDateKey(2451545 + i), i + 1).ok());
  }
  TagStats appended;
  ASSERT_TRUE(bag->Verify(0, &appended).ok());
  std::vector<IndexEntry> all;
  for (int i = 0; i < n; ++i) {
    all.push_back({EncodeDateKey(2451545 + i), static_cast<uint32_t>(i + 1)});
  }
  ASSERT_TRUE(bag->AddTag(Spec("BULK", 8, KeyType::kDate), all).ok());
  TagStats bulk;
  ASSERT_TRUE(bag->Verify(1, &bulk).ok());
  EXPECT_EQ(appended.entries, bulk.entries);
  EXPECT_LE(appended.nodes, bulk.nodes * 11 / 10);
}

// --- Tags ------------------------------------------------------------------

TEST(IndexBag, TagsAreAddedDroppedAndKeptInCreationOrder) {
  std::unique_ptr<IndexBag> bag;
  auto data = NewBag(&bag);
  TagSpec with_for = Spec("ZIP", 5);
  with_for.for_expression = ".NOT.DELETED()";
  ASSERT_TRUE(bag->AddTag(with_for, {{"12345", 1}, {"00000", 2}}).ok());
  ASSERT_TRUE(bag->AddTag(Spec("amount", 8, KeyType::kNumeric, true),
                          {{EncodeNumericKey(-2), 1}, {EncodeNumericKey(3), 2}})
                  .ok());
  ASSERT_TRUE(bag->AddTag(Spec("ALIVE", 1, KeyType::kLogical, false, true),
                          {{"T", 1}, {"T", 2}, {"F", 3}})
                  .ok());

  struct BadSpec {
    TagSpec spec;
    const char* why;
  } bad[] = {
      {Spec("ZIP", 5), "name taken"},
      {Spec("zip", 5), "name taken (case)"},
      {Spec("", 5), "empty name"},
      {Spec("ELEVENCHARS", 5), "name too long"},
      {Spec("1ST", 5), "starts with a digit"},
      {Spec("A B", 5), "blank in name"},
      {Spec("K0", 0), "key length 0"},
      {Spec("K241", 241), "key length past 240"},
      {Spec("NUM", 4, KeyType::kNumeric), "numeric key not 8 bytes"},
      {Spec("LOG", 2, KeyType::kLogical), "logical key not 1 byte"},
  };
  for (const BadSpec& b : bad) {
    EXPECT_TRUE(bag->AddTag(b.spec, {}).IsInvalidArgument()) << b.why;
  }
  EXPECT_TRUE(bag->AddTag(Spec("SHORT", 5), {{"abc", 1}}).IsInvalidArgument())
      << "key of the wrong length";
  EXPECT_TRUE(bag->AddTag(Spec("REC0", 5), {{"abcde", 0}}).IsInvalidArgument())
      << "record number 0";
  ASSERT_EQ(bag->tags().size(), 3u);

  ASSERT_TRUE(bag->Close().ok());
  ASSERT_TRUE(IndexBag::Open(MemFile(data), false, &bag).ok());
  ASSERT_EQ(bag->tags().size(), 3u);
  EXPECT_EQ(bag->tags()[0].name, "ZIP");
  EXPECT_EQ(bag->tags()[0].for_expression, ".NOT.DELETED()");
  EXPECT_EQ(bag->tags()[0].key_expression, "k_ZIP");
  EXPECT_EQ(bag->tags()[1].name, "AMOUNT");
  EXPECT_TRUE(bag->tags()[1].descending);
  EXPECT_EQ(bag->tags()[1].key_type, KeyType::kBinary);  // a guess
  EXPECT_EQ(bag->tags()[2].name, "ALIVE");
  EXPECT_TRUE(bag->tags()[2].unique);
  Pairs walked;
  ASSERT_TRUE(Walk(bag.get(), 2, &walked).ok());
  EXPECT_EQ(walked, (Pairs{{"F", 3}, {"T", 1}}));
  ASSERT_TRUE(Walk(bag.get(), 1, &walked).ok());
  EXPECT_EQ(walked, (Pairs{{EncodeNumericKey(3), 2}, {EncodeNumericKey(-2), 1}}));

  // Dropping the middle tag renumbers the rest, invalidates its cursors,
  // and its blocks serve the next tag's nodes.
  std::unique_ptr<IndexCursor> on_dropped;
  ASSERT_TRUE(bag->NewCursor(1, &on_dropped).ok());
  ASSERT_TRUE(bag->DeleteTag(1).ok());
  EXPECT_TRUE(on_dropped->First().IsInvalidArgument());
  ASSERT_EQ(bag->tags().size(), 2u);
  EXPECT_EQ(bag->FindTag("alive"), 1);
  EXPECT_EQ(bag->FindTag("amount"), -1);
  ASSERT_TRUE(bag->Close().ok());
  ASSERT_TRUE(IndexBag::Open(MemFile(data), false, &bag).ok());
  ASSERT_EQ(bag->tags().size(), 2u);
  EXPECT_EQ(bag->tags()[1].name, "ALIVE");
  ASSERT_TRUE(bag->Verify(0).ok());
  ASSERT_TRUE(bag->Verify(1).ok());
  EXPECT_TRUE(bag->Verify(2).IsInvalidArgument());
}

// Enough tags that the directory itself needs interior nodes; names and
// bag order survive a reopen and dropping every other tag.
TEST(IndexBag, ManyTagsGrowTheDirectoryTree) {
  std::unique_ptr<IndexBag> bag;
  auto data = NewBag(&bag);
  auto name = [](int i) {
    // Names not in creation order, so directory order and bag order differ.
    return "T" + std::to_string((i * 37) % 100) + "_" + std::to_string(i);
  };
  constexpr int kTags = 200;
  for (int i = 0; i < kTags; ++i) {
    ASSERT_TRUE(bag->AddTag(Spec(name(i), 4, KeyType::kBinary),
                            {{EncodeIntegerKey(i), static_cast<uint32_t>(i + 1)}})
                    .ok());
  }
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(bag->Close().ok());
    ASSERT_TRUE(IndexBag::Open(MemFile(data), false, &bag).ok());
    const int step = round + 1;  // every tag, then every other one
    ASSERT_EQ(bag->tags().size(), static_cast<size_t>(kTags / step));
    for (int t = 0; t < kTags / step; ++t) {
      const int i = t * step;
      ASSERT_EQ(bag->tags()[t].name, name(i));
      Pairs walked;
      ASSERT_TRUE(Walk(bag.get(), t, &walked).ok());
      EXPECT_EQ(walked, (Pairs{{EncodeIntegerKey(i), uint32_t(i + 1)}}));
    }
    if (round == 0) {
      for (int t = kTags - 1; t >= 0; t -= 2) ASSERT_TRUE(bag->DeleteTag(t).ok());
    }
  }
}

TEST(IndexBag, UniqueTagKeepsTheFirstRecordOfAKey) {
  std::unique_ptr<IndexBag> bag;
  NewBag(&bag);
  ASSERT_TRUE(bag->AddTag(Spec("U", 3, KeyType::kCharacter, false, true),
                          {{"bbb", 7}, {"aaa", 5}, {"bbb", 2}})
                  .ok());
  bool added = true;
  ASSERT_TRUE(bag->Insert(0, "aaa", 1, &added).ok());
  EXPECT_FALSE(added);
  ASSERT_TRUE(bag->Insert(0, "ccc", 9, &added).ok());
  EXPECT_TRUE(added);
  Pairs walked;
  ASSERT_TRUE(Walk(bag.get(), 0, &walked).ok());
  EXPECT_EQ(walked, (Pairs{{"aaa", 5}, {"bbb", 2}, {"ccc", 9}}));
}

// A leaf from another writer packed with narrower fields than ours (4-bit
// dup/trail counts, 2-byte entries) takes more than a node once we re-encode
// it; changing it must split it, not overflow it.
TEST(IndexBag, TightLeafOfAnotherWriterIsSplitWhenChanged) {
  std::unique_ptr<IndexBag> bag;
  auto data = NewBag(&bag);
  ASSERT_TRUE(bag->AddTag(Spec("F", 16), {}).ok());
  ASSERT_TRUE(bag->Close().ok());
  const std::string key = EncodeCharacterKey(std::string(15, 'A'), 16);
  std::string leaf(512, '\0');
  auto put16 = [&](size_t at, unsigned v) {
    leaf[at] = static_cast<char>(v);
    leaf[at + 1] = static_cast<char>(v >> 8);
  };
  Pairs expected;
  const unsigned count = 236;
  put16(0, 3);
  put16(2, count);
  for (int i = 4; i < 12; ++i) leaf[i] = '\xFF';
  put16(12, 488 - count * 2 - 15);
  leaf[14] = '\xFF';               // record mask, R = 8
  leaf[18] = leaf[19] = 0x0F;      // dup and trail masks, D = T = 4
  leaf[20] = 8, leaf[21] = 4, leaf[22] = 4, leaf[23] = 2;
  for (unsigned i = 0; i < count; ++i) {
    const unsigned recno = 20 + i, dup = i == 0 ? 0 : 15, trail = 1;
    put16(24 + 2 * i, recno | dup << 8 | trail << 12);
    expected.emplace_back(key, recno);
  }
  leaf.replace(512 - 15, 15, std::string(15, 'A'));
  ASSERT_EQ(data->size(), 3072u);
  data->replace(2560, 512, leaf);

  ASSERT_TRUE(IndexBag::Open(MemFile(data), false, &bag).ok());
  Pairs walked;
  ASSERT_TRUE(Walk(bag.get(), 0, &walked).ok());
  ASSERT_EQ(walked, expected);
  ASSERT_TRUE(bag->Delete(0, key, 100).ok());
  expected.erase(expected.begin() + (100 - 20));
  ASSERT_TRUE(bag->Close().ok());
  ASSERT_TRUE(IndexBag::Open(MemFile(data), false, &bag).ok());
  TagStats stats;
  ASSERT_TRUE(bag->Verify(0, &stats).ok());
  EXPECT_EQ(stats.depth, 2);
  ASSERT_TRUE(Walk(bag.get(), 0, &walked).ok());
  EXPECT_EQ(walked, expected);
}

// --- Cursors ---------------------------------------------------------------

// A cursor stays meaningful when the tag changes under it: it moves on from
// where its entry is, or would be.
TEST(IndexCursor, MovesOnFromItsEntryAfterChanges) {
  for (bool descending : {false, true}) {
    SCOPED_TRACE(descending ? "descending" : "ascending");
    std::unique_ptr<IndexBag> bag;
    NewBag(&bag);
    std::vector<IndexEntry> entries;
    for (uint32_t r = 1; r <= 500; ++r) {
      entries.push_back({EncodeNumericKey(r * 10), r});
    }
    ASSERT_TRUE(bag->AddTag(Spec("N", 8, KeyType::kNumeric, descending),
                            entries)
                    .ok());
    std::unique_ptr<IndexCursor> c;
    ASSERT_TRUE(bag->NewCursor(0, &c).ok());
    bool found;
    ASSERT_TRUE(c->Seek(EncodeNumericKey(2500), &found).ok());
    ASSERT_TRUE(found);
    // Delete the current entry and its neighbour in the walking direction.
    ASSERT_TRUE(bag->Delete(0, EncodeNumericKey(2500), 250).ok());
    const uint32_t gone = descending ? 249 : 251;
    ASSERT_TRUE(bag->Delete(0, EncodeNumericKey(gone * 10), gone).ok());
    ASSERT_TRUE(c->Next().ok());
    EXPECT_EQ(c->recno(), descending ? 248u : 252u);
    // Insert right behind it; Prev finds the new entry.
    const double behind = descending ? 2485 : 2515;
    ASSERT_TRUE(bag->Insert(0, EncodeNumericKey(behind), 900).ok());
    ASSERT_TRUE(c->Prev().ok());
    EXPECT_EQ(c->recno(), 900u);
    // Off both ends.
    ASSERT_TRUE(c->Last().ok());
    ASSERT_TRUE(c->Next().ok());
    EXPECT_TRUE(c->eof());
    EXPECT_FALSE(c->bof());
    EXPECT_TRUE(c->Next().IsInvalidArgument());
    ASSERT_TRUE(c->First().ok());
    ASSERT_TRUE(c->Prev().ok());
    EXPECT_TRUE(c->bof());
  }
}

// The recalculation's pattern: walk one tag while every step moves the
// record's key in another tag of the same bag.  The walk goes on from its
// own leaf, and the other tag ends up with exactly the moved keys.
TEST(IndexCursor, WalkOfOneTagHoldsWhileAnotherTagChanges) {
  std::unique_ptr<IndexBag> bag;
  NewBag(&bag);
  constexpr uint32_t kRecords = 3000;
  std::vector<IndexEntry> dates, weeks;
  for (uint32_t r = 1; r <= kRecords; ++r) {
    dates.push_back({EncodeNumericKey(r * 7 % kRecords), r});
    weeks.push_back({EncodeCharacterKey(r % 3 ? "" : "1999" + std::to_string(r % 50), 6), r});
  }
  auto by_pair = [](const IndexEntry& a, const IndexEntry& b) {
    return std::tie(a.key, a.recno) < std::tie(b.key, b.recno);
  };
  std::sort(dates.begin(), dates.end(), by_pair);
  std::sort(weeks.begin(), weeks.end(), by_pair);
  ASSERT_TRUE(bag->AddTag(Spec("DATE", 8, KeyType::kNumeric), dates).ok());
  ASSERT_TRUE(bag->AddTag(Spec("WEEK", 6), weeks).ok());
  std::map<uint32_t, std::string> week_of;
  for (const IndexEntry& e : weeks) week_of[e.recno] = e.key;

  std::unique_ptr<IndexCursor> c;
  ASSERT_TRUE(bag->NewCursor(0, &c).ok());
  ASSERT_TRUE(c->First().ok());
  Pairs walked;
  while (c->Valid()) {
    const uint32_t r = c->recno();
    walked.emplace_back(c->key(), r);
    const std::string moved = EncodeCharacterKey("2024" + std::to_string(10 + r % 40), 6);
    bool done = false;
    ASSERT_TRUE(bag->Delete(1, week_of[r], r, &done).ok());
    ASSERT_TRUE(done);
    ASSERT_TRUE(bag->Insert(1, moved, r, &done).ok());
    ASSERT_TRUE(done);
    week_of[r] = moved;
    ASSERT_TRUE(c->Next().ok());
  }
  Pairs expected_dates;
  for (const IndexEntry& e : dates) expected_dates.emplace_back(e.key, e.recno);
  EXPECT_EQ(walked, expected_dates);

  Pairs expected_weeks;
  for (const auto& [r, key] : week_of) expected_weeks.emplace_back(key, r);
  std::sort(expected_weeks.begin(), expected_weeks.end());
  Pairs walked_weeks;
  ASSERT_TRUE(Walk(bag.get(), 1, &walked_weeks).ok());
  EXPECT_EQ(walked_weeks, expected_weeks);
  EXPECT_TRUE(bag->Verify(0).ok());
  EXPECT_TRUE(bag->Verify(1).ok()) << bag->Verify(1).ToString();
}

TEST(IndexCursor, EmptyTagIsAtBothEnds) {
  std::unique_ptr<IndexBag> bag;
  NewBag(&bag);
  ASSERT_TRUE(bag->AddTag(Spec("E", 4), {}).ok());
  std::unique_ptr<IndexCursor> c;
  ASSERT_TRUE(bag->NewCursor(0, &c).ok());
  ASSERT_TRUE(c->First().ok());
  EXPECT_TRUE(c->eof() && c->bof() && !c->Valid());
  bool found = true;
  ASSERT_TRUE(c->Seek("ab", &found).ok());
  EXPECT_FALSE(found);
  EXPECT_TRUE(c->eof());
  EXPECT_TRUE(c->Seek("abcde", &found).IsInvalidArgument());
}

// --- Failures --------------------------------------------------------------

TEST(IndexBag, FailedFlushKeepsChangesForTheNextOne) {
  auto data = std::make_shared<std::string>();
  auto file = std::make_unique<MemoryFile>("w.cdx", data);
  MemoryFile* raw = file.get();
  std::unique_ptr<IndexBag> bag;
  ASSERT_TRUE(IndexBag::Create(std::move(file), &bag).ok());
  ASSERT_TRUE(bag->AddTag(Spec("K", 6), {}).ok());
  ASSERT_TRUE(bag->Flush().ok());
  const std::string before = *data;

  raw->set_fail_writes(true);
  for (uint32_t r = 1; r <= 300; ++r) {
    ASSERT_TRUE(bag->Insert(0, EncodeCharacterKey(std::to_string(r), 6), r).ok());
  }
  EXPECT_TRUE(bag->Flush().IsIOError());
  EXPECT_EQ(*data, before);
  EXPECT_TRUE(bag->AddTag(Spec("L", 6), {{"abcdef", 1}}).IsIOError());
  EXPECT_EQ(bag->tags().size(), 1u);

  raw->set_fail_writes(false);
  ASSERT_TRUE(bag->Close().ok());
  ASSERT_TRUE(IndexBag::Open(MemFile(data), true, &bag).ok());
  ASSERT_EQ(bag->tags().size(), 1u);
  uint64_t count = 0;
  ASSERT_TRUE(bag->CountEntries(0, &count).ok());
  EXPECT_EQ(count, 300u);
  EXPECT_TRUE(bag->Verify(0).ok());
}

// A read that fails in the middle of an insert or delete (while splitting
// or merging) leaves the tag exactly as it was.
TEST(IndexBag, ReadFaultInsideAChangeLeavesTheTagAsItWas) {
  auto data = std::make_shared<std::string>();
  {
    std::unique_ptr<IndexBag> bag;
    ASSERT_TRUE(IndexBag::Create(MemFile(data), &bag).ok());
    std::vector<IndexEntry> entries;
    for (uint32_t r = 1; r <= 60; ++r) {
      entries.push_back({EncodeCharacterKey(std::to_string(r * 3), 100), r});
    }
    ASSERT_TRUE(bag->AddTag(Spec("F", 100), entries).ok());
    ASSERT_TRUE(bag->Close().ok());
  }
  int failures = 0;
  for (int reads = 0; reads < 40; ++reads) {
    for (bool insert : {true, false}) {
      auto copy = std::make_shared<std::string>(*data);
      auto file = std::make_unique<FaultyFile>(copy);
      FaultyFile* raw = file.get();
      std::unique_ptr<IndexBag> bag;
      ASSERT_TRUE(IndexBag::Open(std::move(file), false, &bag).ok());
      Pairs before;
      ASSERT_TRUE(Walk(bag.get(), 0, &before).ok());
      // A fresh open: drop what the walk cached by reopening.
      bag.reset();
      file = std::make_unique<FaultyFile>(copy);
      raw = file.get();
      ASSERT_TRUE(IndexBag::Open(std::move(file), false, &bag).ok());
      raw->set_reads_left(reads);
      const std::string key = EncodeCharacterKey(insert ? "100" : "99", 100);
      Status s = insert ? bag->Insert(0, key, 61) : bag->Delete(0, key, 33);
      raw->set_reads_left(-1);
      Pairs after;
      ASSERT_TRUE(Walk(bag.get(), 0, &after).ok());
      ASSERT_TRUE(bag->Verify(0).ok());
      if (s.ok()) {
        EXPECT_NE(after, before);
      } else {
        ++failures;
        EXPECT_TRUE(s.IsIOError()) << s.ToString();
        EXPECT_EQ(after, before);
      }
    }
  }
  EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace rt::tables

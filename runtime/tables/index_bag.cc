// The order bag: the tag directory, tags and cursors over the block store.
#include "runtime/tables/index_bag.h"

#include <algorithm>
#include <cctype>

#include "runtime/tables/cdx_node.h"
#include "runtime/tables/cdx_store.h"

namespace rt::tables {

namespace {

#define RETURN_IF_ERROR(expr)  \
  do {                         \
    Status _s = (expr);        \
    if (!_s.ok()) return _s;   \
  } while (0)

// Key length of the tag directory in the bags we create.
constexpr int kDirectoryKeyLength = 10;

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<uint8_t>(c)));
  return out;
}

// A tag name as the directory stores it, less its pad (blanks or NULs).
std::string TrimName(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\0')) --n;
  return std::string(s.substr(0, n));
}

bool ValidTagName(std::string_view name) {
  if (name.empty() || name.size() > kDirectoryKeyLength) return false;
  if (std::isdigit(static_cast<uint8_t>(name[0]))) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<uint8_t>(c)) && c != '_') return false;
  }
  return true;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

Status KeyTypeFits(KeyType type, int key_length, const std::string& tag) {
  if ((type == KeyType::kNumeric || type == KeyType::kDate) &&
      key_length != kNumericKeyLength) {
    return Status::InvalidArgument(
        "tag " + tag, "numeric and date keys are 8 bytes, not " +
                          std::to_string(key_length));
  }
  if (type == KeyType::kLogical && key_length != 1) {
    return Status::InvalidArgument(
        "tag " + tag,
        "logical keys are 1 byte, not " + std::to_string(key_length));
  }
  return Status::OK();
}

}  // namespace

struct IndexBag::State {
  struct Tag {
    cdx::Tree tree;
    uint64_t id = 0;
    std::string dir_key;  // the tag's key in the directory, as stored
  };
  std::unique_ptr<cdx::CdxStore> store;
  std::string name;
  cdx::Tree dir;
  std::vector<Tag> tags;  // parallel to IndexBag::tags_
  uint64_t next_id = 1;
  bool closed = false;
};

struct IndexCursor::Impl {
  cdx::Position pos;
  uint64_t version = 0;
};

IndexBag::IndexBag() : state_(std::make_unique<State>()) {}

IndexBag::~IndexBag() {
  if (!state_->closed && state_->store) (void)state_->store->Flush(true);
}

const std::string& IndexBag::file_name() const { return state_->name; }

Status IndexBag::Usable() const {
  if (state_->closed) {
    return Status::InvalidArgument(state_->name, "order bag is closed");
  }
  return Status::OK();
}

Status IndexBag::CheckTag(int tag) const {
  RETURN_IF_ERROR(Usable());
  if (tag < 0 || tag >= static_cast<int>(tags_.size())) {
    return Status::InvalidArgument(
        state_->name, "no tag number " + std::to_string(tag + 1) +
                          " (the bag has " + std::to_string(tags_.size()) +
                          ")");
  }
  return Status::OK();
}

namespace {

// The kind of key the stored bytes suggest, since the file does not say.
// Binary keys (numbers, dates, integers) are 4 or 8 bytes, and their first
// byte is 0x80 or more for every value >= 0 (or they hold control bytes);
// anything else is taken for text.  A tree that only reads back in order
// with the other pad byte settles the question.
KeyType GuessKeyType(cdx::CdxStore* store, cdx::Tree* tree) {
  cdx::Position pos;
  if (store->First(*tree, &pos).ok()) {
    if (!pos.valid()) return KeyType::kCharacter;
    if (tree->key_length != 4 && tree->key_length != 8) {
      return KeyType::kCharacter;
    }
    for (const cdx::NodeEntry& e : pos.node->entries) {
      if (static_cast<uint8_t>(e.key[0]) >= 0x80) return KeyType::kBinary;
      for (char c : e.key) {
        if (static_cast<uint8_t>(c) < 0x20) return KeyType::kBinary;
      }
    }
    return KeyType::kCharacter;
  }
  store->SetPad(tree, 0x00);
  if (store->First(*tree, &pos).ok()) return KeyType::kBinary;
  store->SetPad(tree, 0x20);
  return KeyType::kCharacter;
}

}  // namespace

Status IndexBag::Open(std::unique_ptr<File> file, bool read_only,
                      std::unique_ptr<IndexBag>* bag) {
  if (!file) return Status::InvalidArgument("order bag", "no file given");
  std::unique_ptr<IndexBag> b(new IndexBag());
  State& st = *b->state_;
  st.name = file->name();
  b->read_only_ = read_only || file->read_only();
  st.store = std::make_unique<cdx::CdxStore>(std::move(file), b->read_only_);
  cdx::CdxStore& store = *st.store;
  RETURN_IF_ERROR(store.Init());
  cdx::IndexHeader dir_header;
  RETURN_IF_ERROR(store.OpenIndex(0, ' ', &dir_header, &st.dir));

  // The directory lists (name, header offset) pairs in name order.
  struct Listed {
    std::string dir_key;
    uint32_t header;
  };
  std::vector<Listed> listed;
  cdx::Position pos;
  RETURN_IF_ERROR(store.First(st.dir, &pos));
  while (pos.valid()) {
    listed.push_back({pos.entry().key.str(), pos.entry().recno});
    RETURN_IF_ERROR(store.Next(st.dir, &pos));
  }
  std::sort(listed.begin(), listed.end(),
            [](const Listed& a, const Listed& b) { return a.header < b.header; });
  for (size_t i = 0; i < listed.size(); ++i) {
    const std::string name = Upper(TrimName(listed[i].dir_key));
    if (listed[i].header == 0 ||
        (i > 0 && listed[i].header == listed[i - 1].header)) {
      return Status::Corruption(st.name, "tag directory entry '" + name +
                                             "' points at a header in use");
    }
    if (name.empty()) {
      return Status::Corruption(st.name, "tag directory holds an empty name");
    }
    cdx::IndexHeader h;
    State::Tag tag;
    RETURN_IF_ERROR(store.OpenIndex(listed[i].header, ' ', &h, &tag.tree));
    tag.id = st.next_id++;
    tag.dir_key = listed[i].dir_key;
    TagInfo info;
    info.name = name;
    info.key_expression = h.key_expression;
    info.for_expression = h.for_expression;
    info.descending = h.descending;
    info.unique = (h.options & cdx::kOptionUnique) != 0;
    info.key_length = h.key_length;
    info.key_type = GuessKeyType(&store, &tag.tree);
    store.SetPad(&tag.tree, PadByte(info.key_type));
    info.key_type_known = false;
    b->tags_.push_back(std::move(info));
    st.tags.push_back(std::move(tag));
  }
  *bag = std::move(b);
  return Status::OK();
}

Status IndexBag::Create(std::unique_ptr<File> file,
                        std::unique_ptr<IndexBag>* bag) {
  if (!file) return Status::InvalidArgument("order bag", "no file given");
  if (file->read_only()) {
    return Status::InvalidArgument(file->name(),
                                   "cannot create a bag in a read-only file");
  }
  std::unique_ptr<IndexBag> b(new IndexBag());
  State& st = *b->state_;
  st.name = file->name();
  st.store = std::make_unique<cdx::CdxStore>(std::move(file), false);
  RETURN_IF_ERROR(st.store->Init());
  RETURN_IF_ERROR(st.store->InitEmptyBag(kDirectoryKeyLength));
  st.dir = cdx::Tree{0, kDirectoryKeyLength, ' '};
  *bag = std::move(b);
  return Status::OK();
}

int IndexBag::FindTag(std::string_view name) const {
  const std::string wanted = Upper(TrimName(name));
  for (size_t i = 0; i < tags_.size(); ++i) {
    if (tags_[i].name == wanted) return static_cast<int>(i);
  }
  return -1;
}

Status IndexBag::SetKeyType(int tag, KeyType type) {
  RETURN_IF_ERROR(CheckTag(tag));
  RETURN_IF_ERROR(KeyTypeFits(type, tags_[tag].key_length, tags_[tag].name));
  state_->store->SetPad(&state_->tags[tag].tree, PadByte(type));
  tags_[tag].key_type = type;
  tags_[tag].key_type_known = true;
  return Status::OK();
}

Status IndexBag::AddTag(const TagSpec& spec, std::vector<IndexEntry> entries) {
  RETURN_IF_ERROR(Usable());
  if (read_only_) {
    return Status::InvalidArgument(state_->name, "bag is opened read-only");
  }
  const std::string name = Upper(spec.name);
  const std::string what = "tag " + name;
  if (!ValidTagName(name)) {
    return Status::InvalidArgument(
        what, "a tag name is 1 to 10 letters, digits or '_', not starting "
              "with a digit");
  }
  if (FindTag(name) >= 0) {
    return Status::InvalidArgument(what, "the bag already has a tag of that "
                                         "name; delete it first");
  }
  if (spec.key_length < 1 || spec.key_length > kMaxKeyLength) {
    return Status::InvalidArgument(
        what, "key length " + std::to_string(spec.key_length) +
                  " is not in 1.." + std::to_string(kMaxKeyLength));
  }
  RETURN_IF_ERROR(KeyTypeFits(spec.key_type, spec.key_length, name));
  if (spec.key_expression.empty() ||
      spec.key_expression.find('\0') != std::string::npos ||
      spec.for_expression.find('\0') != std::string::npos ||
      spec.key_expression.size() + spec.for_expression.size() + 2 >
          static_cast<size_t>(cdx::kPoolSize)) {
    return Status::InvalidArgument(
        what, "the key and FOR expressions must be non-empty text of at "
              "most 510 bytes together");
  }
  for (const IndexEntry& e : entries) {
    if (e.key.size() != static_cast<size_t>(spec.key_length) || e.recno == 0) {
      return Status::InvalidArgument(
          what, "every key must be " + std::to_string(spec.key_length) +
                    " bytes with a record number from 1");
    }
  }
  std::sort(entries.begin(), entries.end(),
            [](const IndexEntry& a, const IndexEntry& b) {
              return cdx::ComparePairs(a.key, a.recno, b.key, b.recno) < 0;
            });
  std::vector<cdx::NodeEntry> sorted;
  sorted.reserve(entries.size());
  for (IndexEntry& e : entries) {
    if (!sorted.empty()) {
      const cdx::NodeEntry& prev = sorted.back();
      // One entry per pair, and per key value in a unique tag (the lowest
      // record number wins).
      if (prev.key == e.key && (spec.unique || prev.recno == e.recno)) continue;
    }
    sorted.push_back(cdx::NodeEntry{cdx::NodeKey(e.key), e.recno, 0});
  }
  entries.clear();

  cdx::IndexHeader header;
  header.key_length = spec.key_length;
  header.options = cdx::kOptionCompact | cdx::kOptionCompound;
  if (spec.unique) header.options |= cdx::kOptionUnique;
  if (!spec.for_expression.empty()) header.options |= cdx::kOptionFor;
  header.descending = spec.descending;
  header.key_expression = spec.key_expression;
  header.for_expression = spec.for_expression;

  State::Tag tag;
  tag.tree.pad = PadByte(spec.key_type);
  tag.dir_key = EncodeCharacterKey(name, state_->dir.key_length);
  if (name.size() > static_cast<size_t>(state_->dir.key_length)) {
    return Status::InvalidArgument(what, "name is longer than the bag's "
                                         "directory keys");
  }
  RETURN_IF_ERROR(state_->store->AddIndex(state_->dir, tag.dir_key, header,
                                          sorted, &tag.tree));
  tag.id = state_->next_id++;
  TagInfo info;
  info.name = name;
  info.key_expression = spec.key_expression;
  info.for_expression = spec.for_expression;
  info.descending = spec.descending;
  info.unique = spec.unique;
  info.key_length = spec.key_length;
  info.key_type = spec.key_type;
  info.key_type_known = true;
  tags_.push_back(std::move(info));
  state_->tags.push_back(std::move(tag));
  return Status::OK();
}

Status IndexBag::DeleteTag(int tag) {
  RETURN_IF_ERROR(CheckTag(tag));
  if (read_only_) {
    return Status::InvalidArgument(state_->name, "bag is opened read-only");
  }
  const State::Tag& t = state_->tags[tag];
  RETURN_IF_ERROR(state_->store->DropIndex(state_->dir, t.dir_key, t.tree));
  tags_.erase(tags_.begin() + tag);
  state_->tags.erase(state_->tags.begin() + tag);
  return Status::OK();
}

Status IndexBag::Insert(int tag, std::string_view key, uint32_t recno,
                        bool* added) {
  bool dummy;
  if (added == nullptr) added = &dummy;
  *added = false;
  RETURN_IF_ERROR(CheckTag(tag));
  if (read_only_) {
    return Status::InvalidArgument(state_->name, "bag is opened read-only");
  }
  const TagInfo& info = tags_[tag];
  if (key.size() != static_cast<size_t>(info.key_length) || recno == 0) {
    return Status::InvalidArgument(
        "tag " + info.name, "a key must be " +
                                std::to_string(info.key_length) +
                                " bytes with a record number from 1");
  }
  const cdx::Tree& tree = state_->tags[tag].tree;
  if (info.unique) {
    cdx::Position pos;
    RETURN_IF_ERROR(state_->store->Seek(tree, key, 0, false, &pos));
    if (pos.valid() && pos.entry().key == key) return Status::OK();
  }
  return state_->store->Insert(tree, key, recno, added);
}

Status IndexBag::Delete(int tag, std::string_view key, uint32_t recno,
                        bool* removed) {
  bool dummy;
  if (removed == nullptr) removed = &dummy;
  *removed = false;
  RETURN_IF_ERROR(CheckTag(tag));
  if (read_only_) {
    return Status::InvalidArgument(state_->name, "bag is opened read-only");
  }
  if (key.size() != static_cast<size_t>(tags_[tag].key_length)) {
    return Status::InvalidArgument(
        "tag " + tags_[tag].name,
        "a key must be " + std::to_string(tags_[tag].key_length) + " bytes");
  }
  return state_->store->Remove(state_->tags[tag].tree, key, recno, removed);
}

Status IndexBag::NewCursor(int tag, std::unique_ptr<IndexCursor>* cursor) {
  RETURN_IF_ERROR(CheckTag(tag));
  cursor->reset(new IndexCursor(this, state_->tags[tag].id));
  return Status::OK();
}

Status IndexBag::CountEntries(int tag, uint64_t* count) {
  RETURN_IF_ERROR(CheckTag(tag));
  *count = 0;
  const cdx::Tree& tree = state_->tags[tag].tree;
  cdx::Position pos;
  RETURN_IF_ERROR(state_->store->First(tree, &pos));
  while (pos.valid()) {
    *count += pos.node->entries.size() - static_cast<size_t>(pos.index);
    pos.index = static_cast<int>(pos.node->entries.size()) - 1;
    RETURN_IF_ERROR(state_->store->Next(tree, &pos));
  }
  return Status::OK();
}

Status IndexBag::Verify(int tag, TagStats* stats) {
  RETURN_IF_ERROR(CheckTag(tag));
  TagStats local;
  if (stats == nullptr) stats = &local;
  *stats = TagStats{};
  return state_->store->Verify(state_->tags[tag].tree, &stats->depth,
                               &stats->nodes, &stats->entries);
}

Status IndexBag::Flush() {
  RETURN_IF_ERROR(Usable());
  return state_->store->Flush(true);
}

Status IndexBag::Close() {
  RETURN_IF_ERROR(Usable());
  RETURN_IF_ERROR(state_->store->Flush(true));
  state_->closed = true;
  state_->store.reset();  // releases the file and its lock
  return Status::OK();
}

// IndexCursor ----------------------------------------------------------------

IndexCursor::IndexCursor(IndexBag* bag, uint64_t tag_id)
    : bag_(bag), tag_id_(tag_id), impl_(std::make_unique<Impl>()) {}

IndexCursor::~IndexCursor() = default;

Status IndexCursor::Prepare(int* tag, bool* exact) {
  RETURN_IF_ERROR(bag_->Usable());
  const auto& tags = bag_->state_->tags;
  *tag = -1;
  for (size_t i = 0; i < tags.size(); ++i) {
    if (tags[i].id == tag_id_) *tag = static_cast<int>(i);
  }
  if (*tag < 0) {
    return Status::InvalidArgument(bag_->state_->name,
                                   "the cursor's tag was deleted");
  }
  *exact = true;
  cdx::CdxStore& store = *bag_->state_->store;
  const cdx::Tree& tree = tags[*tag].tree;
  if (valid_ &&
      (impl_->version != store.version(tree) || !impl_->pos.valid())) {
    // The tree changed: find the current entry again (or where it was).
    RETURN_IF_ERROR(store.Seek(tree, key_, recno_, false, &impl_->pos));
    *exact = impl_->pos.valid() && impl_->pos.entry().key == key_ &&
             impl_->pos.entry().recno == recno_;
    impl_->version = store.version(tree);
  }
  return Status::OK();
}

void IndexCursor::Settle(int tag, bool forward_end) {
  const cdx::Position& pos = impl_->pos;
  impl_->version = bag_->state_->store->version(bag_->state_->tags[tag].tree);
  if (pos.valid()) {
    valid_ = true;
    eof_ = bof_ = false;
    key_ = pos.entry().key;
    recno_ = pos.entry().recno;
  } else {
    valid_ = false;
    eof_ = forward_end;
    bof_ = !forward_end;
    key_.clear();
    recno_ = 0;
  }
}

// A failed move leaves the cursor on no entry, so that nothing is read
// from a half-made position afterwards.
#define CURSOR_RETURN_IF_ERROR(expr) \
  do {                               \
    Status _s = (expr);              \
    if (!_s.ok()) return Fail(_s);   \
  } while (0)

Status IndexCursor::Fail(const Status& s) {
  impl_->pos = cdx::Position{};
  valid_ = eof_ = bof_ = false;
  key_.clear();
  recno_ = 0;
  return s;
}

namespace {

// One step back in storage order; from "past the end" that is the last
// entry.
Status StorageBack(cdx::CdxStore& store, const cdx::Tree& tree,
                   cdx::Position* pos) {
  if (!pos->valid()) return store.Last(tree, pos);
  return store.Prev(tree, pos);
}

}  // namespace

Status IndexCursor::First() {
  int tag;
  bool exact;
  CURSOR_RETURN_IF_ERROR(Prepare(&tag, &exact));
  cdx::CdxStore& store = *bag_->state_->store;
  const cdx::Tree& tree = bag_->state_->tags[tag].tree;
  const bool desc = bag_->tags_[tag].descending;
  CURSOR_RETURN_IF_ERROR(desc ? store.Last(tree, &impl_->pos)
                       : store.First(tree, &impl_->pos));
  Settle(tag, true);
  if (!valid_) bof_ = true;  // an empty tag is at both ends
  return Status::OK();
}

Status IndexCursor::Last() {
  int tag;
  bool exact;
  CURSOR_RETURN_IF_ERROR(Prepare(&tag, &exact));
  cdx::CdxStore& store = *bag_->state_->store;
  const cdx::Tree& tree = bag_->state_->tags[tag].tree;
  const bool desc = bag_->tags_[tag].descending;
  CURSOR_RETURN_IF_ERROR(desc ? store.First(tree, &impl_->pos)
                       : store.Last(tree, &impl_->pos));
  Settle(tag, true);
  if (!valid_) bof_ = true;
  return Status::OK();
}

Status IndexCursor::Next() {
  if (!valid_) {
    return Status::InvalidArgument(bag_->state_->name,
                                   "cursor is not on an entry");
  }
  int tag;
  bool exact;
  CURSOR_RETURN_IF_ERROR(Prepare(&tag, &exact));
  cdx::CdxStore& store = *bag_->state_->store;
  const cdx::Tree& tree = bag_->state_->tags[tag].tree;
  if (bag_->tags_[tag].descending) {
    // A relocated position is the first pair above the old one; one step
    // back gives the pair below it either way.
    CURSOR_RETURN_IF_ERROR(exact ? store.Prev(tree, &impl_->pos)
                          : StorageBack(store, tree, &impl_->pos));
  } else if (exact) {
    CURSOR_RETURN_IF_ERROR(store.Next(tree, &impl_->pos));
  }
  Settle(tag, true);
  return Status::OK();
}

Status IndexCursor::Prev() {
  if (!valid_) {
    return Status::InvalidArgument(bag_->state_->name,
                                   "cursor is not on an entry");
  }
  int tag;
  bool exact;
  CURSOR_RETURN_IF_ERROR(Prepare(&tag, &exact));
  cdx::CdxStore& store = *bag_->state_->store;
  const cdx::Tree& tree = bag_->state_->tags[tag].tree;
  if (!bag_->tags_[tag].descending) {
    CURSOR_RETURN_IF_ERROR(exact ? store.Prev(tree, &impl_->pos)
                          : StorageBack(store, tree, &impl_->pos));
  } else if (exact) {
    CURSOR_RETURN_IF_ERROR(store.Next(tree, &impl_->pos));
  }
  Settle(tag, false);
  return Status::OK();
}

namespace {

// A seek key may be a prefix of the tag's keys, never longer than them.
Status CheckSeekKey(const TagInfo& info, std::string_view key) {
  if (key.size() <= static_cast<size_t>(info.key_length)) return Status::OK();
  return Status::InvalidArgument("tag " + info.name,
                                 "seek key is longer than the key length " +
                                     std::to_string(info.key_length));
}

}  // namespace

Status IndexCursor::Seek(std::string_view key, bool* found) {
  int tag;
  bool exact;
  *found = false;
  CURSOR_RETURN_IF_ERROR(Prepare(&tag, &exact));
  const TagInfo& info = bag_->tags_[tag];
  if (Status s = CheckSeekKey(info, key); !s.ok()) return s;
  cdx::CdxStore& store = *bag_->state_->store;
  const cdx::Tree& tree = bag_->state_->tags[tag].tree;
  const size_t rest = static_cast<size_t>(info.key_length) - key.size();
  cdx::Position& pos = impl_->pos;
  if (!info.descending) {
    const std::string low = std::string(key) + std::string(rest, '\0');
    CURSOR_RETURN_IF_ERROR(store.Seek(tree, low, 0, false, &pos));
  } else {
    const std::string high = std::string(key) + std::string(rest, '\xFF');
    CURSOR_RETURN_IF_ERROR(store.Seek(tree, high, 0xFFFFFFFF, true, &pos));
    CURSOR_RETURN_IF_ERROR(StorageBack(store, tree, &pos));
  }
  *found = pos.valid() && StartsWith(pos.entry().key, key);
  Settle(tag, true);
  return Status::OK();
}

Status IndexCursor::SeekLast(std::string_view key, bool* found) {
  int tag;
  bool exact;
  *found = false;
  CURSOR_RETURN_IF_ERROR(Prepare(&tag, &exact));
  const TagInfo& info = bag_->tags_[tag];
  if (Status s = CheckSeekKey(info, key); !s.ok()) return s;
  cdx::CdxStore& store = *bag_->state_->store;
  const cdx::Tree& tree = bag_->state_->tags[tag].tree;
  const size_t rest = static_cast<size_t>(info.key_length) - key.size();
  cdx::Position& pos = impl_->pos;
  if (!info.descending) {
    // The last match is just before the first entry above every match.
    const std::string high = std::string(key) + std::string(rest, '\xFF');
    CURSOR_RETURN_IF_ERROR(store.Seek(tree, high, 0xFFFFFFFF, true, &pos));
    cdx::Position before = pos;
    CURSOR_RETURN_IF_ERROR(StorageBack(store, tree, &before));
    if (before.valid() && StartsWith(before.entry().key, key)) {
      pos = before;
      *found = true;
    }
  } else {
    // In descending order the last match is the smallest one stored.
    const std::string low = std::string(key) + std::string(rest, '\0');
    CURSOR_RETURN_IF_ERROR(store.Seek(tree, low, 0, false, &pos));
    if (pos.valid() && StartsWith(pos.entry().key, key)) {
      *found = true;
    } else {
      CURSOR_RETURN_IF_ERROR(StorageBack(store, tree, &pos));
    }
  }
  Settle(tag, true);
  return Status::OK();
}

Status IndexCursor::SeekEntry(std::string_view key, uint32_t recno,
                              bool* found) {
  int tag;
  bool exact;
  *found = false;
  CURSOR_RETURN_IF_ERROR(Prepare(&tag, &exact));
  const TagInfo& info = bag_->tags_[tag];
  if (key.size() != static_cast<size_t>(info.key_length)) {
    return Status::InvalidArgument(
        "tag " + info.name,
        "key must be " + std::to_string(info.key_length) + " bytes");
  }
  cdx::CdxStore& store = *bag_->state_->store;
  const cdx::Tree& tree = bag_->state_->tags[tag].tree;
  cdx::Position& pos = impl_->pos;
  if (!info.descending) {
    CURSOR_RETURN_IF_ERROR(store.Seek(tree, key, recno, false, &pos));
  } else {
    CURSOR_RETURN_IF_ERROR(store.Seek(tree, key, recno, true, &pos));
    CURSOR_RETURN_IF_ERROR(StorageBack(store, tree, &pos));
  }
  *found = pos.valid() && pos.entry().key == key && pos.entry().recno == recno;
  Settle(tag, true);
  return Status::OK();
}

}  // namespace rt::tables

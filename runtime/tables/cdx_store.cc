// Block store and B+-tree operations of the order-bag engine.
#include "runtime/tables/cdx_store.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>

namespace rt::tables::cdx {
namespace {

// Clean decoded nodes kept in memory.  Dirty nodes are kept until written,
// and written back early once there are more than kMaxDirtyNodes of them.
constexpr size_t kCacheNodes = 2048;
constexpr size_t kMaxDirtyNodes = 2048;
// Blocks gathered into one write.
constexpr size_t kWriteRun = 128;
// Owner mark of a free block in the cache (no header lies at this offset).
constexpr uint32_t kFreeOwner = 0xFFFFFFFF;
// Largest file the 32-bit block pointers can address.
constexpr uint64_t kMaxFileSize = 0xFFFFFE00;

#define RETURN_IF_ERROR(expr)  \
  do {                         \
    Status _s = (expr);        \
    if (!_s.ok()) return _s;   \
  } while (0)

int CompareToEntry(const NodeEntry& e, std::string_view key, uint32_t recno) {
  return ComparePairs(e.key, e.recno, key, recno);
}

// Index of the first entry whose pair is >= (key, recno), or > it when
// `strict`; entries.size() when there is none.
size_t LowerBound(const std::vector<NodeEntry>& entries, std::string_view key,
                  uint32_t recno, bool strict) {
  size_t lo = 0, hi = entries.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    const int c = CompareToEntry(entries[mid], key, recno);
    if (strict ? c <= 0 : c < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

// Collects encoded blocks and writes them as few large writes.
class RunWriter {
 public:
  explicit RunWriter(File* file) : file_(file) {}
  Status Add(uint64_t offset, const uint8_t* block) {
    if (!buf_.empty() &&
        (offset != start_ + buf_.size() || buf_.size() >= kWriteRun * kBlockSize)) {
      RETURN_IF_ERROR(Finish());
    }
    if (buf_.empty()) start_ = offset;
    buf_.insert(buf_.end(), block, block + kBlockSize);
    return Status::OK();
  }
  Status Finish() {
    if (buf_.empty()) return Status::OK();
    Status s = file_->WriteAt(start_, buf_.data(), buf_.size());
    if (s.ok()) {
      end_ = std::max(end_, start_ + buf_.size());
      buf_.clear();
    }
    return s;
  }
  // End of the bytes written so far.
  uint64_t end() const { return end_; }

 private:
  File* file_;
  uint64_t start_ = 0;
  uint64_t end_ = 0;
  std::vector<uint8_t> buf_;
};

}  // namespace

CdxStore::CdxStore(std::unique_ptr<File> file, bool read_only)
    : file_(std::move(file)), read_only_(read_only) {}

CdxStore::~CdxStore() = default;

Status CdxStore::Corrupt(const Status& s) const {
  if (!s.IsCorruption()) return s;
  return Status::Corruption(name(), s.message());
}

Status CdxStore::Corrupt(const std::string& why) const {
  return Status::Corruption(name(), why);
}

uint32_t CdxStore::root_of(const Tree& tree) const {
  auto it = trees_.find(tree.header);
  return it == trees_.end() ? 0 : it->second.root;
}

Status CdxStore::Init() {
  RETURN_IF_ERROR(file_->Size(&disk_size_));
  file_end_ = (disk_size_ + kBlockSize - 1) / kBlockSize * kBlockSize;
  if (file_end_ > kMaxFileSize) {
    return Corrupt("file is larger than an index file can be");
  }
  return Status::OK();
}

Status CdxStore::InitEmptyBag(int dir_key_length) {
  if (read_only_) return Status::InvalidArgument(name(), "bag is read-only");
  cache_.clear();
  lru_.clear();
  pending_.clear();
  trees_.clear();
  dirty_count_ = 0;
  free_head_ = 0;
  free_dirty_ = false;
  ++version_;
  uint8_t buf[kHeaderSize + kBlockSize];
  IndexHeader header;
  header.root = kHeaderSize;
  header.key_length = dir_key_length;
  header.options = kOptionCompact | kOptionCompound | kOptionDirectory;
  EncodeHeader(header, buf);
  Node root;
  root.root = true;
  EncodeNode(root, dir_key_length, ' ', buf + kHeaderSize);
  RETURN_IF_ERROR(file_->Truncate(0));
  disk_size_ = file_end_ = 0;
  RETURN_IF_ERROR(file_->WriteAt(0, buf, sizeof buf));
  RETURN_IF_ERROR(file_->Sync());
  disk_size_ = file_end_ = sizeof buf;
  trees_[0] = TreeState{kHeaderSize, dir_key_length, ' ', false, ++version_};
  return Status::OK();
}

Status CdxStore::OpenIndex(uint32_t offset, uint8_t pad, IndexHeader* header,
                           Tree* tree) {
  const std::string where = "index header at " + std::to_string(offset);
  if (offset % kBlockSize != 0 || uint64_t(offset) + kHeaderSize > disk_size_) {
    return Corrupt(where + " lies outside the file");
  }
  uint8_t buf[kHeaderSize];
  Status s = file_->ReadExactly(offset, buf, kHeaderSize, "index header");
  if (!s.ok()) return Corrupt(s);
  s = DecodeHeader(buf, bounds(), header);
  if (!s.ok()) return Corrupt(where + ": " + s.message());
  if (header->root >= offset && header->root < offset + kHeaderSize) {
    return Corrupt(where + ": root pointer points into the header");
  }
  if (offset == 0) free_head_ = header->free_head;
  *tree = Tree{offset, header->key_length, pad};
  trees_[offset] =
      TreeState{header->root, header->key_length, pad, false, ++version_};
  return Status::OK();
}

void CdxStore::SetPad(Tree* tree, uint8_t pad) {
  tree->pad = pad;
  auto it = trees_.find(tree->header);
  if (it != trees_.end()) {
    it->second.pad = pad;
    it->second.changed = ++version_;
  }
  // Clean nodes were decoded with the old pad; read them again.
  for (auto l = lru_.begin(); l != lru_.end();) {
    auto c = cache_.find(*l);
    if (c != cache_.end() && c->second.owner == tree->header) {
      cache_.erase(c);
      l = lru_.erase(l);
    } else {
      ++l;
    }
  }
}

// Node access ----------------------------------------------------------------

Status CdxStore::ReadBlock(uint32_t offset, uint8_t* block) {
  if (uint64_t(offset) + kBlockSize > disk_size_) {
    return Corrupt("node at " + std::to_string(offset) +
                   " lies past the end of the file");
  }
  Status s = file_->ReadExactly(offset, block, kBlockSize, "index node");
  return Corrupt(s);
}

CdxStore::Slot* CdxStore::Remember(uint32_t offset, std::shared_ptr<Node> node,
                                   uint32_t owner) {
  Slot& slot = cache_[offset];
  slot.node = std::move(node);
  slot.owner = owner;
  slot.dirty = false;
  lru_.push_front(offset);
  slot.lru = lru_.begin();
  slot.in_lru = true;
  Evict();  // the new node is the most recent: it stays
  return &slot;
}

void CdxStore::Evict() {
  while (lru_.size() > kCacheNodes) {
    cache_.erase(lru_.back());
    lru_.pop_back();
  }
}

Status CdxStore::GetNode(const Tree& tree, uint32_t offset,
                         std::shared_ptr<const Node>* node) {
  std::shared_ptr<Node>* held;
  RETURN_IF_ERROR(Load(tree, offset, &held));
  *node = *held;
  return Status::OK();
}

Status CdxStore::Load(const Tree& tree, uint32_t offset,
                      std::shared_ptr<Node>** node) {
  if (!bounds().Valid(offset)) {
    return Corrupt("node pointer " + std::to_string(offset) +
                   " is not a block of the file");
  }
  auto wrong_owner = [&] {
    return Corrupt("node at " + std::to_string(offset) +
                   " is reached from two trees, or is a free block");
  };
  if (in_operation_) {
    auto p = pending_.find(offset);
    if (p != pending_.end()) {
      if (p->second.owner != tree.header) return wrong_owner();
      *node = &p->second.node;
      return Status::OK();
    }
  }
  auto c = cache_.find(offset);
  if (c != cache_.end()) {
    Slot& slot = c->second;
    if (slot.owner != tree.header) return wrong_owner();
    if (slot.in_lru) lru_.splice(lru_.begin(), lru_, slot.lru);
    *node = &slot.node;
    return Status::OK();
  }
  uint8_t block[kBlockSize];
  RETURN_IF_ERROR(ReadBlock(offset, block));
  auto decoded = std::make_shared<Node>();
  Status s = DecodeNode(block, offset, tree.key_length, tree.pad, bounds(),
                        decoded.get());
  if (!s.ok()) return Corrupt(s);
  *node = &Remember(offset, std::move(decoded), tree.header)->node;
  return Status::OK();
}

// Operations -----------------------------------------------------------------

void CdxStore::Begin() {
  in_operation_ = true;
  pending_.clear();
  snapshot_ = Snapshot{free_head_, free_dirty_, file_end_, trees_};
}

void CdxStore::Abort() {
  pending_.clear();
  in_operation_ = false;
  free_head_ = snapshot_.free_head;
  free_dirty_ = snapshot_.free_dirty;
  file_end_ = snapshot_.file_end;
  trees_ = std::move(snapshot_.trees);
}

void CdxStore::MarkDirty(Slot* slot) {
  if (slot->in_lru) {
    lru_.erase(slot->lru);
    slot->in_lru = false;
  }
  if (!slot->dirty) ++dirty_count_;
  slot->dirty = true;
}

uint64_t CdxStore::version(const Tree& tree) const {
  auto it = trees_.find(tree.header);
  return it == trees_.end() ? version_ : it->second.changed;
}

void CdxStore::Changed(uint32_t header) {
  auto it = trees_.find(header);
  if (it != trees_.end()) it->second.changed = version_ + 1;
  ++version_;
  // Write back early so that a long run of changes keeps memory bounded.  A
  // failure here is not lost: the nodes stay dirty and Flush() reports it.
  if (dirty_count_ > kMaxDirtyNodes) (void)WriteBack();
}

void CdxStore::Commit(uint32_t header) {
  for (auto& [offset, p] : pending_) {
    Slot& slot = cache_[offset];
    MarkDirty(&slot);
    slot.node = std::move(p.node);
    slot.owner = p.owner;
  }
  pending_.clear();
  in_operation_ = false;
  Changed(header);
}

Status CdxStore::ChangeLeafInPlace(const Tree& tree, std::string_view key,
                                   uint32_t recno, bool insert, bool* found,
                                   bool* done) {
  *done = false;
  uint32_t offset;
  std::shared_ptr<Node>* held;
  RETURN_IF_ERROR(DescendHeld(tree, key, recno, false, nullptr, &offset, &held));
  Node* leaf = held->get();
  const size_t pos = LowerBound(leaf->entries, key, recno, false);
  *found = pos < leaf->entries.size() &&
           CompareToEntry(leaf->entries[pos], key, recno) == 0;
  if (*found == insert) {
    *done = true;  // nothing to insert or to remove
    return Status::OK();
  }
  // A pair past the leaf's last one would raise its parents' bounds.
  if (insert && pos == leaf->entries.size()) return Status::OK();
  // Only a leaf that nothing but the cache holds (no cursor sees it) may
  // change where it lies.
  if (held->use_count() != 1) return Status::OK();
  const int kl = tree.key_length;
  if (insert) {
    LeafInsert(leaf, pos, NodeEntry{NodeKey(key), recno, 0}, kl, tree.pad);
    if (NodeLeafBytes(*leaf, kl, tree.pad) > kLeafArea) {
      LeafErase(leaf, pos, kl, tree.pad);  // it needs a split
      return Status::OK();
    }
  } else {
    NodeEntry gone = leaf->entries[pos];
    LeafErase(leaf, pos, kl, tree.pad);
    // A leaf written by another tool may still be too full for our
    // encoding after one pair less: the full operation splits it.
    if (leaf->entries.empty() || Underfull(tree, *leaf) ||
        NodeLeafBytes(*leaf, kl, tree.pad) > kLeafArea) {
      LeafInsert(leaf, pos, std::move(gone), kl, tree.pad);
      return Status::OK();
    }
  }
  MarkDirty(&cache_[offset]);
  Changed(tree.header);
  *done = true;
  return Status::OK();
}

Status CdxStore::Mutable(const Tree& tree, uint32_t offset, Node** node) {
  auto p = pending_.find(offset);
  if (p != pending_.end()) {
    if (p->second.owner != tree.header) {
      return Corrupt("node at " + std::to_string(offset) +
                     " is reached from two trees, or is a free block");
    }
    *node = p->second.node.get();
    return Status::OK();
  }
  std::shared_ptr<const Node> current;
  RETURN_IF_ERROR(GetNode(tree, offset, &current));
  auto copy = std::make_shared<Node>(*current);
  *node = copy.get();
  pending_[offset] = Pending{std::move(copy), tree.header};
  touched_.push_back(offset);
  return Status::OK();
}

Status CdxStore::Allocate(const Tree& tree, Node::Kind kind, uint32_t* offset,
                          Node** node) {
  if (free_head_ != 0) {
    const uint32_t o = free_head_;
    std::shared_ptr<const Node> free_node;
    auto p = pending_.find(o);
    auto c = cache_.find(o);
    if (p != pending_.end()) {
      free_node = p->second.node;
    } else if (c != cache_.end()) {
      free_node = c->second.node;
    } else {
      if (!bounds().Valid(o)) return Corrupt("free-list head is not a block");
      uint8_t block[kBlockSize];
      RETURN_IF_ERROR(ReadBlock(o, block));
      auto decoded = std::make_shared<Node>();
      Status s = DecodeFreeBlock(block, o, bounds(), decoded.get());
      if (!s.ok()) return Corrupt(s);
      free_node = decoded;
    }
    if (free_node->kind != Node::Kind::kFree) {
      return Corrupt("free list leads to a block in use at " +
                     std::to_string(o));
    }
    free_head_ = free_node->next_free;
    free_dirty_ = true;
    *offset = o;
  } else {
    if (file_end_ + kBlockSize > kMaxFileSize) {
      return Status::IOError(name(), "index file would grow past 4 GB");
    }
    *offset = static_cast<uint32_t>(file_end_);
    file_end_ += kBlockSize;
  }
  auto fresh = std::make_shared<Node>();
  fresh->kind = kind;
  *node = fresh.get();
  pending_[*offset] = Pending{std::move(fresh), tree.header};
  touched_.push_back(*offset);
  return Status::OK();
}

void CdxStore::Free(uint32_t offset) {
  auto node = std::make_shared<Node>();
  node->kind = Node::Kind::kFree;
  node->next_free = free_head_;
  pending_[offset] = Pending{std::move(node), kFreeOwner};
  free_head_ = offset;
  free_dirty_ = true;
}

Status CdxStore::Unlink(const Tree& tree, uint32_t offset) {
  std::shared_ptr<const Node> node;
  RETURN_IF_ERROR(GetNode(tree, offset, &node));
  Node* n;
  if (node->left != kNoSibling) {
    RETURN_IF_ERROR(Mutable(tree, node->left, &n));
    n->right = node->right;
  }
  if (node->right != kNoSibling) {
    RETURN_IF_ERROR(Mutable(tree, node->right, &n));
    n->left = node->left;
  }
  return Status::OK();
}

void CdxStore::SetRoot(const Tree& tree, uint32_t root) {
  TreeState& state = trees_[tree.header];
  state.root = root;
  state.root_dirty = true;
}

// Reading --------------------------------------------------------------------

Status CdxStore::Descend(const Tree& tree, std::string_view key,
                         uint32_t recno, bool strict,
                         std::vector<PathStep>* path, uint32_t* leaf,
                         std::shared_ptr<const Node>* node) {
  std::shared_ptr<Node>* held;
  RETURN_IF_ERROR(DescendHeld(tree, key, recno, strict, path, leaf, &held));
  *node = *held;
  return Status::OK();
}

Status CdxStore::DescendHeld(const Tree& tree, std::string_view key,
                             uint32_t recno, bool strict,
                             std::vector<PathStep>* path, uint32_t* leaf,
                             std::shared_ptr<Node>** node) {
  uint32_t offset = root_of(tree);
  for (int depth = 0;; ++depth) {
    if (depth > kMaxDepth) {
      return Corrupt("tree is deeper than " + std::to_string(kMaxDepth) +
                     " levels (a cycle of child pointers?)");
    }
    std::shared_ptr<Node>* held;
    RETURN_IF_ERROR(Load(tree, offset, &held));
    const Node* n = held->get();
    if (n->leaf()) {
      *leaf = offset;
      *node = held;
      return Status::OK();
    }
    if (n->entries.empty()) return Corrupt("empty interior node");
    size_t i = LowerBound(n->entries, key, recno, strict);
    if (i == n->entries.size()) --i;
    if (path != nullptr) path->push_back({offset, static_cast<int>(i)});
    offset = n->entries[i].child;
  }
}

Status CdxStore::SkipEmpty(const Tree& tree, bool forward, Position* pos) {
  auto off_the_leaf = [&] {
    return forward ? pos->index >= static_cast<int>(pos->node->entries.size())
                   : pos->index < 0;
  };
  if (!off_the_leaf()) return Status::OK();  // the usual step
  // The pair the chain must move away from, for the order check that also
  // catches cyclic sibling links.
  std::shared_ptr<const Node> boundary;
  if (!pos->node->entries.empty()) boundary = pos->node;
  const uint64_t limit = file_end_ / kBlockSize + 1;
  uint64_t steps = 0;
  while (off_the_leaf()) {
    const uint32_t link = forward ? pos->node->right : pos->node->left;
    if (link == kNoSibling) {
      *pos = Position{};
      return Status::OK();
    }
    if (++steps > limit) return Corrupt("leaf chain is cyclic");
    std::shared_ptr<const Node> next;
    RETURN_IF_ERROR(GetNode(tree, link, &next));
    if (!next->leaf()) {
      return Corrupt("sibling link of a leaf leads to an interior node at " +
                     std::to_string(link));
    }
    if (!next->entries.empty()) {
      if (boundary) {
        const NodeEntry& a = forward ? boundary->entries.back()
                                     : next->entries.back();
        const NodeEntry& b = forward ? next->entries.front()
                                     : boundary->entries.front();
        if (ComparePairs(a.key, a.recno, b.key, b.recno) >= 0) {
          return Corrupt("leaf chain out of order or cyclic at " +
                         std::to_string(link));
        }
      }
      boundary = next;
    }
    pos->leaf = link;
    pos->node = std::move(next);
    pos->index = forward ? 0 : static_cast<int>(pos->node->entries.size()) - 1;
  }
  return Status::OK();
}

Status CdxStore::Edge(const Tree& tree, bool last, Position* pos) {
  uint32_t offset = root_of(tree);
  for (int depth = 0;; ++depth) {
    if (depth > kMaxDepth) {
      return Corrupt("tree is deeper than " + std::to_string(kMaxDepth) +
                     " levels (a cycle of child pointers?)");
    }
    std::shared_ptr<const Node> n;
    RETURN_IF_ERROR(GetNode(tree, offset, &n));
    if (n->leaf()) {
      pos->leaf = offset;
      pos->index = last ? static_cast<int>(n->entries.size()) - 1 : 0;
      pos->node = std::move(n);
      return SkipEmpty(tree, !last, pos);
    }
    if (n->entries.empty()) return Corrupt("empty interior node");
    offset = last ? n->entries.back().child : n->entries.front().child;
  }
}

Status CdxStore::First(const Tree& tree, Position* pos) {
  return Edge(tree, false, pos);
}

Status CdxStore::Last(const Tree& tree, Position* pos) {
  return Edge(tree, true, pos);
}

Status CdxStore::Seek(const Tree& tree, std::string_view key, uint32_t recno,
                      bool strict, Position* pos) {
  uint32_t leaf;
  std::shared_ptr<const Node> node;
  RETURN_IF_ERROR(Descend(tree, key, recno, strict, nullptr, &leaf, &node));
  pos->index = static_cast<int>(LowerBound(node->entries, key, recno, strict));
  pos->leaf = leaf;
  pos->node = std::move(node);
  return SkipEmpty(tree, true, pos);
}

Status CdxStore::Next(const Tree& tree, Position* pos) {
  ++pos->index;
  return SkipEmpty(tree, true, pos);
}

Status CdxStore::Prev(const Tree& tree, Position* pos) {
  --pos->index;
  return SkipEmpty(tree, false, pos);
}

// Insert ---------------------------------------------------------------------

Status CdxStore::Insert(const Tree& tree, std::string_view key, uint32_t recno,
                        bool* added) {
  return Change(tree, key, recno, true, added);
}

Status CdxStore::Change(const Tree& tree, std::string_view key, uint32_t recno,
                        bool insert, bool* changed) {
  if (read_only_) return Status::InvalidArgument(name(), "bag is read-only");
  bool found = false, done = false;
  RETURN_IF_ERROR(ChangeLeafInPlace(tree, key, recno, insert, &found, &done));
  if (done) {
    *changed = found != insert;
    return Status::OK();
  }
  // The full operation: its nodes are kept when it succeeds and dropped
  // when it fails, so the change is all or nothing.
  Begin();
  Status s = insert ? InsertLocked(tree, key, recno, changed)
                    : RemoveLocked(tree, key, recno, changed);
  if (s.ok()) {
    Commit(tree.header);
  } else {
    Abort();
  }
  return s;
}

Status CdxStore::InsertLocked(const Tree& tree, std::string_view key,
                              uint32_t recno, bool* added) {
  std::vector<PathStep> path;
  uint32_t leaf_offset;
  std::shared_ptr<const Node> found;
  RETURN_IF_ERROR(
      Descend(tree, key, recno, false, &path, &leaf_offset, &found));
  const size_t pos = LowerBound(found->entries, key, recno, false);
  if (pos < found->entries.size() &&
      CompareToEntry(found->entries[pos], key, recno) == 0) {
    *added = false;
    return Status::OK();
  }
  Node* leaf;
  RETURN_IF_ERROR(Mutable(tree, leaf_offset, &leaf));
  const bool at_end = pos == leaf->entries.size();
  LeafInsert(leaf, pos, NodeEntry{NodeKey(key), recno, 0}, tree.key_length,
             tree.pad);
  *added = true;
  RETURN_IF_ERROR(RaiseBounds(tree, path, leaf_offset));
  if (NodeLeafBytes(*leaf, tree.key_length,
                tree.pad) > kLeafArea) {
    RETURN_IF_ERROR(Split(tree, path, path.size(), leaf_offset,
                          at_end && leaf->right == kNoSibling));
  }
  return FitAll(tree);
}

Status CdxStore::FitAll(const Tree& tree) {
  // A leaf written by another tool may use narrower dup/trail fields than
  // ours, so re-encoding it unchanged (a new sibling link, one entry less)
  // can take more than a node.  Split every such leaf before it is written.
  // Only the nodes this change made pending can have grown, so only those
  // are looked at (a node pending from an earlier change was fitted then).
  for (int round = 0; round < 1000; ++round) {
    uint32_t offset = 0;
    while (!touched_.empty()) {
      const uint32_t o = touched_.back();
      auto p = pending_.find(o);
      if (p != pending_.end() && p->second.owner == tree.header &&
          p->second.node->leaf() &&
          NodeLeafBytes(*p->second.node, tree.key_length, tree.pad) > kLeafArea) {
        offset = o;
        break;
      }
      touched_.pop_back();
    }
    if (offset == 0) return Status::OK();
    const NodeEntry last = pending_[offset].node->entries.back();
    std::vector<PathStep> path;
    uint32_t leaf;
    std::shared_ptr<const Node> found;
    RETURN_IF_ERROR(
        Descend(tree, last.key, last.recno, false, &path, &leaf, &found));
    if (leaf != offset) {
      return Corrupt("leaf at " + std::to_string(offset) +
                     " cannot be reached through its own keys");
    }
    RETURN_IF_ERROR(Split(tree, path, path.size(), offset, false));
  }
  return Corrupt("too many overfull leaves");
}

Status CdxStore::RaiseBounds(const Tree& tree,
                             const std::vector<PathStep>& path,
                             uint32_t leaf) {
  uint32_t child = leaf;
  for (size_t d = path.size(); d-- > 0;) {
    std::shared_ptr<const Node> c, p;
    RETURN_IF_ERROR(GetNode(tree, child, &c));
    RETURN_IF_ERROR(GetNode(tree, path[d].offset, &p));
    if (c->entries.empty()) break;
    const NodeEntry& top = c->entries.back();
    const NodeEntry& bound = p->entries[path[d].index];
    if (ComparePairs(top.key, top.recno, bound.key, bound.recno) <= 0) break;
    Node* parent;
    RETURN_IF_ERROR(Mutable(tree, path[d].offset, &parent));
    parent->entries[path[d].index].key = top.key;
    parent->entries[path[d].index].recno = top.recno;
    child = path[d].offset;
  }
  return Status::OK();
}

std::vector<size_t> CdxStore::PartitionLeaf(
    const Tree& tree, const std::vector<NodeEntry>& entries,
    bool append) const {
  const int kl = tree.key_length;
  const size_t n = entries.size();
  // Appending at the end of the last leaf: keep the full leaf as it is and
  // start a new one, so that ascending loads fill their leaves.
  if (append && n >= 2 &&
      LeafBytes(entries, 0, n - 1, kl, tree.pad) <= kLeafArea) {
    return {n - 1};
  }
  std::vector<int> stored(n), alone(n);
  std::vector<int64_t> sum(n + 1, 0);
  std::vector<uint32_t> head_max(n + 1, 0), tail_max(n + 1, 0);
  for (size_t i = 0; i < n; ++i) {
    alone[i] = StoredBytes("", entries[i].key, kl, tree.pad);
    stored[i] = i == 0 ? alone[i]
                       : StoredBytes(entries[i - 1].key, entries[i].key, kl,
                                     tree.pad);
    sum[i + 1] = sum[i] + stored[i];
    head_max[i + 1] = std::max(head_max[i], entries[i].recno);
  }
  for (size_t i = n; i-- > 0;) {
    tail_max[i] = std::max(tail_max[i + 1], entries[i].recno);
  }
  size_t best = 0;
  int64_t best_cost = 0;
  for (size_t s = 1; s < n; ++s) {
    const int64_t left = int64_t(s) * EntryBytes(kl, head_max[s]) + sum[s];
    const int64_t right = int64_t(n - s) * EntryBytes(kl, tail_max[s]) +
                          alone[s] + (sum[n] - sum[s + 1]);
    if (left > kLeafArea || right > kLeafArea) continue;
    const int64_t cost = std::max(left, right);
    if (best == 0 || cost < best_cost) {
      best = s;
      best_cost = cost;
    }
  }
  if (best != 0) return {best};
  // No two-way split fits (long keys that lose their shared prefix): fill
  // leaves greedily instead.
  std::vector<size_t> cuts;
  size_t begin = 0;
  int64_t bytes_stored = 0;
  uint32_t max_recno = 0;
  for (size_t i = 0; i < n; ++i) {
    const int64_t add = i == begin ? alone[i] : stored[i];
    const uint32_t m = std::max(max_recno, entries[i].recno);
    const int64_t total =
        int64_t(i - begin + 1) * EntryBytes(kl, m) + bytes_stored + add;
    if (total > kLeafArea && i > begin) {
      cuts.push_back(i);
      begin = i;
      bytes_stored = alone[i];
      max_recno = entries[i].recno;
    } else {
      bytes_stored += add;
      max_recno = m;
    }
  }
  return cuts;
}

Status CdxStore::Split(const Tree& tree, const std::vector<PathStep>& path,
                       size_t depth, uint32_t offset, bool append) {
  Node* node;
  RETURN_IF_ERROR(Mutable(tree, offset, &node));
  std::vector<size_t> cuts;
  const size_t n = node->entries.size();
  const size_t cap = static_cast<size_t>(InteriorCapacity(tree.key_length));
  if (node->leaf()) {
    cuts = PartitionLeaf(tree, node->entries, append);
  } else if (append && n - 1 <= cap) {
    cuts = {n - 1};
  } else {
    const size_t pieces = (n + cap - 1) / cap;
    const size_t per = (n + pieces - 1) / pieces;
    for (size_t c = per; c < n; c += per) cuts.push_back(c);
  }
  if (cuts.empty()) return Status::OK();

  std::vector<uint32_t> offsets{offset};
  std::vector<Node*> nodes{node};
  for (size_t i = 0; i < cuts.size(); ++i) {
    uint32_t o;
    Node* fresh;
    RETURN_IF_ERROR(Allocate(tree, node->kind, &o, &fresh));
    offsets.push_back(o);
    nodes.push_back(fresh);
  }
  std::vector<NodeEntry> all = std::move(node->entries);
  node->entries.clear();
  node->ForgetSize();
  const uint32_t old_right = node->right;
  size_t start = 0;
  for (size_t k = 0; k < nodes.size(); ++k) {
    const size_t end = k < cuts.size() ? cuts[k] : all.size();
    nodes[k]->entries.assign(std::make_move_iterator(all.begin() + start),
                             std::make_move_iterator(all.begin() + end));
    nodes[k]->ForgetSize();
    start = end;
    if (k > 0) nodes[k]->left = offsets[k - 1];
    nodes[k]->right = k + 1 < nodes.size() ? offsets[k + 1] : old_right;
    nodes[k]->root = false;
  }
  if (old_right != kNoSibling) {
    Node* r;
    RETURN_IF_ERROR(Mutable(tree, old_right, &r));
    r->left = offsets.back();
  }

  if (depth == 0) {
    uint32_t root_offset;
    Node* root;
    RETURN_IF_ERROR(Allocate(tree, Node::Kind::kInterior, &root_offset, &root));
    root->root = true;
    for (size_t k = 0; k < nodes.size(); ++k) {
      const NodeEntry& top = nodes[k]->entries.back();
      root->entries.push_back(NodeEntry{top.key, top.recno, offsets[k]});
    }
    SetRoot(tree, root_offset);
    if (root->entries.size() > cap) {
      return Split(tree, path, 0, root_offset, false);
    }
    return Status::OK();
  }

  const PathStep& up = path[depth - 1];
  Node* parent;
  RETURN_IF_ERROR(Mutable(tree, up.offset, &parent));
  const size_t idx = static_cast<size_t>(up.index);
  const bool was_last = idx + 1 == parent->entries.size();
  // The last piece keeps the parent's bound; the others are bounded by
  // their own last pair.
  NodeEntry bound = parent->entries[idx];
  std::vector<NodeEntry> replacement;
  for (size_t k = 0; k < nodes.size(); ++k) {
    if (k + 1 == nodes.size()) {
      replacement.push_back(NodeEntry{bound.key, bound.recno, offsets[k]});
    } else {
      const NodeEntry& top = nodes[k]->entries.back();
      replacement.push_back(NodeEntry{top.key, top.recno, offsets[k]});
    }
  }
  parent->entries.erase(parent->entries.begin() + idx);
  parent->entries.insert(parent->entries.begin() + idx,
                         std::make_move_iterator(replacement.begin()),
                         std::make_move_iterator(replacement.end()));
  if (parent->entries.size() > cap) {
    return Split(tree, path, depth - 1, up.offset,
                 append && was_last && parent->right == kNoSibling);
  }
  return Status::OK();
}

// Remove ---------------------------------------------------------------------

Status CdxStore::Remove(const Tree& tree, std::string_view key, uint32_t recno,
                        bool* removed) {
  return Change(tree, key, recno, false, removed);
}

Status CdxStore::RemoveLocked(const Tree& tree, std::string_view key,
                              uint32_t recno, bool* removed) {
  std::vector<PathStep> path;
  uint32_t leaf_offset;
  std::shared_ptr<const Node> found;
  RETURN_IF_ERROR(
      Descend(tree, key, recno, false, &path, &leaf_offset, &found));
  const size_t pos = LowerBound(found->entries, key, recno, false);
  if (pos == found->entries.size() ||
      CompareToEntry(found->entries[pos], key, recno) != 0) {
    *removed = false;
    return Status::OK();
  }
  Node* leaf;
  RETURN_IF_ERROR(Mutable(tree, leaf_offset, &leaf));
  LeafErase(leaf, pos, tree.key_length, tree.pad);
  *removed = true;
  RETURN_IF_ERROR(Rebalance(tree, path, path.size(), leaf_offset));
  return FitAll(tree);
}

bool CdxStore::Underfull(const Tree& tree, const Node& node) const {
  // A leaf is merged with a neighbour only once it is a quarter full: a split
  // leaves two halves, and merging at one half would make a key that moves
  // back and forth across a leaf boundary split and merge the same leaves
  // over and over.
  if (node.leaf()) {
    return 4 * NodeLeafBytes(node, tree.key_length, tree.pad) <= kLeafArea;
  }
  return 2 * node.entries.size() <=
         static_cast<size_t>(InteriorCapacity(tree.key_length));
}

bool CdxStore::FitsMerged(const Tree& tree, const Node& a,
                          const Node& b) const {
  if (a.kind != b.kind) return false;
  if (!a.leaf()) {
    return a.entries.size() + b.entries.size() <=
           static_cast<size_t>(InteriorCapacity(tree.key_length));
  }
  return MergedLeafBytes(a.entries, b.entries, tree.key_length, tree.pad) <=
         kLeafArea;
}

Status CdxStore::Rebalance(const Tree& tree, const std::vector<PathStep>& path,
                           size_t depth, uint32_t offset) {
  if (depth == 0) return CollapseRoot(tree);
  std::shared_ptr<const Node> node;
  RETURN_IF_ERROR(GetNode(tree, offset, &node));
  const PathStep& up = path[depth - 1];
  const size_t idx = static_cast<size_t>(up.index);
  if (node->entries.empty()) {
    RETURN_IF_ERROR(Unlink(tree, offset));
    Free(offset);
    Node* parent;
    RETURN_IF_ERROR(Mutable(tree, up.offset, &parent));
    parent->entries.erase(parent->entries.begin() + idx);
    return Rebalance(tree, path, depth - 1, up.offset);
  }
  if (!Underfull(tree, *node)) return Status::OK();
  std::shared_ptr<const Node> parent_node;
  RETURN_IF_ERROR(GetNode(tree, up.offset, &parent_node));
  // Merge the right sibling into this node, or this node into the left
  // sibling; only siblings under the same parent, and only when the result
  // fits one node.
  for (int side : {+1, -1}) {
    if ((side > 0 && idx + 1 >= parent_node->entries.size()) ||
        (side < 0 && idx == 0)) {
      continue;
    }
    const size_t left_idx = side > 0 ? idx : idx - 1;
    const uint32_t left_off = parent_node->entries[left_idx].child;
    const uint32_t right_off = parent_node->entries[left_idx + 1].child;
    std::shared_ptr<const Node> left, right;
    RETURN_IF_ERROR(GetNode(tree, left_off, &left));
    RETURN_IF_ERROR(GetNode(tree, right_off, &right));
    if (!FitsMerged(tree, *left, *right)) continue;
    Node* target;
    RETURN_IF_ERROR(Mutable(tree, left_off, &target));
    target->entries.insert(target->entries.end(), right->entries.begin(),
                           right->entries.end());
    target->ForgetSize();
    RETURN_IF_ERROR(Unlink(tree, right_off));
    Free(right_off);
    Node* parent;
    RETURN_IF_ERROR(Mutable(tree, up.offset, &parent));
    parent->entries[left_idx].key = parent->entries[left_idx + 1].key;
    parent->entries[left_idx].recno = parent->entries[left_idx + 1].recno;
    parent->entries.erase(parent->entries.begin() + left_idx + 1);
    return Rebalance(tree, path, depth - 1, up.offset);
  }
  return Status::OK();
}

Status CdxStore::CollapseRoot(const Tree& tree) {
  for (int guard = 0; guard <= kMaxDepth; ++guard) {
    const uint32_t root_offset = root_of(tree);
    std::shared_ptr<const Node> root;
    RETURN_IF_ERROR(GetNode(tree, root_offset, &root));
    if (root->leaf() || root->entries.size() > 1) return Status::OK();
    Node* r;
    if (root->entries.empty()) {
      // Every child went: the root becomes an empty leaf.
      RETURN_IF_ERROR(Mutable(tree, root_offset, &r));
      r->kind = Node::Kind::kLeaf;
      r->left = r->right = kNoSibling;
      return Status::OK();
    }
    const uint32_t child = root->entries[0].child;
    RETURN_IF_ERROR(Mutable(tree, child, &r));
    r->root = true;
    r->left = r->right = kNoSibling;
    SetRoot(tree, child);
    Free(root_offset);
  }
  return Corrupt("tree is too deep");
}

// Whole indexes --------------------------------------------------------------

Status CdxStore::BulkBuild(const Tree& tree,
                           const std::vector<NodeEntry>& sorted,
                           uint32_t* root) {
  const int kl = tree.key_length;
  RunWriter writer(file_.get());
  uint8_t block[kBlockSize];
  std::vector<NodeEntry> level;  // bounds of the level just written
  const uint64_t base = file_end_;
  uint64_t next = base;
  auto take = [&](uint64_t* offset) -> Status {
    if (next + kBlockSize > kMaxFileSize) {
      return Status::IOError(name(), "index file would grow past 4 GB");
    }
    *offset = next;
    next += kBlockSize;
    return Status::OK();
  };

  // Leaves, each filled as far as it goes.
  size_t i = 0;
  do {
    const size_t begin = i;
    int64_t stored = 0;
    uint32_t max_recno = 0;
    while (i < sorted.size()) {
      const int add =
          StoredBytes(i == begin ? std::string_view() : std::string_view(sorted[i - 1].key),
                      sorted[i].key, kl, tree.pad);
      const uint32_t m = std::max(max_recno, sorted[i].recno);
      if (int64_t(i - begin + 1) * EntryBytes(kl, m) + stored + add >
              kLeafArea &&
          i > begin) {
        break;
      }
      stored += add;
      max_recno = m;
      ++i;
    }
    uint64_t offset = 0;
    RETURN_IF_ERROR(take(&offset));
    Node leaf;
    leaf.entries.assign(sorted.begin() + begin, sorted.begin() + i);
    leaf.left = begin == 0 ? kNoSibling : static_cast<uint32_t>(offset - kBlockSize);
    leaf.right = i < sorted.size() ? static_cast<uint32_t>(offset + kBlockSize)
                                   : kNoSibling;
    leaf.root = begin == 0 && i == sorted.size();
    EncodeNode(leaf, kl, tree.pad, block);
    RETURN_IF_ERROR(writer.Add(offset, block));
    if (!leaf.entries.empty()) {
      level.push_back(NodeEntry{leaf.entries.back().key,
                                leaf.entries.back().recno,
                                static_cast<uint32_t>(offset)});
    } else {
      level.push_back(NodeEntry{NodeKey(std::string(kl, char(tree.pad))), 0,
                                static_cast<uint32_t>(offset)});
    }
  } while (i < sorted.size());

  // Interior levels until one node is left.
  const size_t cap = static_cast<size_t>(InteriorCapacity(kl));
  while (level.size() > 1) {
    std::vector<NodeEntry> upper;
    const size_t count = (level.size() + cap - 1) / cap;
    for (size_t k = 0; k < count; ++k) {
      uint64_t offset = 0;
      RETURN_IF_ERROR(take(&offset));
      Node node;
      node.kind = Node::Kind::kInterior;
      const size_t begin = k * cap, end = std::min(level.size(), begin + cap);
      node.entries.assign(level.begin() + begin, level.begin() + end);
      node.left = k == 0 ? kNoSibling : static_cast<uint32_t>(offset - kBlockSize);
      node.right = k + 1 < count ? static_cast<uint32_t>(offset + kBlockSize)
                                 : kNoSibling;
      node.root = count == 1;
      EncodeNode(node, kl, tree.pad, block);
      RETURN_IF_ERROR(writer.Add(offset, block));
      upper.push_back(NodeEntry{node.entries.back().key,
                                node.entries.back().recno,
                                static_cast<uint32_t>(offset)});
    }
    level = std::move(upper);
  }
  RETURN_IF_ERROR(writer.Finish());
  *root = level.front().child;
  file_end_ = next;
  disk_size_ = std::max(disk_size_, writer.end());
  return Status::OK();
}

Status CdxStore::AddIndex(const Tree& dir, std::string_view dir_key,
                          const IndexHeader& header,
                          const std::vector<NodeEntry>& sorted, Tree* tree) {
  if (read_only_) return Status::InvalidArgument(name(), "bag is read-only");
  const uint64_t old_end = file_end_, old_disk = disk_size_;
  if (file_end_ + kHeaderSize + kBlockSize > kMaxFileSize) {
    return Status::IOError(name(), "index file would grow past 4 GB");
  }
  const uint32_t header_offset = static_cast<uint32_t>(file_end_);
  *tree = Tree{header_offset, header.key_length, tree->pad};
  file_end_ += kHeaderSize;
  auto undo = [&](Status s) {
    trees_.erase(header_offset);
    file_end_ = old_end;
    disk_size_ = old_disk;
    // Cut the file back to what it was; the blocks written were not yet
    // referenced by anything, so a failure here only leaves unused bytes.
    (void)file_->Truncate(old_disk);
    return s;
  };
  uint32_t root;
  Status s = BulkBuild(*tree, sorted, &root);
  if (!s.ok()) return undo(s);
  IndexHeader h = header;
  h.root = root;
  h.free_head = 0;
  uint8_t buf[kHeaderSize];
  EncodeHeader(h, buf);
  s = file_->WriteAt(header_offset, buf, kHeaderSize);
  if (!s.ok()) return undo(s);
  trees_[header_offset] =
      TreeState{root, header.key_length, tree->pad, false, ++version_};
  bool added = false;
  s = Insert(dir, dir_key, header_offset, &added);
  if (s.ok() && !added) {
    s = Status::InvalidArgument(name(), "tag directory already lists it");
  }
  if (!s.ok()) return undo(s);
  return Status::OK();
}

Status CdxStore::CollectNodes(const Tree& tree,
                              std::vector<uint32_t>* offsets) {
  std::vector<uint32_t> level{root_of(tree)};
  std::set<uint32_t> seen;
  for (int depth = 0; !level.empty(); ++depth) {
    if (depth > kMaxDepth) return Corrupt("tree is too deep");
    std::vector<uint32_t> below;
    for (uint32_t o : level) {
      if (!seen.insert(o).second) {
        return Corrupt("node at " + std::to_string(o) + " is reached twice");
      }
      std::shared_ptr<const Node> n;
      RETURN_IF_ERROR(GetNode(tree, o, &n));
      offsets->push_back(o);
      if (!n->leaf()) {
        for (const NodeEntry& e : n->entries) below.push_back(e.child);
      }
    }
    level = std::move(below);
  }
  return Status::OK();
}

Status CdxStore::DropIndex(const Tree& dir, std::string_view dir_key,
                           const Tree& tree) {
  if (read_only_) return Status::InvalidArgument(name(), "bag is read-only");
  Begin();
  bool removed = false;
  Status s = RemoveLocked(dir, dir_key, tree.header, &removed);
  if (s.ok() && !removed) {
    s = Corrupt("tag directory does not list the tag's header");
  }
  std::vector<uint32_t> offsets;
  if (s.ok()) s = CollectNodes(tree, &offsets);
  if (!s.ok()) {
    Abort();
    return s;
  }
  for (uint32_t o : offsets) Free(o);
  Free(tree.header);
  Free(tree.header + kBlockSize);
  trees_.erase(tree.header);
  Commit(dir.header);
  return Status::OK();
}

// Verify ---------------------------------------------------------------------

Status CdxStore::VerifyNode(const Tree& tree, uint32_t offset, int depth,
                            int* leaf_depth, const NodeEntry* low,
                            const NodeEntry* high,
                            std::vector<uint32_t>* leaves, uint64_t* entries,
                            std::map<uint32_t, int>* seen) {
  const std::string where = "node at " + std::to_string(offset);
  if (depth > kMaxDepth) return Corrupt("tree is too deep");
  if (!seen->emplace(offset, depth).second) {
    return Corrupt(where + " is reached twice");
  }
  std::shared_ptr<const Node> node;
  RETURN_IF_ERROR(GetNode(tree, offset, &node));
  // The root bit of the attributes is not checked: readers go by the
  // header's root pointer, and other writers may set the bit differently.
  if (!node->entries.empty()) {
    const NodeEntry& first = node->entries.front();
    const NodeEntry& last = node->entries.back();
    if (low && ComparePairs(first.key, first.recno, low->key, low->recno) <= 0) {
      return Corrupt(where + " holds a pair below its parent's range");
    }
    if (high && ComparePairs(last.key, last.recno, high->key, high->recno) > 0) {
      return Corrupt(where + " holds a pair above its parent's bound");
    }
  }
  if (node->leaf()) {
    if (!KeptSizeHolds(*node, tree.key_length, tree.pad)) {
      return Corrupt(where + ": the size kept in memory disagrees with its entries");
    }
    if (*leaf_depth < 0) *leaf_depth = depth;
    if (*leaf_depth != depth) return Corrupt(where + ": leaves on two levels");
    *entries += node->entries.size();
    leaves->push_back(offset);
    return Status::OK();
  }
  for (size_t i = 0; i < node->entries.size(); ++i) {
    RETURN_IF_ERROR(VerifyNode(tree, node->entries[i].child, depth + 1,
                               leaf_depth, i == 0 ? low : &node->entries[i - 1],
                               &node->entries[i], leaves, entries, seen));
  }
  return Status::OK();
}

Status CdxStore::Verify(const Tree& tree, int* depth, uint64_t* nodes,
                        uint64_t* entries) {
  *entries = 0;
  int leaf_depth = -1;
  std::vector<uint32_t> leaves;
  std::map<uint32_t, int> seen;
  RETURN_IF_ERROR(VerifyNode(tree, root_of(tree), 0, &leaf_depth, nullptr,
                             nullptr, &leaves, entries, &seen));
  *depth = leaf_depth + 1;
  *nodes = seen.size();
  // Sibling links: every level must be chained left to right in order.
  std::map<int, std::vector<uint32_t>> levels;
  for (const auto& [offset, depth] : seen) levels[depth].push_back(offset);
  // `seen` is ordered by offset, not by key; rebuild each level's key order
  // from the depth-first walk: leaves come in order, and interior levels
  // are checked through their links below.
  levels[leaf_depth] = leaves;
  for (auto& [depth, nodes] : levels) {
    if (depth != leaf_depth) {
      // Order interior nodes of a level by walking their own chain from the
      // leftmost one (the one without a left link).
      std::vector<uint32_t> chain;
      uint32_t start = kNoSibling;
      for (uint32_t o : nodes) {
        std::shared_ptr<const Node> n;
        RETURN_IF_ERROR(GetNode(tree, o, &n));
        if (n->left == kNoSibling) {
          if (start != kNoSibling) {
            return Corrupt("two nodes on level " + std::to_string(depth) +
                           " have no left sibling");
          }
          start = o;
        }
      }
      for (uint32_t o = start; o != kNoSibling && chain.size() <= nodes.size();) {
        chain.push_back(o);
        std::shared_ptr<const Node> n;
        RETURN_IF_ERROR(GetNode(tree, o, &n));
        o = n->right;
      }
      if (chain.size() != nodes.size() ||
          std::set<uint32_t>(chain.begin(), chain.end()) !=
              std::set<uint32_t>(nodes.begin(), nodes.end())) {
        return Corrupt("sibling chain of level " + std::to_string(depth) +
                       " does not hold exactly the nodes of that level");
      }
      nodes = chain;
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
      std::shared_ptr<const Node> n;
      RETURN_IF_ERROR(GetNode(tree, nodes[i], &n));
      const uint32_t left = i == 0 ? kNoSibling : nodes[i - 1];
      const uint32_t right = i + 1 == nodes.size() ? kNoSibling : nodes[i + 1];
      if (n->left != left || n->right != right) {
        return Corrupt("node at " + std::to_string(nodes[i]) +
                       " has wrong sibling links");
      }
    }
  }
  return Status::OK();
}

// Writing out ----------------------------------------------------------------

Status CdxStore::WriteBack() {
  std::vector<uint32_t> dirty;
  dirty.reserve(dirty_count_);
  for (const auto& [offset, slot] : cache_) {
    if (slot.dirty) dirty.push_back(offset);
  }
  std::sort(dirty.begin(), dirty.end());
  RunWriter writer(file_.get());
  std::vector<uint32_t> run;  // offsets in the writer, not yet on disk
  auto settle = [&]() -> Status {
    RETURN_IF_ERROR(writer.Finish());
    for (uint32_t o : run) {
      Slot& slot = cache_[o];
      slot.dirty = false;
      --dirty_count_;
      lru_.push_front(o);
      slot.lru = lru_.begin();
      slot.in_lru = true;
    }
    run.clear();
    disk_size_ = std::max(disk_size_, writer.end());
    return Status::OK();
  };
  uint8_t block[kBlockSize];
  for (uint32_t o : dirty) {
    const Slot& slot = cache_[o];
    if (slot.node->kind == Node::Kind::kFree) {
      EncodeNode(*slot.node, 0, 0, block);
    } else {
      auto t = trees_.find(slot.owner);
      // The kept size is an upper bound, and every change keeps it within
      // a node, so it serves here without counting the entries again.
      if (t != trees_.end() && slot.node->leaf() &&
          NodeLeafBytes(*slot.node, t->second.key_length, t->second.pad) > kLeafArea) {
        // Every change splits such leaves (FitAll); never write one.
        RETURN_IF_ERROR(settle());
        return Corrupt("leaf at " + std::to_string(o) + " is too full to write");
      }
      if (t == trees_.end()) {
        // A node of a tree dropped meanwhile that nothing reaches any more.
        cache_.erase(o);
        --dirty_count_;
        continue;
      }
      EncodeNode(*slot.node, t->second.key_length, t->second.pad, block);
    }
    if (!run.empty() && (o != run.back() + kBlockSize || run.size() >= kWriteRun)) {
      RETURN_IF_ERROR(settle());
    }
    RETURN_IF_ERROR(writer.Add(o, block));
    run.push_back(o);
  }
  RETURN_IF_ERROR(settle());
  Evict();
  // Headers last: roots and the free list then point at written nodes.
  for (auto& [offset, state] : trees_) {
    if (!state.root_dirty) continue;
    uint8_t root[4];
    StoreLE32(root, state.root);
    RETURN_IF_ERROR(file_->WriteAt(offset, root, sizeof root));
    state.root_dirty = false;
  }
  if (free_dirty_) {
    uint8_t head[4];
    StoreLE32(head, free_head_);
    RETURN_IF_ERROR(file_->WriteAt(4, head, sizeof head));
    free_dirty_ = false;
  }
  return Status::OK();
}

Status CdxStore::Flush(bool sync) {
  if (read_only_) return Status::OK();
  RETURN_IF_ERROR(WriteBack());
  return sync ? file_->Sync() : Status::OK();
}

}  // namespace rt::tables::cdx

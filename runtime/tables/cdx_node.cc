// Byte layouts of index headers and nodes (see doc/index_format.md).
#include "runtime/tables/cdx_node.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace rt::tables::cdx {
namespace {

uint16_t LoadLE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void StoreLE16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
uint32_t LoadBE32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 |
         uint32_t(p[3]);
}
void StoreBE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

// Number of bits needed to hold `v` (0 for 0).
int BitLength(uint64_t v) { return static_cast<int>(std::bit_width(v)); }

uint32_t Mask(int bits) {
  return bits >= 32 ? 0xFFFFFFFFu : (uint32_t(1) << bits) - 1;
}

// The packed-entry widths of a leaf.
struct LeafWidths {
  int record_bits;  // R
  int dup_bits;     // D
  int trail_bits;   // T
  int entry_bytes;  // N
};

// Widths a writer uses: D = T = bits of the key length, N the smallest
// entry size whose remaining bits hold the largest record number, R every
// remaining bit (capped by the 4-byte record mask).
LeafWidths ChooseWidths(int key_length, uint32_t max_recno) {
  LeafWidths w;
  w.dup_bits = w.trail_bits = BitLength(uint64_t(key_length));
  const int need = std::max(1, BitLength(max_recno));
  w.entry_bytes = 1;
  while (8 * w.entry_bytes - w.dup_bits - w.trail_bits < need) ++w.entry_bytes;
  w.record_bits =
      std::min(32, 8 * w.entry_bytes - w.dup_bits - w.trail_bits);
  return w;
}

int TrailCount(std::string_view key, uint8_t pad) {
  int n = 0;
  for (size_t i = key.size(); i > 0 && uint8_t(key[i - 1]) == pad; --i) ++n;
  return n;
}

int CommonPrefix(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return static_cast<int>(i);
}

// dup and trail of entry `i` of a leaf whose first entry is `begin`.
void Compress(const std::vector<NodeEntry>& entries, size_t begin, size_t i,
              int key_length, uint8_t pad, int* dup, int* trail) {
  *trail = TrailCount(entries[i].key, pad);
  *dup = 0;
  if (i > begin) {
    *dup = std::min(CommonPrefix(entries[i - 1].key, entries[i].key),
                    key_length - *trail);
  }
}

Status NodeCorruption(uint32_t offset, const std::string& why) {
  return Status::Corruption("index node at " + std::to_string(offset), why);
}

Status CheckLink(uint32_t offset, uint32_t link, const Bounds& bounds,
                 const char* what) {
  if (link == kNoSibling || bounds.Valid(link)) return Status::OK();
  return NodeCorruption(offset, std::string(what) + " " +
                                    std::to_string(link) +
                                    " points outside the file");
}

Status DecodeLeaf(const uint8_t* b, uint32_t offset, int key_length,
                  uint8_t pad, int count, Node* node) {
  const uint32_t rec_mask = LoadLE32(b + 14);
  const uint8_t dup_mask = b[18], trail_mask = b[19];
  const int r = b[20], d = b[21], t = b[22], n = b[23];
  if (n < 1 || n > 8 || r < 1 || r > 32 || d > 8 || t > 8 ||
      r + d + t > 8 * n) {
    return NodeCorruption(offset, "leaf entry widths are inconsistent");
  }
  if (rec_mask != Mask(r) || dup_mask != Mask(d) || trail_mask != Mask(t)) {
    return NodeCorruption(offset, "leaf masks do not match their widths");
  }
  if (count * n > kLeafArea) {
    return NodeCorruption(offset, "key count past the end of the leaf");
  }
  const int table_end = kLeafHeaderSize + count * n;
  int pos = static_cast<int>(kBlockSize);
  node->entries.resize(count);
  // Each key is rebuilt over the previous one, whose first `dup` bytes it
  // shares.
  std::string key(static_cast<size_t>(key_length), '\0');
  for (int i = 0; i < count; ++i) {
    uint64_t v = 0;
    const uint8_t* e = b + kLeafHeaderSize + i * n;
    for (int k = n - 1; k >= 0; --k) v = v << 8 | e[k];
    const uint32_t recno = static_cast<uint32_t>(v & rec_mask);
    const int dup = static_cast<int>((v >> r) & dup_mask);
    const int trail = static_cast<int>((v >> (r + d)) & trail_mask);
    if (dup + trail > key_length || (i == 0 && dup != 0)) {
      return NodeCorruption(offset, "leaf entry " + std::to_string(i) +
                                        " has bad duplicate/trail counts");
    }
    const int stored = key_length - dup - trail;
    pos -= stored;
    if (pos < table_end) {
      return NodeCorruption(offset,
                            "leaf key bytes overlap the entry table");
    }
    if (recno == 0) {
      return NodeCorruption(offset, "leaf entry " + std::to_string(i) +
                                        " has record number 0");
    }
    std::memcpy(key.data() + dup, b + pos, static_cast<size_t>(stored));
    std::memset(key.data() + dup + stored, pad, static_cast<size_t>(trail));
    node->entries[i].key = std::string_view(key);
    node->entries[i].recno = recno;
    if (i > 0 && ComparePairs(node->entries[i - 1].key,
                              node->entries[i - 1].recno, key, recno) >= 0) {
      return NodeCorruption(offset, "leaf keys out of order at entry " +
                                        std::to_string(i));
    }
  }
  return Status::OK();
}

Status DecodeInterior(const uint8_t* b, uint32_t offset, int key_length,
                      int count, const Bounds& bounds, Node* node) {
  if (count < 1 || count > InteriorCapacity(key_length)) {
    return NodeCorruption(offset, "interior key count " +
                                      std::to_string(count) +
                                      " does not fit the node");
  }
  node->entries.resize(count);
  const uint8_t* e = b + kNodeHeaderSize;
  for (int i = 0; i < count; ++i, e += key_length + 8) {
    NodeEntry& entry = node->entries[i];
    entry.key = std::string_view(reinterpret_cast<const char*>(e),
                                 static_cast<size_t>(key_length));
    entry.recno = LoadBE32(e + key_length);
    entry.child = LoadBE32(e + key_length + 4);
    if (!bounds.Valid(entry.child) || entry.child == offset) {
      return NodeCorruption(offset, "child pointer " +
                                        std::to_string(entry.child) +
                                        " is not a node of the file");
    }
    if (i > 0 && ComparePairs(node->entries[i - 1].key,
                              node->entries[i - 1].recno, entry.key,
                              entry.recno) > 0) {
      return NodeCorruption(offset, "interior keys out of order at entry " +
                                        std::to_string(i));
    }
  }
  return Status::OK();
}

}  // namespace

Status DecodeNode(const uint8_t* block, uint32_t offset, int key_length,
                  uint8_t pad, const Bounds& bounds, Node* node) {
  const uint16_t attr = LoadLE16(block);
  const int count = LoadLE16(block + 2);
  node->entries.clear();
  node->next_free = 0;
  node->root = (attr & kAttrRoot) != 0;
  node->left = LoadLE32(block + 4);
  node->right = LoadLE32(block + 8);
  Status s = CheckLink(offset, node->left, bounds, "left sibling");
  if (s.ok()) s = CheckLink(offset, node->right, bounds, "right sibling");
  if (!s.ok()) return s;
  if (node->left == offset || node->right == offset) {
    return NodeCorruption(offset, "node is its own sibling");
  }
  if (attr & kAttrLeaf) {
    node->kind = Node::Kind::kLeaf;
    return DecodeLeaf(block, offset, key_length, pad, count, node);
  }
  node->kind = Node::Kind::kInterior;
  return DecodeInterior(block, offset, key_length, count, bounds, node);
}

Status DecodeFreeBlock(const uint8_t* block, uint32_t offset,
                       const Bounds& bounds, Node* node) {
  // A live node always has a non-zero byte after its first four (the leaf
  // masks, or the sibling links of an interior node), so requiring zeros
  // there keeps a damaged free list from handing out a live node.
  for (uint32_t i = 4; i < kBlockSize; ++i) {
    if (block[i] != 0) {
      return NodeCorruption(offset, "free-list entry is not a free block");
    }
  }
  uint32_t next = LoadLE32(block);
  if (next == kNoSibling) next = 0;
  if (next != 0 && !bounds.Valid(next)) {
    return NodeCorruption(offset, "free-list link points outside the file");
  }
  node->kind = Node::Kind::kFree;
  node->root = false;
  node->left = node->right = kNoSibling;
  node->next_free = next;
  node->entries.clear();
  return Status::OK();
}

int EntryBytes(int key_length, uint32_t max_recno) {
  return ChooseWidths(key_length, max_recno).entry_bytes;
}

int StoredBytes(std::string_view prev, std::string_view key, int key_length,
                uint8_t pad) {
  const int trail = TrailCount(key, pad);
  const int dup =
      prev.empty() ? 0 : std::min(CommonPrefix(prev, key), key_length - trail);
  return key_length - dup - trail;
}

int LeafBytes(const std::vector<NodeEntry>& entries, size_t begin, size_t end,
              int key_length, uint8_t pad) {
  uint32_t max_recno = 0;
  int stored = 0;
  for (size_t i = begin; i < end; ++i) {
    max_recno = std::max(max_recno, entries[i].recno);
    int dup, trail;
    Compress(entries, begin, i, key_length, pad, &dup, &trail);
    stored += key_length - dup - trail;
  }
  const LeafWidths w = ChooseWidths(key_length, max_recno);
  return static_cast<int>(end - begin) * w.entry_bytes + stored;
}

int NodeLeafBytes(const Node& leaf, int key_length, uint8_t pad) {
  if (leaf.stored < 0) {
    leaf.stored = 0;
    leaf.max_recno = 0;
    const NodeKey* prev = nullptr;
    for (const NodeEntry& e : leaf.entries) {
      leaf.stored += StoredBytes(prev ? std::string_view(*prev) : std::string_view(),
                                 e.key, key_length, pad);
      leaf.max_recno = std::max(leaf.max_recno, e.recno);
      prev = &e.key;
    }
  }
  const LeafWidths w = ChooseWidths(key_length, leaf.max_recno);
  return static_cast<int>(leaf.entries.size()) * w.entry_bytes + leaf.stored;
}

bool KeptSizeHolds(const Node& leaf, int key_length, uint8_t pad) {
  if (leaf.stored < 0) return true;
  Node fresh;
  fresh.entries = leaf.entries;
  NodeLeafBytes(fresh, key_length, pad);
  return fresh.stored == leaf.stored && fresh.max_recno <= leaf.max_recno;
}

namespace {

// Stored bytes of entry i of `entries` given its predecessor there.
int StoredAt(const std::vector<NodeEntry>& entries, size_t i, int key_length,
             uint8_t pad) {
  return StoredBytes(i == 0 ? std::string_view() : std::string_view(entries[i - 1].key),
                     entries[i].key, key_length, pad);
}

}  // namespace

void LeafInsert(Node* leaf, size_t pos, NodeEntry entry, int key_length,
                uint8_t pad) {
  auto& entries = leaf->entries;
  const bool known = leaf->stored >= 0;
  if (known && pos < entries.size()) leaf->stored -= StoredAt(entries, pos, key_length, pad);
  const uint32_t recno = entry.recno;
  entries.insert(entries.begin() + pos, std::move(entry));
  if (!known) return;
  leaf->stored += StoredAt(entries, pos, key_length, pad);
  if (pos + 1 < entries.size()) leaf->stored += StoredAt(entries, pos + 1, key_length, pad);
  leaf->max_recno = std::max(leaf->max_recno, recno);
}

void LeafErase(Node* leaf, size_t pos, int key_length, uint8_t pad) {
  auto& entries = leaf->entries;
  if (leaf->stored < 0) {
    entries.erase(entries.begin() + pos);
    return;
  }
  leaf->stored -= StoredAt(entries, pos, key_length, pad);
  if (pos + 1 < entries.size()) leaf->stored -= StoredAt(entries, pos + 1, key_length, pad);
  entries.erase(entries.begin() + pos);
  if (pos < entries.size()) leaf->stored += StoredAt(entries, pos, key_length, pad);
  // max_recno stays as it was: an upper bound of the record numbers left,
  // which can only make the kept size a little high, never too low.
}

int MergedLeafBytes(const std::vector<NodeEntry>& a,
                    const std::vector<NodeEntry>& b, int key_length,
                    uint8_t pad) {
  uint32_t max_recno = 0;
  int stored = 0;
  const NodeEntry* prev = nullptr;
  for (const auto* list : {&a, &b}) {
    for (const NodeEntry& e : *list) {
      max_recno = std::max(max_recno, e.recno);
      const int trail = TrailCount(e.key, pad);
      const int dup =
          prev ? std::min(CommonPrefix(prev->key, e.key), key_length - trail) : 0;
      stored += key_length - dup - trail;
      prev = &e;
    }
  }
  const LeafWidths w = ChooseWidths(key_length, max_recno);
  return static_cast<int>(a.size() + b.size()) * w.entry_bytes + stored;
}

int InteriorCapacity(int key_length) {
  return kInteriorArea / (key_length + 8);
}

void EncodeNode(const Node& node, int key_length, uint8_t pad,
                uint8_t* block) {
  std::memset(block, 0, kBlockSize);
  if (node.kind == Node::Kind::kFree) {
    StoreLE32(block, node.next_free);
    return;
  }
  uint16_t attr = node.root ? kAttrRoot : 0;
  if (node.leaf()) attr |= kAttrLeaf;
  StoreLE16(block, attr);
  StoreLE16(block + 2, static_cast<uint16_t>(node.entries.size()));
  StoreLE32(block + 4, node.left);
  StoreLE32(block + 8, node.right);
  if (!node.leaf()) {
    uint8_t* e = block + kNodeHeaderSize;
    for (const NodeEntry& entry : node.entries) {
      std::memcpy(e, entry.key.data(), key_length);
      StoreBE32(e + key_length, entry.recno);
      StoreBE32(e + key_length + 4, entry.child);
      e += key_length + 8;
    }
    return;
  }
  uint32_t max_recno = 0;
  for (const NodeEntry& entry : node.entries) {
    max_recno = std::max(max_recno, entry.recno);
  }
  const LeafWidths w = ChooseWidths(key_length, max_recno);
  StoreLE32(block + 14, Mask(w.record_bits));
  block[18] = static_cast<uint8_t>(Mask(w.dup_bits));
  block[19] = static_cast<uint8_t>(Mask(w.trail_bits));
  block[20] = static_cast<uint8_t>(w.record_bits);
  block[21] = static_cast<uint8_t>(w.dup_bits);
  block[22] = static_cast<uint8_t>(w.trail_bits);
  block[23] = static_cast<uint8_t>(w.entry_bytes);
  int pos = static_cast<int>(kBlockSize);
  int used = 0;
  const size_t count = node.entries.size();
  for (size_t i = 0; i < count; ++i) {
    int dup, trail;
    Compress(node.entries, 0, i, key_length, pad, &dup, &trail);
    const int stored = key_length - dup - trail;
    pos -= stored;
    std::memcpy(block + pos, node.entries[i].key.data() + dup, stored);
    const uint64_t v = uint64_t(node.entries[i].recno) |
                       uint64_t(dup) << w.record_bits |
                       uint64_t(trail) << (w.record_bits + w.dup_bits);
    uint8_t* e = block + kLeafHeaderSize + i * w.entry_bytes;
    for (int k = 0; k < w.entry_bytes; ++k) e[k] = uint8_t(v >> (8 * k));
    used += w.entry_bytes + stored;
  }
  StoreLE16(block + 12, static_cast<uint16_t>(kLeafArea - used));
}

Status DecodeHeader(const uint8_t* buf, const Bounds& bounds,
                    IndexHeader* header) {
  header->root = LoadLE32(buf);
  header->free_head = LoadLE32(buf + 4);
  if (header->free_head == kNoSibling) header->free_head = 0;
  header->key_length = LoadLE16(buf + 12);
  header->options = buf[14];
  header->descending = LoadLE16(buf + 502) != 0;
  if (header->key_length < 1 || header->key_length > 240) {
    return Status::Corruption("index header", "key length " +
                                                  std::to_string(header->key_length) +
                                                  " is not in 1..240");
  }
  if ((header->options & kOptionCompact) == 0) {
    return Status::Corruption(
        "index header",
        "the index uses the old uncompressed layout, which is not supported");
  }
  if (!bounds.Valid(header->root)) {
    return Status::Corruption("index header",
                              "root pointer " + std::to_string(header->root) +
                                  " is not a node of the file");
  }
  if (header->free_head != 0 && !bounds.Valid(header->free_head)) {
    return Status::Corruption("index header",
                              "free-list head points outside the file");
  }
  const int key_len = LoadLE16(buf + 510);
  const int for_len = LoadLE16(buf + 506);
  if (key_len + for_len > kPoolSize) {
    return Status::Corruption("index header",
                              "expression lengths exceed the pool");
  }
  // Both texts end at their NUL, or at their stated length.
  const char* pool = reinterpret_cast<const char*>(buf + kBlockSize);
  auto text = [](const char* p, int n) {
    return std::string(p, strnlen(p, static_cast<size_t>(n)));
  };
  header->key_expression = text(pool, key_len);
  header->for_expression =
      (header->options & kOptionFor) ? text(pool + key_len, for_len) : "";
  return Status::OK();
}

void EncodeHeader(const IndexHeader& header, uint8_t* buf) {
  std::memset(buf, 0, kHeaderSize);
  StoreLE32(buf, header.root);
  StoreLE32(buf + 4, header.free_head);
  StoreLE16(buf + 12, static_cast<uint16_t>(header.key_length));
  buf[14] = header.options;
  buf[15] = 1;  // signature
  StoreLE16(buf + 502, header.descending ? 1 : 0);
  const uint16_t key_len =
      static_cast<uint16_t>(header.key_expression.size() + 1);
  const uint16_t for_len =
      static_cast<uint16_t>(header.for_expression.size() + 1);
  // 504 repeats the key-expression length, as in the files we have seen.
  StoreLE16(buf + 504, key_len);
  StoreLE16(buf + 506, for_len);
  StoreLE16(buf + 510, key_len);
  uint8_t* pool = buf + kBlockSize;
  std::memcpy(pool, header.key_expression.data(), header.key_expression.size());
  std::memcpy(pool + key_len, header.for_expression.data(),
              header.for_expression.size());
}

}  // namespace rt::tables::cdx

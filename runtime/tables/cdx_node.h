// The byte layouts of a compound index file: the 1024-byte index header and
// the 512-byte tree nodes (compressed leaves, interior nodes, free blocks).
// Pure conversions between bytes and structs, with every check a reader
// needs so that damaged bytes give a Corruption status and never a crash.
// doc/index_format.md describes the layouts.
#ifndef RUNTIME_TABLES_CDX_NODE_H_
#define RUNTIME_TABLES_CDX_NODE_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/tables/status.h"

namespace rt::tables::cdx {

// DO NOT CHANGE THESE: they are fixed by the file format.
constexpr uint32_t kBlockSize = 512;
constexpr uint32_t kHeaderSize = 1024;       // an index header is two blocks
constexpr uint32_t kNoSibling = 0xFFFFFFFF;  // sibling link "none"
constexpr int kNodeHeaderSize = 12;
constexpr int kLeafHeaderSize = 24;
constexpr int kLeafArea = 488;      // entry table + key bytes of a leaf
constexpr int kInteriorArea = 500;  // entries of an interior node
constexpr int kPoolSize = 512;      // expression pool of an index header

// Header option bits.
constexpr uint8_t kOptionUnique = 0x01;
constexpr uint8_t kOptionFor = 0x08;
constexpr uint8_t kOptionCompact = 0x20;
constexpr uint8_t kOptionCompound = 0x40;
constexpr uint8_t kOptionDirectory = 0x80;

// Node attribute bits.
constexpr uint16_t kAttrRoot = 0x01;
constexpr uint16_t kAttrLeaf = 0x02;

// Deepest tree a reader follows; deeper means a damaged (cyclic) tree.
constexpr int kMaxDepth = 32;

// The bytes of one key.  Keys of up to kInline bytes (dates, numbers, most
// codes) are held in the object itself, so that shifting the entries of a
// node to insert or erase one moves a few words per entry instead of going
// through a string's copy; longer keys live on the heap.
class NodeKey {
 public:
  static constexpr size_t kInline = 16;

  NodeKey() = default;
  NodeKey(std::string_view bytes) { Assign(bytes); }  // NOLINT: implicit
  NodeKey(const NodeKey& other) { Assign(other); }
  NodeKey(NodeKey&& other) noexcept { Take(other); }
  NodeKey& operator=(const NodeKey& other) {
    if (this != &other) {
      Release();
      Assign(other);
    }
    return *this;
  }
  NodeKey& operator=(NodeKey&& other) noexcept {
    if (this != &other) {
      Release();
      Take(other);
    }
    return *this;
  }
  ~NodeKey() { Release(); }

  const char* data() const { return size_ <= kInline ? bytes_ : heap_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  char operator[](size_t i) const { return data()[i]; }
  const char* begin() const { return data(); }
  const char* end() const { return data() + size_; }
  operator std::string_view() const { return {data(), size_}; }  // NOLINT
  std::string str() const { return std::string(data(), size_); }

  friend bool operator==(const NodeKey& a, const NodeKey& b) {
    return std::string_view(a) == std::string_view(b);
  }
  friend bool operator==(const NodeKey& a, std::string_view b) {
    return std::string_view(a) == b;
  }

 private:
  void Assign(std::string_view bytes) {
    size_ = bytes.size();
    if (size_ <= kInline) {
      if (size_ != 0) std::memcpy(bytes_, bytes.data(), size_);
    } else {
      heap_ = new char[size_];
      std::memcpy(heap_, bytes.data(), size_);
    }
  }
  void Take(NodeKey& other) {
    size_ = other.size_;
    std::memcpy(bytes_, other.bytes_, kInline);  // the bytes, or the pointer
    other.size_ = 0;
  }
  void Release() {
    if (size_ > kInline) delete[] heap_;
    size_ = 0;
  }

  union {
    char bytes_[kInline] = {};
    char* heap_;
  };
  size_t size_ = 0;
};

// One entry of a node.  In a leaf `key` is the full rebuilt key and `child`
// is unused; in an interior node (key, recno) is an upper bound of the
// pairs in the subtree at `child`.
struct NodeEntry {
  NodeKey key;
  uint32_t recno = 0;
  uint32_t child = 0;
};

struct Node {
  enum class Kind : uint8_t { kLeaf, kInterior, kFree };
  Kind kind = Kind::kLeaf;
  bool root = false;
  uint32_t left = kNoSibling;
  uint32_t right = kNoSibling;
  uint32_t next_free = 0;  // kFree only: the next free block, 0 = none
  std::vector<NodeEntry> entries;

  // For a leaf: the stored key bytes of `entries` and an upper bound of
  // their record numbers (erasing does not lower it), kept so that the
  // leaf's size need not be recomputed from every entry after each change;
  // `stored` < 0 means not known.  Change a leaf's
  // entries only through LeafInsert / LeafErase, or call ForgetSize after.
  mutable int stored = -1;
  mutable uint32_t max_recno = 0;

  bool leaf() const { return kind == Kind::kLeaf; }
  void ForgetSize() { stored = -1; }
};

// Three-way comparison of (key, recno) pairs: unsigned bytes, then recno.
// Inline: every search of a tree runs it at each step.
inline int ComparePairs(std::string_view a_key, uint32_t a_recno,
                        std::string_view b_key, uint32_t b_recno) {
  const size_t n = std::min(a_key.size(), b_key.size());
  const int c = n == 0 ? 0 : std::memcmp(a_key.data(), b_key.data(), n);
  if (c != 0) return c < 0 ? -1 : 1;
  if (a_key.size() != b_key.size()) return a_key.size() < b_key.size() ? -1 : 1;
  if (a_recno != b_recno) return a_recno < b_recno ? -1 : 1;
  return 0;
}

// Where the nodes of a tree may lie: a pointer is valid when it is a
// multiple of the block size, past the directory header (the first
// kHeaderSize bytes) and below `end`.
struct Bounds {
  uint64_t end = 0;
  bool Valid(uint64_t offset) const {
    return offset % kBlockSize == 0 && offset >= kHeaderSize &&
           offset + kBlockSize <= end;
  }
};

// Decodes the node at file offset `offset` from `block` (kBlockSize bytes)
// as a leaf or an interior node, by its attribute bits.  Checks the widths
// and masks of a leaf, that key bytes stay out of the entry table, that
// entries are in strictly ascending pair order, and that every link lies
// within `bounds`.
Status DecodeNode(const uint8_t* block, uint32_t offset, int key_length,
                  uint8_t pad, const Bounds& bounds, Node* node);
// Decodes a block that the free list says is free: a 4-byte link and zeros.
Status DecodeFreeBlock(const uint8_t* block, uint32_t offset,
                       const Bounds& bounds, Node* node);

// Bytes per packed leaf entry when the largest record number of the leaf
// is `max_recno`.
int EntryBytes(int key_length, uint32_t max_recno);
// Key bytes a leaf stores for `key` right after `prev` (empty for the first
// entry of a leaf): the key less the bytes shared with `prev` and the
// trailing pad bytes.
int StoredBytes(std::string_view prev, std::string_view key, int key_length,
                uint8_t pad);

// Bytes of the leaf area (entry table plus stored key bytes) that the
// entries [begin, end) take as one leaf; the leaf fits when this is at most
// kLeafArea.
int LeafBytes(const std::vector<NodeEntry>& entries, size_t begin, size_t end,
              int key_length, uint8_t pad);
// LeafBytes of a whole leaf, from its kept size when known.
int NodeLeafBytes(const Node& leaf, int key_length, uint8_t pad);
// Whether a leaf's kept size (when known) agrees with its entries.
bool KeptSizeHolds(const Node& leaf, int key_length, uint8_t pad);
// Inserts / erases entry `pos` of a leaf, keeping its size up to date.
void LeafInsert(Node* leaf, size_t pos, NodeEntry entry, int key_length,
                uint8_t pad);
void LeafErase(Node* leaf, size_t pos, int key_length, uint8_t pad);

// LeafBytes of the entries of `a` followed by those of `b`, as one leaf (what
// merging two neighbouring leaves would take), without building the list.
int MergedLeafBytes(const std::vector<NodeEntry>& a,
                    const std::vector<NodeEntry>& b, int key_length,
                    uint8_t pad);
// Largest number of interior entries per node for a key length.
int InteriorCapacity(int key_length);

// Encodes `node` into `block` (kBlockSize bytes).  REQUIRES: the node fits
// (LeafBytes <= kLeafArea, or count <= InteriorCapacity) and every key is
// key_length bytes.
void EncodeNode(const Node& node, int key_length, uint8_t pad,
                uint8_t* block);

// The 1024-byte header of one index (the tag directory or a tag).
struct IndexHeader {
  uint32_t root = 0;
  uint32_t free_head = 0;  // 0 (or 0xFFFFFFFF on disk) = empty
  int key_length = 0;
  uint8_t options = 0;
  bool descending = false;
  std::string key_expression;
  std::string for_expression;
};

// Decodes and checks a header read from `buf` (kHeaderSize bytes).
Status DecodeHeader(const uint8_t* buf, const Bounds& bounds,
                    IndexHeader* header);
// Encodes a whole new header.  REQUIRES: the expressions fit the pool.
void EncodeHeader(const IndexHeader& header, uint8_t* buf);

// Little-endian helpers shared by the store.
inline uint32_t LoadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
         uint32_t(p[3]) << 24;
}
inline void StoreLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

}  // namespace rt::tables::cdx

#endif  // RUNTIME_TABLES_CDX_NODE_H_

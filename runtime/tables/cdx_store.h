// The block store and B+-tree operations behind IndexBag.  Private to the
// order-bag engine (index_bag.cc); see index_bag.h for the public face.
//
// Nodes are read through a small cache of decoded nodes.  Every change runs
// as one operation: the nodes it touches are copied into a pending set and
// only become the cache's (dirty) nodes when the whole operation succeeded,
// so a read error half-way through a split leaves the tree as it was.  The
// common change that stays within one leaf, which cannot fail once the leaf
// is read, skips the copies and is made on the cached leaf directly.
// Dirty nodes are written by Flush() (and written back early, without a
// sync, when too many pile up).
//
// Trees.  Interior entries hold an upper bound of their child's pairs (the
// child's last pair when written here); a search descends into the first
// entry whose bound is not below the target, or the last entry.  Leaves of
// one level are chained by sibling links in key order.
#ifndef RUNTIME_TABLES_CDX_STORE_H_
#define RUNTIME_TABLES_CDX_STORE_H_

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/tables/cdx_node.h"
#include "runtime/tables/file.h"
#include "runtime/tables/status.h"

namespace rt::tables::cdx {

// One tree of the file: the tag directory (header 0) or a tag.
struct Tree {
  uint32_t header = 0;  // offset of the index header
  int key_length = 0;
  uint8_t pad = 0x20;
};

// A position on a leaf entry; `leaf == 0` means "not on an entry".
struct Position {
  uint32_t leaf = 0;
  int index = 0;
  std::shared_ptr<const Node> node;  // keeps the leaf alive while used

  bool valid() const { return leaf != 0; }
  const NodeEntry& entry() const { return node->entries[index]; }
};

class CdxStore {
 public:
  CdxStore(std::unique_ptr<File> file, bool read_only);
  ~CdxStore();

  // Reads the file size.  Call once before anything else.
  Status Init();
  // Empties the file and writes an empty bag: the directory header at 0
  // (key length `dir_key_length`) and its empty root leaf.  Syncs.
  Status InitEmptyBag(int dir_key_length);

  const std::string& name() const { return file_->name(); }
  bool read_only() const { return read_only_; }
  // Changes with every successful change of `tree` (and with nothing
  // else); cursors on the tree compare it to know their position holds.
  uint64_t version(const Tree& tree) const;

  // Reads and checks the index header at `offset` and makes its tree known
  // (root, key length, and the pad byte given).  For offset 0 the free-list
  // head is taken from it too.
  Status OpenIndex(uint32_t offset, uint8_t pad, IndexHeader* header,
                   Tree* tree);
  // Changes the pad byte of a known tree (cached nodes are re-read).
  void SetPad(Tree* tree, uint8_t pad);

  // Reading.  Each leaves `pos` invalid when there is no such entry.
  Status First(const Tree& tree, Position* pos);
  Status Last(const Tree& tree, Position* pos);
  // First pair >= (key, recno), or > it when `strict`.
  Status Seek(const Tree& tree, std::string_view key, uint32_t recno,
              bool strict, Position* pos);
  // One entry on / back.  REQUIRES: pos->valid() and no change since pos
  // was made.
  Status Next(const Tree& tree, Position* pos);
  Status Prev(const Tree& tree, Position* pos);
  // Checks every node of the tree (see IndexBag::Verify); gives its depth
  // and its numbers of nodes and entries.
  Status Verify(const Tree& tree, int* depth, uint64_t* nodes,
                uint64_t* entries);

  // Writing (each one operation, all or nothing).
  Status Insert(const Tree& tree, std::string_view key, uint32_t recno,
                bool* added);
  Status Remove(const Tree& tree, std::string_view key, uint32_t recno,
                bool* removed);
  // Writes a new index at the end of the file: header (from `header`, root
  // filled in here) and a tree bulk-built from `sorted` (strictly ascending
  // pairs), then adds (dir_key, header offset) to the directory tree `dir`.
  // On failure nothing is added and the file is cut back.
  Status AddIndex(const Tree& dir, std::string_view dir_key,
                  const IndexHeader& header,
                  const std::vector<NodeEntry>& sorted, Tree* tree);
  // Removes (dir_key, tree.header) from the directory and frees every block
  // of `tree`, header included.
  Status DropIndex(const Tree& dir, std::string_view dir_key,
                   const Tree& tree);

  // Writes every dirty node and header; syncs when `sync`.
  Status Flush(bool sync);

 private:
  struct Slot {
    std::shared_ptr<Node> node;
    uint32_t owner = 0;  // header of the tree the node belongs to; 0 = free
    bool dirty = false;
    bool in_lru = false;
    std::list<uint32_t>::iterator lru;
  };
  struct Pending {
    std::shared_ptr<Node> node;
    uint32_t owner = 0;
  };
  struct TreeState {
    uint32_t root = 0;
    int key_length = 0;
    uint8_t pad = 0x20;
    bool root_dirty = false;
    uint64_t changed = 0;  // version_ at the tree's last change
  };
  struct Snapshot {
    uint32_t free_head;
    bool free_dirty;
    uint64_t file_end;
    std::map<uint32_t, TreeState> trees;
  };
  struct PathStep {
    uint32_t offset;
    int index;
  };

  Status Corrupt(const Status& s) const;
  Status Corrupt(const std::string& why) const;
  Bounds bounds() const { return Bounds{file_end_}; }
  uint32_t root_of(const Tree& tree) const;

  // Node access.
  Status GetNode(const Tree& tree, uint32_t offset,
                 std::shared_ptr<const Node>* node);
  // The node as the pending set or the cache holds it (read on a miss),
  // without taking a reference: the pointer holds until the cache changes.
  Status Load(const Tree& tree, uint32_t offset, std::shared_ptr<Node>** node);
  Status ReadBlock(uint32_t offset, uint8_t* block);
  Slot* Remember(uint32_t offset, std::shared_ptr<Node> node, uint32_t owner);
  void Evict();

  // Operations.
  void Begin();
  void Commit(uint32_t header);
  void Abort();
  // Adds (`insert`) or removes one pair: in place when it can be, else as
  // one operation; `changed` says whether the tree changed.
  Status Change(const Tree& tree, std::string_view key, uint32_t recno,
                bool insert, bool* changed);
  void MarkDirty(Slot* slot);
  // Records a finished change of the tree at `header` and writes back early
  // when many nodes are dirty.
  void Changed(uint32_t header);
  // Most changes only add or drop one pair of one leaf that neither splits
  // nor merges, and cannot fail once the leaf is found.  Such a change is
  // made on the cached leaf itself, with no copy; `done` says whether it
  // was (or needed nothing), `found` whether the pair was in the tree.
  // Otherwise nothing is changed and the caller runs the full operation.
  Status ChangeLeafInPlace(const Tree& tree, std::string_view key,
                           uint32_t recno, bool insert, bool* found,
                           bool* done);
  Status Mutable(const Tree& tree, uint32_t offset, Node** node);
  Status Allocate(const Tree& tree, Node::Kind kind, uint32_t* offset,
                  Node** node);
  void Free(uint32_t offset);
  Status Unlink(const Tree& tree, uint32_t offset);
  void SetRoot(const Tree& tree, uint32_t root);

  Status Descend(const Tree& tree, std::string_view key, uint32_t recno,
                 bool strict, std::vector<PathStep>* path, uint32_t* leaf,
                 std::shared_ptr<const Node>* node);
  // Descend giving the leaf as held (see Load).
  Status DescendHeld(const Tree& tree, std::string_view key, uint32_t recno,
                     bool strict, std::vector<PathStep>* path, uint32_t* leaf,
                     std::shared_ptr<Node>** node);
  Status Edge(const Tree& tree, bool last, Position* pos);
  Status SkipEmpty(const Tree& tree, bool forward, Position* pos);
  Status InsertLocked(const Tree& tree, std::string_view key, uint32_t recno,
                      bool* added);
  Status RemoveLocked(const Tree& tree, std::string_view key, uint32_t recno,
                      bool* removed);
  Status RaiseBounds(const Tree& tree, const std::vector<PathStep>& path,
                     uint32_t leaf);
  Status Split(const Tree& tree, const std::vector<PathStep>& path,
               size_t depth, uint32_t offset, bool append);
  Status Rebalance(const Tree& tree, const std::vector<PathStep>& path,
                   size_t depth, uint32_t offset);
  Status CollapseRoot(const Tree& tree);
  Status FitAll(const Tree& tree);
  bool Underfull(const Tree& tree, const Node& node) const;
  bool FitsMerged(const Tree& tree, const Node& a, const Node& b) const;
  std::vector<size_t> PartitionLeaf(const Tree& tree,
                                    const std::vector<NodeEntry>& entries,
                                    bool append) const;
  Status BulkBuild(const Tree& tree, const std::vector<NodeEntry>& sorted,
                   uint32_t* root);
  Status CollectNodes(const Tree& tree, std::vector<uint32_t>* offsets);
  Status VerifyNode(const Tree& tree, uint32_t offset, int depth,
                    int* leaf_depth, const NodeEntry* low,
                    const NodeEntry* high, std::vector<uint32_t>* leaves,
                    uint64_t* entries, std::map<uint32_t, int>* seen);
  Status WriteBack();

  std::unique_ptr<File> file_;
  bool read_only_;
  uint64_t disk_size_ = 0;  // bytes on disk
  uint64_t file_end_ = 0;   // end of the blocks in use (disk or pending)
  uint32_t free_head_ = 0;
  bool free_dirty_ = false;
  uint64_t version_ = 0;

  std::map<uint32_t, TreeState> trees_;  // by header offset

  std::unordered_map<uint32_t, Slot> cache_;
  std::list<uint32_t> lru_;  // clean nodes, most recent first
  size_t dirty_count_ = 0;

  bool in_operation_ = false;
  std::unordered_map<uint32_t, Pending> pending_;
  // Nodes made pending since the last FitAll: the ones a change may have
  // overfilled.
  std::vector<uint32_t> touched_;
  Snapshot snapshot_;
};

}  // namespace rt::tables::cdx

#endif  // RUNTIME_TABLES_CDX_STORE_H_

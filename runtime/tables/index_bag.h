// The order-bag engine: compound index files (.cdx).  A bag holds any number
// of tags (orders); each tag is a B+-tree of (key, record number) pairs kept
// in ascending unsigned-byte order of the key, equal keys by ascending record
// number.  Keys are plain byte strings of the tag's key length (see
// key_encoding.h); the engine never evaluates expressions and knows nothing
// of tables.  The layout on disk is in doc/index_format.md.
//
// Every failure is a Status: IOError from the file, Corruption for bytes
// that do not make a valid bag (no byte in a file can crash or abort the
// process), InvalidArgument for a misuse (a key of the wrong length, a
// write to a bag opened read-only, an unknown tag).
//
// Memory: nodes are read on demand through a small cache; the file is never
// loaded whole.  Changed nodes stay in memory until Flush(), which writes
// them all and syncs the file.  An operation that fails leaves the bag as it
// was before the operation (in memory), so a failed Insert does not leave a
// half-split node behind.
//
// Thread safety: none.  A bag and its cursors are used by one thread.
#ifndef RUNTIME_TABLES_INDEX_BAG_H_
#define RUNTIME_TABLES_INDEX_BAG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/tables/file.h"
#include "runtime/tables/key_encoding.h"
#include "runtime/tables/status.h"

namespace rt::tables {

class IndexCursor;

// What the bag says about one tag.
struct TagInfo {
  std::string name;            // upper case, blanks trimmed
  std::string key_expression;  // as stored (case kept)
  std::string for_expression;  // empty when the tag has no FOR clause
  bool descending = false;
  bool unique = false;
  int key_length = 0;
  // The kind of key.  The file does not record it: after Open() it is a
  // guess from the stored bytes (kCharacter or kBinary) and
  // key_type_known is false, until SetKeyType() settles it.
  KeyType key_type = KeyType::kCharacter;
  bool key_type_known = false;
};

// What a new tag is made of (AddTag).
struct TagSpec {
  std::string name;            // 1..10 bytes; stored upper case
  std::string key_expression;  // non-empty
  std::string for_expression;  // empty for none
  bool descending = false;
  bool unique = false;
  int key_length = 0;          // 1..kMaxKeyLength
  KeyType key_type = KeyType::kCharacter;
};

// The shape of one tag's tree (IndexBag::Verify).
struct TagStats {
  int depth = 0;           // levels, 1 when the root is a leaf
  uint64_t nodes = 0;      // interior nodes and leaves
  uint64_t entries = 0;
};

// One entry of a tag.
struct IndexEntry {
  std::string key;   // exactly key_length bytes
  uint32_t recno = 0;  // 1-based record number
};

class IndexBag {
 public:
  // Opens an existing bag.  With `read_only`, every change fails with
  // InvalidArgument and nothing is ever written.  Reads the directory and
  // every tag header (not the trees).  Fails with Corruption when the file
  // is not a compound index.
  static Status Open(std::unique_ptr<File> file, bool read_only,
                     std::unique_ptr<IndexBag>* bag);
  // Makes `file` an empty bag (no tags), replacing whatever it held, and
  // writes it out (Flush included).
  static Status Create(std::unique_ptr<File> file,
                       std::unique_ptr<IndexBag>* bag);

  // Flushes (errors are lost; call Flush() or Close() to see them).
  ~IndexBag();
  IndexBag(const IndexBag&) = delete;
  IndexBag& operator=(const IndexBag&) = delete;

  // The tags in bag order (the order they were created in, which is the
  // order of their headers in the file).  Tag numbers below are indexes
  // into this list, 0-based.  Adding or deleting a tag renumbers.
  const std::vector<TagInfo>& tags() const { return tags_; }
  // Number of the tag named `name` (case-insensitive, trailing blanks
  // ignored), or -1.
  int FindTag(std::string_view name) const;

  // Settles the key type of tag `tag` (the table layer learns it from the
  // key expression).  Changes nothing on disk; it fixes the pad byte that
  // trimmed key tails are rebuilt with.  Fails with InvalidArgument when
  // the type cannot have the tag's key length (numeric/date need 8 bytes,
  // logical 1).
  Status SetKeyType(int tag, KeyType type);

  // Adds a tag built from `entries` (any order; sorted here by key, then
  // record number).  Every key must be spec.key_length bytes.  For a unique
  // tag only the first entry of each key value (lowest record number) is
  // kept.  Fails with InvalidArgument on a bad spec or key, or when a tag of
  // that name exists (delete it first).  The new tag is the last one.
  Status AddTag(const TagSpec& spec, std::vector<IndexEntry> entries);
  // Removes tag `tag`; its blocks go to the bag's free list.  Cursors on it
  // become invalid (their calls fail with InvalidArgument).
  Status DeleteTag(int tag);

  // Adds (key, recno) to tag `tag`.  For a unique tag whose key value is
  // already present nothing is added and `*added` (when given) is false.
  // Adding a pair that is already present adds nothing either.
  Status Insert(int tag, std::string_view key, uint32_t recno,
                bool* added = nullptr);
  // Removes (key, recno) from tag `tag`.  `*removed` (when given) tells
  // whether the pair was there; a missing pair is not an error.
  Status Delete(int tag, std::string_view key, uint32_t recno,
                bool* removed = nullptr);

  // A new cursor on tag `tag`, not positioned (call First(), Seek(), ...).
  // The cursor must not outlive the bag.
  Status NewCursor(int tag, std::unique_ptr<IndexCursor>* cursor);

  // Number of entries in tag `tag` (walks the leaves; O(n)).
  Status CountEntries(int tag, uint64_t* count);
  // Checks the whole structure of tag `tag`: node formats, key order along
  // the leaf chain, sibling links, interior keys bounding their children.
  // Returns Corruption naming the first fault found.  Fills `stats` when
  // given.
  Status Verify(int tag, TagStats* stats = nullptr);

  // Writes every changed node and header, then syncs the file.  On an
  // I/O error the changes stay pending, so a later Flush() can finish.
  Status Flush();
  // Flush() and release the file.  Further calls fail.
  Status Close();

  const std::string& file_name() const;
  bool read_only() const { return read_only_; }

 private:
  friend class IndexCursor;
  struct State;  // the block store, the directory and the tag trees
  IndexBag();
  Status Usable() const;
  Status CheckTag(int tag) const;

  std::unique_ptr<State> state_;
  std::vector<TagInfo> tags_;
  bool read_only_ = false;
};

// A position in one tag.  Walks follow the tag's order: ascending, or for a
// descending tag the exact reverse ((key, recno) pairs from largest to
// smallest).  Moving past either end leaves the cursor invalid with eof() or
// bof() set.  The cursor remembers its entry by (key, recno), so it stays
// usable when the tag changes under it: the next move starts from where that
// entry is (or would be) now.
class IndexCursor {
 public:
  ~IndexCursor();
  IndexCursor(const IndexCursor&) = delete;
  IndexCursor& operator=(const IndexCursor&) = delete;

  // On the first / last entry of the tag order; both set eof() and bof()
  // on an empty tag.
  Status First();
  Status Last();
  // One entry further / back.  REQUIRES: Valid().  Past the end sets eof(),
  // before the start sets bof().
  Status Next();
  Status Prev();

  // Soft seek.  Compares only the first key.size() bytes of each entry
  // (key.size() <= key length), so a short key finds the first entry that
  // starts with it.  Positions on the first entry, in tag order, whose key
  // does not come before `key` (ascending: >= key; descending: <= key);
  // eof() when there is none.  `*found` is true when that entry's key
  // starts with `key`.
  Status Seek(std::string_view key, bool* found);
  // As Seek, but on a match positions on the last matching entry in tag
  // order.  Without a match the position is the same as Seek's.
  Status SeekLast(std::string_view key, bool* found);
  // Positions on the pair (key, recno) when present (`*found` true);
  // otherwise where it would be in tag order (like Seek).  REQUIRES:
  // key.size() == key length.
  Status SeekEntry(std::string_view key, uint32_t recno, bool* found);

  // True when on an entry.
  bool Valid() const { return valid_; }
  bool eof() const { return eof_; }
  bool bof() const { return bof_; }
  // The current entry.  REQUIRES: Valid().
  const std::string& key() const { return key_; }
  uint32_t recno() const { return recno_; }

 private:
  friend class IndexBag;
  struct Impl;  // the position in the tree
  IndexCursor(IndexBag* bag, uint64_t tag_id);
  // Finds the cursor's tag; brings the position up to date when the tag
  // changed since it was taken (`*exact` tells whether the entry is still
  // there).
  Status Prepare(int* tag, bool* exact);
  // Takes the position held in impl_ as the current entry of tag `tag`.
  void Settle(int tag, bool forward_end);
  // Leaves the cursor on no entry and returns `s`.
  Status Fail(const Status& s);

  IndexBag* bag_;
  uint64_t tag_id_;
  std::unique_ptr<Impl> impl_;
  bool valid_ = false;
  bool eof_ = false;
  bool bof_ = false;
  std::string key_;
  uint32_t recno_ = 0;
};

}  // namespace rt::tables

#endif  // RUNTIME_TABLES_INDEX_BAG_H_

// A work area: one open table, its current record, and the orders (tags of
// open order bags) that keep it sorted.
//
// The current record is held in a buffer.  Field writes change the buffer;
// the buffer goes back to the file in one write when the record pointer
// moves, the area is flushed or closed.  At that moment every open order
// whose key (or FOR condition) the changed fields affect is updated, before
// any other order operation can look at it, so no order ever disagrees with
// the table.  Which fields a key reads is learnt by tracing the key's field
// reads while it is evaluated (see KeyTrace).
//
// Key and FOR expressions are blocks compiled by the runtime's macro
// compiler; they read fields through runtime/api/tables.h, so an area makes
// itself current while it evaluates them.  Their runtime errors propagate
// as runtime errors (exceptions); storage failures come back as Status.
#ifndef RUNTIME_TABLES_WORK_AREA_H_
#define RUNTIME_TABLES_WORK_AREA_H_

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/api/value.h"
#include "runtime/tables/dbf_table.h"
#include "runtime/tables/field_key.h"
#include "runtime/tables/index_bag.h"
#include "runtime/tables/status.h"

namespace rt::tables {

// Fields a table may have (a byte in the descriptor count).
constexpr size_t kMaxFields = 256;
using FieldSet = std::bitset<kMaxFields>;

// One order: a tag of an open bag, with its compiled expressions.
struct Order {
  IndexBag* bag = nullptr;
  int tag = 0;                 // tag number inside the bag
  std::string name;
  std::string key_text;
  std::string for_text;
  BlockPtr key_block;
  BlockPtr for_block;          // null without a FOR condition
  KeyType key_type = KeyType::kCharacter;
  int key_length = 0;
  // Fields the key and FOR expressions read; `reads_all` when that cannot
  // be known (the expression reads another area, or has branches that may
  // read different fields on another record).
  FieldSet reads;
  bool reads_all = false;
  // Set when the key is plain field text (see field_key.h) and there is no
  // FOR condition: the key is then cut from the record, not evaluated.
  std::vector<FieldKeyPart> field_key;
  std::unique_ptr<IndexCursor> cursor;
};

class WorkArea {
 public:
  WorkArea(int number, std::string alias, std::unique_ptr<DbfTable> table,
           bool shared);
  ~WorkArea();

  int number() const { return number_; }
  const std::string& alias() const { return alias_; }
  DbfTable& table() { return *table_; }
  bool shared() const { return shared_; }
  int field_count() const { return static_cast<int>(table_->fields().size()); }

  // Record position.
  uint32_t recno() const { return recno_; }
  bool eof() const { return eof_; }
  bool bof() const { return bof_; }
  bool found() const { return found_; }
  // RECCOUNT(): records in the table (re-read from the header when shared).
  uint32_t RecordCount();

  // Field access, 0-based index.  REQUIRES: index < field_count().
  Value GetField(int index) const;
  // Writes into the record buffer.  Fails (buffer unchanged) on a type or
  // width mismatch, at the end of file, or on a read-only table.
  Status PutField(int index, const Value& v);
  bool Deleted() const { return !record_.empty() && record_[0] == '*'; }
  Status SetDeleted(bool deleted);

  // Movement; each writes a changed record back first.
  Status GoTo(uint32_t recno);
  Status GoTop();
  Status GoBottom();
  Status Skip(int64_t n);
  // Seeks `key` in the focused order (see DBSEEK).  REQUIRES: an order in
  // focus (fails with InvalidArgument otherwise).
  Status Seek(const Value& key, bool soft, bool last);
  // Appends a blank record and makes it current.
  Status Append();

  // Writes the buffered record back (with its order updates).
  Status Flush();
  // Flush, then make the table and every bag durable.
  Status Commit();
  // Commit and release every file.  The area is unusable afterwards.
  Status Close();

  // Orders ------------------------------------------------------------------
  int order_count() const { return static_cast<int>(orders_.size()); }
  // 0 for the natural (record number) order.
  int focus() const { return focus_; }
  // REQUIRES: 1 <= n <= order_count().
  const Order& order(int n) const { return *orders_[n - 1]; }
  // Number of the order named `name` (case-insensitive), or 0.
  int FindOrder(std::string_view name) const;
  Status SetFocus(int n);
  // Opens a bag and adds its tags to the order list.  The first order gets
  // the focus when none had it.
  Status AddBag(const std::string& path);
  // Closes every bag; the focus returns to the natural order.
  Status ClearBags();
  // Builds (or rebuilds) tag `tag` in bag `path` (created when missing)
  // from every record, by bulk build, and focuses it.  `key_block`, when
  // given, computes the key instead of `key_text`.
  // `for_text` (may be empty) limits the order to records for which it is
  // true.
  Status CreateOrder(const std::string& path, const std::string& tag,
                     const std::string& key_text, BlockPtr key_block,
                     bool unique, const std::string& for_text = "",
                     bool descending = false);

  // The key order n (0: the focused order) gives the current record, and
  // whether its FOR condition takes the record in.  Always computed by
  // evaluating the key expression, never cut from the record, so that a
  // check of the tags against it is independent of how they were kept.
  std::string KeyOf(int n, bool* included);

 private:
  Status GoToEnd(bool top);
  friend class KeyTrace;
  // Loads record `recno` (1..count) into the buffer, or the blank phantom
  // record at count+1 (eof).
  Status Load(uint32_t recno);
  void LoadPhantom();
  // Evaluates order `o`'s key (and FOR) on the current buffer with this
  // area current.  Learns the fields read.
  // Cuts keys of `o` from the record when its expression allows.
  void UseFieldKey(Order* o) const;
  // The key of the current record: cut from it when the order allows,
  // otherwise EvaluateKey.
  std::string EvalKey(Order& o, bool* included);
  std::string EvaluateKey(Order& o, bool* included);
  std::string KeyFromValue(const Order& o, const Value& v) const;
  Status SyncCursor(Order& o, bool* on_record);
  Status StatusFromBag(const Status& s) const { return s; }
  // Builds orders_ afresh from bags_, keeping the focus on the same order
  // (by name) when it still exists.
  Status RebuildOrders(const std::string& focus_name);
  Status OpenOrdersOfBag(IndexBag* bag, std::vector<std::unique_ptr<Order>>* out);
  int FindBag(const std::string& path) const;

  int number_;
  std::string alias_;
  std::unique_ptr<DbfTable> table_;
  bool shared_;

  uint32_t recno_ = 1;
  bool eof_ = true;
  bool bof_ = true;
  bool found_ = false;
  std::string record_;    // the current record's bytes
  std::string original_;  // its bytes as loaded, kept once it changes
  bool dirty_ = false;
  FieldSet changed_;

  std::vector<std::unique_ptr<IndexBag>> bags_;
  std::vector<std::unique_ptr<Order>> orders_;
  int focus_ = 0;
  // The focused order's cursor is on the current record and its entry has
  // not changed since: skipping need not seek it again.
  bool cursor_synced_ = false;
};

// Called during long work (building an order) with records done and the
// total; tools use it to show progress.  Empty by default.
void SetProgressHook(std::function<void(uint64_t done, uint64_t total)> hook);

// Records which fields of which area a key evaluation reads.  Field reads
// made through runtime/api/tables.h report here while a trace is active.
class KeyTrace {
 public:
  KeyTrace(int area, FieldSet* reads, bool* reads_other);
  ~KeyTrace();
  static void NoteRead(int area, int index);

 private:
  KeyTrace* previous_;
  int area_;
  FieldSet* reads_;
  bool* reads_other_;
};

}  // namespace rt::tables

#endif  // RUNTIME_TABLES_WORK_AREA_H_

// Work area: record buffer, movement, field access and order maintenance.
#include "runtime/tables/work_area.h"

#include <utility>

#include "runtime/api/runtime.h"
#include "runtime/tables/dbf_field.h"
#include "runtime/tables/work_area_set.h"

namespace rt::tables {

namespace {

KeyTrace* g_trace = nullptr;

// Swaps the record buffer with another for the life of the scope.
class BufferSwap {
 public:
  BufferSwap(std::string* a, std::string* b) : a_(a), b_(b) { a_->swap(*b_); }
  ~BufferSwap() { a_->swap(*b_); }

 private:
  std::string* a_;
  std::string* b_;
};

}  // namespace

KeyTrace::KeyTrace(int area, FieldSet* reads, bool* reads_other)
    : previous_(g_trace), area_(area), reads_(reads), reads_other_(reads_other) {
  g_trace = this;
}

KeyTrace::~KeyTrace() { g_trace = previous_; }

void KeyTrace::NoteRead(int area, int index) {
  KeyTrace* t = g_trace;
  if (t == nullptr) return;
  if (area == t->area_ && index >= 0 && static_cast<size_t>(index) < kMaxFields) {
    t->reads_->set(static_cast<size_t>(index));
  } else {
    *t->reads_other_ = true;
  }
}

WorkArea::WorkArea(int number, std::string alias, std::unique_ptr<DbfTable> table,
                   bool shared)
    : number_(number), alias_(std::move(alias)), table_(std::move(table)), shared_(shared) {
  record_ = table_->BlankRecord();
  recno_ = table_->record_count() + 1;
}

WorkArea::~WorkArea() = default;

uint32_t WorkArea::RecordCount() {
  if (shared_) table_->RefreshCount();
  return table_->record_count();
}

Value WorkArea::GetField(int index) const {
  return DecodeField(table_->fields()[static_cast<size_t>(index)], record_.data());
}

Status WorkArea::PutField(int index, const Value& v) {
  if (!table_->read_only_reason().empty()) {
    return Status::InvalidArgument(table_->name(), table_->read_only_reason());
  }
  if (eof_) {
    return Status::InvalidArgument(table_->name(),
                                   "no current record (at end of file); append or move first");
  }
  if (!dirty_) original_ = record_;
  std::string error;
  if (!EncodeField(table_->fields()[static_cast<size_t>(index)], v, record_.data(), &error)) {
    if (!dirty_) original_.clear();
    return Status::InvalidArgument(table_->name(), error);
  }
  dirty_ = true;
  changed_.set(static_cast<size_t>(index));
  return Status::OK();
}

Status WorkArea::SetDeleted(bool deleted) {
  if (!table_->read_only_reason().empty()) {
    return Status::InvalidArgument(table_->name(), table_->read_only_reason());
  }
  if (eof_) return Status::OK();  // nothing to delete at end of file
  if (!dirty_) original_ = record_;
  record_[0] = deleted ? '*' : ' ';
  dirty_ = true;
  return Status::OK();
}

Status WorkArea::Load(uint32_t recno) {
  if (recno < 1 || recno > table_->record_count()) {
    LoadPhantom();
    return Status::OK();
  }
  Status s = table_->ReadRecord(recno, record_.data());
  if (!s.ok()) {
    LoadPhantom();
    return s;
  }
  recno_ = recno;
  eof_ = false;
  dirty_ = false;
  changed_.reset();
  return Status::OK();
}

void WorkArea::LoadPhantom() {
  record_.assign(table_->record_length(), ' ');
  recno_ = table_->record_count() + 1;
  eof_ = true;
  dirty_ = false;
  changed_.reset();
  cursor_synced_ = false;
}

std::string WorkArea::KeyFromValue(const Order& o, const Value& raw) const {
  const Value& v = raw.deref();
  auto mismatch = [&](const char* want) -> std::string {
    Raise(ErrorInfo{"key of order " + o.name + " gives type " +
                        std::string(1, v.type_letter()) + " but the order holds " + want,
                    "KEY", {Value(o.key_text)}, "TABLES", kErrArgument, 0, 0,
                    table_->name()});
  };
  switch (o.key_type) {
    case KeyType::kCharacter:
      if (!v.is_string()) return mismatch("character keys");
      return EncodeCharacterKey(v.str(), o.key_length);
    case KeyType::kNumeric:
      if (!v.is_number()) return mismatch("numeric keys");
      return EncodeNumericKey(v.num());
    case KeyType::kDate:
      if (!v.is_date()) return mismatch("date keys");
      return EncodeDateKey(v.date().day);
    case KeyType::kLogical:
      if (!v.is_logical()) return mismatch("logical keys");
      return EncodeLogicalKey(v.logical());
    case KeyType::kBinary:
      break;
  }
  return mismatch("binary keys this runtime cannot compute");
}

std::string WorkArea::EvalKey(Order& o, bool* included) {
  if (!o.field_key.empty()) {
    *included = true;
    return EncodeCharacterKey(
        FieldKeyText(o.field_key, table_->fields(), record_.data()), o.key_length);
  }
  return EvaluateKey(o, included);
}

std::string WorkArea::EvaluateKey(Order& o, bool* included) {
  CurrentAreaScope scope(number_);
  FieldSet reads;
  bool other = false;
  Value key;
  {
    KeyTrace trace(number_, &reads, &other);
    key = o.key_block->Eval({});
    *included = o.for_block ? o.for_block->Eval({}).is_true() : true;
  }
  o.reads |= reads;
  if (other) o.reads_all = true;
  return KeyFromValue(o, key);
}

std::string WorkArea::KeyOf(int n, bool* included) {
  return EvaluateKey(*orders_[static_cast<size_t>((n ? n : focus_) - 1)], included);
}

Status WorkArea::Flush() {
  if (!dirty_) return Status::OK();
  struct Change {
    Order* order;
    std::string old_key, new_key;
    bool old_in, new_in;
  };
  std::vector<Change> changes;
  // Every key is computed before anything is written, so an error in a key
  // expression leaves table and orders as they were.
  for (auto& op : orders_) {
    Order& o = *op;
    if (!o.reads_all && (o.reads & changed_).none()) continue;
    Change c{&o, {}, {}, false, false};
    {
      BufferSwap swap(&record_, &original_);
      c.old_key = EvalKey(o, &c.old_in);
    }
    c.new_key = EvalKey(o, &c.new_in);
    if (c.old_key != c.new_key || c.old_in != c.new_in) changes.push_back(std::move(c));
  }
  Status s = table_->WriteRecord(recno_, record_.data());
  if (!s.ok()) return s;
  dirty_ = false;
  changed_.reset();
  for (Change& c : changes) {
    if (c.old_in) {
      s = c.order->bag->Delete(c.order->tag, c.old_key, recno_);
      if (!s.ok()) return s;
    }
    if (c.new_in) {
      s = c.order->bag->Insert(c.order->tag, c.new_key, recno_);
      if (!s.ok()) return s;
    }
    if (focus_ > 0 && c.order == orders_[static_cast<size_t>(focus_ - 1)].get()) {
      cursor_synced_ = false;
    }
  }
  return Status::OK();
}

Status WorkArea::Commit() {
  Status first = Flush();
  Status s = table_->Sync();
  if (first.ok()) first = s;
  for (auto& bag : bags_) {
    s = bag->Flush();
    if (first.ok()) first = s;
  }
  return first;
}

Status WorkArea::Close() {
  Status first = Commit();
  orders_.clear();
  for (auto& bag : bags_) {
    Status s = bag->Close();
    if (first.ok()) first = s;
  }
  bags_.clear();
  focus_ = 0;
  return first;
}

Status WorkArea::GoTo(uint32_t recno) {
  Status s = Flush();
  if (!s.ok()) return s;
  bof_ = false;
  cursor_synced_ = false;
  return Load(recno);
}

Status WorkArea::GoTop() { return GoToEnd(/*top=*/true); }

Status WorkArea::GoBottom() { return GoToEnd(/*top=*/false); }

// The first (top) or last record, along the order in focus or in record
// order; an empty table or order leaves the area at its phantom record.
Status WorkArea::GoToEnd(bool top) {
  Status s = Flush();
  if (!s.ok()) return s;
  bof_ = false;
  if (focus_ > 0) {
    Order& o = *orders_[static_cast<size_t>(focus_ - 1)];
    s = top ? o.cursor->First() : o.cursor->Last();
    if (!s.ok()) return s;
    if (!o.cursor->Valid()) {
      LoadPhantom();
      bof_ = true;
      return Status::OK();
    }
    s = Load(o.cursor->recno());
    cursor_synced_ = s.ok();
    return s;
  }
  if (table_->record_count() == 0) {
    LoadPhantom();
    bof_ = true;
    return Status::OK();
  }
  return Load(top ? 1 : table_->record_count());
}

Status WorkArea::SyncCursor(Order& o, bool* on_record) {
  if (cursor_synced_ && o.cursor->Valid() && o.cursor->recno() == recno_) {
    *on_record = true;
    return Status::OK();
  }
  bool included = false;
  std::string key = EvalKey(o, &included);
  bool found = false;
  Status s = o.cursor->SeekEntry(key, recno_, &found);
  *on_record = found;
  return s;
}

Status WorkArea::Skip(int64_t n) {
  Status s = Flush();
  if (!s.ok()) return s;
  bof_ = false;
  if (n == 0) {
    if (eof_) return Status::OK();
    return Load(recno_);
  }
  if (focus_ == 0) {
    int64_t count = table_->record_count();
    int64_t target = static_cast<int64_t>(recno_) + n;
    if (eof_ && n < 0) target = count + 1 + n;
    if (target > count) {
      LoadPhantom();
      return Status::OK();
    }
    if (target < 1) {
      if (count == 0) {
        LoadPhantom();
      } else {
        s = Load(1);
      }
      bof_ = true;
      return s;
    }
    return Load(static_cast<uint32_t>(target));
  }

  Order& o = *orders_[static_cast<size_t>(focus_ - 1)];
  IndexCursor& c = *o.cursor;
  int64_t steps = n > 0 ? n : -n;
  if (eof_) {
    if (n > 0) return Status::OK();  // already past the end
    s = c.Last();
    if (!s.ok()) return s;
    --steps;
  } else {
    bool on = false;
    s = SyncCursor(o, &on);
    if (!s.ok()) return s;
    // Off its entry (a FOR condition left it out), the cursor already sits
    // on the next entry: that counts as the first step forward.
    if (!on && n > 0) --steps;
  }
  while (steps > 0 && c.Valid()) {
    s = n > 0 ? c.Next() : c.Prev();
    if (!s.ok()) return s;
    --steps;
  }
  if (!c.Valid()) {
    if (n > 0 || c.eof()) {
      LoadPhantom();
      return Status::OK();
    }
    // Ran off the top: stay on the first record with BOF set.
    s = c.First();
    if (!s.ok()) return s;
    if (!c.Valid()) {
      LoadPhantom();
    } else {
      s = Load(c.recno());
      cursor_synced_ = s.ok();
    }
    bof_ = true;
    return s;
  }
  s = Load(c.recno());
  cursor_synced_ = s.ok();
  return s;
}

Status WorkArea::Seek(const Value& raw, bool soft, bool last) {
  Status s = Flush();
  if (!s.ok()) return s;
  if (focus_ == 0) {
    return Status::InvalidArgument(table_->name(), "seeking needs an order in focus");
  }
  Order& o = *orders_[static_cast<size_t>(focus_ - 1)];
  const Value& v = raw.deref();
  std::string key;
  switch (o.key_type) {
    case KeyType::kCharacter:
      if (v.is_string()) {
        key = v.str();
      } else if (v.is_date()) {
        key = DateToDtos(v.date());  // a date seeks its YYYYMMDD text
      } else {
        return Status::InvalidArgument(table_->name(), "order " + o.name +
                                                           " holds character keys; the seek key has type " +
                                                           std::string(1, v.type_letter()));
      }
      if (key.size() > static_cast<size_t>(o.key_length)) key.resize(static_cast<size_t>(o.key_length));
      break;
    default:
      key = KeyFromValue(o, v);
      break;
  }
  bool found = false;
  s = last ? o.cursor->SeekLast(key, &found) : o.cursor->Seek(key, &found);
  if (!s.ok()) return s;
  bof_ = false;
  found_ = found;
  if (o.cursor->Valid() && (found || soft)) {
    s = Load(o.cursor->recno());
    cursor_synced_ = s.ok();
    return s;
  }
  LoadPhantom();
  return Status::OK();
}

Status WorkArea::Append() {
  Status s = Flush();
  if (!s.ok()) return s;
  if (!table_->read_only_reason().empty()) {
    return Status::InvalidArgument(table_->name(), table_->read_only_reason());
  }
  if (shared_) {
    s = table_->RefreshCount();
    if (!s.ok()) return s;
  }
  std::string blank = table_->BlankRecord();
  std::vector<std::pair<std::string, bool>> keys;
  {
    BufferSwap swap(&record_, &blank);
    for (auto& o : orders_) {
      bool in = false;
      std::string k = EvalKey(*o, &in);
      keys.emplace_back(std::move(k), in);
    }
  }
  uint32_t recno = 0;
  s = table_->AppendRecord(blank.data(), &recno);
  if (!s.ok()) return s;
  record_ = std::move(blank);
  recno_ = recno;
  eof_ = bof_ = false;
  dirty_ = false;
  changed_.reset();
  cursor_synced_ = false;
  for (size_t i = 0; i < orders_.size(); ++i) {
    if (!keys[i].second) continue;
    s = orders_[i]->bag->Insert(orders_[i]->tag, keys[i].first, recno);
    if (!s.ok()) return s;
  }
  return Status::OK();
}

}  // namespace rt::tables

// Work area: opening, focusing and building orders.
#include <algorithm>
#include <cctype>
#include <utility>

#include "runtime/api/runtime.h"
#include "runtime/tables/work_area.h"
#include "runtime/tables/work_area_set.h"

namespace rt::tables {

namespace {

std::function<void(uint64_t, uint64_t)> g_progress;

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// A key whose expression branches or builds code at run time may read other
// fields on other records than the ones traced so far.
bool MayReadVaryingFields(const std::string& text) {
  std::string t;
  for (char c : Upper(text)) {
    if (c != ' ' && c != '\t') t += c;
  }
  return t.find("IF(") != std::string::npos || t.find('&') != std::string::npos ||
         t.find("->") != std::string::npos;
}

bool TypeOfValue(const Value& raw, KeyType* type) {
  const Value& v = raw.deref();
  if (v.is_string()) *type = KeyType::kCharacter;
  else if (v.is_number()) *type = KeyType::kNumeric;
  else if (v.is_date()) *type = KeyType::kDate;
  else if (v.is_logical()) *type = KeyType::kLogical;
  else return false;
  return true;
}

}  // namespace

void SetProgressHook(std::function<void(uint64_t done, uint64_t total)> hook) {
  g_progress = std::move(hook);
}

int WorkArea::FindOrder(std::string_view name) const {
  std::string want = Upper(name);
  while (!want.empty() && want.back() == ' ') want.pop_back();
  for (size_t i = 0; i < orders_.size(); ++i) {
    if (orders_[i]->name == want) return static_cast<int>(i + 1);
  }
  return 0;
}

Status WorkArea::SetFocus(int n) {
  Status s = Flush();
  if (!s.ok()) return s;
  if (n < 0 || n > order_count()) {
    return Status::InvalidArgument(table_->name(), "there is no order " + std::to_string(n));
  }
  focus_ = n;
  cursor_synced_ = false;
  return Status::OK();
}

int WorkArea::FindBag(const std::string& path) const {
  for (size_t i = 0; i < bags_.size(); ++i) {
    if (bags_[i]->file_name() == path) return static_cast<int>(i);
  }
  return -1;
}

Status WorkArea::OpenOrdersOfBag(IndexBag* bag, std::vector<std::unique_ptr<Order>>* out) {
  const std::vector<TagInfo>& tags = bag->tags();
  for (size_t t = 0; t < tags.size(); ++t) {
    const TagInfo& info = tags[t];
    auto o = std::make_unique<Order>();
    o->bag = bag;
    o->tag = static_cast<int>(t);
    o->name = info.name;
    o->key_text = info.key_expression;
    o->for_text = info.for_expression;
    o->key_length = info.key_length;
    o->key_block = CompileExpression(info.key_expression);
    if (!info.for_expression.empty()) o->for_block = CompileExpression(info.for_expression);
    o->reads_all = MayReadVaryingFields(o->key_text) || MayReadVaryingFields(o->for_text);
    // The file does not say what a key holds: evaluate it once to learn.
    Value v;
    {
      CurrentAreaScope scope(number_);
      FieldSet reads;
      bool other = false;
      KeyTrace trace(number_, &reads, &other);
      v = o->key_block->Eval({});
      if (o->for_block) o->for_block->Eval({});
      o->reads |= reads;
      if (other) o->reads_all = true;
    }
    KeyType type;
    if (!TypeOfValue(v, &type)) {
      return Status::InvalidArgument(bag->file_name(), "key of tag " + info.name + " (" +
                                                           info.key_expression +
                                                           ") gives a value that cannot be a key");
    }
    Status s = bag->SetKeyType(o->tag, type);
    if (!s.ok()) {
      return Status::Corruption(bag->file_name(), "tag " + info.name + " does not fit its key " +
                                                      info.key_expression + ": " + s.message());
    }
    o->key_type = type;
    UseFieldKey(o.get());
    s = bag->NewCursor(o->tag, &o->cursor);
    if (!s.ok()) return s;
    out->push_back(std::move(o));
  }
  return Status::OK();
}

void WorkArea::UseFieldKey(Order* o) const {
  if (o->for_block || o->key_type != KeyType::kCharacter) return;
  ParseFieldKey(o->key_text, *table_, &o->field_key);
}

Status WorkArea::RebuildOrders(const std::string& focus_name) {
  std::vector<std::unique_ptr<Order>> orders;
  for (auto& bag : bags_) {
    Status s = OpenOrdersOfBag(bag.get(), &orders);
    if (!s.ok()) return s;
  }
  orders_ = std::move(orders);
  focus_ = focus_name.empty() ? 0 : FindOrder(focus_name);
  cursor_synced_ = false;
  return Status::OK();
}

Status WorkArea::AddBag(const std::string& path) {
  Status s = Flush();
  if (!s.ok()) return s;
  if (FindBag(path) >= 0) return Status::OK();
  OpenOptions options;
  options.read_only = table_->read_only();
  options.lock = shared_ ? LockMode::kShared : LockMode::kExclusive;
  std::unique_ptr<File> file;
  s = OpenPosixFile(path, options, &file);
  if (!s.ok()) return s;
  std::unique_ptr<IndexBag> bag;
  s = IndexBag::Open(std::move(file), options.read_only, &bag);
  if (!s.ok()) return s;
  // Compile and check every tag before the bag joins the list, so a bag
  // that cannot be used leaves the area as it was.
  std::vector<std::unique_ptr<Order>> added;
  s = OpenOrdersOfBag(bag.get(), &added);
  if (!s.ok()) return s;
  const int first_new = order_count() + 1;
  bags_.push_back(std::move(bag));
  for (auto& o : added) orders_.push_back(std::move(o));
  if (focus_ == 0 && order_count() >= first_new) focus_ = first_new;
  cursor_synced_ = false;
  return Status::OK();
}

Status WorkArea::ClearBags() {
  Status first = Flush();
  orders_.clear();
  for (auto& bag : bags_) {
    Status s = bag->Close();
    if (first.ok()) first = s;
  }
  bags_.clear();
  focus_ = 0;
  cursor_synced_ = false;
  return first;
}

Status WorkArea::CreateOrder(const std::string& path, const std::string& tag,
                             const std::string& key_text, BlockPtr key_block,
                             bool unique, const std::string& for_text,
                             bool descending) {
  Status s = Flush();
  if (!s.ok()) return s;
  if (!table_->read_only_reason().empty()) {
    return Status::InvalidArgument(table_->name(), table_->read_only_reason());
  }
  std::string tag_name = Upper(tag);
  if (tag_name.empty() || tag_name.size() > 10) {
    return Status::InvalidArgument(path, "tag name '" + tag + "' must have 1 to 10 characters");
  }
  Order o;
  o.name = tag_name;
  o.key_text = key_text;
  // A block given by the caller is what counts, whatever the text says.
  const bool key_from_text = !key_block;
  o.key_block = key_from_text ? CompileExpression(key_text) : std::move(key_block);
  o.for_text = for_text;
  if (!for_text.empty()) o.for_block = CompileExpression(for_text);

  // Learn the key's type and length from the first record (or a blank one).
  const uint32_t count = table_->record_count();
  std::string saved = record_;
  struct Restore {
    WorkArea* area;
    std::string* saved;
    ~Restore() { area->record_.swap(*saved); }
  } restore{this, &saved};
  if (count > 0) {
    s = table_->ReadRecord(1, record_.data());
    if (!s.ok()) return s;
  } else {
    record_ = table_->BlankRecord();
  }
  Value first;
  {
    CurrentAreaScope scope(number_);
    first = o.key_block->Eval({});
  }
  if (!TypeOfValue(first, &o.key_type)) {
    return Status::InvalidArgument(path, "key " + key_text + " gives a value that cannot be a key");
  }
  switch (o.key_type) {
    case KeyType::kCharacter:
      o.key_length = static_cast<int>(first.deref().str().size());
      if (o.key_length < 1 || o.key_length > kMaxKeyLength) {
        return Status::InvalidArgument(path, "key " + key_text + " is " +
                                                 std::to_string(o.key_length) +
                                                 " bytes long; keys must have 1 to " +
                                                 std::to_string(kMaxKeyLength));
      }
      break;
    case KeyType::kLogical:
      o.key_length = 1;
      break;
    default:
      o.key_length = kNumericKeyLength;
      break;
  }

  if (key_from_text) UseFieldKey(&o);

  std::vector<IndexEntry> entries;
  entries.reserve(count);
  for (uint32_t r = 1; r <= count; ++r) {
    s = table_->ReadRecord(r, record_.data());
    if (!s.ok()) return s;
    bool included = false;
    std::string key = EvalKey(o, &included);
    if (included) entries.push_back(IndexEntry{std::move(key), r});
    if (g_progress && (r % 65536 == 0 || r == count)) g_progress(r, count);
  }

  // Open or create the bag; a tag of the same name is replaced.
  std::string focus_name = tag_name;
  int bag_index = FindBag(path);
  std::unique_ptr<IndexBag> new_bag;
  IndexBag* bag = nullptr;
  if (bag_index >= 0) {
    bag = bags_[static_cast<size_t>(bag_index)].get();
  } else {
    OpenOptions options;
    options.create = true;
    options.lock = shared_ ? LockMode::kShared : LockMode::kExclusive;
    std::unique_ptr<File> file;
    s = OpenPosixFile(path, options, &file);
    if (!s.ok()) return s;
    uint64_t size = 0;
    s = file->Size(&size);
    if (!s.ok()) return s;
    s = size == 0 ? IndexBag::Create(std::move(file), &new_bag)
                  : IndexBag::Open(std::move(file), false, &new_bag);
    if (!s.ok()) return s;
    bag = new_bag.get();
  }
  int existing = bag->FindTag(tag_name);
  if (existing >= 0) {
    orders_.clear();  // their cursors may point into the tag being dropped
    s = bag->DeleteTag(existing);
    if (!s.ok()) return s;
  }
  TagSpec spec;
  spec.name = tag_name;
  spec.key_expression = key_text;
  spec.for_expression = for_text;
  spec.descending = descending;
  spec.unique = unique;
  spec.key_length = o.key_length;
  spec.key_type = o.key_type;
  s = bag->AddTag(spec, std::move(entries));
  if (!s.ok()) return s;
  s = bag->Flush();
  if (!s.ok()) return s;
  if (new_bag) bags_.push_back(std::move(new_bag));
  return RebuildOrders(focus_name);
}

}  // namespace rt::tables

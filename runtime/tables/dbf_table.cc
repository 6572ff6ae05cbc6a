// Record-level reads and writes of a table file.
#include "runtime/tables/dbf_table.h"

#include <algorithm>
#include <cstring>

namespace rt::tables {

namespace {

// Reading records in order pulls this many bytes at a time.
constexpr size_t kWindowBytes = 64 * 1024;
// The unit in which the map is faulted in (the usual memory page).
constexpr uint64_t kPageBytes = 4096;

}  // namespace

std::string FoldName(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

DbfTable::DbfTable(std::unique_ptr<File> file, DbfHeader header, bool read_only)
    : file_(std::move(file)), header_(std::move(header)), read_only_(read_only) {
  record_count_ = header_.record_count;
  for (size_t i = 0; i < header_.fields.size(); ++i) {
    // emplace keeps the first of two fields of one name, as a scan would.
    field_by_name_.emplace(FoldName(header_.fields[i].name), static_cast<int>(i));
  }
  if (read_only_) {
    read_only_reason_ = "the table is open read-only";
  } else if (!header_.writable) {
    read_only_reason_ = header_.read_only_reason;
  }
}

DbfTable::~DbfTable() {
  // The work area syncs on close and reports failures; this is the last
  // chance for a table used directly, so the date still gets written.
  if (date_dirty_) WriteCountAndDate();
}

Status DbfTable::Open(std::unique_ptr<File> file, bool read_only,
                      std::unique_ptr<DbfTable>* table) {
  uint64_t size = 0;
  Status s = file->Size(&size);
  if (!s.ok()) return s;
  char prologue[kDbfPrologueSize];
  size_t got = 0;
  s = file->ReadAt(0, prologue, sizeof prologue, &got);
  if (!s.ok()) return s;
  size_t hlen = static_cast<unsigned char>(prologue[8]) |
                (static_cast<unsigned char>(prologue[9]) << 8);
  size_t want = std::max(hlen, kDbfPrologueSize);
  if (want > size) want = static_cast<size_t>(size);
  std::string bytes(want, '\0');
  s = file->ReadAt(0, bytes.data(), want, &got);
  if (!s.ok()) return s;
  bytes.resize(got);
  DbfHeader header;
  s = ParseDbfHeader(bytes, file->name(), &header);
  if (!s.ok()) return s;

  uint64_t avail = (size - header.header_length) / header.record_length;
  std::vector<std::string> notes;
  if (header.record_count > avail) {
    std::string why = "the header counts " + std::to_string(header.record_count) +
                      " records but the file holds only " + std::to_string(avail) +
                      " (truncated?)";
    if (!read_only) return Status::Corruption(file->name(), why + "; open it read-only to read what is there");
    notes.push_back(why);
    header.record_count = static_cast<uint32_t>(avail);
  }
  table->reset(new DbfTable(std::move(file), std::move(header), read_only));
  (*table)->notes_ = std::move(notes);
  (*table)->MapRecords();
  return Status::OK();
}

Status DbfTable::Create(std::unique_ptr<File> file, std::vector<DbfField> fields,
                        std::unique_ptr<DbfTable>* table) {
  DbfHeader header;
  Status s = LayoutNewTable(std::move(fields), file->name(), &header);
  if (!s.ok()) return s;
  std::string bytes = SerializeDbfHeader(header);
  bytes.push_back(static_cast<char>(kDbfEofMarker));
  s = file->Truncate(0);
  if (!s.ok()) return s;
  s = file->WriteAt(0, bytes.data(), bytes.size());
  if (!s.ok()) return s;
  s = file->Sync();
  if (!s.ok()) return s;
  table->reset(new DbfTable(std::move(file), std::move(header), false));
  return Status::OK();
}

void DbfTable::MapRecords() {
  if (record_count_ == 0) return;
  const uint64_t length = header_.header_length + uint64_t{record_count_} * record_length();
  map_ = file_->Map(length);
  mapped_records_ = map_ != nullptr ? record_count_ : 0;
  touched_pages_.clear();  // a new map has none of its pages in yet
}

bool DbfTable::TouchPage(uint64_t offset) {
  const size_t page = static_cast<size_t>(offset / kPageBytes);
  if (page >= touched_pages_.size()) touched_pages_.resize(page + 1);
  const bool touched = touched_pages_[page];
  touched_pages_[page] = true;
  return touched;
}

int DbfTable::FieldIndex(std::string_view field_name) const {
  auto it = field_by_name_.find(FoldName(field_name));
  return it == field_by_name_.end() ? -1 : it->second;
}

Status DbfTable::CheckWritable() const {
  if (!read_only_reason_.empty()) return Status::InvalidArgument(name(), read_only_reason_);
  return Status::OK();
}

Status DbfTable::ReadRecord(uint32_t recno, char* buf) {
  const size_t len = record_length();
  if (recno < 1 || recno > record_count_) {
    return Status::InvalidArgument(name(), "record " + std::to_string(recno) +
                                               " is out of range 1.." +
                                               std::to_string(record_count_));
  }
  const uint64_t offset = header_.header_length + uint64_t{recno - 1} * len;
  if (recno <= mapped_records_) {
    // Reading a page through the map maps it read-only, and writing a record
    // of it afterwards takes a second fault.  So in a writable table the
    // first read of a page is a plain read; the page is mapped once, by a
    // write, or by a later read through the map.
    if (read_only_reason_.empty() && !TouchPage(offset)) {
      return file_->ReadExactly(offset, buf, len,
                                ("record " + std::to_string(recno)).c_str());
    }
    std::memcpy(buf, map_ + offset, len);
    return Status::OK();
  }
  if (recno >= window_first_ && recno < window_first_ + window_count_) {
    std::memcpy(buf, window_.data() + (recno - window_first_) * len, len);
    last_read_ = recno;
    return Status::OK();
  }
  if (recno == last_read_ + 1 && len * 4 <= kWindowBytes) {
    // A walk in record order: fetch a window of records at once.
    uint32_t n = static_cast<uint32_t>(kWindowBytes / len);
    n = std::min<uint32_t>(n, record_count_ - recno + 1);
    window_.resize(size_t{n} * len);
    size_t got = 0;
    Status s = file_->ReadAt(offset, window_.data(), window_.size(), &got);
    if (!s.ok()) {
      window_count_ = 0;
      return s;
    }
    window_first_ = recno;
    window_count_ = static_cast<uint32_t>(got / len);
    if (window_count_ == 0) {
      return Status::Corruption(name(), "record " + std::to_string(recno) + " ends early (file truncated?)");
    }
    std::memcpy(buf, window_.data(), len);
    last_read_ = recno;
    return Status::OK();
  }
  Status s = file_->ReadExactly(offset, buf, len, ("record " + std::to_string(recno)).c_str());
  if (s.ok()) last_read_ = recno;
  return s;
}

Status DbfTable::WriteRecord(uint32_t recno, const char* buf) {
  Status s = CheckWritable();
  if (!s.ok()) return s;
  const size_t len = record_length();
  if (recno < 1 || recno > record_count_) {
    return Status::InvalidArgument(name(), "record " + std::to_string(recno) +
                                               " is out of range 1.." +
                                               std::to_string(record_count_));
  }
  const uint64_t offset = header_.header_length + uint64_t{recno - 1} * len;
  if (recno <= mapped_records_) {
    TouchPage(offset);
    TouchPage(offset + len - 1);
    std::memcpy(map_ + offset, buf, len);
    date_dirty_ = true;
    return Status::OK();
  }
  s = file_->WriteAt(offset, buf, len);
  if (!s.ok()) return s;
  if (recno >= window_first_ && recno < window_first_ + window_count_) {
    std::memcpy(window_.data() + (recno - window_first_) * len, buf, len);
  }
  date_dirty_ = true;
  return Status::OK();
}

Status DbfTable::AppendRecord(const char* buf, uint32_t* recno) {
  Status s = CheckWritable();
  if (!s.ok()) return s;
  if (record_count_ == UINT32_MAX) return Status::InvalidArgument(name(), "the table is full");
  const size_t len = record_length();
  // The record and the end-of-file byte go out in one write, over the old
  // end-of-file byte.
  std::string bytes(buf, len);
  bytes.push_back(static_cast<char>(kDbfEofMarker));
  s = file_->WriteAt(header_.header_length + uint64_t{record_count_} * len,
                     bytes.data(), bytes.size());
  if (!s.ok()) return s;
  ++record_count_;
  s = WriteCountAndDate();
  if (!s.ok()) {
    --record_count_;
    return s;
  }
  *recno = record_count_;
  if (record_count_ - mapped_records_ >= 4096 + mapped_records_ / 8) MapRecords();
  return Status::OK();
}

Status DbfTable::AppendRecords(const char* buf, uint32_t n) {
  Status s = CheckWritable();
  if (!s.ok()) return s;
  if (n > UINT32_MAX - record_count_) return Status::InvalidArgument(name(), "the table is full");
  const size_t len = record_length();
  std::string bytes(buf, len * n);
  bytes.push_back(static_cast<char>(kDbfEofMarker));
  s = file_->WriteAt(header_.header_length + uint64_t{record_count_} * len, bytes.data(),
                     bytes.size());
  if (!s.ok()) return s;
  record_count_ += n;
  s = WriteCountAndDate();
  if (!s.ok()) {
    record_count_ -= n;
    return s;
  }
  if (record_count_ - mapped_records_ >= 4096 + mapped_records_ / 8) MapRecords();
  return Status::OK();
}

Status DbfTable::WriteCountAndDate() {
  StampUpdateDate(&header_);
  header_.record_count = record_count_;
  char bytes[7];
  bytes[0] = static_cast<char>(header_.update_year);
  bytes[1] = static_cast<char>(header_.update_month);
  bytes[2] = static_cast<char>(header_.update_day);
  for (int i = 0; i < 4; ++i) bytes[3 + i] = static_cast<char>((record_count_ >> (8 * i)) & 0xFF);
  Status s = file_->WriteAt(1, bytes, sizeof bytes);
  if (s.ok()) date_dirty_ = false;
  return s;
}

Status DbfTable::RefreshCount() {
  unsigned char bytes[4];
  Status s = file_->ReadExactly(4, bytes, 4, "record count");
  if (!s.ok()) return s;
  uint32_t count = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (uint32_t{bytes[3]} << 24);
  uint64_t size = 0;
  s = file_->Size(&size);
  if (!s.ok()) return s;
  uint64_t avail = size >= header_.header_length
                       ? (size - header_.header_length) / header_.record_length
                       : 0;
  record_count_ = static_cast<uint32_t>(std::min<uint64_t>(count, avail));
  window_count_ = 0;  // another program may have changed what we hold
  return Status::OK();
}

Status DbfTable::Sync() {
  if (date_dirty_) {
    Status s = WriteCountAndDate();
    if (!s.ok()) return s;
  }
  if (read_only_) return Status::OK();
  return file_->Sync();
}

}  // namespace rt::tables

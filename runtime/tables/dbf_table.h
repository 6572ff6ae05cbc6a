// One open table file: its header, and reads and writes of whole records by
// record number.  Knows nothing of values, work areas or indexes; the work
// area builds on it (work_area.h) and dbftool uses it directly.
//
// Records are numbered from 1.  Appending keeps the file in the classic
// shape: the new record overwrites the old end-of-file byte, one 0x1A follows
// it, and the header's record count and last-update date are rewritten at
// once, so another reader never sees a short table.
#ifndef RUNTIME_TABLES_DBF_TABLE_H_
#define RUNTIME_TABLES_DBF_TABLE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/tables/dbf_header.h"
#include "runtime/tables/file.h"
#include "runtime/tables/status.h"

namespace rt::tables {

// A name upper-cased letter by letter (ASCII only, so the locale stays out
// of lookups that key expressions make for every record).
std::string FoldName(std::string_view name);

class DbfTable {
 public:
  // Opens a table over `file`.  Nothing is written while opening.  A table
  // whose header promises more records than the file holds is refused
  // unless `read_only` (then the records present are read).  A table this
  // runtime cannot write (another version, a record length that does not
  // add up) opens, but every write fails with InvalidArgument.
  static Status Open(std::unique_ptr<File> file, bool read_only,
                     std::unique_ptr<DbfTable>* table);
  // Writes a new empty table with these fields into `file` (which must be
  // empty or is emptied).  See LayoutNewTable for the checks.
  static Status Create(std::unique_ptr<File> file, std::vector<DbfField> fields,
                       std::unique_ptr<DbfTable>* table);

  ~DbfTable();
  DbfTable(const DbfTable&) = delete;
  DbfTable& operator=(const DbfTable&) = delete;

  const std::string& name() const { return file_->name(); }
  const DbfHeader& header() const { return header_; }
  const std::vector<DbfField>& fields() const { return header_.fields; }
  uint32_t record_count() const { return record_count_; }
  size_t record_length() const { return header_.record_length; }
  bool read_only() const { return read_only_; }
  // Why writes are refused (empty when they are allowed).
  const std::string& read_only_reason() const { return read_only_reason_; }
  // Oddities found while opening (a count corrected to the file's length, ...).
  const std::vector<std::string>& notes() const { return notes_; }

  // 0-based index of a field (case-insensitive), or -1.
  int FieldIndex(std::string_view field_name) const;

  // Reads record `recno` into `buf` (record_length() bytes).
  // REQUIRES: 1 <= recno <= record_count().
  Status ReadRecord(uint32_t recno, char* buf);
  // Writes record `recno` from `buf` in one write.
  Status WriteRecord(uint32_t recno, const char* buf);
  // Appends `buf` as record record_count()+1 and sets `*recno` to it.
  Status AppendRecord(const char* buf, uint32_t* recno);
  // Appends `n` records laid end to end in `buf` with one write (bulk
  // loading); the header is rewritten once.
  Status AppendRecords(const char* buf, uint32_t n);
  // Re-reads the record count from the header (another program sharing the
  // table may have appended).
  Status RefreshCount();
  // Rewrites the last-update date when anything was written since the last
  // flush, then fsyncs the file.
  Status Sync();

  // A record of all blanks, the form of a newly appended record.
  std::string BlankRecord() const { return std::string(record_length(), ' '); }

 private:
  DbfTable(std::unique_ptr<File> file, DbfHeader header, bool read_only);
  Status WriteCountAndDate();
  Status CheckWritable() const;
  // Maps the records the table holds, when the file allows; records past
  // the mapping go through ReadAt/WriteAt.
  void MapRecords();
  // Whether the page of the map holding `offset` was read or written
  // before; marks it.
  bool TouchPage(uint64_t offset);

  std::unique_ptr<File> file_;
  DbfHeader header_;
  uint32_t record_count_ = 0;
  bool read_only_;
  std::string read_only_reason_;
  std::vector<std::string> notes_;
  bool date_dirty_ = false;
  // Field positions by upper-cased name.
  std::unordered_map<std::string, int> field_by_name_;

  // The file mapped from offset 0 through record mapped_records_ (nullptr
  // when the file cannot be mapped).  Reads and writes of mapped records
  // are memory copies; the kernel pages them in and out, so a large table
  // is never held in private memory.
  char* map_ = nullptr;
  uint32_t mapped_records_ = 0;
  // Pages of the map read or written since it was made (see TouchPage).
  std::vector<bool> touched_pages_;

  // Read-ahead window for walks in record order: records
  // [window_first_, window_first_ + window_count_) are in window_.
  std::string window_;
  uint32_t window_first_ = 0;
  uint32_t window_count_ = 0;
  uint32_t last_read_ = 0;
};

}  // namespace rt::tables

#endif  // RUNTIME_TABLES_DBF_TABLE_H_

// The table file header: the 32-byte prologue, the field descriptors and the
// terminator, as laid out in doc/dbf_format.md.  Parsing never trusts the
// file: every length is checked against the bytes at hand, and a header that
// does not add up comes back as a Corruption status naming the fault.
#ifndef RUNTIME_TABLES_DBF_HEADER_H_
#define RUNTIME_TABLES_DBF_HEADER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/tables/status.h"

namespace rt::tables {

// doc/dbf_format.md, "Header".  DO NOT CHANGE: these are file offsets.
constexpr size_t kDbfPrologueSize = 32;
constexpr size_t kDbfDescriptorSize = 32;
constexpr uint8_t kDbfTerminator = 0x0D;
constexpr uint8_t kDbfEofMarker = 0x1A;
constexpr uint8_t kDbfLiveFlag = 0x20;
constexpr uint8_t kDbfDeletedFlag = 0x2A;
constexpr size_t kDbfMaxFieldNameLength = 10;
// Version bytes we write: no memo field / with a memo field.
constexpr uint8_t kDbfVersionPlain = 0x03;
constexpr uint8_t kDbfVersionMemo = 0xF5;

struct DbfField {
  std::string name;      // as stored (mixed case allowed), at most 10 bytes
  char type = 'C';       // C N F D L M, or another letter carried raw
  uint16_t length = 0;   // bytes in the record
  uint8_t decimals = 0;
  uint32_t offset = 0;   // inside the record; the deletion flag is byte 0
};

struct DbfHeader {
  uint8_t version = kDbfVersionPlain;
  uint8_t update_year = 0;   // raw byte (see the year convention below)
  uint8_t update_month = 0;
  uint8_t update_day = 0;
  uint32_t record_count = 0;  // as the header states it
  uint16_t header_length = 0;
  uint16_t record_length = 0;
  uint8_t table_flags = 0;
  uint8_t code_page = 0;
  std::vector<DbfField> fields;
  // True when this runtime may write the table: a classic version byte, a
  // record length that adds up, and a header of the classic length.
  bool writable = false;
  // Why the table is read-only (empty when writable).
  std::string read_only_reason;
};

// Parses a header from `bytes` (the file's first bytes; at least the whole
// header when the file holds it).  `file_name` goes into messages.
Status ParseDbfHeader(std::string_view bytes, std::string_view file_name,
                      DbfHeader* header);

// Fills record_length, header_length and offsets of `fields` and checks the
// field list for creation (names, types, widths).  C N F D L only; M and
// other letters are refused here, since we cannot create their side files.
Status LayoutNewTable(std::vector<DbfField> fields, std::string_view file_name,
                      DbfHeader* header);

// Serializes the header (prologue, descriptors, terminator) for writing.
// REQUIRES: header.writable.
std::string SerializeDbfHeader(const DbfHeader& header);

// How the last-update year is stored: the two conventions found in files.
enum class DbfYearStyle { kModulo100, kSince1900 };
void SetDbfYearStyle(DbfYearStyle style);
DbfYearStyle GetDbfYearStyle();
// Sets the last-update date to today in the current year style.
void StampUpdateDate(DbfHeader* header);

}  // namespace rt::tables

#endif  // RUNTIME_TABLES_DBF_HEADER_H_

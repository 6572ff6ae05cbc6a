// Parsing and writing of the table file header.
#include "runtime/tables/dbf_header.h"

#include <cctype>
#include <cstring>
#include <ctime>
#include <set>

namespace rt::tables {

namespace {

uint16_t Le16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void PutLe16(char* p, uint16_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>(v >> 8);
}
void PutLe32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

bool IsClassicVersion(uint8_t v) { return v == 0x03 || v == 0x83 || v == 0xF5; }

std::string Hex(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", v);
  return buf;
}

DbfYearStyle g_year_style = DbfYearStyle::kModulo100;

}  // namespace

void SetDbfYearStyle(DbfYearStyle style) { g_year_style = style; }
DbfYearStyle GetDbfYearStyle() { return g_year_style; }

void StampUpdateDate(DbfHeader* header) {
  std::time_t now = std::time(nullptr);
  std::tm tm_now;
  localtime_r(&now, &tm_now);
  int year = tm_now.tm_year + 1900;
  header->update_year = static_cast<uint8_t>(
      g_year_style == DbfYearStyle::kModulo100 ? year % 100 : year - 1900);
  header->update_month = static_cast<uint8_t>(tm_now.tm_mon + 1);
  header->update_day = static_cast<uint8_t>(tm_now.tm_mday);
}

Status ParseDbfHeader(std::string_view bytes, std::string_view file_name,
                      DbfHeader* header) {
  *header = DbfHeader();
  if (bytes.size() < kDbfPrologueSize) {
    return Status::Corruption(
        file_name, "file is " + std::to_string(bytes.size()) +
                       " bytes, too short for the 32-byte table header");
  }
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  header->version = p[0];
  if (header->version == 0x02) {
    return Status::Corruption(file_name,
                              "version byte 0x02: an older table layout that is not supported");
  }
  header->update_year = p[1];
  header->update_month = p[2];
  header->update_day = p[3];
  header->record_count = Le32(p + 4);
  header->header_length = Le16(p + 8);
  header->record_length = Le16(p + 10);
  header->table_flags = p[28];
  header->code_page = p[29];

  const size_t hlen = header->header_length;
  if (hlen < kDbfPrologueSize + kDbfDescriptorSize) {
    return Status::Corruption(file_name, "header length " + std::to_string(hlen) +
                                             " is too short to hold a field");
  }
  if (hlen > bytes.size()) {
    return Status::Corruption(file_name, "header length " + std::to_string(hlen) +
                                             " runs past the end of the file (" +
                                             std::to_string(bytes.size()) + " bytes)");
  }
  if (header->record_length < 2) {
    return Status::Corruption(file_name, "record length " +
                                             std::to_string(header->record_length) +
                                             " is too short to hold a field");
  }

  // Count the fields by scanning descriptors up to the terminator; the
  // header length may include extra bytes after it, so it never gives n.
  size_t pos = kDbfPrologueSize;
  bool terminated = false;
  while (pos < hlen) {
    if (p[pos] == kDbfTerminator) {
      terminated = true;
      break;
    }
    if (pos + kDbfDescriptorSize > hlen) {
      return Status::Corruption(file_name, "field descriptor " +
                                               std::to_string(header->fields.size() + 1) +
                                               " runs past the header length");
    }
    const unsigned char* d = p + pos;
    DbfField f;
    size_t name_len = 0;
    while (name_len < 11 && d[name_len] != 0) ++name_len;
    if (name_len > kDbfMaxFieldNameLength) name_len = kDbfMaxFieldNameLength;
    f.name.assign(reinterpret_cast<const char*>(d), name_len);
    while (!f.name.empty() && f.name.back() == ' ') f.name.pop_back();
    f.type = static_cast<char>(std::toupper(d[11]));
    f.length = d[16];
    f.decimals = d[17];
    const std::string which = "field " + std::to_string(header->fields.size() + 1);
    if (f.name.empty()) return Status::Corruption(file_name, which + " has no name");
    for (char c : f.name) {
      if (static_cast<unsigned char>(c) < 0x20) {
        return Status::Corruption(file_name, which + " has a name with control bytes");
      }
    }
    if (f.length == 0) {
      return Status::Corruption(file_name, "field " + f.name + " has length 0");
    }
    header->fields.push_back(std::move(f));
    pos += kDbfDescriptorSize;
  }
  if (header->fields.empty()) {
    return Status::Corruption(file_name, "the header describes no fields");
  }

  size_t sum = 0;
  for (const DbfField& f : header->fields) sum += f.length;
  if (sum + 1 != header->record_length) {
    // Some writers keep the high byte of a wide character field in the
    // decimals byte; accept that only when the record length adds up so.
    size_t wide_sum = 0;
    for (const DbfField& f : header->fields) {
      wide_sum += f.type == 'C' ? f.length + 256u * f.decimals : f.length;
    }
    if (wide_sum + 1 == header->record_length && wide_sum + 1 <= 0xFFFF) {
      for (DbfField& f : header->fields) {
        if (f.type == 'C') {
          f.length = static_cast<uint16_t>(f.length + 256u * f.decimals);
          f.decimals = 0;
        }
      }
      sum = wide_sum;
    }
  }
  if (sum + 1 > header->record_length) {
    return Status::Corruption(file_name, "the fields need " + std::to_string(sum + 1) +
                                             " bytes per record but the header says " +
                                             std::to_string(header->record_length));
  }
  uint32_t offset = 1;
  for (DbfField& f : header->fields) {
    f.offset = offset;
    offset += f.length;
  }

  std::set<std::string> names;
  bool duplicate = false;
  for (const DbfField& f : header->fields) {
    std::string upper;
    for (char c : f.name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!names.insert(upper).second) duplicate = true;
  }

  if (!IsClassicVersion(header->version)) {
    header->read_only_reason = "table version " + Hex(header->version) +
                               " is read-only here (only 0x03, 0x83 and 0xF5 tables are written)";
  } else if (sum + 1 != header->record_length) {
    header->read_only_reason = "record length " + std::to_string(header->record_length) +
                               " does not match the fields (" + std::to_string(sum + 1) +
                               "); the table is read-only";
  } else if (!terminated ||
             hlen != kDbfPrologueSize + kDbfDescriptorSize * header->fields.size() + 1) {
    header->read_only_reason = "header length " + std::to_string(hlen) +
                               " is not the classic layout; the table is read-only";
  } else if (duplicate) {
    header->read_only_reason = "two fields share a name; the table is read-only";
  }
  header->writable = header->read_only_reason.empty();
  return Status::OK();
}

Status LayoutNewTable(std::vector<DbfField> fields, std::string_view file_name,
                      DbfHeader* header) {
  *header = DbfHeader();
  if (fields.empty()) return Status::InvalidArgument(file_name, "a table needs at least one field");
  if (fields.size() > 255) {
    return Status::InvalidArgument(file_name, "a table may have at most 255 fields");
  }
  std::set<std::string> names;
  size_t offset = 1;
  for (DbfField& f : fields) {
    std::string upper;
    for (char c : f.name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    f.name = upper;
    if (f.name.empty() || f.name.size() > kDbfMaxFieldNameLength) {
      return Status::InvalidArgument(file_name, "field name '" + f.name +
                                                    "' must have 1 to 10 characters");
    }
    bool ok_name = std::isalpha(static_cast<unsigned char>(f.name[0])) != 0;
    for (char c : f.name) {
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') ok_name = false;
    }
    if (!ok_name) {
      return Status::InvalidArgument(file_name, "field name '" + f.name +
                                                    "' must be a letter followed by letters, digits or _");
    }
    if (!names.insert(f.name).second) {
      return Status::InvalidArgument(file_name, "field name " + f.name + " is used twice");
    }
    f.type = static_cast<char>(std::toupper(static_cast<unsigned char>(f.type)));
    const std::string where = "field " + f.name;
    switch (f.type) {
      case 'C':
        if (f.length < 1 || f.length > 254) {
          return Status::InvalidArgument(file_name, where + ": C width must be 1 to 254");
        }
        f.decimals = 0;
        break;
      case 'N':
      case 'F':
        if (f.length < 1 || f.length > 20) {
          return Status::InvalidArgument(file_name, where + ": numeric width must be 1 to 20");
        }
        if (f.decimals > 0 && f.decimals + 2 > f.length) {
          return Status::InvalidArgument(file_name,
                                         where + ": decimals must leave room for a digit and the point");
        }
        break;
      case 'D':
        f.length = 8;
        f.decimals = 0;
        break;
      case 'L':
        f.length = 1;
        f.decimals = 0;
        break;
      default:
        return Status::InvalidArgument(file_name, where + ": type '" + std::string(1, f.type) +
                                                      "' cannot be created (use C, N, F, D or L)");
    }
    f.offset = static_cast<uint32_t>(offset);
    offset += f.length;
  }
  if (offset > 0xFFFF) return Status::InvalidArgument(file_name, "records would exceed 65535 bytes");
  header->version = kDbfVersionPlain;
  header->record_length = static_cast<uint16_t>(offset);
  header->header_length =
      static_cast<uint16_t>(kDbfPrologueSize + kDbfDescriptorSize * fields.size() + 1);
  header->fields = std::move(fields);
  header->writable = true;
  StampUpdateDate(header);
  return Status::OK();
}

std::string SerializeDbfHeader(const DbfHeader& header) {
  std::string out(header.header_length, '\0');
  char* p = out.data();
  p[0] = static_cast<char>(header.version);
  p[1] = static_cast<char>(header.update_year);
  p[2] = static_cast<char>(header.update_month);
  p[3] = static_cast<char>(header.update_day);
  PutLe32(p + 4, header.record_count);
  PutLe16(p + 8, header.header_length);
  PutLe16(p + 10, header.record_length);
  p[28] = static_cast<char>(header.table_flags);
  p[29] = static_cast<char>(header.code_page);
  size_t pos = kDbfPrologueSize;
  for (const DbfField& f : header.fields) {
    char* d = p + pos;
    std::memcpy(d, f.name.data(), f.name.size() < 10 ? f.name.size() : 10);
    d[11] = f.type;
    PutLe32(d + 12, f.offset);
    d[16] = static_cast<char>(f.length & 0xFF);
    d[17] = static_cast<char>(f.decimals);
    pos += kDbfDescriptorSize;
  }
  p[pos] = static_cast<char>(kDbfTerminator);
  return out;
}

}  // namespace rt::tables

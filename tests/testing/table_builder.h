// Builds table files byte by byte for tests, independently of the runtime's
// own writer, so a test can make exactly the file (odd or damaged) it needs.
#ifndef TESTS_TESTING_TABLE_BUILDER_H_
#define TESTS_TESTING_TABLE_BUILDER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct FieldSpec {
  std::string name;
  char type;
  int length;
  int decimals = 0;
};

struct TableSpec {
  uint8_t version = 0x03;
  std::vector<FieldSpec> fields;
  // Each row is the record's bytes after the deletion flag, given field by
  // field (each padded or cut to its width); a row starting with '*' in
  // `deleted` is marked deleted.
  std::vector<std::vector<std::string>> rows;
  std::vector<bool> deleted;
  bool eof_marker = true;
  // When >= 0, the record count written into the header instead of the
  // number of rows.
  int64_t header_count = -1;
  // Extra bytes after the terminator, counted in the header length.
  int extra_header_bytes = 0;
};

// The bytes of the table file.
std::string BuildTable(const TableSpec& spec);

// Writes `bytes` to `path`; returns false on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// The bytes of the file at `path` (empty when unreadable).
std::string ReadFileBytes(const std::string& path);
// A fresh empty directory under the system temp directory.
std::string MakeTempDir(const std::string& prefix);

}  // namespace testing_support

#endif  // TESTS_TESTING_TABLE_BUILDER_H_

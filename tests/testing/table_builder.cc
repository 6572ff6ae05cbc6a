// Hand-made table files for tests.
#include "tests/testing/table_builder.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdlib.h>

namespace testing_support {

namespace {

void PutLe(std::string* out, size_t pos, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) (*out)[pos + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string BuildTable(const TableSpec& spec) {
  size_t record_length = 1;
  for (const FieldSpec& f : spec.fields) record_length += static_cast<size_t>(f.length);
  size_t header_length = 32 + 32 * spec.fields.size() + 1 + static_cast<size_t>(spec.extra_header_bytes);
  std::string out(header_length, '\0');
  out[0] = static_cast<char>(spec.version);
  out[1] = 26;
  out[2] = 12;
  out[3] = 11;
  uint64_t count = spec.header_count >= 0 ? static_cast<uint64_t>(spec.header_count) : spec.rows.size();
  PutLe(&out, 4, count, 4);
  PutLe(&out, 8, header_length, 2);
  PutLe(&out, 10, record_length, 2);
  size_t pos = 32;
  for (const FieldSpec& f : spec.fields) {
    out.replace(pos, f.name.size(), f.name);
    out[pos + 11] = f.type;
    out[pos + 16] = static_cast<char>(f.length & 0xFF);
    out[pos + 17] = static_cast<char>(f.decimals);
    pos += 32;
  }
  out[pos] = 0x0D;
  for (size_t r = 0; r < spec.rows.size(); ++r) {
    bool deleted = r < spec.deleted.size() && spec.deleted[r];
    out += deleted ? '*' : ' ';
    for (size_t i = 0; i < spec.fields.size(); ++i) {
      std::string v = i < spec.rows[r].size() ? spec.rows[r][i] : "";
      v.resize(static_cast<size_t>(spec.fields[i].length), ' ');
      out += v;
    }
  }
  if (spec.eof_marker) out += '\x1A';
  return out;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string MakeTempDir(const std::string& prefix) {
  std::string templ = "/tmp/" + prefix + "XXXXXX";
  char* made = mkdtemp(templ.data());
  return made ? std::string(made) : std::string();
}

}  // namespace testing_support

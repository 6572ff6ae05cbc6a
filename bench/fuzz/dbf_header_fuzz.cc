// Fuzzes the table header reader: any bytes are opened as a table (both
// read-only and for writing), and every record it then claims is read and
// every field decoded.  Nothing may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/tables/dbf_field.h"
#include "runtime/tables/dbf_table.h"
#include "runtime/tables/file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (bool read_only : {true, false}) {
    auto bytes = std::make_shared<std::string>(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<rt::tables::DbfTable> table;
    auto file = std::make_unique<rt::tables::MemoryFile>("FUZZ.DBF", bytes, read_only);
    if (!rt::tables::DbfTable::Open(std::move(file), read_only, &table).ok()) continue;
    std::string record(table->record_length(), ' ');
    uint32_t limit = table->record_count() < 64 ? table->record_count() : 64;
    for (uint32_t r = 1; r <= limit; ++r) {
      if (!table->ReadRecord(r, record.data()).ok()) break;
      for (const auto& field : table->fields()) rt::tables::DecodeField(field, record.data());
    }
    if (!read_only && limit > 0) {
      // Writing a record back must stay inside the file's own layout.
      table->WriteRecord(1, record.data());
      uint32_t recno = 0;
      table->AppendRecord(record.data(), &recno);
    }
  }
  return 0;
}

// The table file layer: header parsing (good, odd and damaged files), field
// encodings, record writes and appends, and whole-file locks.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "gtest/gtest.h"
#include "runtime/api/value.h"
#include "runtime/tables/dbf_field.h"
#include "runtime/tables/dbf_table.h"
#include "runtime/tables/file.h"
#include "tests/testing/table_builder.h"

namespace rt::tables {
namespace {

using testing_support::BuildTable;
using testing_support::FieldSpec;
using testing_support::TableSpec;

TableSpec SmallSpec() {
  TableSpec t;
  t.fields = {{"NAME", 'C', 6}, {"AGE", 'N', 3}, {"BORN", 'D', 8}, {"OK", 'L', 1}};
  t.rows = {{"ann", "  7", "20010203", "T"}, {"bob", " 42", "        ", "F"}};
  return t;
}

Status OpenBytes(const std::string& bytes, bool read_only, std::unique_ptr<DbfTable>* t,
                 std::shared_ptr<std::string>* data = nullptr) {
  auto d = std::make_shared<std::string>(bytes);
  if (data) *data = d;
  return DbfTable::Open(std::make_unique<MemoryFile>("T.DBF", d, read_only), read_only, t);
}

Value Field(DbfTable& t, uint32_t recno, const char* name) {
  std::string rec(t.record_length(), ' ');
  EXPECT_TRUE(t.ReadRecord(recno, rec.data()).ok());
  return DecodeField(t.fields()[static_cast<size_t>(t.FieldIndex(name))], rec.data());
}

TEST(DbfTableTest, ReadsAHandMadeTable) {
  std::unique_ptr<DbfTable> t;
  ASSERT_TRUE(OpenBytes(BuildTable(SmallSpec()), false, &t).ok());
  EXPECT_EQ(t->record_count(), 2u);
  EXPECT_TRUE(t->read_only_reason().empty());
  EXPECT_EQ(Field(*t, 1, "name").str(), "ann   ");
  EXPECT_EQ(Field(*t, 2, "AGE").num(), 42);
  EXPECT_EQ(Field(*t, 1, "BORN").date(), MakeDate(2001, 2, 3));
  EXPECT_TRUE(Field(*t, 2, "BORN").date().empty());
  EXPECT_TRUE(Field(*t, 1, "OK").logical());
  EXPECT_FALSE(Field(*t, 2, "OK").logical());
}

// Damaged headers: each is refused with a message naming the fault, and
// the bytes are left as they were.
TEST(DbfTableTest, RefusesMalformedHeaders) {
  const std::string good = BuildTable(SmallSpec());
  struct Case {
    const char* what;
    std::function<std::string(std::string)> damage;
    const char* message;
  };
  const Case cases[] = {
      {"empty file", [](std::string) { return std::string(); }, "too short"},
      {"half a prologue", [](std::string b) { return b.substr(0, 20); }, "too short"},
      {"old layout", [](std::string b) { b[0] = 0x02; return b; }, "0x02"},
      {"header length 0", [](std::string b) { b[8] = 0; b[9] = 0; return b; }, "header length 0"},
      {"header past end", [](std::string b) { b[8] = 0; b[9] = static_cast<char>(0x70); return b; },
       "runs past the end"},
      {"record too short for fields", [](std::string b) { b[10] = 5; b[11] = 0; return b; },
       "the fields need 19"},
      {"zero-width field", [](std::string b) { b[32 + 16] = 0; return b; }, "length 0"},
      {"nameless field", [](std::string b) { b[32] = 0; return b; }, "has no name"},
      {"truncated records", [](std::string b) { return b.substr(0, b.size() - 10); },
       "holds only 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::shared_ptr<std::string> data;
    std::string bad = c.damage(good);
    std::unique_ptr<DbfTable> t;
    Status s = OpenBytes(bad, false, &t, &data);
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find(c.message), std::string::npos) << s.ToString();
    EXPECT_NE(s.message().find("T.DBF"), std::string::npos) << s.ToString();
    EXPECT_EQ(*data, bad);
  }
}

TEST(DbfTableTest, TruncatedTableReadsWhatIsThereWhenReadOnly) {
  TableSpec spec = SmallSpec();
  spec.header_count = 5;  // a header that promises more than the file holds
  std::unique_ptr<DbfTable> t;
  ASSERT_TRUE(OpenBytes(BuildTable(spec), true, &t).ok());
  EXPECT_EQ(t->record_count(), 2u);
  ASSERT_EQ(t->notes().size(), 1u);
  EXPECT_FALSE(t->read_only_reason().empty());
}

TEST(DbfTableTest, OddButReadableHeaders) {
  {  // Fewer records in the header than in the file: trust the header.
    TableSpec spec = SmallSpec();
    spec.header_count = 1;
    std::unique_ptr<DbfTable> t;
    ASSERT_TRUE(OpenBytes(BuildTable(spec), false, &t).ok());
    EXPECT_EQ(t->record_count(), 1u);
  }
  {  // Extra bytes after the terminator, no end-of-file byte: readable,
     // but not a layout we rewrite.
    TableSpec spec = SmallSpec();
    spec.extra_header_bytes = 1;
    spec.eof_marker = false;
    std::unique_ptr<DbfTable> t;
    ASSERT_TRUE(OpenBytes(BuildTable(spec), false, &t).ok());
    EXPECT_EQ(Field(*t, 2, "NAME").str(), "bob   ");
    EXPECT_FALSE(t->read_only_reason().empty());
  }
  {  // Mixed-case names with junk after the NUL.
    TableSpec spec = SmallSpec();
    spec.fields[0].name = std::string("Name\0zz", 7);
    std::unique_ptr<DbfTable> t;
    ASSERT_TRUE(OpenBytes(BuildTable(spec), false, &t).ok());
    EXPECT_EQ(t->fields()[0].name, "Name");
    EXPECT_EQ(t->FieldIndex("NAME"), 0);
  }
}

TEST(DbfFieldTest, DecodesStoredText) {
  struct Case {
    DbfField field;
    std::string bytes;
    std::string literal;  // ToLiteral of the decoded value
  };
  const Case cases[] = {
      {{"N", 'N', 5, 2, 0}, " 3.14", "3.14"},
      {{"N", 'N', 5, 0, 0}, "  -12", "-12"},
      {{"N", 'N', 5, 0, 0}, "     ", "0"},
      {{"N", 'N', 5, 0, 0}, "+0042", "42"},
      {{"N", 'N', 5, 0, 0}, std::string("\0\0\0" "17", 5), "17"},
      {{"N", 'N', 5, 0, 0}, "*****", "NIL"},  // an overflow is not a zero
      {{"N", 'N', 5, 0, 0}, " 1,50", "NIL"},
      {{"D", 'D', 8, 0, 0}, "20261211", "STOD(\"20261211\")"},
      {{"D", 'D', 8, 0, 0}, "00000000", "STOD(\"        \")"},
      {{"D", 'D', 8, 0, 0}, "20260230", "STOD(\"        \")"},
      {{"L", 'L', 1, 0, 0}, "y", ".T."},
      {{"L", 'L', 1, 0, 0}, "?", ".F."},
      {{"I", 'I', 4, 0, 0}, std::string("\x01\0\0\0", 4), std::string("\"\x01\0\0\0\"", 6)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    DbfField f = c.field;
    f.offset = 0;
    std::string rec = c.bytes;
    Value v = DecodeField(f, rec.data());
    if (c.literal == "NIL") {
      EXPECT_TRUE(v.is_nil());
    } else if (v.is_date()) {
      EXPECT_EQ(DateToDtos(v.date()), c.literal.substr(6, 8));
    } else if (v.is_string()) {
      EXPECT_EQ(v.str(), c.bytes);
    } else {
      EXPECT_EQ(ToLiteral(v), c.literal);
    }
  }
}

TEST(DbfFieldTest, EncodesValuesOrRefuses) {
  struct Case {
    DbfField field;
    Value value;
    std::string bytes;  // empty: refused
  };
  const Case cases[] = {
      {{"C", 'C', 5, 0, 0}, Value("ab"), "ab   "},
      {{"C", 'C', 3, 0, 0}, Value("abcdef"), "abc"},
      {{"N", 'N', 6, 2, 0}, Value(3.14159), "  3.14"},
      {{"N", 'N', 6, 2, 0}, Value(2.675), "  2.68"},
      {{"N", 'N', 6, 2, 0}, Value(-0.004), "  0.00"},
      {{"N", 'N', 5, 2, 0}, Value(0.1), " 0.10"},
      {{"F", 'F', 20, 18, 0}, Value(0.1), "0.100000000000000000"},
      {{"N", 'N', 3, 0, 0}, Value(-12), "-12"},
      {{"N", 'N', 3, 0, 0}, Value(1000), ""},  // does not fit: refused, not '***'
      {{"N", 'N', 3, 0, 0}, Value("12"), ""},
      {{"D", 'D', 8, 0, 0}, Value(MakeDate(2026, 2, 7)), "20260207"},
      {{"D", 'D', 8, 0, 0}, Value(Date{}), "        "},
      {{"L", 'L', 1, 0, 0}, Value(false), "F"},
      {{"L", 'L', 1, 0, 0}, Value(1), ""},
      {{"M", 'M', 10, 0, 0}, Value("x"), ""},  // carried, never written
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToLiteral(c.value) + " into " + std::string(1, c.field.type));
    std::string rec(c.field.length, '#');
    std::string error;
    bool ok = EncodeField(c.field, c.value, rec.data(), &error);
    if (c.bytes.empty()) {
      EXPECT_FALSE(ok);
      EXPECT_NE(error.find(c.field.name), std::string::npos);
      EXPECT_EQ(rec, std::string(c.field.length, '#'));
    } else {
      EXPECT_TRUE(ok) << error;
      EXPECT_EQ(rec, c.bytes);
    }
  }
}

TEST(DbfTableTest, CreateAppendAndWriteKeepTheFileInShape) {
  auto data = std::make_shared<std::string>();
  std::unique_ptr<DbfTable> t;
  ASSERT_TRUE(DbfTable::Create(std::make_unique<MemoryFile>("N.DBF", data),
                               {{"name", 'C', 4, 0, 0}, {"qty", 'N', 5, 1, 0}}, &t)
                  .ok());
  EXPECT_EQ(data->size(), 32u + 64 + 1 + 1);
  EXPECT_EQ(data->back(), '\x1A');
  std::string rec = t->BlankRecord();
  uint32_t recno = 0;
  for (int i = 0; i < 3; ++i) {
    rec[1] = static_cast<char>('a' + i);
    ASSERT_TRUE(t->AppendRecord(rec.data(), &recno).ok());
  }
  EXPECT_EQ(recno, 3u);
  rec[1] = 'Z';
  ASSERT_TRUE(t->WriteRecord(2, rec.data()).ok());
  ASSERT_TRUE(t->Sync().ok());
  // Exactly header + 3 records + one end-of-file byte; count in the header.
  EXPECT_EQ(data->size(), 97u + 3 * 10 + 1);
  EXPECT_EQ(data->back(), '\x1A');
  EXPECT_EQ(static_cast<unsigned char>((*data)[4]), 3);
  EXPECT_EQ(data->substr(32, 5), std::string("NAME\0", 5));
  EXPECT_NE((*data)[2], 0);  // last-update month set

  std::unique_ptr<DbfTable> again;
  ASSERT_TRUE(OpenBytes(*data, true, &again).ok());
  EXPECT_EQ(again->record_count(), 3u);
  EXPECT_EQ(Field(*again, 2, "NAME").str(), "Z   ");
  EXPECT_EQ(Field(*again, 3, "NAME").str(), "c   ");
}

TEST(DbfTableTest, WritesAreRefusedWhereTheyWouldDamage) {
  TableSpec later = SmallSpec();
  later.version = 0x30;
  std::unique_ptr<DbfTable> t;
  std::shared_ptr<std::string> data;
  ASSERT_TRUE(OpenBytes(BuildTable(later), false, &t, &data).ok());
  const std::string before = *data;
  std::string rec = t->BlankRecord();
  uint32_t recno = 0;
  EXPECT_TRUE(t->WriteRecord(1, rec.data()).IsInvalidArgument());
  EXPECT_TRUE(t->AppendRecord(rec.data(), &recno).IsInvalidArgument());
  EXPECT_EQ(*data, before);

  // A full disk: the append fails and the count does not move.
  auto mem = std::make_unique<MemoryFile>("F.DBF", std::make_shared<std::string>(BuildTable(SmallSpec())));
  MemoryFile* raw = mem.get();
  ASSERT_TRUE(DbfTable::Open(std::move(mem), false, &t).ok());
  raw->set_fail_writes(true);
  EXPECT_TRUE(t->AppendRecord(rec.data(), &recno).IsIOError());
  EXPECT_EQ(t->record_count(), 2u);
}

TEST(DbfTableTest, UnknownFieldTypesAreCarriedUnchanged) {
  TableSpec spec;
  spec.fields = {{"NAME", 'C', 3}, {"RAW", 'I', 4}, {"NOTE", 'M', 10}};
  spec.rows = {{"abc", std::string("\x01\x02\0\xFF", 4), "        17"}};
  std::unique_ptr<DbfTable> t;
  std::shared_ptr<std::string> data;
  ASSERT_TRUE(OpenBytes(BuildTable(spec), false, &t, &data).ok());
  std::string rec(t->record_length(), ' ');
  ASSERT_TRUE(t->ReadRecord(1, rec.data()).ok());
  std::string error;
  ASSERT_TRUE(EncodeField(t->fields()[0], Value("xyz"), rec.data(), &error));
  ASSERT_TRUE(t->WriteRecord(1, rec.data()).ok());
  EXPECT_EQ(data->substr(t->header().header_length + 4, 14),
            std::string("\x01\x02\0\xFF", 4) + "        17");
}

TEST(DbfTableTest, WalkInRecordOrderSeesWritesMadeDuringTheWalk) {
  TableSpec spec;
  spec.fields = {{"N", 'N', 6}};
  for (int i = 1; i <= 5000; ++i) spec.rows.push_back({std::to_string(i)});
  std::unique_ptr<DbfTable> t;
  ASSERT_TRUE(OpenBytes(BuildTable(spec), false, &t).ok());
  std::string rec(t->record_length(), ' ');
  std::string error;
  ASSERT_TRUE(t->ReadRecord(1, rec.data()).ok());
  for (uint32_t r = 2; r <= 5000; ++r) {
    ASSERT_TRUE(t->ReadRecord(r, rec.data()).ok());
    ASSERT_EQ(DecodeField(t->fields()[0], rec.data()).num(), r);
    if (r % 7 == 0) {
      // Rewrite a record ahead of the walk, inside the read-ahead window.
      std::string ahead(t->record_length(), ' ');
      ASSERT_TRUE(EncodeField(t->fields()[0], Value(-1), ahead.data(), &error));
      if (r + 1 <= 5000) ASSERT_TRUE(t->WriteRecord(r + 1, ahead.data()).ok());
      ASSERT_TRUE(t->ReadRecord(r + 1 <= 5000 ? r + 1 : r, rec.data()).ok());
      if (r + 1 <= 5000) {
        EXPECT_EQ(DecodeField(t->fields()[0], rec.data()).num(), -1);
        ASSERT_TRUE(EncodeField(t->fields()[0], Value(static_cast<int>(r + 1)), ahead.data(), &error));
        ASSERT_TRUE(t->WriteRecord(r + 1, ahead.data()).ok());
      }
    }
  }
}

TEST(FileLockTest, LocksConflictAcrossOpensAndProcesses) {
  std::string dir = testing_support::MakeTempDir("locks");
  std::string path = dir + "/L.DBF";
  ASSERT_TRUE(testing_support::WriteFileBytes(path, BuildTable(SmallSpec())));
  auto open = [&](LockMode mode, bool read_only = false) {
    OpenOptions o;
    o.lock = mode;
    o.read_only = read_only;
    std::unique_ptr<File> f;
    return OpenPosixFile(path, o, &f);
  };
  {
    OpenOptions o;
    std::unique_ptr<File> held;
    ASSERT_TRUE(OpenPosixFile(path, o, &held).ok());  // exclusive
    Status s = open(LockMode::kShared);
    EXPECT_TRUE(s.IsLocked()) << s.ToString();
    EXPECT_NE(s.message().find("L.DBF"), std::string::npos);
    EXPECT_TRUE(open(LockMode::kExclusive, true).IsLocked());  // read-only still blocked
    // Another process sees the same lock.
    pid_t pid = fork();
    if (pid == 0) _exit(open(LockMode::kShared).IsLocked() ? 0 : 1);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  {
    OpenOptions o;
    o.lock = LockMode::kShared;
    std::unique_ptr<File> held;
    ASSERT_TRUE(OpenPosixFile(path, o, &held).ok());
    EXPECT_TRUE(open(LockMode::kShared).ok());
    EXPECT_TRUE(open(LockMode::kExclusive).IsLocked());
  }
  EXPECT_TRUE(open(LockMode::kExclusive).ok());  // released on close
  EXPECT_TRUE(OpenPosixFile(dir + "/NONE.DBF", OpenOptions(), nullptr).IsNotFound());
}

TEST(FixtureTableTest, ReadsTheLaterVariantFixtures) {
  const char* src = std::getenv("MORB_SOURCE_DIR");
  std::string dir = std::string(src ? src : ".") + "/tests/data/fixtures";
  struct Case {
    const char* file;
    uint32_t records;
    const char* field;
    std::vector<std::string> values;  // trimmed, per record
  };
  const Case cases[] = {
      {"setup.dbf", 3, "KEY_NAME", {"CALLS", "CONTACTS", "CONTACT_TYPES"}},
      {"expense_reports.dbf", 3, "PAID", {}},
      {"expense_details.dbf", 6, "EXPENSEIT2", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string bytes = testing_support::ReadFileBytes(dir + "/" + c.file);
    ASSERT_FALSE(bytes.empty()) << "missing fixture " << dir << "/" << c.file;
    std::unique_ptr<DbfTable> t;
    ASSERT_TRUE(OpenBytes(bytes, true, &t).ok());
    EXPECT_EQ(t->record_count(), c.records);
    EXPECT_EQ(t->header().version, 0x30);
    int idx = t->FieldIndex(c.field);
    ASSERT_GE(idx, 0);
    for (size_t r = 0; r < c.values.size(); ++r) {
      std::string v = Field(*t, static_cast<uint32_t>(r + 1), c.field).str();
      v.erase(v.find_last_not_of(' ') + 1);
      EXPECT_EQ(v, c.values[r]);
    }
  }
}

}  // namespace
}  // namespace rt::tables

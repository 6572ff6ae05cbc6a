// Interchange with independent table software: what we write, Debian's
// python3-dbfread reads with the same values; what python3-dbf writes, we
// read with the same values.  Both sides print records in one normalised
// line format (tests/tools/dbf_interop.py) and the lines must match.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "gtest/gtest.h"
#include "runtime/api/runtime.h"
#include "runtime/api/tables.h"
#include "runtime/tables/dbf_field.h"
#include "runtime/tables/dbf_table.h"
#include "runtime/tables/file.h"
#include "tests/testing/table_builder.h"

namespace rt::tables {
namespace {

std::string SourceDir() {
  const char* s = std::getenv("MORB_SOURCE_DIR");
  return s ? s : ".";
}

std::string BinDir() {
  const char* s = std::getenv("MORB_BIN_DIR");
  return s ? s : "./bin";
}

bool RunCommand(const std::string& cmd, std::string* out) {
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return false;
  char buf[4096];
  size_t n;
  out->clear();
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
  return pclose(p) == 0;
}

// Our side of the line format of dbf_interop.py: live records first, then
// deleted ones, as dbfread lists them.
std::string OurLines(const std::string& path) {
  std::unique_ptr<File> f;
  OpenOptions o;
  o.read_only = true;
  o.lock = LockMode::kShared;
  Status s = OpenPosixFile(path, o, &f);
  if (!s.ok()) return s.ToString();
  std::unique_ptr<DbfTable> t;
  s = DbfTable::Open(std::move(f), true, &t);
  if (!s.ok()) return s.ToString();
  std::string live, deleted;
  std::string rec(t->record_length(), ' ');
  for (uint32_t r = 1; r <= t->record_count(); ++r) {
    if (!t->ReadRecord(r, rec.data()).ok()) return "read error";
    std::string line(1, rec[0] == '*' ? '*' : ' ');
    for (size_t i = 0; i < t->fields().size(); ++i) {
      const DbfField& field = t->fields()[i];
      Value v = DecodeField(field, rec.data());
      std::string text;
      if (v.is_string()) {
        text = v.str();
        text.erase(text.find_last_not_of(' ') + 1);
      } else if (v.is_number() &&
                 std::string(rec, field.offset, field.length).find_first_not_of(' ') ==
                     std::string::npos) {
        // A blank number reads as 0 here and as "nothing" on the other side.
      } else if (v.is_number()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.6f", v.num());
        text = buf;
      } else if (v.is_date()) {
        if (!v.date().empty()) text = DateToDtos(v.date());
      } else if (v.is_logical()) {
        // An unset logical (blank or '?') is "nothing" to the other side.
        char c = rec[field.offset];
        if (std::string("TtYyFfNn").find(c) != std::string::npos) text = v.logical() ? "T" : "F";
      }
      line += (i ? "|" : "") + field.name + "=" + text;
    }
    (rec[0] == '*' ? deleted : live) += line + "\n";
  }
  return "count=" + std::to_string(t->record_count()) + "\n" + live + deleted;
}

class InteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system((SourceDir() + "/tests/tools/ensure_packages.sh").c_str()) != 0) {
      GTEST_SKIP() << "python3-dbfread / python3-dbf could not be installed";
    }
    dir_ = testing_support::MakeTempDir("interop");
  }
  std::string Script() const { return "/usr/bin/python3 " + SourceDir() + "/tests/tools/dbf_interop.py"; }
  std::string dir_;
};

TEST_F(InteropTest, IndependentReaderReadsTheDemoDatabase) {
  std::string out;
  ASSERT_TRUE(RunCommand(BinDir() + "/dbftool create-demo " + dir_ + " --records 700 --seed 3 2>&1", &out)) << out;
  for (const char* table : {"MORBREPT.DBF", "MORBUPLD.DBF", "SYSLOG.DBF"}) {
    SCOPED_TRACE(table);
    std::string path = dir_ + "/" + table;
    ASSERT_TRUE(RunCommand(Script() + " read " + path, &out)) << out;
    EXPECT_EQ(out, OurLines(path));
  }
}

TEST_F(InteropTest, IndependentReaderReadsRecordsWrittenThroughTheRuntime) {
  InitRuntime();
  SetDataDirectory(dir_);
  auto row = [](const char* n, const char* t, int len, int dec) {
    return Value(NewArray({Value(n), Value(t), Value(len), Value(dec)}));
  };
  Call("DBCREATE", {Value("mixed"), Value(NewArray({row("NAME", "C", 12, 0), row("QTY", "N", 10, 3),
                                                    row("RATIO", "F", 14, 6), row("WHEN", "D", 8, 0),
                                                    row("OK", "L", 1, 0)}))});
  Call("DBUSEAREA", {true, Value(), Value("mixed"), Value(), false, false});
  const Value values[][5] = {
      {Value("first"), Value(1.5), Value(-0.000001), Value(MakeDate(2024, 2, 29)), Value(true)},
      {Value("second one"), Value(-12345.678), Value(12345.678901), Value(Date{}), Value(false)},
      {Value("x"), Value(0.0005), Value(1e6), Value(MakeDate(1900, 1, 1)), Value(true)},
  };
  for (const auto& v : values) {
    Call("DBAPPEND");
    for (int i = 0; i < 5; ++i) Call("FIELDPUT", {i + 1, v[i]});
  }
  Call("DBAPPEND");  // a blank record: nothing in any field
  Call("DBGOTO", {2});
  Call("DBDELETE");
  Call("DBCLOSEALL");
  std::string path = dir_ + "/mixed.dbf";
  std::string out;
  ASSERT_TRUE(RunCommand(Script() + " read " + path, &out)) << out;
  EXPECT_EQ(out, OurLines(path));
  EXPECT_NE(out.find("*NAME=second one|QTY=-12345.678000"), std::string::npos) << out;
}

TEST_F(InteropTest, WeReadWhatTheIndependentWriterWrote) {
  std::string path = dir_ + "/written.dbf";
  std::string out;
  ASSERT_TRUE(RunCommand(Script() + " write " + path, &out)) << out;
  EXPECT_EQ(OurLines(path), out);
}

}  // namespace
}  // namespace rt::tables

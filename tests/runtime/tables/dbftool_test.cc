// dbftool end to end: check notices a table changed behind its bag and
// says where, reindex repairs it, dump prints every record, and usage
// errors and bad files give exit status 2 with a message.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "gtest/gtest.h"
#include "runtime/api/value.h"
#include "runtime/tables/dbf_field.h"
#include "runtime/tables/dbf_table.h"
#include "runtime/tables/file.h"
#include "tests/testing/table_builder.h"

namespace rt::tables {
namespace {

struct Result {
  int status;
  std::string out;
};

Result Tool(const std::string& args) {
  const char* bin = std::getenv("MORB_BIN_DIR");
  std::string cmd = std::string(bin ? bin : "./bin") + "/dbftool " + args + " 2>&1";
  Result r{-1, ""};
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

// Changes MMWR_YEAR of record `recno` without going through a work area,
// so the bag no longer agrees with the table.
void ChangeBehindTheBag(const std::string& path, uint32_t recno) {
  std::unique_ptr<File> f;
  ASSERT_TRUE(OpenPosixFile(path, OpenOptions(), &f).ok());
  std::unique_ptr<DbfTable> t;
  ASSERT_TRUE(DbfTable::Open(std::move(f), false, &t).ok());
  std::string rec(t->record_length(), ' ');
  ASSERT_TRUE(t->ReadRecord(recno, rec.data()).ok());
  std::string error;
  ASSERT_TRUE(EncodeField(t->fields()[static_cast<size_t>(t->FieldIndex("MMWR_YEAR"))],
                          Value("1901"), rec.data(), &error));
  ASSERT_TRUE(t->WriteRecord(recno, rec.data()).ok());
  ASSERT_TRUE(t->Sync().ok());
}

TEST(DbftoolTest, CheckFindsDisagreementAndReindexRepairsIt) {
  std::string dir = testing_support::MakeTempDir("dbftool");
  Result r = Tool("create-demo " + dir + " --records 300 --seed 9");
  ASSERT_EQ(r.status, 0) << r.out;
  const std::string table = dir + "/MORBREPT.DBF", bag = dir + "/MOR01.CDX";
  r = Tool("check " + table + " " + bag);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("tag REPT_DT    ok (300 entries)"), std::string::npos) << r.out;

  ChangeBehindTheBag(table, 17);
  r = Tool("check " + table + " " + bag);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("tag MMWR       BAD"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("'1901"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("tag CASE_ID    ok"), std::string::npos) << r.out;

  r = Tool("reindex " + table + " " + bag);
  EXPECT_EQ(r.status, 0) << r.out;
  r = Tool("check " + table + " " + bag);
  EXPECT_EQ(r.status, 0) << r.out;

  r = Tool("dump " + table + " --bag " + bag + " --order MMWR --csv");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.rfind("RECNO,DELETED,CASE_ID,", 0), 0u);
  size_t lines = 0;
  for (char c : r.out) lines += c == '\n';
  EXPECT_EQ(lines, 301u);
  EXPECT_NE(r.out.find("\n17,,C000000017,"), std::string::npos);
}

TEST(DbftoolTest, UsageAndBadFiles) {
  struct Case {
    std::string args;
    int status;
    const char* says;
  };
  std::string dir = testing_support::MakeTempDir("dbftoolbad");
  testing_support::WriteFileBytes(dir + "/junk.dbf", "not a table at all, just text");
  const Case cases[] = {
      {"--help", 0, "usage: dbftool COMMAND"},
      {"check --help", 0, "usage: dbftool check TABLE BAG"},
      {"create-demo --help", 0, "--records N"},
      {"dump --help", 0, "--csv"},
      {"reindex --help", 0, "usage: dbftool reindex"},
      {"", 2, "usage: dbftool COMMAND"},
      {"frobnicate", 2, "unknown command"},
      {"check onlyone", 2, "usage: dbftool check"},
      {"create-demo " + dir + "/x --records lots", 2, "bad value for --records"},
      {"dump " + dir + "/missing.dbf", 2, "missing.dbf"},
      {"dump " + dir + "/junk.dbf", 2, "junk.dbf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    Result r = Tool(c.args);
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
  }
  EXPECT_EQ(testing_support::ReadFileBytes(dir + "/junk.dbf"), "not a table at all, just text");
}

}  // namespace
}  // namespace rt::tables

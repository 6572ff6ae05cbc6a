// Work areas and the table built-ins, called by name as the module and the
// support library call them: areas and aliases, movement, the record
// buffer, orders and seeking, order maintenance under random writes (checked
// by dbftool), and the errors of bad or busy files.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "gtest/gtest.h"
#include "runtime/api/runtime.h"
#include "runtime/api/tables.h"
#include "runtime/tables/file.h"
#include "tests/testing/table_builder.h"

namespace rt {
namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

Value C(std::string_view name, std::initializer_list<Value> args = {}) {
  return Call(name, args);
}

ArrayPtr Row(std::string name, std::string type, int len, int dec = 0) {
  return NewArray({Value(name), Value(type), Value(len), Value(dec)});
}

// The error a call raises (no error block installed: it arrives unhandled).
struct Raised {
  bool raised = false;
  int gen_code = 0;
  std::string description, filename;
};

Raised RaisedBy(const std::function<void()>& fn) {
  Raised r;
  try {
    fn();
  } catch (const UnhandledError& e) {
    r.raised = true;
    r.gen_code = static_cast<int>(GetVar(e.error_object(), "genCode").num());
    r.description = GetVar(e.error_object(), "description").str();
    Value f = GetVar(e.error_object(), "filename");
    r.filename = f.is_string() ? f.str() : "";
  }
  return r;
}

class WorkAreaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitRuntime();
    dir_ = testing_support::MakeTempDir("areas");
    tables::SetDataDirectory(dir_);
    SetSetting(kSetSoftSeek, Value(false));
  }
  void TearDown() override { C("DBCLOSEALL"); }

  // PEOPLE: NAME C8, AGE N3, BORN D, OK L, with `n` rows named P001...
  void MakePeople(int n) {
    C("DBCREATE", {Value("people"), Value(NewArray({Value(Row("NAME", "C", 8)), Value(Row("AGE", "N", 3)),
                                                    Value(Row("BORN", "D", 8)), Value(Row("OK", "L", 1))}))});
    C("DBUSEAREA", {true, Value(), Value("people"), Value(), false, false});
    for (int i = 1; i <= n; ++i) {
      C("DBAPPEND");
      char name[16];
      std::snprintf(name, sizeof name, "P%03d", i);
      C("FIELDPUT", {1, Value(name)});
      C("FIELDPUT", {2, (i * 7) % 20 * 2});  // even ages, some twice
      C("FIELDPUT", {3, Value(MakeDate(2000 + i % 7, 1 + i % 12, 1 + i % 28))});
    }
    C("DBGOTOP");
  }

  std::string dir_;
};

TEST_F(WorkAreaTest, AreasAliasesAndFields) {
  MakePeople(3);
  C("DBCLOSEAREA");
  C("DBUSEAREA", {false, Value(), Value("people"), Value(), true, false});
  EXPECT_EQ(C("SELECT").num(), 1);
  EXPECT_EQ(C("ALIAS").str(), "PEOPLE");
  C("DBUSEAREA", {true, Value(), Value("PEOPLE.DBF"), Value("Other"), true, true});
  EXPECT_EQ(C("SELECT").num(), 2);
  EXPECT_EQ(C("SELECT", {Value("people")}).num(), 1);
  EXPECT_EQ(C("SELECT", {Value("OTHER")}).num(), 2);
  EXPECT_EQ(C("SELECT", {Value("nobody")}).num(), 0);
  EXPECT_EQ(tables::AreaOfAlias("other"), 2);
  C("DBSELECTAREA", {Value("people")});
  EXPECT_EQ(C("FCOUNT").num(), 4);
  EXPECT_EQ(C("FIELDPOS", {Value("age")}).num(), 2);
  EXPECT_EQ(C("FIELDPOS", {Value("nope")}).num(), 0);
  EXPECT_EQ(C("FIELDPOS", {Value("other->born")}).num(), 3);
  EXPECT_EQ(C("FIELDPOS", {Value("FIELD->OK")}).num(), 4);
  EXPECT_EQ(C("FIELDNAME", {2}).str(), "AGE");
  EXPECT_EQ(C("FIELDGET", {1}).str(), "P001    ");
  EXPECT_TRUE(C("FIELDGET", {9}).is_nil());
  // Another area's fields through the API, as alias->field reads them.
  EXPECT_EQ(tables::GetField(2, 1).str(), "P001    ");
  C("DBSELECTAREA", {0});
  EXPECT_EQ(C("SELECT").num(), 3);
  EXPECT_FALSE(C("USED").logical());
  Raised r = RaisedBy([] { C("DBSELECTAREA", {Value("ghost")}); });
  EXPECT_TRUE(r.raised);
  EXPECT_NE(r.description.find("ghost"), std::string::npos);
  // An alias is used once.
  r = RaisedBy([] { C("DBUSEAREA", {true, Value(), Value("people"), Value("OTHER"), true, true}); });
  EXPECT_TRUE(r.raised);
}

TEST_F(WorkAreaTest, MovementInRecordOrder) {
  MakePeople(0);
  EXPECT_TRUE(C("EOF").logical());
  EXPECT_TRUE(C("BOF").logical());
  EXPECT_EQ(C("RECNO").num(), 1);
  C("DBSKIP");
  EXPECT_TRUE(C("EOF").logical());
  C("DBCLOSEAREA");
  C("DBCLOSEALL");
  std::remove((dir_ + "/people.dbf").c_str());
  MakePeople(3);
  struct Step {
    const char* op;
    int arg;
    int recno;
    bool eof, bof;
  };
  const Step steps[] = {
      {"DBGOTOP", 0, 1, false, false},   {"DBSKIP", 1, 2, false, false},
      {"DBSKIP", 5, 4, true, false},     {"DBSKIP", -1, 3, false, false},
      {"DBSKIP", -9, 1, false, true},    {"DBGOBOTTOM", 0, 3, false, false},
      {"DBGOTO", 2, 2, false, false},    {"DBGOTO", 0, 4, true, false},
      {"DBGOTO", 99, 4, true, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.op) + " " + std::to_string(s.arg));
    if (std::string(s.op) == "DBSKIP" || std::string(s.op) == "DBGOTO") C(s.op, {s.arg});
    else C(s.op);
    EXPECT_EQ(C("RECNO").num(), s.recno);
    EXPECT_EQ(C("EOF").logical(), s.eof);
    EXPECT_EQ(C("BOF").logical(), s.bof);
  }
  EXPECT_EQ(C("RECCOUNT").num(), 3);
  EXPECT_EQ(C("LASTREC").num(), 3);
  // At end of file the fields read blank and cannot be written.
  EXPECT_EQ(C("FIELDGET", {1}).str(), "        ");
  EXPECT_TRUE(RaisedBy([] { C("FIELDPUT", {1, Value("x")}); }).raised);
}

TEST_F(WorkAreaTest, RecordIsBufferedUntilThePointerMoves) {
  MakePeople(2);
  C("DBCOMMIT");
  const std::string path = dir_ + "/people.dbf";
  const std::string before = ReadFileBytes(path);
  C("FIELDPUT", {1, Value("CHANGED")});
  C("FIELDPUT", {2, 7});
  EXPECT_EQ(C("FIELDGET", {2}).num(), 7);
  EXPECT_EQ(ReadFileBytes(path), before);  // nothing written yet
  C("DBSKIP");
  std::string after = ReadFileBytes(path);
  EXPECT_NE(after.find("CHANGED   7"), std::string::npos);
  // A failed write leaves the buffer as it was.
  Raised r = RaisedBy([] { C("FIELDPUT", {2, 1000}); });
  EXPECT_TRUE(r.raised);
  EXPECT_NE(r.description.find("AGE"), std::string::npos);
  EXPECT_TRUE(RaisedBy([] { C("FIELDPUT", {3, Value("20260101")}); }).raised);
  C("DBDELETE");
  EXPECT_TRUE(C("DELETED").logical());
  C("DBGOTOP");
  EXPECT_FALSE(C("DELETED").logical());
  C("DBGOTO", {2});
  EXPECT_TRUE(C("DELETED").logical());
  EXPECT_NE(C("FIELDGET", {2}).num(), 1000);
}

TEST_F(WorkAreaTest, OrdersSeekAndSkip) {
  MakePeople(30);
  C("ORDCREATE", {Value("people"), Value("NAME"), Value("NAME")});
  C("ORDCREATE", {Value("people"), Value("AGE"), Value("AGE")});
  C("ORDCREATE", {Value("people"), Value("BORN"), Value("DTOS(BORN)+NAME")});
  EXPECT_EQ(C("ORDSETFOCUS").str(), "BORN");
  EXPECT_EQ(C("ORDSETFOCUS", {Value("age")}).str(), "BORN");
  EXPECT_EQ(C("ORDNAME", {1}).str(), "NAME");
  EXPECT_EQ(C("ORDKEY", {3}).str(), "DTOS(BORN)+NAME");
  EXPECT_EQ(C("INDEXORD").num(), 2);

  // Ages walk in order, equal ages by record number.
  C("DBGOTOP");
  std::vector<std::pair<double, double>> walk;
  while (!C("EOF").logical()) {
    walk.emplace_back(C("FIELDGET", {2}).num(), C("RECNO").num());
    C("DBSKIP");
  }
  ASSERT_EQ(walk.size(), 30u);
  EXPECT_TRUE(std::is_sorted(walk.begin(), walk.end()));

  struct Seek {
    Value key;
    bool soft, last;
    bool found;
    double age;  // of the record landed on; -1 for end of file
  };
  const Seek seeks[] = {
      {Value(24), false, false, true, 24}, {Value(25), false, false, false, -1},
      {Value(25), true, false, false, 26}, {Value(99), true, false, false, -1},
  };
  for (const Seek& s : seeks) {
    SCOPED_TRACE(ToLiteral(s.key));
    EXPECT_EQ(C("DBSEEK", {s.key, s.soft, s.last}).logical(), s.found);
    EXPECT_EQ(C("FOUND").logical(), s.found);
    if (s.age < 0) {
      EXPECT_TRUE(C("EOF").logical());
    } else {
      EXPECT_EQ(C("FIELDGET", {2}).num(), s.age);
    }
  }
  // Soft seek follows setting 9 when the argument is left out.
  SetSetting(kSetSoftSeek, Value(true));
  EXPECT_FALSE(C("DBSEEK", {25}).logical());
  EXPECT_FALSE(C("EOF").logical());
  SetSetting(kSetSoftSeek, Value(false));
  // First and last of equal keys.
  C("DBSEEK", {28, false, false});
  double first = C("RECNO").num();
  C("DBSEEK", {28, false, true});
  double last = C("RECNO").num();
  EXPECT_LT(first, last);

  // A date seeks its text in a character order; a short key seeks a prefix.
  C("ORDSETFOCUS", {3});
  C("DBGOTOP");
  Value born = C("FIELDGET", {3});
  EXPECT_TRUE(C("DBSEEK", {born}).logical());
  C("ORDSETFOCUS", {Value("NAME")});
  EXPECT_TRUE(C("DBSEEK", {Value("P01")}).logical());
  EXPECT_EQ(C("FIELDGET", {1}).str(), "P010    ");
  EXPECT_TRUE(RaisedBy([] { C("DBSEEK", {5}); }).raised);  // number into a character order

  // Changing the focused key moves the record; skipping goes on from there.
  C("DBSEEK", {Value("P015")});
  C("FIELDPUT", {1, Value("P000")});
  C("DBSKIP");
  EXPECT_EQ(C("FIELDGET", {1}).str(), "P001    ");
  C("DBGOTOP");
  EXPECT_EQ(C("FIELDGET", {1}).str(), "P000    ");

  // Reopened, the bag reads back the same orders.
  C("DBCLOSEALL");
  C("DBUSEAREA", {true, Value(), Value("people"), Value(), false, false});
  C("ORDLISTADD", {Value("PEOPLE")});
  EXPECT_EQ(C("ORDSETFOCUS").str(), "NAME");  // the first order takes the focus
  C("ORDSETFOCUS", {2});
  C("DBGOBOTTOM");
  EXPECT_EQ(C("FIELDGET", {2}).num(), 38);
  C("ORDLISTCLEAR");
  EXPECT_EQ(C("ORDSETFOCUS").str(), "");
  EXPECT_TRUE(RaisedBy([] { C("DBSEEK", {1}); }).raised);
}

// Compiled expressions reach fields of any area by alias, and a write there
// maintains that area's orders with that area's record current.
TEST_F(WorkAreaTest, ExpressionsReadAndWriteOtherAreas) {
  MakePeople(5);
  C("ORDCREATE", {Value("people"), Value("NAME"), Value("NAME")});
  C("DBCREATE", {Value("pets"), Value(NewArray({Value(Row("PET", "C", 6))}))});
  C("DBUSEAREA", {true, Value(), Value("pets"), Value(), false, false});
  C("DBAPPEND");
  C("DBSELECTAREA", {Value("people")});
  C("DBGOTO", {3});
  EXPECT_EQ(MacroEval("pets->PET := 'Rex'").str(), "Rex");
  EXPECT_EQ(MacroEval("PETS->pet").str(), "Rex   ");
  EXPECT_EQ(MacroEval("FIELD->NAME").str(), "P003    ");
  EXPECT_EQ(MacroEval("(2)->(RECNO())").num(), 1);
  EXPECT_EQ(C("SELECT").num(), 1);
  // From the other area, rename a person: the NAME order follows.
  C("DBSELECTAREA", {Value("pets")});
  MacroEval("people->NAME := 'A000'");
  EXPECT_EQ(C("SELECT").num(), 2);
  C("DBSELECTAREA", {Value("people")});
  C("DBGOTOP");
  EXPECT_EQ(C("FIELDGET", {1}).str(), "A000    ");
  EXPECT_EQ(C("RECNO").num(), 3);
}

// Random appends, writes (changing the keys of several orders at once) and
// deletions through the built-ins; afterwards every order must agree with
// the table, as dbftool check sees it and as a walk in this process sees it.
TEST_F(WorkAreaTest, OrdersAgreeWithTheTableAfterRandomWrites) {
  MakePeople(200);
  C("ORDCREATE", {Value("ppl"), Value("NAMEAGE"), Value("NAME+STR(AGE,3)")});
  C("ORDCREATE", {Value("ppl"), Value("AGE"), Value("AGE")});
  C("ORDCREATE", {Value("ppl"), Value("BORN"), Value("BORN")});
  C("ORDCREATE", {Value("ppl"), Value("OKNAME"), Value("IIF(OK,'Y','N')+NAME")});
  // Plain field text: kept by cutting keys from the record.
  C("ORDCREATE", {Value("ppl"), Value("NAMEBORN"), Value("name + DTOS(born)")});
  std::mt19937 rnd(12345);
  for (int step = 0; step < 3000; ++step) {
    int op = static_cast<int>(rnd() % 10);
    if (step % 500 == 0) C("ORDSETFOCUS", {static_cast<int>(rnd() % 6)});
    if (op == 0) {
      C("DBAPPEND");
    } else if (op == 1) {
      C("DBDELETE");
    } else if (op <= 3) {
      C("DBSKIP", {static_cast<int>(rnd() % 7) - 3});
    } else if (op == 4) {
      C("DBGOTO", {static_cast<int>(1 + rnd() % static_cast<unsigned>(C("LASTREC").num()))});
    } else if (op == 5 && C("INDEXORD").num() == 2) {
      C("DBSEEK", {static_cast<int>(rnd() % 50), true});
    }
    if (C("EOF").logical()) {
      C("DBGOTOP");
      continue;
    }
    if (op >= 5) {
      char name[16];
      std::snprintf(name, sizeof name, "Q%03u", static_cast<unsigned>(rnd() % 300));
      C("FIELDPUT", {1, Value(name)});
      if (rnd() % 2) C("FIELDPUT", {2, static_cast<int>(rnd() % 60)});
      if (rnd() % 3 == 0) C("FIELDPUT", {3, Value(MakeDate(1990 + static_cast<int>(rnd() % 30), 3, 1))});
      if (rnd() % 3 == 0) C("FIELDPUT", {4, rnd() % 2 == 0});
    }
  }
  // In this process: every order walks the table's records once, in key order.
  const uint32_t count = static_cast<uint32_t>(C("LASTREC").num());
  for (int order = 1; order <= 5; ++order) {
    SCOPED_TRACE(order);
    C("ORDSETFOCUS", {order});
    C("DBGOTOP");
    std::set<double> seen;
    std::string previous;
    while (!C("EOF").logical()) {
      EXPECT_TRUE(seen.insert(C("RECNO").num()).second);
      C("DBSKIP");
    }
    EXPECT_EQ(seen.size(), count);
  }
  C("DBCLOSEALL");
  const char* bin = std::getenv("MORB_BIN_DIR");
  ASSERT_NE(bin, nullptr);
  std::string cmd = std::string(bin) + "/dbftool check " + dir_ + "/people.dbf " + dir_ +
                    "/ppl.cdx > " + dir_ + "/check.txt 2>&1";
  int rc = std::system(cmd.c_str());
  EXPECT_EQ(rc, 0) << ReadFileBytes(dir_ + "/check.txt");
  EXPECT_NE(ReadFileBytes(dir_ + "/check.txt").find("tag OKNAME     ok"), std::string::npos);
  EXPECT_NE(ReadFileBytes(dir_ + "/check.txt").find("tag NAMEBORN   ok"), std::string::npos);
}

// A table that is missing, busy in another program, truncated or damaged:
// a runtime error naming the file and the fault, and the file unchanged.
TEST_F(WorkAreaTest, BadAndBusyFilesRaiseClearErrors) {
  MakePeople(3);
  C("DBCLOSEALL");
  const std::string good = ReadFileBytes(dir_ + "/people.dbf");
  struct Case {
    const char* what;
    std::string bytes;  // empty: no file at all
    int gen_code;
    const char* says;
  };
  std::string header_junk = good;
  header_junk[10] = 1;  // record length 1
  std::string bad_terminator = good;
  bad_terminator.resize(40);
  const Case cases[] = {
      {"missing", "", kErrOpen, "no such file"},
      {"truncated", good.substr(0, good.size() - 20), kErrCorrupt, "truncated"},
      {"record length", header_junk, kErrCorrupt, "record length"},
      {"short header", bad_terminator, kErrCorrupt, "header length"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = dir_ + "/bad.dbf";
    std::remove(path.c_str());
    if (!c.bytes.empty()) ASSERT_TRUE(WriteFileBytes(path, c.bytes));
    Raised r = RaisedBy([] { C("DBUSEAREA", {true, Value(), Value("bad"), Value(), false, false}); });
    EXPECT_TRUE(r.raised);
    EXPECT_EQ(r.gen_code, c.gen_code);
    EXPECT_NE(r.description.find(c.says), std::string::npos) << r.description;
    EXPECT_NE(r.filename.find("bad.dbf"), std::string::npos);
    EXPECT_FALSE(C("USED").logical());
    if (!c.bytes.empty()) EXPECT_EQ(ReadFileBytes(path), c.bytes);
  }

  // Held exclusively by another process.
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t pid = fork();
  if (pid == 0) {
    std::unique_ptr<tables::File> f;
    tables::OpenOptions o;
    bool ok = tables::OpenPosixFile(dir_ + "/people.dbf", o, &f).ok();
    char b = ok ? 'y' : 'n';
    (void)!write(ready[1], &b, 1);
    (void)!read(done[0], &b, 1);
    _exit(0);
  }
  char b = 0;
  ASSERT_EQ(read(ready[0], &b, 1), 1);
  ASSERT_EQ(b, 'y');
  for (bool shared : {false, true}) {
    Raised r = RaisedBy([&] { C("DBUSEAREA", {true, Value(), Value("people"), Value(), shared, false}); });
    EXPECT_TRUE(r.raised);
    EXPECT_EQ(r.gen_code, kErrLock);
    EXPECT_NE(r.description.find("another program"), std::string::npos) << r.description;
  }
  (void)!write(done[1], "x", 1);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(ReadFileBytes(dir_ + "/people.dbf"), good);
  C("DBUSEAREA", {true, Value(), Value("people"), Value(), false, true});
  EXPECT_TRUE(C("USED").logical());
  Raised r = RaisedBy([] { C("FIELDPUT", {1, Value("x")}); });
  EXPECT_EQ(r.gen_code, kErrWrite);
  EXPECT_NE(r.description.find("read-only"), std::string::npos);
}

}  // namespace
}  // namespace rt

// The MMWR patch end to end on a small demo database: VORNEX run in this
// process on the headless console with queued keys, checked on the screen,
// the log, the tables (read back by an independent reader) and the indexes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "runtime/api/console.h"
#include "runtime/api/runtime.h"
#include "runtime/api/tables.h"
#include "tests/testing/libraries.h"
#include "tests/testing/table_builder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::BinDir;
using testing_support::SourceDir;

// The demo database is made once and copied for every test.
const std::string& DemoTemplate() {
  static const std::string dir = [] {
    std::string d = testing_support::MakeTempDir("patch_demo");
    std::string cmd = BinDir() + "/dbftool create-demo " + d +
                      " --records 400 --seed 11 >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return d;
  }();
  return dir;
}

struct Record {
  rt::Date rept_dt;
  std::string week, year;
  rt::Date stamped;
};

class PatchTest : public testing::Test {
 protected:
  void SetUp() override {
    testing_support::LoadLibraries();
    dir_ = testing_support::MakeTempDir("patch");
    Fresh();
    rt::tables::SetDataDirectory(dir_);
    rt::SetSetting(rt::kSetSoftSeek, false);
  }
  // Puts the demo database back as it was made.
  void Fresh() {
    fs::copy(DemoTemplate(), dir_,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  void TearDown() override { rt::tables::CloseAllAreas(); }

  // Runs VORNEX with the keys; returns the error text, empty when it ended
  // normally.  Leaves the screen as the run left it.
  std::string Run(const std::string& keys) {
    rt::console::UseHeadless();
    std::string error;
    EXPECT_TRUE(rt::console::QueueKeys(keys, &error)) << error;
    rt::SetPublic("mC_SCREEN", "W/B,N/W");
    rt::SetPublic("GetList", rt::NewArray());
    std::vector<rt::ChainEntry> chain;
    bool ok = rt::RunProtected([] { rt::Call("VORNEX"); }, &error, &chain);
    rt::tables::CloseAllAreas();
    return ok ? "" : error;
  }

  // Every record of a table in record order, read through the runtime.
  std::vector<Record> Records(const std::string& table) {
    std::vector<Record> out;
    rt::Call("DBUSEAREA", {true, rt::Value(), table, table, false, true});
    for (rt::Call("DBGOTOP"); !rt::Call("EOF").is_true(); rt::Call("DBSKIP")) {
      out.push_back({rt::Call("FIELDGET", {rt::Call("FIELDPOS", {"REPT_DT"})}).date(),
                     rt::Call("FIELDGET", {rt::Call("FIELDPOS", {"MMWR_WEEK"})}).str(),
                     rt::Call("FIELDGET", {rt::Call("FIELDPOS", {"MMWR_YEAR"})}).str(),
                     rt::Call("FIELDGET", {rt::Call("FIELDPOS", {"MORB_DW"})}).date()});
    }
    rt::Call("DBCLOSEAREA");
    return out;
  }

  int CountInRange(rt::Date from, rt::Date to) {
    int n = 0;
    for (const char* table : {"MORBREPT", "MORBUPLD"}) {
      for (const Record& r : Records(table))
        n += r.rept_dt.day >= from.day && r.rept_dt.day <= to.day;
    }
    return n;
  }

  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    rt::Call("DBUSEAREA", {true, rt::Value(), "SYSLOG", "SYSLOG", false, true});
    const int fields = static_cast<int>(rt::Call("FCOUNT").num());
    for (rt::Call("DBGOTOP"); !rt::Call("EOF").is_true(); rt::Call("DBSKIP")) {
      std::string line;
      for (int i = 1; i <= fields; ++i) {
        rt::Value v = rt::Call("FIELDGET", {i});
        if (v.is_string()) line += rt::Call("TRIM", {v}).str() + "|";
      }
      lines.push_back(line);
    }
    rt::Call("DBCLOSEAREA");
    return lines;
  }

  std::string FileBytes(const std::string& name) {
    return testing_support::ReadFileBytes(dir_ + "/" + name);
  }

  // The independent checks made after every run that changed the tables.
  void ExpectTablesSound() {
    for (auto [table, bag] : {std::pair{"MORBREPT.DBF", "MOR01.CDX"},
                              std::pair{"MORBUPLD.DBF", "MUP01.CDX"}}) {
      std::string check = BinDir() + "/dbftool check " + dir_ + "/" + table + " " + dir_ +
                          "/" + bag + " >/dev/null 2>&1";
      EXPECT_EQ(std::system(check.c_str()), 0) << check;
      if (std::system((SourceDir() + "/tests/tools/ensure_packages.sh").c_str()) != 0) continue;
      std::string py = "/usr/bin/python3 " + SourceDir() + "/tests/module/check_mmwr.py " +
                       dir_ + "/" + table + " " + rt::DateToDtos(rt::Today()) + " >/dev/null";
      EXPECT_EQ(std::system(py.c_str()), 0) << py;
    }
  }

  static std::string Screen() { return rt::console::DumpScreen(); }

  std::string dir_;
};

rt::Date D(int y, int m, int d) { return rt::MakeDate(y, m, d); }

TEST_F(PatchTest, EscAtTheWarningTouchesNothing) {
  const std::string before = FileBytes("MORBREPT.DBF") + FileBytes("SYSLOG.DBF");
  EXPECT_EQ(Run("{ESC}"), "");
  EXPECT_EQ(FileBytes("MORBREPT.DBF") + FileBytes("SYSLOG.DBF"), before);
  EXPECT_EQ(Screen(), std::string(25, '\n'));  // the screen is put back
}

TEST_F(PatchTest, EscOnTheFirstFormReadsAndLogsNothing) {
  const std::string before = FileBytes("MORBREPT.DBF") + FileBytes("MORBUPLD.DBF") +
                             FileBytes("SYSLOG.DBF");
  rt::SetSetting(rt::kSetSoftSeek, true);
  EXPECT_EQ(Run("{ENTER}{ESC}"), "");
  EXPECT_TRUE(rt::SettingIsOn(rt::kSetSoftSeek));  // not touched
  EXPECT_EQ(FileBytes("MORBREPT.DBF") + FileBytes("MORBUPLD.DBF") + FileBytes("SYSLOG.DBF"),
            before);
}

TEST_F(PatchTest, OneRangeRecalculatesEveryRecordInItInclusive) {
  const std::vector<Record> before = Records("MORBREPT");
  // Bounds on the report date of existing records, so both ends are tested.
  rt::Date from = before[3].rept_dt, to = before[7].rept_dt;
  if (to.day < from.day) std::swap(from, to);
  const int expected = CountInRange(from, to);
  auto text = [](rt::Date d) { return rt::DateToDtos(d).substr(4, 4) + rt::DateToDtos(d).substr(0, 4); };

  // Stop at the count box to read it, then run the whole patch again.
  std::string error = Run("{ENTER}" + text(from) + text(to));
  EXPECT_NE(error.find("no more keys"), std::string::npos) << error;
  EXPECT_NE(Screen().find("Number re-calculated: " + std::to_string(expected) + " "),
            std::string::npos) << Screen();
  EXPECT_NE(Screen().find("Beginning Report Date: "), std::string::npos);

  const std::vector<Record> after = Records("MORBREPT");
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    bool in_range = after[i].rept_dt.day >= from.day && after[i].rept_dt.day <= to.day;
    EXPECT_EQ(after[i].stamped == rt::Today(), in_range) << "record " << i + 1;
    if (!in_range) {
      EXPECT_EQ(after[i].week + after[i].year, before[i].week + before[i].year);
    }
  }
  ExpectTablesSound();
}

TEST_F(PatchTest, TwoRangesShowTheRunningTotalAndLogEachRange) {
  const int first = CountInRange(D(2001, 1, 1), D(2001, 12, 31));
  const int second = CountInRange(D(2001, 6, 1), D(2002, 6, 30));  // overlaps the first
  // The count box of the second cycle shows the total of both ...
  std::string error = Run("{ENTER}0101200112312001{ENTER}0601200106302002");
  EXPECT_NE(error.find("no more keys"), std::string::npos) << error;
  EXPECT_NE(Screen().find("Number re-calculated: " + std::to_string(first + second) + " "),
            std::string::npos) << Screen();
  // ... and each cycle logs its own range once its box is closed.
  Fresh();
  const size_t logged = LogLines().size();
  Run("{ENTER}0101200112312001{ENTER}0601200106302002{ENTER}");
  const std::vector<std::string> log = LogLines();
  ASSERT_EQ(log.size(), logged + 2);
  EXPECT_NE(log[logged].find("01/01/2001 - 12/31/2001"), std::string::npos) << log[logged];
  EXPECT_NE(log.back().find("06/01/2001 - 06/30/2002"), std::string::npos) << log.back();
  EXPECT_NE(log.back().find("Updated MMWR values|"), std::string::npos);
  EXPECT_NE(log.back().find("VORNEX|"), std::string::npos);
  ExpectTablesSound();
}

TEST_F(PatchTest, AnEmptyRangeStillShowsTheCountAndLogs) {
  const size_t logged = LogLines().size();
  Run("{ENTER}0101199001311990");  // before every demo record
  EXPECT_NE(Screen().find("Number re-calculated: 0 "), std::string::npos) << Screen();
  Run("{ENTER}0101199001311990{ENTER}");
  EXPECT_EQ(LogLines().size(), logged + 1);
  EXPECT_FALSE(rt::SettingIsOn(rt::kSetSoftSeek));
}

TEST_F(PatchTest, TheFormRefusesImpossibleDatesAndAnEndBeforeTheStart) {
  // 02/30/2020 is refused (the next key is swallowed by the message); an end
  // before the start keeps the focus on the end date until it is mended.
  EXPECT_EQ(Run("{ENTER}02302020x06012020" "01012020" "12312020{ENTER}{ESC}"), "");
  const std::vector<std::string> log = LogLines();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("06/01/2020 - 12/31/2020"), std::string::npos) << log.back();
  ExpectTablesSound();
}

TEST_F(PatchTest, AMissingTableIsReportedAndNothingChanges) {
  fs::remove(dir_ + "/MORBUPLD.DBF");
  const std::string before = FileBytes("MORBREPT.DBF") + FileBytes("SYSLOG.DBF");
  std::string error = Run("{ENTER}");
  // The library's message box names the table and waits for a key.
  EXPECT_NE(error.find("no more keys"), std::string::npos) << error;
  EXPECT_NE(Screen().find("MORBUPLD"), std::string::npos) << Screen();
  EXPECT_EQ(Run("{ENTER}{ENTER}"), "");
  EXPECT_EQ(FileBytes("MORBREPT.DBF") + FileBytes("SYSLOG.DBF"), before);
}

// READMODAL learns its caller from the frame chain.
TEST_F(PatchTest, TheModalReadIsCalledFromPatchit) {
  rt::Value seen;
  rt::Value block = rt::MakeBlock("(B)PROBE", [&seen](rt::Frame&) {
    // Inside the read: the read status records who called READMODAL.
    seen = rt::GetVar(rt::Call("READSTATUS"), "procName");
    return rt::Value();
  });
  rt::Call("SETKEY", {rt::Value(-1), block});  // F2
  Run("{ENTER}{KEY -1}{ESC}");
  rt::Call("SETKEY", {rt::Value(-1), rt::Value()});
  ASSERT_TRUE(seen.is_string());
  EXPECT_EQ(seen.str(), "PATCHIT");
}

}  // namespace

// DBEOPEN, DBECLOSE, SEEKER and SYSLOG on tables in a temporary data
// directory, with the headless console for the messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/api/tables.h"
#include "tests/support/support_library.h"
#include "tests/testing/console_screen.h"
#include "tests/testing/table_builder.h"

namespace {

using rt::tables::AreaOfAlias;

rt::Value Names(std::vector<rt::Value> names) { return rt::NewArray(std::move(names)); }

rt::Date D(int y, int m, int d) { return rt::MakeDate(y, m, d); }

class SupportTables : public testing::Test {
 protected:
  static void SetUpTestSuite() { support_test::LoadSupportLibrary(); }

  void SetUp() override {
    dir_ = testing_support::MakeTempDir("support_tables");
    rt::tables::SetDataDirectory(dir_);
    rttest::StartHeadless();
  }
  void TearDown() override { rt::Call("DBCLOSEALL"); }

  // A table of report dates, appended in the given order, with the bag
  // NAME.CDX holding a character order on DTOS(REPT_DT) and a date order
  // on REPT_DT.  Closed afterwards.
  void MakeTable(const std::string& name, const std::vector<rt::Date>& dates) {
    auto field = [](const char* n, const char* t, int len) {
      return rt::Value(rt::NewArray({n, t, len, 0}));
    };
    rt::Call("DBCREATE", {name, rt::NewArray({field("REPT_DT", "D", 8), field("NOTE", "C", 10)})});
    rt::Call("DBUSEAREA", {true, rt::Value(), name, name, false, false});
    int n = 0;
    for (rt::Date d : dates) {
      rt::Call("DBAPPEND");
      rt::Call("FIELDPUT", {1, d});
      rt::Call("FIELDPUT", {2, "rec" + std::to_string(++n)});
    }
    rt::Call("ORDCREATE", {name, "BYTEXT", "DTOS(REPT_DT)"});
    rt::Call("ORDCREATE", {name, "BYDATE", "REPT_DT"});
    rt::Call("DBCLOSEAREA");
  }

  std::string dir_;
};

TEST_F(SupportTables, OpenUnderTheirNamesExclusivelyOrSharedAndClose) {
  MakeTable("MTA", {D(2020, 1, 1)});
  MakeTable("MTB", {D(2020, 1, 1)});
  rt::Call("DBSELECTAREA", {7});

  ASSERT_TRUE(rt::Call("DBEOPEN", {Names({"MTA", "mtb"}), true}).is_true());
  EXPECT_NE(AreaOfAlias("MTA"), 0);
  EXPECT_NE(AreaOfAlias("MTB"), 0);
  // Exclusive: nobody else may open the file, not even shared.
  const std::string held = support_test::ErrorOf([&] {
    rt::Call("DBUSEAREA", {true, rt::Value(), dir_ + "/MTA", "OTHER", true, false});
  });
  EXPECT_NE(held, "");

  rt::Call("DBSELECTAREA", {7});
  rt::Call("DBECLOSE", {Names({"MTA", "MTB", "NEVEROPENED"})});
  EXPECT_EQ(AreaOfAlias("MTA"), 0);
  EXPECT_EQ(AreaOfAlias("MTB"), 0);
  EXPECT_EQ(rt::tables::CurrentArea(), 7);

  // Shared when the second argument is not .T.: a second shared open works.
  ASSERT_TRUE(rt::Call("DBEOPEN", {Names({"MTA"})}).is_true());
  EXPECT_EQ(support_test::ErrorOf([&] {
              rt::Call("DBUSEAREA", {true, rt::Value(), dir_ + "/MTA", "OTHER", true, false});
            }),
            "");
}

TEST_F(SupportTables, OpenFailureNamesTheTableAndUndoesOnlyItsOwnOpens) {
  MakeTable("MTA", {D(2020, 1, 1)});
  MakeTable("KEEP", {D(2020, 1, 1)});
  MakeTable("HELD", {D(2020, 1, 1)});
  ASSERT_TRUE(testing_support::WriteFileBytes(dir_ + "/BROKEN.DBF", "not a table at all"));

  struct Case {
    const char* bad;
    const char* reason;  // a piece of the reason shown
  };
  const Case cases[] = {
      {"MISSING", "MISSING"},
      {"BROKEN", "BROKEN"},
      {"HELD", "another program"},
  };
  for (const Case& c : cases) {
    rttest::StartHeadless();
    rt::Call("DBUSEAREA", {true, rt::Value(), "KEEP", "KEEP", false, false});
    rt::Call("DBUSEAREA", {true, rt::Value(), dir_ + "/HELD", "HOLDER", false, false});
    rt::Call("DBSELECTAREA", {"KEEP"});
    // No key queued: the run stops in the message's wait, message on screen.
    const std::string stopped = support_test::ErrorOf(
        [&] { rt::Call("DBEOPEN", {Names({"MTA", c.bad}), true}); });
    EXPECT_NE(stopped, "") << c.bad;
    const std::string screen = rt::console::DumpScreen();
    EXPECT_NE(screen.find(std::string("Cannot open table ") + c.bad), std::string::npos)
        << screen;
    EXPECT_NE(screen.find(c.reason), std::string::npos) << c.bad << "\n" << screen;
    // By the time the message shows, its own open is undone, others kept.
    EXPECT_EQ(AreaOfAlias("MTA"), 0) << c.bad;
    EXPECT_NE(AreaOfAlias("KEEP"), 0) << c.bad;
    EXPECT_EQ(rt::tables::CurrentArea(), AreaOfAlias("KEEP")) << c.bad;
    rt::Call("DBCLOSEALL");
  }

  // With a key the call returns .F., the key is LASTKEY's, the screen is back.
  rttest::StartHeadless("{ESC}");
  rt::Call("DBUSEAREA", {true, rt::Value(), "KEEP", "KEEP", false, false});
  const std::string before = rt::console::DumpScreen();
  EXPECT_FALSE(rt::Call("DBEOPEN", {Names({"MTA", "MISSING"}), true}).is_true());
  EXPECT_EQ(rt::Call("LASTKEY").num(), 27);
  EXPECT_EQ(rt::console::DumpScreen(), before);
  EXPECT_EQ(AreaOfAlias("MTA"), 0);
}

TEST_F(SupportTables, BadNameListsAreArgumentErrors) {
  for (const rt::Value& names : {rt::Value("MTA"), Names({"MTA", 5}), Names({""})}) {
    EXPECT_NE(support_test::ErrorOf([&] { rt::Call("DBEOPEN", {names, true}); })
                  .find("DBEOPEN"),
              std::string::npos);
    EXPECT_NE(support_test::ErrorOf([&] { rt::Call("DBECLOSE", {names}); }).find("DBECLOSE"),
              std::string::npos);
  }
}

TEST_F(SupportTables, SeekerLandsOnTheFirstKeyOnOrAfterTheDate) {
  // Records 1..5, out of date order; two share 2020-01-10.
  MakeTable("MTS", {D(2020, 2, 1), D(2020, 1, 10), D(2020, 1, 5), D(2020, 1, 10), D(2019, 12, 31)});
  ASSERT_TRUE(rt::Call("DBEOPEN", {Names({"MTS"}), true}).is_true());
  rt::Call("DBSELECTAREA", {"MTS"});
  rt::Call("ORDLISTADD", {"MTS"});
  rt::Call("SET", {rt::kSetSoftSeek, false});
  rt::Call("DBSELECTAREA", {9});

  struct Case {
    rt::Date value;
    int recno;  // 0: at the end
    bool found;
  };
  const Case cases[] = {
      {D(2019, 1, 1), 5, false},  // before every key: the first record
      {D(2020, 1, 5), 3, true},
      {D(2020, 1, 6), 2, false},  // between keys: the next one
      {D(2020, 1, 10), 2, true},  // equal keys: the first of them
      {D(2020, 2, 1), 1, true},
      {D(2020, 2, 2), 0, false},  // past every key: the end
  };
  const int area = AreaOfAlias("MTS");
  // DTOS(REPT_DT) (character) and REPT_DT (date), by number and by name.
  for (const rt::Value& named : {rt::Value(1), rt::Value(2), rt::Value("BYTEXT")}) {
    const int order = named.is_string() ? 1 : static_cast<int>(named.num());
    for (const Case& c : cases) {
      const rt::Value found = rt::Call("SEEKER", {"MTS", named, c.value});
      const std::string what = rt::ToLiteral(named) + " " + rt::DateToDtos(c.value);
      EXPECT_EQ(found.is_true(), c.found) << what;
      EXPECT_EQ(rt::tables::CurrentArea(), 9) << what;
      rt::Call("DBSELECTAREA", {area});
      EXPECT_EQ(rt::Call("EOF").is_true(), c.recno == 0) << what;
      if (c.recno != 0) {
        EXPECT_EQ(rt::Call("RECNO").num(), c.recno) << what;
      }
      EXPECT_EQ(rt::Call("INDEXORD").num(), order) << what;
      rt::Call("DBSELECTAREA", {9});
    }
  }
  EXPECT_NE(support_test::ErrorOf([] { rt::Call("SEEKER", {"NOTOPEN", 1, D(2020, 1, 1)}); })
                .find("NOTOPEN"),
            std::string::npos);
}

// The records of SYSLOG.DBF as "field=value" lines, read through a fresh
// open of the file.
std::vector<std::string> LogRecords() {
  rt::Call("DBUSEAREA", {true, rt::Value(), "SYSLOG", "LOGREAD", true, true});
  std::vector<std::string> records;
  const char* fields[] = {"PROGRAM", "STAMP", "MESSAGE", "DETAIL1", "DETAIL2", "DETAIL3"};
  for (rt::Call("DBGOTOP"); !rt::Call("EOF").is_true(); rt::Call("DBSKIP")) {
    std::string line;
    for (const char* f : fields) {
      const int i = static_cast<int>(rt::Call("FIELDPOS", {f}).num());
      line += std::string(f) + "=" + rt::Call("RTRIM", {rt::Call("FIELDGET", {i})}).str() + ";";
    }
    const rt::Value date = rt::Call("FIELDGET", {rt::Call("FIELDPOS", {"LOG_DATE"})});
    EXPECT_TRUE(rt::ExactlyEqual(date, rt::Call("DATE"))) << rt::ToLiteral(date);
    const rt::Value time = rt::Call("FIELDGET", {rt::Call("FIELDPOS", {"LOG_TIME"})});
    EXPECT_EQ(time.str().size(), 8u);
    EXPECT_EQ(time.str()[2], ':');
    records.push_back(line);
  }
  rt::Call("DBCLOSEAREA");
  return records;
}

TEST_F(SupportTables, SyslogCreatesTheLogWhenMissingAndAppendsOneRecordPerCall) {
  rt::Call("DBSELECTAREA", {4});
  rt::Call("SYSLOG", {"Updated MMWR values", "VORNEX", "12/11/2026 10:00:00",
                      Names({"01/01/2020 - 12/31/2020"})});
  rt::Call("SYSLOG",
           {"Second", "VORNEX", "12/11/2026 10:05:00", Names({"one", "two", "three", "four"})});
  EXPECT_EQ(rt::tables::CurrentArea(), 4);
  EXPECT_EQ(AreaOfAlias("SYSLOG"), 0);
  const std::vector<std::string> expected = {
      "PROGRAM=VORNEX;STAMP=12/11/2026 10:00:00;MESSAGE=Updated MMWR values;"
      "DETAIL1=01/01/2020 - 12/31/2020;DETAIL2=;DETAIL3=;",
      // Lines beyond the last detail field share it.
      "PROGRAM=VORNEX;STAMP=12/11/2026 10:05:00;MESSAGE=Second;"
      "DETAIL1=one;DETAIL2=two;DETAIL3=three; four;",
  };
  EXPECT_EQ(LogRecords(), expected);

  // When the log is already open it is used and left open.
  rt::Call("DBUSEAREA", {true, rt::Value(), "SYSLOG", "SYSLOG", true, false});
  const int log_area = AreaOfAlias("SYSLOG");
  rt::Call("DBSELECTAREA", {4});
  rt::Call("SYSLOG", {"Third"});
  EXPECT_EQ(AreaOfAlias("SYSLOG"), log_area);
  rt::Call("DBSELECTAREA", {log_area});
  rt::Call("DBCLOSEAREA");
  EXPECT_EQ(LogRecords().size(), 3u);
}

TEST_F(SupportTables, SyslogNeverRecreatesALogItCannotOpen) {
  const std::string path = dir_ + "/SYSLOG.DBF";
  ASSERT_TRUE(testing_support::WriteFileBytes(path, "damaged log bytes"));
  const std::string error = support_test::ErrorOf([] { rt::Call("SYSLOG", {"lost?"}); });
  EXPECT_NE(error, "");
  EXPECT_EQ(testing_support::ReadFileBytes(path), "damaged log bytes");
}

}  // namespace

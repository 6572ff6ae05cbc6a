// The read state: settle over a table of reads, save and restore, the click
// and GETACTIVE moves, and the read-state functions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/reader/reader_fixture.h"

namespace reader_test {
namespace {

constexpr int kNone = 0, kUp = 1, kDown = 2, kTop = 3, kBottom = 4,
              kEnter = 5, kWrite = 6, kEscape = 7, kWhen = 8;
// Pseudo-moves of the simulated user: a click on field n, GETACTIVE(field n).
constexpr int ClickOn(int n) { return 100 + n; }
constexpr int Activate(int n) { return 200 + n; }
constexpr int kNil = -1;  // an initial exitState of NIL

struct SettleCase {
  const char* label;
  // One character per field: '.' can be entered, 'x' is always refused by
  // pre-validation, '1' can be entered once and is refused afterwards.
  std::string fields;
  int start;  // 0: READMODAL without a position
  bool exit_setting;
  std::vector<int> moves;    // how each entered field is left, in order
  std::vector<int> visited;  // positions entered, in order
  std::vector<int> initial = {};  // exitState of each field before the read
};

// Runs the loop of READMODAL with a simulated reader: refused fields get
// exitWhen; entered ones take the next move (a click inside the active field
// keeps it active and takes another move).  Returns the positions entered.
std::vector<int> Simulate(const SettleCase& c) {
  rt::Value list = GeometryFields(static_cast<int>(c.fields.size()));
  auto field = [&](int pos) { return list.array()->items[pos - 1]; };
  for (size_t i = 0; i < c.initial.size(); ++i) {
    rt::SetVar(field(static_cast<int>(i) + 1), "exitState",
               c.initial[i] == kNil ? rt::Value() : rt::Value(c.initial[i]));
  }
  rt::Value status = Status();
  rt::SetSetting(rt::kSetExit, c.exit_setting);
  rt::Send(status, "save");
  SetStatusVar("getList", list);
  rt::Send(status, "settle",
           {c.start == 0 ? rt::Value() : rt::Value(c.start)});
  std::vector<int> visited;
  std::vector<int> entries(c.fields.size() + 1, 0);
  size_t next_move = 0;
  for (int guard = 0; StatusVar("thisPos").num() != 0; ++guard) {
    if (guard > 100) {
      ADD_FAILURE() << c.label << ": the read does not end";
      break;
    }
    rt::Send(status, "postActiveGet");
    int pos = static_cast<int>(StatusVar("thisPos").num());
    rt::Value get = StatusVar("activeGet");
    EXPECT_TRUE(rt::ExactlyEqual(get, field(pos))) << c.label;
    char kind = c.fields[pos - 1];
    if (kind == 'x' || (kind == '1' && entries[pos] > 0)) {
      rt::SetVar(get, "exitState", kWhen);
    } else {
      ++entries[pos];
      visited.push_back(pos);
      rt::SetVar(get, "exitState", kNone);
      rt::SetVar(get, "hasFocus", true);
      while (ExitState(get) == kNone) {
        if (next_move >= c.moves.size()) {
          ADD_FAILURE() << c.label << ": no move left at field " << pos;
          rt::SetVar(get, "exitState", kEscape);
          break;
        }
        int move = c.moves[next_move++];
        if (move >= 200) {
          rt::Call("GETACTIVE", {field(move - 200)});
        } else if (move >= 100) {
          rt::Send(status, "LbClick", {move - 100, 11});
        } else {
          rt::SetVar(get, "exitState", move);
        }
      }
      rt::SetVar(get, "hasFocus", false);
    }
    rt::Send(status, "settle");
  }
  EXPECT_EQ(next_move, c.moves.size()) << c.label << ": moves left over";
  rt::Send(status, "restore");
  return visited;
}

class SettleTest : public ReaderTest {};

TEST_F(SettleTest, MovesTheFocusAsTheExitStatesSay) {
  const SettleCase cases[] = {
      {"no position starts at field 1", "...", 0, false,
       {kEnter, kEnter, kEnter}, {1, 2, 3}},
      {"down and up", "...", 0, false,
       {kDown, kDown, kUp, kUp, kWrite}, {1, 2, 3, 2, 1}},
      {"up on the first field bounces with exit off", "..", 0, false,
       {kUp, kWrite}, {1, 1}},
      {"up on the first field ends with exit on", "..", 0, true, {kUp}, {1}},
      {"down on the last field bounces with exit off", "..", 0, false,
       {kDown, kDown, kEscape}, {1, 2, 2}},
      {"down on the last field ends with exit on", "..", 0, true,
       {kDown, kDown}, {1, 2}},
      {"enter on the last field ends with exit off", "..", 0, false,
       {kEnter, kEnter}, {1, 2}},
      {"every field skipped ends the read", "xxx", 0, false, {}, {}},
      {"skips pass over a field both ways", ".x.", 0, false,
       {kDown, kUp, kWrite}, {1, 3, 1}},
      {"a skipped first field is passed at the start", "x..", 0, false,
       {kEscape}, {2}},
      {"top lands past skipped fields", "x...", 0, false,
       {kDown, kDown, kTop, kWrite}, {2, 3, 4, 2}},
      {"bottom lands above skipped fields", "..x", 0, false,
       {kBottom, kWrite}, {1, 2}},
      {"bottom with nothing enterable upwards ends", "1xx", 0, false,
       {kBottom}, {1}},
      {"top with nothing enterable downwards ends", "1xx", 0, false,
       {kTop}, {1}},
      {"a bounce off the bottom that runs off the top ends", "11x", 0, false,
       {kDown, kDown}, {1, 2}},
      {"start position with exitNone enters that field", "...", 2, false,
       {kWrite}, {2}, {kNone, kNone, kNone}},
      {"start position with NIL enters that field", "...", 2, false,
       {kWrite}, {2}, {kNil, kNil, kNil}},
      {"start position with exitDown moves on", "...", 2, false,
       {kWrite}, {3}, {kNone, kDown, kNone}},
      {"start position with a leftover escape ends at once", "...", 2, false,
       {}, {}, {kNone, kEscape, kNone}},
      {"start position with a leftover write ends at once", "...", 1, false,
       {}, {}, {kWrite, kNone, kNone}},
      {"a skipped start field moves on down", ".x.", 2, false, {kWrite}, {3},
       {kNone, kNone, kNone}},
      {"all skipped from a start position ends", "xxx", 2, false, {}, {},
       {kNone, kNone, kNone}},
      {"a click on another field moves there", "...", 0, false,
       {ClickOn(3), kWrite}, {1, 3}},
      {"a click in the active field keeps it", "...", 0, false,
       {ClickOn(1), kDown, kWrite}, {1, 2}},
      {"a click outside every field changes nothing", "..", 0, false,
       {ClickOn(9), kEscape}, {1}},
      {"a click on a skipped field comes back", "..x", 0, false,
       {ClickOn(3), kWrite}, {1, 1}},
      {"a click on a skipped field ends with exit on", "..x", 0, true,
       {ClickOn(3)}, {1}},
      {"getactive moves to another field", "...", 0, false,
       {Activate(3), kWrite}, {1, 3}},
      {"getactive on a skipped field travels down", ".x..", 0, false,
       {kDown, kDown, Activate(2), kWrite}, {1, 3, 4, 3}},
  };
  for (const SettleCase& c : cases) {
    EXPECT_EQ(Simulate(c), c.visited) << c.label;
    EXPECT_EQ(StatusVar("lastStatus").array()->items.size(), 0u) << c.label;
  }
}

TEST_F(SettleTest, BounceAtTheTopSetsHitTopAndSendsTheFieldDown) {
  rt::Value list = GeometryFields(2);
  rt::Value status = Status();
  rt::Send(status, "save");
  SetStatusVar("getList", list);
  rt::Send(status, "settle");
  EXPECT_EQ(StatusVar("thisPos").num(), 1);
  EXPECT_EQ(StatusVar("lastPos").num(), 0);
  rt::Value first = list.array()->items[0];
  rt::SetVar(first, "exitState", kUp);
  rt::Send(status, "settle");
  EXPECT_EQ(StatusVar("thisPos").num(), 1);
  EXPECT_TRUE(StatusVar("hitTop").is_true());
  EXPECT_EQ(ExitState(first), kDown);
  EXPECT_EQ(StatusVar("lastExitState").num(), kDown);

  // Ending with Write leaves the last move, position and flags alone.
  rt::SetVar(first, "exitState", kWrite);
  rt::Send(status, "settle");
  EXPECT_EQ(StatusVar("thisPos").num(), 0);
  EXPECT_EQ(StatusVar("lastExitState").num(), kDown);
  EXPECT_EQ(StatusVar("lastPos").num(), 1);
  EXPECT_TRUE(StatusVar("hitTop").is_true());
  rt::Send(status, "restore");
}

TEST_F(SettleTest, StartPositionOutsideTheListRaisesABoundError) {
  rt::Value status = Status();
  rt::Send(status, "save");
  SetStatusVar("getList", GeometryFields(2));
  EXPECT_NE(ErrorOf([&] { rt::Send(status, "settle", {3}); }), "");
  rt::Send(status, "restore");
}

TEST_F(ReaderTest, NestedSaveAndRestoreKeepEverySavedVariable) {
  rt::Value status = Status();
  rt::Value outer_list = GeometryFields(3);
  rt::Value active = outer_list.array()->items[1];
  rt::Value last_active = outer_list.array()->items[0];
  const std::vector<std::pair<const char*, rt::Value>> outer = {
      {"killRead", true},         {"hitTop", true},
      {"hitBottom", true},        {"lastExitState", kUp},
      {"lastPos", 3},             {"thisPos", 2},
      {"getList", outer_list},    {"activeGet", active},
      {"lastActiveGet", last_active}, {"procName", "OUTER"},
      {"procLine", 12},           {"readVar", "NAME"},
  };
  for (const auto& [name, value] : outer) SetStatusVar(name, value);
  SetStatusVar("updated", true);
  SetStatusVar("useAppEvent", false);

  rt::Send(status, "save");
  // A fresh state for the inner read; the list, events and stack stay.
  EXPECT_FALSE(StatusVar("updated").is_true());
  EXPECT_FALSE(StatusVar("killRead").is_true());
  EXPECT_FALSE(StatusVar("hitTop").is_true());
  EXPECT_EQ(StatusVar("thisPos").num(), 0);
  EXPECT_EQ(StatusVar("procName").str(), "");
  EXPECT_TRUE(StatusVar("activeGet").is_nil());
  EXPECT_TRUE(rt::ExactlyEqual(StatusVar("getList"), outer_list));
  EXPECT_EQ(StatusVar("lastStatus").array()->items.size(), 1u);

  // Two levels deep, then back out.
  SetStatusVar("getList", GeometryFields(1));
  SetStatusVar("thisPos", 1);
  SetStatusVar("procName", "INNER");
  rt::Send(status, "save");
  EXPECT_EQ(StatusVar("lastStatus").array()->items.size(), 2u);
  SetStatusVar("useAppEvent", true);
  rt::Send(status, "restore");
  EXPECT_EQ(StatusVar("procName").str(), "INNER");
  EXPECT_EQ(StatusVar("thisPos").num(), 1);
  SetStatusVar("updated", true);
  rt::Send(status, "Restore");

  for (const auto& [name, value] : outer) {
    EXPECT_TRUE(rt::ExactlyEqual(StatusVar(name), value)) << name;
  }
  // Not saved: updated holds what the inner read left, useAppEvent too.
  EXPECT_TRUE(StatusVar("updated").is_true());
  EXPECT_TRUE(StatusVar("useAppEvent").is_true());
  EXPECT_EQ(StatusVar("lastStatus").array()->items.size(), 0u);
  // Restore on an empty stack does nothing.
  rt::Send(status, "restore");
  EXPECT_EQ(StatusVar("procName").str(), "OUTER");
}

TEST_F(ReaderTest, PostActiveGetNamesTheVariableAndInitReturnsTheInstance) {
  rt::Value status = Status();
  EXPECT_TRUE(rt::ExactlyEqual(rt::Call("READSTATUS"), status));
  rt::Value list = GeometryFields(1);
  rt::SetVar(list.array()->items[0], "name", "dStart");
  SetStatusVar("getList", list);
  SetStatusVar("thisPos", 1);
  rt::Send(status, "postActiveGet");
  EXPECT_EQ(StatusVar("readVar").str(), "DSTART");
  // INIT, the one instance method, returns the instance.
  rt::Value instance = rt::Send(status, "new");
  EXPECT_TRUE(rt::Send(instance, "lKillRead").is_nil());
  EXPECT_TRUE(rt::ExactlyEqual(rt::Send(instance, "init"), instance));
}

TEST_F(ReaderTest, PostActiveGetKeepsTheFieldActiveBefore) {
  rt::Value status = Status();
  rt::Value list = GeometryFields(3);
  auto field = [&](int i) { return list.array()->items[i - 1]; };
  SetStatusVar("getList", list);
  auto activate = [&](int pos) {
    SetStatusVar("thisPos", pos);
    rt::Send(status, "postActiveGet");
  };
  activate(1);
  EXPECT_TRUE(rt::ExactlyEqual(StatusVar("activeGet"), field(1)));
  EXPECT_TRUE(rt::ExactlyEqual(StatusVar("lastActiveGet"), field(1)));
  activate(2);
  EXPECT_TRUE(rt::ExactlyEqual(StatusVar("lastActiveGet"), field(1)));
  // A field named by GETACTIVE stays lastActiveGet once it is activated.
  SetStatusVar("lastActiveGet", field(3));
  activate(3);
  EXPECT_TRUE(rt::ExactlyEqual(StatusVar("activeGet"), field(3)));
  EXPECT_TRUE(rt::ExactlyEqual(StatusVar("lastActiveGet"), field(3)));
  EXPECT_EQ(Scoreboard(), rt::NationMsg(8));
}

TEST_F(ReaderTest, ClickInsideTheActiveFieldMovesItsCursor) {
  rt::Value list = GeometryFields(2);
  rt::Value first = list.array()->items[0];
  SetStatusVar("getList", list);
  SetStatusVar("activeGet", first);
  rt::SetVar(first, "exitState", kNone);
  rt::Send(Status(), "LbClick", {1, 13});
  EXPECT_EQ(rt::GetVar(first, "pos").num(), 4);
  EXPECT_EQ(ExitState(first), kNone);
  EXPECT_EQ(StatusVar("nextPos").num(), 0);
  rt::Send(Status(), "LbClick", {2, 10});
  EXPECT_EQ(ExitState(first), 9);
  EXPECT_EQ(StatusVar("nextPos").num(), 2);
}

TEST_F(ReaderTest, GetActiveReadsOrChangesTheActiveField) {
  rt::Value list = GeometryFields(2);
  rt::Value a = list.array()->items[0];
  rt::Value b = list.array()->items[1];
  // No active field and a field without the focus: nothing changes.
  EXPECT_TRUE(rt::Call("GETACTIVE", {b}).is_nil());
  EXPECT_TRUE(StatusVar("activeGet").is_nil());
  EXPECT_TRUE(StatusVar("lastActiveGet").is_nil());
  // A field with the focus becomes active at once.
  rt::SetVar(a, "hasFocus", true);
  EXPECT_TRUE(rt::Call("GETACTIVE", {a}).is_nil());
  EXPECT_TRUE(rt::ExactlyEqual(rt::Call("GETACTIVE"), a));
  // Another field: the active one is left with exitActivate.
  rt::SetVar(a, "exitState", kNone);
  EXPECT_TRUE(rt::ExactlyEqual(rt::Call("GETACTIVE", {b}), a));
  EXPECT_EQ(ExitState(a), 10);
  EXPECT_TRUE(rt::ExactlyEqual(StatusVar("lastActiveGet"), b));
  EXPECT_TRUE(rt::ExactlyEqual(StatusVar("activeGet"), a));
  // NIL: no field is active.
  EXPECT_TRUE(rt::ExactlyEqual(rt::Call("GETACTIVE", {rt::Value()}), a));
  EXPECT_TRUE(StatusVar("activeGet").is_nil());
}

TEST_F(ReaderTest, ReadStateFunctionsReturnTheOldValueAndCheckTypes) {
  struct Case {
    const char* function;
    const char* variable;
    rt::Value before, argument, after;
  };
  const Case cases[] = {
      {"READKILL", "killRead", false, true, true},
      {"READKILL", "killRead", false, 1, false},
      {"READKILL", "killRead", true, rt::Value(), true},
      {"READUPDATED", "updated", false, true, true},
      {"READUPDATED", "updated", true, "yes", true},
      {"READVAR", "readVar", "A", "B", "B"},
      {"READVAR", "readVar", "A", true, "A"},
      {"GETENABLEEVENTS", "useAppEvent", false, true, true},
      {"GETENABLEEVENTS", "useAppEvent", true, 0, true},
  };
  for (const Case& c : cases) {
    SetStatusVar(c.variable, c.before);
    rt::Value old = rt::Call(c.function, {c.argument});
    EXPECT_TRUE(rt::ExactlyEqual(old, c.before)) << c.function;
    EXPECT_TRUE(rt::ExactlyEqual(StatusVar(c.variable), c.after))
        << c.function << " " << rt::ToLiteral(c.argument);
  }
  SetStatusVar("updated", true);
  EXPECT_TRUE(rt::Call("UPDATED").is_true());
  SetStatusVar("thisPos", 4);
  EXPECT_EQ(rt::Call("GETLISTPOS").num(), 4);
  rt::Value list = GeometryFields(1);
  SetStatusVar("getList", list);
  EXPECT_TRUE(rt::ExactlyEqual(rt::Call("GETLIST"), list));
  SetStatusVar("lastActiveGet", list.array()->items[0]);
  EXPECT_TRUE(
      rt::ExactlyEqual(rt::Call("GETLASTACTIVE"), list.array()->items[0]));
}

}  // namespace
}  // namespace reader_test

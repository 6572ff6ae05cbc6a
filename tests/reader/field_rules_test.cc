// The pieces the readers are made of, called by name on single fields: the
// scoreboard and the settings functions, validation, set keys and forced
// exits, and the key and event appliers (one table run through both).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/api/console.h"
#include "tests/reader/reader_fixture.h"

namespace reader_test {
namespace {

constexpr int kNone = 0, kUp = 1, kDown = 2, kTop = 3, kBottom = 4,
              kEnter = 5, kWrite = 6, kEscape = 7, kWhen = 8;

class FieldRulesTest : public ReaderTest {
 protected:
  // A focused character field over `var`, active in the read state.
  rt::Value Focused(const rt::CellPtr& var, rt::Value post = {},
                    std::string picture = "") {
    rt::Value get = Field(2, 10, var, "v", post, {}, std::move(picture));
    rt::Send(get, "setFocus");
    rt::Send(get, "_exitState", {kNone});
    SetStatusVar("activeGet", get);
    return get;
  }
};

TEST_F(FieldRulesTest, ScoreboardShowsTheInsertModeAndPutsTheCursorBack) {
  rt::console::SetCursorPos(7, 9);
  Set(rt::kSetScoreboard, false);
  rt::Call("DISPSCOREBOARD");
  EXPECT_EQ(Scoreboard(), "");
  Set(rt::kSetScoreboard, true);
  rt::Call("DISPSCOREBOARD");
  EXPECT_EQ(Scoreboard(), rt::NationMsg(8));
  EXPECT_EQ(CursorRow(), 7);
  EXPECT_EQ(CursorCol(), 9);
  // READINSERT(.T.) turns insert on; the next refresh says so.
  EXPECT_FALSE(rt::Call("READINSERT", {true}).is_true());
  rt::Call("DISPSCOREBOARD");
  EXPECT_EQ(Scoreboard(), rt::NationMsg(7));
  EXPECT_EQ(CursorRow(), 7);
}

TEST_F(FieldRulesTest, ReadExitAndReadInsertReadOrSetTheirSetting) {
  struct Case {
    const char* function;
    int setting;
  };
  for (const Case& c : {Case{"READEXIT", rt::kSetExit},
                        Case{"READINSERT", rt::kSetInsert}}) {
    Set(c.setting, true);
    EXPECT_TRUE(rt::Call(c.function).is_true()) << c.function;
    EXPECT_TRUE(rt::Call(c.function, {rt::Value()}).is_true());
    EXPECT_TRUE(rt::GetSetting(c.setting).is_true());
    EXPECT_TRUE(rt::Call(c.function, {false}).is_true());  // the old value
    EXPECT_FALSE(rt::GetSetting(c.setting).is_true());
  }
}

TEST_F(FieldRulesTest, PreValidation) {
  struct Case {
    const char* label;
    rt::Value pre;  // a block's result, or "none" for no block
    bool kill;
    bool result;
    int exit_state;
  };
  const Case cases[] = {
      {"no block", "none", false, true, kNone},
      {"a block answering .T.", true, false, true, kNone},
      {"a block answering .F.", false, false, false, kWhen},
      {"a killed read, block .T.", true, true, false, kEscape},
      {"a killed read, no block", "none", true, false, kEscape},
  };
  for (const Case& c : cases) {
    auto var = Var("x");
    bool is_block = !(c.pre.is_string());
    rt::Value pre = is_block ? Block([&c](rt::Frame&) {
      rt::Call("READUPDATED", {true});
      return c.pre;
    })
                             : rt::Value(42);  // not a block: no pre block
    rt::Value get = Field(2, 10, var, "v", {}, pre);
    SetStatusVar("killRead", c.kill);
    SetStatusVar("updated", false);
    EXPECT_EQ(rt::Call("GETPREVALIDATE", {get}).is_true(), c.result)
        << c.label;
    EXPECT_EQ(ExitState(get), c.exit_state) << c.label;
    EXPECT_FALSE(StatusVar("updated").is_true()) << c.label;
  }
}

TEST_F(FieldRulesTest, PostValidation) {
  struct Case {
    const char* label;
    int exit_state;
    bool focus, edit;
    rt::Value post;  // the block's result; NIL: no post block
    bool kill_in_block;
    bool result;
    const char* stored;
    bool updated;
  };
  const Case cases[] = {
      {"escaped: passes unsaved", kEscape, true, true, false, false, true,
       "old", false},
      {"no focus: passes unsaved", kNone, false, false, rt::Value(), false,
       true, "old", false},
      {"edited, no post block", kNone, true, true, rt::Value(), false, true,
       "Zld", true},
      {"unedited, no post block", kNone, true, false, rt::Value(), false,
       true, "old", false},
      {"edited, post block refuses", kNone, true, true, false, false, false,
       "Zld", true},
      {"killed in the post block", kNone, true, true, false, true, true,
       "Zld", true},
  };
  for (const Case& c : cases) {
    SetStatusVar("updated", false);
    SetStatusVar("killRead", false);
    auto var = Var("old");
    bool seen_updated = false;
    rt::Value post;
    if (!c.post.is_nil()) {
      post = Block([&](rt::Frame&) {
        seen_updated = rt::Call("UPDATED").is_true();
        rt::Call("READUPDATED", {false});  // undone afterwards
        if (c.kill_in_block) rt::Call("READKILL", {true});
        return c.post;
      });
    }
    rt::Value get = Field(2, 10, var, "v", post);
    if (c.focus) rt::Send(get, "setFocus");
    if (c.edit) rt::Send(get, "overstrike", {"Z"});
    rt::Send(get, "_exitState", {c.exit_state});
    EXPECT_EQ(rt::Call("GETPOSTVALIDATE", {get}).is_true(), c.result)
        << c.label;
    EXPECT_EQ(var->value.str(), c.stored) << c.label;
    EXPECT_EQ(StatusVar("updated").is_true(), c.updated) << c.label;
    if (!c.post.is_nil()) {
      EXPECT_EQ(seen_updated, c.updated) << c.label;
    }
    if (c.kill_in_block) {
      EXPECT_EQ(ExitState(get), kEscape) << c.label;
    }
  }
}

TEST_F(FieldRulesTest, KillActive) {
  // No active field: true, nothing changes.
  SetStatusVar("activeGet", rt::Value());
  SetStatusVar("updated", false);
  EXPECT_TRUE(rt::Call("GETKILLACTIVE").is_true());
  EXPECT_FALSE(StatusVar("updated").is_true());

  // An edit that fails validation is taken back and the field marked.
  auto var = Var("old");
  rt::Value refuse = Block([](rt::Frame& f) {
    return rt::Value(rt::Send(f.arg(0), "varGet").str() == "old");
  });
  rt::Value get = Focused(var, refuse);
  rt::Send(get, "overstrike", {"Z"});
  EXPECT_TRUE(rt::Call("GETKILLACTIVE").is_true());
  EXPECT_EQ(var->value.str(), "old");
  EXPECT_EQ(ExitState(get), kWhen);
  EXPECT_FALSE(rt::Send(get, "hasFocus").is_true());

  // An edit that passes is stored and updated becomes true.
  auto good = Var("abc");
  SetStatusVar("updated", false);
  rt::Value ok = Focused(good);
  rt::Send(ok, "overstrike", {"Q"});
  EXPECT_TRUE(rt::Call("GETKILLACTIVE").is_true());
  EXPECT_EQ(good->value.str(), "Qbc");
  EXPECT_TRUE(StatusVar("updated").is_true());
  EXPECT_FALSE(rt::Send(ok, "hasFocus").is_true());
}

TEST_F(FieldRulesTest, SetKeyBlockCannotChangeUpdatedAndSeesItsCaller) {
  std::string caller;
  rt::Value block = Block([&](rt::Frame&) {
    caller = rt::ProcName(1);
    rt::Call("READUPDATED", {true});
    return rt::Value("result");
  });
  auto var = Var("abc");
  rt::Value get = Focused(var);
  SetStatusVar("updated", false);
  EXPECT_EQ(rt::Call("GETDOSETKEY", {block, get}).str(), "result");
  EXPECT_EQ(caller, "GETDOSETKEY");
  EXPECT_FALSE(StatusVar("updated").is_true());
  // An event block gets the three event values and the field.
  std::vector<rt::Value> seen;
  rt::Value event_block = Block([&](rt::Frame& f) {
    seen.assign(f.args().begin(), f.args().end());
    return rt::Value(5);
  });
  EXPECT_EQ(rt::Call("GETDOSETEVENT", {event_block, 1, "two", 3, get}).num(),
            5);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[1].str(), "two");
  EXPECT_TRUE(rt::ExactlyEqual(seen[3], get));
}

// One row: a field, the code of a key (and of the same key as an event), the
// settings, and what the field looks like afterwards.  Every character field
// starts edited: "Z" typed on position 1, cursor on position 2.
struct ApplyCase {
  const char* label;
  rt::Value value;
  const char* picture;
  int key;             // keyboard code for GETAPPLYKEY; 0 with "-": none
  int event;           // event code for GETHANDLEEVENT
  const char* flags;   // I insert on, C confirm on, B bell on, e escape off
  int exit_state;
  const char* buffer;  // nullptr: as before; "?": not checked
  int pos;             // 0: not checked
  int bells;
  bool insert_after;
};

class ApplyTest : public FieldRulesTest,
                  public ::testing::WithParamInterface<bool> {};

TEST_P(ApplyTest, KeysAndEventsActOnTheField) {
  const bool as_event = GetParam();
  const ApplyCase cases[] = {
      {"up", "abcd", "", 5, 65574, "", kUp, nullptr, 0, 0, false},
      {"shift+tab", "abcd", "", 271, 131081, "", kUp, nullptr, 0, 0, false},
      {"down", "abcd", "", 24, 65576, "", kDown, nullptr, 0, 0, false},
      {"tab", "abcd", "", 9, 9, "", kDown, nullptr, 0, 0, false},
      {"pgup", "abcd", "", 18, 65569, "", kWrite, nullptr, 0, 0, false},
      {"pgdn", "abcd", "", 3, 65570, "", kWrite, nullptr, 0, 0, false},
      {"enter", "abcd", "", 13, 13, "", kEnter, nullptr, 0, 0, false},
      {"ctrl+home", "abcd", "", 29, 589860, "", kTop, nullptr, 0, 0, false},
      {"-ctrl+end", "abcd", "", 0, 589859, "", kBottom, nullptr, 0, 0,
       false},
      {"ctrl+w", "abcd", "", 23, 23, "", kWrite, nullptr, 0, 0, false},
      {"esc undoes with 28 on", "abcd", "", 27, 27, "", kEscape, "abcd", 0, 0,
       false},
      {"esc does nothing with 28 off", "abcd", "", 27, 27, "e", kNone,
       nullptr, 0, 0, false},
      {"right", "abcd", "", 4, 65575, "", kNone, nullptr, 3, 0, false},
      {"left", "abcd", "", 19, 65573, "", kNone, nullptr, 1, 0, false},
      {"home", "abcd", "", 1, 65572, "", kNone, nullptr, 1, 0, false},
      {"end", "ab  ", "", 6, 65571, "", kNone, nullptr, 3, 0, false},
      {"ins flips insert", "abcd", "", 22, 65581, "", kNone, nullptr, 0, 0,
       true},
      {"backspace", "abcd", "", 8, 8, "", kNone, "bcd ", 0, 0, false},
      {"del", "abcd", "", 7, 65582, "", kNone, "Zcd ", 0, 0, false},
      {"ctrl+y", "abcd", "", 25, 25, "", kNone, "Z   ", 0, 0, false},
      {"ctrl+bs deletes a word, never types", "ab cd", "", 127, 524415, "",
       kNone, "?", 0, 0, false},
      {"ctrl+u undoes", "abcd", "", 21, 21, "", kNone, "abcd", 0, 0, false},
      {"printable overwrites", "abcd", "", 'q', 'q', "", kNone, "Zqcd", 0, 0,
       false},
      {"printable inserts", "abcd", "", 'q', 'q', "I", kNone, "Zqbc", 0, 0,
       true},
      {"ignored 0", "abcd", "", 0, 0, "", kNone, nullptr, 0, 0, false},
      {"ignored 10 / the event base", "abcd", "", 10, 1048576, "", kNone,
       nullptr, 0, 0, false},
      {"ignored 31 / the ignored event", "abcd", "", 31, 1048598, "", kNone,
       nullptr, 0, 0, false},
      {"ignored 256 / 65536", "abcd", "", 256, 65536, "", kNone, nullptr, 0,
       0, false},
      {"ignored negative", "abcd", "", -5, -5, "", kNone, nullptr, 0, 0,
       false},
      {"dot in a numeric field goes to the decimals", 12.5, "99.99", '.', '.',
       "B", kNone, "?", 4, 0, false},
      {"comma in a character field is typed", "abcd", "", ',', ',', "",
       kNone, "Z,cd", 0, 0, false},
      {"typed full without confirm: bell and exitEnter", "ab", "", 'q', 'q',
       "B", kEnter, "Zq", 0, 1, false},
      {"typed full with confirm: stays, no bell when off", "ab", "", 'q', 'q',
       "C", kNone, "Zq", 0, 0, false},
  };
  for (const ApplyCase& c : cases) {
    if (!as_event && c.label[0] == '-') continue;
    const int code = as_event ? c.event : c.key;
    const std::string flags = c.flags;
    SetUp();
    Set(rt::kSetInsert, flags.find('I') != std::string::npos);
    Set(rt::kSetConfirm, flags.find('C') != std::string::npos);
    Set(rt::kSetBell, flags.find('B') != std::string::npos);
    Set(rt::kSetEscape, flags.find('e') == std::string::npos);
    auto var = Var(c.value);
    rt::Value get = Focused(var, {}, c.picture);
    if (var->value.is_string()) {
      rt::Send(get, "overstrike", {"Z"});
    }
    const std::string before = rt::Send(get, "buffer").str();
    const int bells = rt::console::BellCount();
    if (as_event) {
      rt::Call("GETHANDLEEVENT", {get, code, {}, {}, {}});
    } else {
      rt::Call("GETAPPLYKEY", {get, code});
    }
    const std::string after = rt::Send(get, "buffer").str();
    EXPECT_EQ(ExitState(get), c.exit_state) << c.label;
    if (c.buffer == nullptr) {
      EXPECT_EQ(after, before) << c.label;
    } else if (std::string(c.buffer) != "?") {
      EXPECT_EQ(after, c.buffer) << c.label;
    } else if (c.key == 127) {
      EXPECT_NE(after, before) << c.label;
      EXPECT_EQ(after.find('\x7f'), std::string::npos) << c.label;
    }
    if (c.pos) {
      EXPECT_EQ(rt::Send(get, "pos").num(), c.pos) << c.label;
    }
    EXPECT_EQ(rt::console::BellCount() - bells, c.bells) << c.label;
    EXPECT_EQ(rt::GetSetting(rt::kSetInsert).is_true(), c.insert_after)
        << c.label;
  }
}

INSTANTIATE_TEST_SUITE_P(KeyboardAndEvents, ApplyTest, ::testing::Bool(),
                         [](const auto& info) {
                           return info.param ? "AsEvents" : "AsKeys";
                         });

TEST_F(FieldRulesTest, SetKeyOverridesEveryBuiltInKey) {
  int runs = 0;
  for (int code : {13, 27, static_cast<int>('a')}) {
    rt::Call("SETKEY", {code, Block([&](rt::Frame&) {
                          ++runs;
                          return rt::Value();
                        })});
    auto var = Var("abcd");
    rt::Value get = Focused(var);
    rt::Call("GETAPPLYKEY", {get, code});
    EXPECT_EQ(ExitState(get), kNone) << code;
    EXPECT_EQ(rt::Send(get, "buffer").str(), "abcd") << code;
    rt::Call("SETKEY", {code, rt::Value()});
  }
  EXPECT_EQ(runs, 3);
}

TEST_F(FieldRulesTest, InsTwiceRestoresTheSettingAndTheIndicator) {
  auto var = Var("abcd");
  rt::Value get = Focused(var);
  rt::Call("GETAPPLYKEY", {get, 22});
  EXPECT_EQ(Scoreboard(), rt::NationMsg(7));
  rt::Call("GETAPPLYKEY", {get, 22});
  EXPECT_FALSE(rt::GetSetting(rt::kSetInsert).is_true());
  EXPECT_EQ(Scoreboard(), rt::NationMsg(8));
}

}  // namespace
}  // namespace reader_test

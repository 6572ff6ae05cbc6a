// Whole reads on the headless console, driven by queued keys and clicks:
// variables, exit states, the read state, the scoreboard and the cursor.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/api/console.h"
#include "tests/reader/reader_fixture.h"

namespace reader_test {
namespace {

constexpr int kEnter = 5, kWrite = 6, kEscape = 7, kWhen = 8;

class ModalReadTest : public ReaderTest {
 protected:
  // After every read the cursor waits on the line above the last one.
  void ExpectCursorParked() {
    EXPECT_EQ(CursorRow(), rt::console::MaxRow() - 1);
    EXPECT_EQ(CursorCol(), 0);
  }
  std::string Text(const rt::CellPtr& var) { return var->value.str(); }
};

TEST_F(ModalReadTest, ReadsFieldsOfEveryTypeWithTheKeyboard) {
  auto name = Var(std::string(8, ' '));
  auto count = Var(0);
  auto when = Var(rt::Date{});
  auto flag = Var(false);
  std::vector<rt::Value> fields = {
      Field(2, 10, name, "cName"), Field(3, 10, count, "nCount", {}, {}, "999"),
      Field(4, 10, when, "dWhen"), Field(5, 10, flag, "lFlag")};
  // Down, Up, Tab, Shift+Tab, Ctrl+Home and Enter all move the focus;
  // the logical field is typed full and left as by Enter, ending the read.
  Keys("Bob{DOWN}{UP}{TAB}42{SHIFT+TAB}{CTRL+HOME}{ENTER}{TAB}"
       "12252026{CTRL+HOME}{DOWN}{DOWN}{DOWN}T");
  EXPECT_TRUE(ReadModal(fields).is_true());
  EXPECT_EQ(Text(name), "Bob     ");
  EXPECT_EQ(count->value.num(), 42);
  EXPECT_TRUE(rt::ExactlyEqual(when->value, rt::MakeDate(2026, 12, 25)));
  EXPECT_TRUE(flag->value.is_true());
  EXPECT_EQ(ExitState(fields[3]), kEnter);
  EXPECT_EQ(rt::console::PendingInputCount(), 0);
  EXPECT_EQ(Scoreboard(), rt::NationMsg(8));
  EXPECT_EQ(StatusVar("lastStatus").array()->items.size(), 0u);
  ExpectCursorParked();
}

TEST_F(ModalReadTest, WaysToEndAReadAndWhatUpdatedSays) {
  struct Case {
    const char* keys;
    bool escape_setting;
    bool updated;
    const char* a;
    const char* b;
    int exit_a;
  };
  const Case cases[] = {
      {"X{ENTER}Y{ENTER}", true, true, "Xaaa", "Ybbb", kEnter},
      {"X{PGDN}", true, true, "Xaaa", "bbbb", kWrite},
      {"X{PGUP}", true, true, "Xaaa", "bbbb", kWrite},
      {"X{CTRL+W}", true, true, "Xaaa", "bbbb", kWrite},
      {"{CTRL+W}", true, false, "aaaa", "bbbb", kWrite},
      {"X{ESC}", true, false, "aaaa", "bbbb", kEscape},
      // Esc after an edit stored in another field still reports updated.
      {"X{ENTER}Y{ESC}", true, true, "Xaaa", "bbbb", kEnter},
      // With setting 28 off Esc does nothing at all.
      {"X{ESC}{ENTER}{ENTER}", false, true, "Xaaa", "bbbb", kEnter},
  };
  for (const Case& c : cases) {
    SetUp();
    Set(rt::kSetEscape, c.escape_setting);
    auto a = Var("aaaa");
    auto b = Var("bbbb");
    std::vector<rt::Value> fields = {Field(2, 10, a, "a"),
                                     Field(3, 10, b, "b")};
    Keys(c.keys);
    EXPECT_EQ(ReadModal(fields).is_true(), c.updated) << c.keys;
    EXPECT_EQ(Text(a), c.a) << c.keys;
    EXPECT_EQ(Text(b), c.b) << c.keys;
    EXPECT_EQ(ExitState(fields[0]), c.exit_a) << c.keys;
    EXPECT_EQ(rt::console::PendingInputCount(), 0) << c.keys;
    ExpectCursorParked();
  }
}

TEST_F(ModalReadTest, EmptyListReturnsFalseAndLeavesTheStateAlone) {
  SetStatusVar("procName", "UNTOUCHED");
  rt::console::SetCursorPos(3, 3);
  EXPECT_FALSE(ReadModal({}).is_true());
  ExpectCursorParked();
  rt::console::SetCursorPos(3, 3);
  EXPECT_FALSE(rt::Call("READMODAL", {rt::Value()}).is_true());
  ExpectCursorParked();
  EXPECT_EQ(StatusVar("procName").str(), "UNTOUCHED");
}

TEST_F(ModalReadTest, PreValidationRefusalSkipsTheFieldBothWays) {
  auto a = Var("aa");
  auto b = Var("bb");
  auto c = Var("cc");
  int pre_calls = 0;
  rt::Value refuse = Block([&](rt::Frame&) {
    ++pre_calls;
    rt::Call("READUPDATED", {true});  // undone after the block
    return rt::Value(false);
  });
  std::vector<rt::Value> fields = {Field(2, 10, a, "a"),
                                   Field(3, 10, b, "b", {}, refuse),
                                   Field(4, 10, c, "c")};
  Keys("{DOWN}Z{UP}Y{CTRL+W}");
  EXPECT_TRUE(ReadModal(fields).is_true());
  EXPECT_EQ(Text(a), "Ya");
  EXPECT_EQ(Text(b), "bb");
  EXPECT_EQ(Text(c), "Zc");
  EXPECT_EQ(pre_calls, 2);
  EXPECT_EQ(ExitState(fields[1]), kWhen);
  EXPECT_FALSE(rt::Send(fields[1], "hasFocus").is_true());
}

TEST_F(ModalReadTest, PostValidationRefusalKeepsTheFieldActive) {
  auto code = Var("   ");
  int post_calls = 0;
  rt::Value post = Block([&](rt::Frame& f) {
    ++post_calls;
    return rt::Value(rt::Send(f.arg(0), "varGet").str() != "bad");
  });
  std::vector<rt::Value> fields = {Field(2, 10, code, "cCode", post)};
  Keys("bad" "ok!");
  EXPECT_TRUE(ReadModal(fields).is_true());
  EXPECT_EQ(Text(code), "ok!");
  EXPECT_EQ(post_calls, 2);
  ExpectCursorParked();
}

TEST_F(ModalReadTest, ImpossibleDateShowsMessageNineUntilAKey) {
  auto when = Var(rt::Date{});
  std::vector<rt::Value> fields = {Field(2, 10, when, "dWhen")};
  // With no key left the read stops inside the wait: the message is up.
  Keys("02302026");
  EXPECT_NE(ErrorOf([&] { ReadModal(fields); }), "");
  EXPECT_EQ(Scoreboard(), rt::NationMsg(9));
  EXPECT_EQ(StatusVar("lastStatus").array()->items.size(), 0u);

  // The key that ends the wait is swallowed: had "1" reached the field, the
  // date would have become 12/30/2026 and the read would have ended there.
  SetUp();
  std::vector<rt::Value> again = {Field(2, 10, when, "dWhen")};
  Keys("023020261{ENTER}2{ESC}");
  EXPECT_FALSE(ReadModal(again).is_true());
  EXPECT_TRUE(when->value.date().empty());
  EXPECT_EQ(rt::console::PendingInputCount(), 0);
  EXPECT_EQ(Scoreboard(), rt::NationMsg(8));

  // With the scoreboard off nothing is shown and no key is waited for.
  SetUp();
  Set(rt::kSetScoreboard, false);
  std::vector<rt::Value> quiet = {Field(2, 10, when, "dWhen")};
  Keys("02302026{ESC}");
  EXPECT_FALSE(ReadModal(quiet).is_true());
  EXPECT_EQ(Scoreboard(), "");
}

TEST_F(ModalReadTest, RangeCheckInAPostBlockShowsTheRangeUntilAKey) {
  auto n = Var(0);
  rt::Value post = Block([](rt::Frame& f) {
    return rt::Call("RANGECHECK", {f.arg(0), 1, 10});
  });
  const std::string message =
      rt::NationMsg(10) + "1" + rt::NationMsg(11) + "10";
  // Post-validation resets the field before its post block runs; the check
  // only looks at a value the user edited, so the reset must keep that.
  {
    std::vector<rt::Value> fields = {Field(2, 10, n, "nNum", post, {}, "99")};
    Keys("42");
    EXPECT_NE(ErrorOf([&] { ReadModal(fields); }), "");
    EXPECT_EQ(Scoreboard(), message);
  }
  SetUp();
  std::vector<rt::Value> fields = {Field(2, 10, n, "nNum", post, {}, "99")};
  // The refused 42 stays in the field with the cursor home; 05 replaces it.
  Keys("42" "x" "05");
  EXPECT_TRUE(ReadModal(fields).is_true());
  EXPECT_EQ(n->value.num(), 5);
  // Blanked after the key, then the insert indicator redrawn.
  EXPECT_EQ(Scoreboard(), rt::NationMsg(8));
  ExpectCursorParked();
}

TEST_F(ModalReadTest, RangeCheckCases) {
  struct Case {
    rt::Value value, low, high;
    bool changed, ok;
  };
  const Case cases[] = {
      {5, 1, 10, true, true},     {1, 1, 10, true, true},
      {10, 1, 10, true, true},    {0, 1, 10, true, false},
      {11, 1, 10, true, false},   {99, 1, 10, false, true},
      {"b", "a", "c", true, true}, {"d", "a", "c", true, false},
  };
  Set(rt::kSetScoreboard, false);
  for (const Case& c : cases) {
    auto var = Var(c.value);
    rt::Value get = Field(2, 10, var, "v");
    rt::SetVar(get, "changed", c.changed);
    EXPECT_EQ(rt::Call("RANGECHECK", {get, c.low, c.high}).is_true(), c.ok)
        << rt::ToLiteral(c.value);
  }
}

TEST_F(ModalReadTest, SetKeysRunWithTheEditSecured) {
  const int kF1 = 28;
  struct Seen {
    std::string proc, var, value;
    int line = 0;
    bool updated = false;
  } seen;
  rt::Value set_key = Block([&](rt::Frame& f) {
    seen.proc = f.arg(0).str();
    seen.line = static_cast<int>(f.arg(1).num());
    seen.var = f.arg(2).str();
    seen.value = rt::Send(f.arg(3), "varGet").str();
    seen.updated = rt::Call("UPDATED").is_true();
    rt::Call("READUPDATED", {false});  // undone after the block
    return rt::Value();
  });
  rt::Call("SETKEY", {kF1, set_key});

  // Unedited field: no validation, updated unchanged.
  {
    auto a = Var("aaaa");
    Keys("{KEY 28}{ESC}");
    EXPECT_FALSE(ReadModal({Field(2, 10, a, "cFirst")}).is_true());
    EXPECT_EQ(seen.proc, "TESTREAD");
    EXPECT_EQ(seen.line, 77);
    EXPECT_EQ(seen.var, "CFIRST");
    EXPECT_EQ(seen.value, "aaaa");
    EXPECT_FALSE(seen.updated);
  }
  // Edited, and the value passes: stored before the block, updated true
  // after it, the cursor where it was (typing goes on at position 2).
  {
    auto a = Var("aaaa");
    Keys("X{KEY 28}Y{CTRL+W}");
    EXPECT_TRUE(ReadModal({Field(2, 10, a, "cFirst")}).is_true());
    EXPECT_EQ(seen.value, "Xaaa");
    EXPECT_TRUE(seen.updated);
    EXPECT_EQ(Text(a), "XYaa");
  }
  // Edited, and the value fails: taken back with undo; the bell rings only
  // with setting 26 on; the block still runs.
  for (bool bell : {false, true}) {
    Set(rt::kSetBell, bell);
    auto a = Var("aaaa");
    rt::Value post = Block([](rt::Frame& f) {
      return rt::Value(rt::Send(f.arg(0), "varGet").str() != "Xaaa");
    });
    int bells = rt::console::BellCount();
    seen = Seen{};
    Keys("X{KEY 28}{ESC}");
    EXPECT_FALSE(ReadModal({Field(2, 10, a, "cFirst", post)}).is_true());
    EXPECT_EQ(seen.value, "aaaa");
    EXPECT_FALSE(seen.updated);
    EXPECT_EQ(Text(a), "aaaa");
    EXPECT_EQ(rt::console::BellCount() - bells, bell ? 1 : 0);
  }
}

TEST_F(ModalReadTest, SetKeyBlockCanKillTheRead) {
  rt::Call("SETKEY", {28, Block([](rt::Frame&) {
                        return rt::Call("READKILL", {true});
                      })});
  auto a = Var("aaaa");
  auto b = Var("bbbb");
  std::vector<rt::Value> fields = {Field(2, 10, a, "a"), Field(3, 10, b, "b")};
  Keys("{KEY 28}Z");
  EXPECT_FALSE(ReadModal(fields).is_true());
  EXPECT_EQ(ExitState(fields[0]), kEscape);
  EXPECT_EQ(rt::console::PendingInputCount(), 1);  // Z was never read
  EXPECT_FALSE(StatusVar("killRead").is_true());   // restored after the read
}

TEST_F(ModalReadTest, NestedReadFromASetKeyLeavesTheOuterReadAlone) {
  auto a = Var("aaaa");
  auto b = Var("bbbb");
  auto inner = Var("iiii");
  std::vector<rt::Value> fields = {Field(2, 10, a, "a"), Field(3, 10, b, "b")};
  rt::Value outer_list;
  bool inner_updated = false;
  rt::Call("SETKEY", {28, Block([&](rt::Frame&) {
                        outer_list = StatusVar("getList");
                        rt::Value list =
                            rt::NewArray({Field(10, 10, inner, "inner")});
                        inner_updated =
                            rt::Call("READMODAL", {list}).is_true();
                        // Back in the outer read, field 2 still active.
                        EXPECT_TRUE(rt::ExactlyEqual(StatusVar("getList"),
                                                     outer_list));
                        EXPECT_EQ(StatusVar("thisPos").num(), 2);
                        EXPECT_TRUE(rt::ExactlyEqual(StatusVar("activeGet"),
                                                     fields[1]));
                        EXPECT_EQ(StatusVar("readVar").str(), "B");
                        return rt::Value();
                      })});
  Keys("{DOWN}{KEY 28}" "Q{ENTER}" "Z{ENTER}");
  EXPECT_TRUE(ReadModal(fields).is_true());
  EXPECT_TRUE(inner_updated);
  EXPECT_EQ(Text(inner), "Qiii");
  EXPECT_EQ(Text(b), "Zbbb");
  EXPECT_EQ(Text(a), "aaaa");
  EXPECT_EQ(StatusVar("lastStatus").array()->items.size(), 0u);
  ExpectCursorParked();
}

TEST_F(ModalReadTest, NestedReadsFromAnEventBlockOrAFieldReader) {
  for (bool from_event : {true, false}) {
    SetUp();
    auto a = Var("aaaa");
    auto b = Var("bbbb");
    auto inner = Var("iiii");
    std::vector<rt::Value> fields = {Field(2, 10, a, "a"),
                                     Field(3, 10, b, "b")};
    int outer_pos = -1;
    rt::Value nested = Block([&](rt::Frame& f) {
      rt::Value list = rt::NewArray({Field(10, 10, inner, "inner")});
      rt::Call("READMODAL", {list});
      outer_pos = static_cast<int>(StatusVar("thisPos").num());
      if (!from_event) rt::Send(f.arg(0), "_exitState", {kEnter});
      return rt::Value();  // an event block's NIL consumes the event
    });
    if (from_event) {
      rt::console::SetMouseEnabled(true);
      rt::Call("GETENABLEEVENTS", {true});
      rt::Call("SETAPPEVENT", {126, nested});
      Keys("{DOWN}~Q{ENTER}Z{ENTER}");
    } else {
      rt::Send(fields[1], "_reader", {nested});
      Keys("{DOWN}Q{ENTER}");
    }
    EXPECT_TRUE(ReadModal(fields).is_true()) << from_event;
    EXPECT_EQ(outer_pos, 2) << from_event;
    EXPECT_EQ(Text(inner), "Qiii") << from_event;
    EXPECT_EQ(Text(b), from_event ? "Zbbb" : "bbbb") << from_event;
    EXPECT_EQ(StatusVar("lastStatus").array()->items.size(), 0u);
    ExpectCursorParked();
  }
}

TEST_F(ModalReadTest, FieldWithItsOwnReaderIsReadOnlyByIt) {
  auto a = Var("aaaa");
  auto b = Var("bbbb");
  int reads = 0;
  std::vector<rt::Value> fields = {Field(2, 10, a, "a"), Field(3, 10, b, "b")};
  rt::Send(fields[0], "_reader", {Block([&](rt::Frame& f) {
             ++reads;
             EXPECT_FALSE(rt::Send(f.arg(0), "hasFocus").is_true());
             reader_test::SetStatusVar("updated", true);
             rt::Send(f.arg(0), "_exitState", {kEnter});
             return rt::Value();
           })});
  rt::Call("GETENABLEEVENTS", {true});
  Keys("{ENTER}");
  EXPECT_TRUE(ReadModal(fields).is_true());
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(rt::console::PendingInputCount(), 0);
}

TEST_F(ModalReadTest, ReadStartedAtAPosition) {
  auto a = Var("aa");
  auto b = Var("bb");
  std::vector<rt::Value> fields = {Field(2, 10, a, "a"), Field(3, 10, b, "b")};
  Keys("Z{ENTER}");
  EXPECT_TRUE(ReadModal(fields, 2).is_true());
  EXPECT_EQ(Text(a), "aa");
  EXPECT_EQ(Text(b), "Zb");
}

// The event reader ------------------------------------------------------------

class EventReadTest : public ModalReadTest {
 protected:
  void SetUp() override {
    ModalReadTest::SetUp();
    rt::console::SetMouseEnabled(true);
    rt::Call("GETENABLEEVENTS", {true});
  }
};

TEST_F(EventReadTest, KeysArriveAsEvents) {
  auto a = Var("aaaa");
  auto b = Var("bbbb");
  std::vector<rt::Value> fields = {Field(2, 10, a, "a"), Field(3, 10, b, "b")};
  Keys("X{DOWN}{CTRL+END}{CTRL+HOME}{RIGHT}Y{PGDN}");
  EXPECT_TRUE(ReadModal(fields).is_true());
  EXPECT_EQ(Text(a), "XYaa");
  EXPECT_EQ(Text(b), "bbbb");
  ExpectCursorParked();
}

TEST_F(EventReadTest, ClicksMoveTheCursorOrTheFocus) {
  auto a = Var("abcdefgh");
  auto b = Var("ABCDEFGH");
  auto c = Var("cccc");
  rt::Value refuse = Block([](rt::Frame&) { return rt::Value(false); });
  std::vector<rt::Value> fields = {Field(2, 10, a, "a"), Field(3, 10, b, "b"),
                                   Field(4, 10, c, "c", {}, refuse)};
  // In the active field: the cursor moves under the click.  On another field:
  // the focus moves and the cursor lands under the click.  On a skipped
  // field: the focus comes back to the field that was active.
  Keys("{CLICK 2 13}X{CLICK 3 15}Y{CLICK 4 11}Z{CTRL+W}");
  EXPECT_TRUE(ReadModal(fields).is_true());
  EXPECT_EQ(Text(a), "abcXefgh");
  // Back from the skipped field the cursor starts on position 1: the last
  // click was not on this field.
  EXPECT_EQ(Text(b), "ZBCDEYGH");
  EXPECT_EQ(Text(c), "cccc");
}

TEST_F(EventReadTest, ClickOnASkippedFieldEndsTheReadWithExitOn) {
  Set(rt::kSetExit, true);
  auto a = Var("aaaa");
  auto c = Var("cccc");
  rt::Value refuse = Block([](rt::Frame&) { return rt::Value(false); });
  std::vector<rt::Value> fields = {Field(2, 10, a, "a"),
                                   Field(4, 10, c, "c", {}, refuse)};
  Keys("X{CLICK 4 11}Z");
  EXPECT_TRUE(ReadModal(fields).is_true());
  EXPECT_EQ(Text(a), "Xaaa");
  EXPECT_EQ(rt::console::PendingInputCount(), 1);
}

TEST_F(EventReadTest, EventBlocksReplaceOrConsumeTheEvent) {
  const int kA = 'a';
  struct Case {
    const char* label;
    rt::Value result;
    const char* value;  // of field 1 after "a" and Ctrl+W
  };
  const Case cases[] = {
      {"a number replaces the code", 66, "Baaa"},
      {"zero turns it into no event", 0, "xaaa"},
      {"a non-number consumes it", rt::Value(), "xaaa"},
  };
  for (const Case& c : cases) {
    SetUp();
    rt::Value seen_target;
    rt::Call("SETAPPEVENT", {kA, Block([&](rt::Frame& f) {
                               seen_target = f.arg(2);
                               return c.result;
                             })});
    auto a = Var("xaaa");
    std::vector<rt::Value> fields = {Field(2, 10, a, "a")};
    Keys("a{CTRL+W}");
    ReadModal(fields);
    EXPECT_EQ(Text(a), c.value) << c.label;
    EXPECT_TRUE(rt::ExactlyEqual(seen_target, rt::Call("SETAPPWINDOW")))
        << c.label;
  }
}

// GETHANDLEEVENT on a focused field, for the events a queue does not make.
class HandleEventTest : public ModalReadTest {
 protected:
  void SetUp() override {
    ModalReadTest::SetUp();
    var_ = Var("abcd");
    get_ = Field(2, 10, var_, "v");
    SetStatusVar("getList", rt::NewArray({get_}));
    SetStatusVar("activeGet", get_);
    rt::Send(get_, "setFocus");
    rt::Send(get_, "_exitState", {0});
  }
  void Handle(rt::Value code, rt::Value p1 = {}, rt::Value p2 = {},
              rt::Value target = {}) {
    rt::Call("GETHANDLEEVENT", {get_, code, p1, p2, target});
  }
  rt::CellPtr var_;
  rt::Value get_;
};

TEST_F(HandleEventTest, KeyboardEventFromABlockUsesTheKeyInP1) {
  rt::Call("SETAPPEVENT",
           {1048601, Block([](rt::Frame&) { return rt::Value(1048580); })});
  Handle(1048601, 13);
  EXPECT_EQ(ExitState(get_), kEnter);
}

TEST_F(HandleEventTest, PlatformEventsGoToTheirTarget) {
  rt::ObjectPtr cls = rt::CreateClass(rt::ClassDef{
      .name = "TESTTARGET",
      .class_vars = {{"log", rt::Value()}},
      .instance_vars = {},
      .class_methods = {},
      .instance_methods = {{"handleEvent", "@TESTTARGET@I@HANDLEEVENT",
                            [](rt::Frame& f) {
                              rt::SetVar(f.self(), "log",
                                         rt::NewArray({f.arg(0), f.arg(1),
                                                       f.arg(2)}));
                              return rt::Value();
                            }}},
  });
  rt::Value target = rt::NewInstance(cls);
  for (bool dispatch : {true, false}) {
    Set(rt::kSetEventDispatch, dispatch);
    rt::SetVar(target, "log", rt::Value());
    rt::Send(get_, "killFocus");
    Handle(1048600, "p1", "p2", target);
    rt::Value log = rt::GetVar(target, "log");
    if (dispatch) {
      ASSERT_TRUE(log.is_array());
      EXPECT_EQ(log.array()->items[0].num(), 1048600);
      EXPECT_EQ(log.array()->items[1].str(), "p1");
      EXPECT_EQ(log.array()->items[2].str(), "p2");
    } else {
      EXPECT_TRUE(log.is_nil());
    }
    // The field that lost the focus gets it back.
    EXPECT_TRUE(rt::Send(get_, "hasFocus").is_true());
    EXPECT_EQ(ExitState(get_), 0);
  }
  // A killed read ends the field instead.
  SetStatusVar("killRead", true);
  Handle(1048600, {}, {}, target);
  EXPECT_EQ(ExitState(get_), kEscape);
  // Without a target nothing happens.
  SetStatusVar("killRead", false);
  rt::Send(get_, "_exitState", {0});
  Handle(1048600);
  EXPECT_EQ(ExitState(get_), 0);
}

TEST_F(HandleEventTest, AbandonAlwaysEscapesButEscNeedsSetting28) {
  rt::Send(get_, "overstrike", {"Z"});
  Set(rt::kSetEscape, false);
  Handle(27);
  EXPECT_EQ(ExitState(get_), 0);
  EXPECT_EQ(rt::Send(get_, "buffer").str(), "Zbcd");
  Handle(1048576);  // the base code does nothing
  EXPECT_EQ(ExitState(get_), 0);
  Handle(1048632);
  EXPECT_EQ(ExitState(get_), kEscape);
  EXPECT_EQ(rt::Send(get_, "buffer").str(), "abcd");
}

TEST_F(HandleEventTest, SetKeyAndItsOwnRowBothAct) {
  int runs = 0;
  rt::Call("SETKEY", {27, Block([&](rt::Frame&) {
                        ++runs;
                        return rt::Value();
                      })});
  Keys("{ESC}");
  rt::Call("INKEY", {0});  // LASTKEY() is now Esc
  Handle(27);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(ExitState(get_), kEscape);
}

TEST_F(ModalReadTest, GetToMousePosPutsTheCursorUnderTheColumn) {
  struct Case {
    int pos, width;
    bool focus;
    int col, expected;
  };
  const Case cases[] = {
      {3, 10, true, 14, 5},    // field column 10, four columns in
      {15, 10, true, 14, 10},  // scrolled five positions
      {3, 10, false, 14, 3},   // no focus: untouched
  };
  for (const Case& c : cases) {
    rt::Value get = GeometryFields(1).array()->items[0];
    rt::SetVar(get, "pos", c.pos);
    rt::SetVar(get, "width", c.width);
    rt::SetVar(get, "hasFocus", c.focus);
    rt::Call("GETTOMOUSEPOS", {get, c.col});
    EXPECT_EQ(rt::GetVar(get, "pos").num(), c.expected) << c.pos;
  }
}

TEST_F(ModalReadTest, ReadersFocusOnlyFieldsThatPassPreValidation) {
  for (bool events : {false, true}) {
    rt::Call("GETENABLEEVENTS", {events});
    rt::Value list = GeometryFields(2);
    rt::Value refused = list.array()->items[0];
    rt::Value full = list.array()->items[1];
    rt::SetVar(refused, "preBlock",
               Block([](rt::Frame&) { return rt::Value(false); }));
    // Typed full before it is read: left as by Enter without any input.
    rt::SetVar(full, "typeOut", true);
    Keys("Q");
    EXPECT_FALSE(rt::Call("READMODAL", {list}).is_true());
    EXPECT_EQ(rt::GetVar(refused, "log").str(), "") << events;
    EXPECT_EQ(ExitState(refused), kWhen);
    EXPECT_EQ(rt::GetVar(full, "log").str(), "setFocus killFocus");
    EXPECT_EQ(ExitState(full), kEnter);
    EXPECT_EQ(rt::console::PendingInputCount(), 1);
    rt::console::ClearInput();
    ExpectCursorParked();
  }
}

}  // namespace
}  // namespace reader_test

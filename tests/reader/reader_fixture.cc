// Shared set-up of the form reader's tests.
#include "tests/reader/reader_fixture.h"

#include "reader/apply_key.h"
#include "reader/events.h"
#include "reader/read_status.h"
#include "reader/readers.h"
#include "reader/set_keys.h"
#include "reader/status_line.h"
#include "reader/validation.h"
#include "runtime/api/console.h"

namespace reader_test {
namespace {

// The reader's rows of the module's table, so blocks and the runtime reach
// the functions by name as they do when the module is loaded.
constexpr rt::FunctionEntry kReaderFunctions[] = {
    {"READMODAL", 2, false, &vornex::ReadModal},
    {"GETREADER", 1, false, &vornex::GetReader},
    {"GETAPPLYKEY", 2, false, &vornex::GetApplyKey},
    {"GETPREVALIDATE", 1, false, &vornex::GetPreValidate},
    {"GETPOSTVALIDATE", 1, false, &vornex::GetPostValidate},
    {"GETDOSETKEY", 2, false, &vornex::GetDoSetKey},
    {"GETACTIVE", 1, false, &vornex::GetActive},
    {"UPDATED", 0, false, &vornex::Updated},
    {"READEXIT", 1, false, &vornex::ReadExit},
    {"READINSERT", 1, false, &vornex::ReadInsert},
    {"READKILL", 1, false, &vornex::ReadKill},
    {"READUPDATED", 1, false, &vornex::ReadUpdated},
    {"READVAR", 1, false, &vornex::ReadVar},
    {"DISPSCOREBOARD", 0, false, &vornex::DispScoreboard},
    {"RANGECHECK", 3, false, &vornex::RangeCheck},
    {"GETEVENTREADER", 1, false, &vornex::GetEventReader},
    {"GETHANDLEEVENT", 5, false, &vornex::GetHandleEvent},
    {"GETDOSETEVENT", 5, false, &vornex::GetDoSetEvent},
    {"GETLASTACTIVE", 0, false, &vornex::GetLastActive},
    {"GETKILLACTIVE", 0, false, &vornex::GetKillActive},
    {"GETLIST", 0, false, &vornex::GetList},
    {"GETLISTPOS", 0, false, &vornex::GetListPos},
    {"GETENABLEEVENTS", 1, false, &vornex::GetEnableEvents},
    {"GETTOMOUSEPOS", 2, false, &vornex::GetToMousePos},
    {"READSTATUS", 0, true, &vornex::ReadStatus},
};

constexpr int kFieldCol = 10;
constexpr int kFieldWidth = 5;

rt::Value GeoPosInBuffer(rt::Frame& f) {
  const rt::Value& self = f.self();
  double row = rt::GetVar(self, "row").num();
  double a = f.arg(0).num();
  double b = f.arg(1).num();
  if (a != row || b < kFieldCol || b >= kFieldCol + kFieldWidth) return 0;
  return b - kFieldCol + 1;
}

rt::Value GeoDisplay(rt::Frame& f) { return f.self(); }

// setFocus and killFocus only leave a trace in the field's "log".
rt::Value GeoLog(rt::Frame& f, const char* what) {
  rt::Value log = rt::GetVar(f.self(), "log");
  rt::SetVar(f.self(), "log",
             (log.is_string() && !log.str().empty() ? log.str() + " "
                                                     : std::string()) +
                 what);
  return f.self();
}
rt::Value GeoSetFocus(rt::Frame& f) { return GeoLog(f, "setFocus"); }
rt::Value GeoKillFocus(rt::Frame& f) { return GeoLog(f, "killFocus"); }

void StartOnce() {
  static bool started = false;
  if (started) return;
  started = true;
  rt::InitRuntime();
  rt::console::RegisterConsoleBuiltins();
  rt::RegisterFunctions(kReaderFunctions);
  rt::CreateClass(rt::ClassDef{
      .name = "GEOFIELD",
      .class_vars = {},
      .instance_vars = {"exitState", "hasFocus", "pos", "name", "row", "col",
                        "width", "typeOut", "preBlock", "postBlock", "reader",
                        "log"},
      .class_methods = {},
      .instance_methods = {{"posInBuffer", "@GEOFIELD@I@POSINBUFFER",
                            &GeoPosInBuffer},
                           {"display", "@GEOFIELD@I@DISPLAY", &GeoDisplay},
                           {"setFocus", "@GEOFIELD@I@SETFOCUS", &GeoSetFocus},
                           {"killFocus", "@GEOFIELD@I@KILLFOCUS",
                            &GeoKillFocus}},
  });
}

}  // namespace

void ReaderTest::SetUp() {
  StartOnce();
  rt::console::UseHeadless(25, 80);
  Set(rt::kSetBell, false);
  Set(rt::kSetConfirm, false);
  Set(rt::kSetEscape, true);
  Set(rt::kSetInsert, false);
  Set(rt::kSetExit, false);
  Set(rt::kSetScoreboard, true);
  Set(rt::kSetEventDispatch, true);
  rt::Send(Status(), "initClass");
}

void ReaderTest::TearDown() {
  // Set keys and event blocks a test bound are dropped with the codes it
  // used; the queue is emptied for the next test.
  for (int code : {-1, 2, 13, 27, 28, 65, 97, 126, 1048600, 1048601}) {
    rt::Call("SETKEY", {code, rt::Value()});
    rt::Call("SETAPPEVENT", {code, rt::Value()});
  }
  rt::console::ClearInput();
}

void ReaderTest::Keys(std::string_view script) {
  std::string error;
  ASSERT_TRUE(rt::console::QueueKeys(script, &error)) << error;
}

std::string ReaderTest::ScreenAt(int row, int col, int len) {
  return rt::console::RowText(row).substr(col, len);
}

std::string ReaderTest::Scoreboard() {
  std::string text = rt::console::RowText(0).substr(50);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

int ReaderTest::CursorRow() { return rt::console::CursorRow(); }
int ReaderTest::CursorCol() { return rt::console::CursorCol(); }

rt::Value ReaderTest::Field(int row, int col, const rt::CellPtr& var,
                            std::string name, rt::Value post_block,
                            rt::Value pre_block, std::string picture) {
  rt::Value get_set = Block([var](rt::Frame& f) {
    if (f.pcount() > 0) var->value = f.arg(0);
    return var->value;
  });
  rt::Value picture_value =
      picture.empty() ? rt::Value() : rt::Value(std::move(picture));
  return rt::Send(rt::Call("GET"), "new",
                  {row, col, get_set, name, picture_value, rt::Value(),
                   post_block, pre_block});
}

rt::Value ReaderTest::ReadModal(const std::vector<rt::Value>& fields,
                                rt::Value pos) {
  rt::Value list = rt::NewArray(fields);
  std::vector<rt::Value> args = {list, pos};
  rt::Frame frame("TESTREAD", args);
  frame.set_line(77);
  return rt::Call("READMODAL", {list, pos});
}

rt::Value Status() { return rt::Call("READSTATUS"); }
rt::Value StatusVar(std::string_view name) { return rt::GetVar(Status(), name); }
void SetStatusVar(std::string_view name, rt::Value v) {
  rt::SetVar(Status(), name, std::move(v));
}

int ExitState(const rt::Value& get) {
  rt::Value v = rt::Send(get, "exitState");
  return v.is_number() ? static_cast<int>(v.num()) : -1;
}

rt::Value Block(std::function<rt::Value(rt::Frame&)> fn) {
  return rt::MakeBlock("(B)TEST", std::move(fn));
}

rt::Value GeometryFields(int count) {
  rt::ObjectPtr cls = rt::FindClass("GEOFIELD");
  std::vector<rt::Value> fields;
  for (int i = 1; i <= count; ++i) {
    rt::Value f = rt::NewInstance(cls);
    rt::SetVar(f, "row", i);
    rt::SetVar(f, "col", kFieldCol);
    rt::SetVar(f, "width", kFieldWidth);
    rt::SetVar(f, "pos", 1);
    rt::SetVar(f, "hasFocus", false);
    rt::SetVar(f, "typeOut", false);
    rt::SetVar(f, "log", "");
    fields.push_back(f);
  }
  return rt::NewArray(std::move(fields));
}

std::string ErrorOf(const std::function<void()>& fn) {
  std::string message;
  std::vector<rt::ChainEntry> chain;
  if (rt::RunProtected(fn, &message, &chain)) return "";
  return message.empty() ? "error" : message;
}

}  // namespace reader_test

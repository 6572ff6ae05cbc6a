// The ReadStatus class (its state, save and restore, settle, postActiveGet,
// LbClick) and the read-state functions.
#include "reader/read_status.h"

#include <string>
#include <utility>

#include "reader/status_line.h"

namespace vornex {
namespace {

// The class object, NIL until a function of the reader first asks for it.
rt::Value g_read_status;

const rt::Value kEmptyString = std::string();

// Class variables, in the order the class defines them.
constexpr std::string_view kUpdated = "updated";
constexpr std::string_view kKillRead = "killRead";
constexpr std::string_view kLastStatus = "lastStatus";
constexpr std::string_view kHitTop = "hitTop";
constexpr std::string_view kHitBottom = "hitBottom";
constexpr std::string_view kLastExitState = "lastExitState";
constexpr std::string_view kLastPos = "lastPos";
constexpr std::string_view kThisPos = "thisPos";
constexpr std::string_view kNextPos = "nextPos";
constexpr std::string_view kGetList = "getList";
constexpr std::string_view kActiveGet = "activeGet";
constexpr std::string_view kLastActiveGet = "lastActiveGet";
constexpr std::string_view kProcName = "procName";
constexpr std::string_view kProcLine = "procLine";
constexpr std::string_view kReadVar = "readVar";
constexpr std::string_view kUseAppEvent = "useAppEvent";

// What `save` copies into a saved instance and `restore` copies back:
// class variable, instance variable.
constexpr std::pair<std::string_view, std::string_view> kSaved[] = {
    {kKillRead, "lKillRead"},         {kHitTop, "lHitTop"},
    {kHitBottom, "lHitBottom"},       {kProcName, "cProcName"},
    {kProcLine, "nProcLine"},         {kLastExitState, "nLastExitState"},
    {kLastPos, "nLastPos"},           {kThisPos, "nThisPos"},
    {kGetList, "aGetList"},           {kReadVar, "cReadVar"},
    {kActiveGet, "oActiveGet"},       {kLastActiveGet, "oLastActiveGet"},
};

int IntVar(std::string_view name) {
  rt::Value v = reader::StatusVar(name);
  return v.is_number() ? static_cast<int>(v.num()) : 0;
}

bool FlagVar(std::string_view name) { return reader::StatusVar(name).is_true(); }

bool SameObject(const rt::Value& a, const rt::Value& b) {
  return a.is_object() && b.is_object() && a.object() == b.object();
}

int ListLength(const rt::Value& list) {
  return static_cast<int>(list.array()->items.size());
}

// GETVARNAME(get): the upper-case name of the field's variable, "" for none.
rt::Value GetVarName(rt::Frame& frame) {
  RT_LINE(frame);
  rt::Value name = rt::Send(frame.arg(0), "name");
  if (name.is_nil()) return kEmptyString;
  RT_LINE(frame);
  return rt::Call("UPPER", {name});
}

// Class methods ---------------------------------------------------------------

rt::Value InitClass(rt::Frame& frame) {
  using reader::SetStatusVar;
  RT_LINE(frame);
  SetStatusVar(kUpdated, false);
  SetStatusVar(kKillRead, false);
  SetStatusVar(kLastStatus, rt::NewArray());
  SetStatusVar(kHitTop, false);
  SetStatusVar(kHitBottom, false);
  SetStatusVar(kLastExitState, 0);
  SetStatusVar(kLastPos, 0);
  SetStatusVar(kThisPos, 0);
  SetStatusVar(kNextPos, 0);
  SetStatusVar(kGetList, rt::NewArray());
  SetStatusVar(kActiveGet, rt::Value());
  SetStatusVar(kLastActiveGet, rt::Value());
  SetStatusVar(kProcName, kEmptyString);
  SetStatusVar(kProcLine, 0);
  SetStatusVar(kReadVar, kEmptyString);
  RT_LINE(frame);
  SetStatusVar(kUseAppEvent, rt::Call("SETMOUSE"));
  return frame.self();
}

rt::Value Save(rt::Frame& frame) {
  using reader::SetStatusVar;
  using reader::StatusVar;
  RT_LINE(frame);
  rt::Value saved = rt::Send(reader::Status(), "new");
  for (const auto& [class_var, instance_var] : kSaved) {
    rt::SetVar(saved, instance_var, StatusVar(class_var));
  }
  RT_LINE(frame);
  StatusVar(kLastStatus).array()->items.push_back(saved);
  RT_LINE(frame);
  SetStatusVar(kUpdated, false);
  SetStatusVar(kKillRead, false);
  SetStatusVar(kHitTop, false);
  SetStatusVar(kHitBottom, false);
  SetStatusVar(kLastExitState, 0);
  SetStatusVar(kNextPos, 0);
  SetStatusVar(kThisPos, 0);
  SetStatusVar(kLastPos, 0);
  SetStatusVar(kProcLine, 0);
  SetStatusVar(kProcName, kEmptyString);
  SetStatusVar(kReadVar, kEmptyString);
  SetStatusVar(kActiveGet, rt::Value());
  SetStatusVar(kLastActiveGet, rt::Value());
  return frame.self();
}

rt::Value Restore(rt::Frame& frame) {
  RT_LINE(frame);
  rt::ArrayPtr stack = reader::StatusVar(kLastStatus).array();
  if (stack->items.empty()) return frame.self();
  // Keep the instance alive while its values are copied back.
  rt::Value saved = stack->items.back();
  RT_LINE(frame);
  for (const auto& [class_var, instance_var] : kSaved) {
    reader::SetStatusVar(class_var, rt::GetVar(saved, instance_var));
  }
  RT_LINE(frame);
  stack->items.pop_back();
  return frame.self();
}

// Whether moving by `state` changes the position: the codes `settle` acts on.
bool MovesFocus(int state) {
  switch (state) {
    case kExitUp:
    case kExitDown:
    case kExitTop:
    case kExitBottom:
    case kExitEnter:
    case kExitClick:
    case kExitActivate:
      return true;
    default:
      return false;
  }
}

bool ExitSettingOn() {
  return reader::CallHere("READEXIT", &ReadExit).is_true();
}

rt::Value Settle(rt::Frame& frame) {
  using reader::SetStatusVar;
  RT_LINE(frame);
  const rt::Value list = reader::StatusVar(kGetList);
  const rt::Value& arg = frame.arg(0);
  int this_pos = IntVar(kThisPos);
  int last_pos = IntVar(kLastPos);

  // The field just left.
  int pos = this_pos;
  if (arg.is_number() && arg.num() >= 1 &&
      !(last_pos > 0 && arg.num() > last_pos)) {
    pos = static_cast<int>(arg.num());
  }
  RT_LINE(frame);
  int state = pos == 0 ? kExitDown
                       : reader::ExitStateOf(
                             reader::ElementAt(list, pos, "SETTLE"));

  if (state == kExitEscape || state == kExitWrite) {
    SetStatusVar(kThisPos, 0);
    return frame.self();
  }

  RT_LINE(frame);
  if (state == kExitWhen) {
    // The field was skipped: carry on in the direction of the last move.
    // A last move that went nowhere (a read started on a field that is then
    // skipped) would skip the same field forever, so it counts as Down.
    state = IntVar(kLastExitState);
    if (state == kExitActivate || !MovesFocus(state)) state = kExitDown;
  } else {
    SetStatusVar(kLastPos, pos);
    SetStatusVar(kHitTop, false);
    SetStatusVar(kHitBottom, false);
    last_pos = pos;
  }

  RT_LINE(frame);
  this_pos = pos;
  const int count = ListLength(list);
  switch (state) {
    case kExitClick:
      this_pos = IntVar(kNextPos);
      SetStatusVar(kNextPos, 0);
      break;
    case kExitUp:
      --this_pos;
      break;
    case kExitDown:
    case kExitEnter:
      ++this_pos;
      break;
    case kExitTop:
      this_pos = 1;
      SetStatusVar(kHitTop, true);
      state = kExitDown;
      break;
    case kExitBottom:
      this_pos = count;
      SetStatusVar(kHitBottom, true);
      state = kExitUp;
      break;
    case kExitActivate: {
      this_pos = 0;
      const rt::Value wanted = reader::StatusVar(kLastActiveGet);
      for (int i = 0; i < count; ++i) {
        if (SameObject(list.array()->items[i], wanted)) {
          this_pos = i + 1;
          break;
        }
      }
      break;
    }
    default:
      break;
  }

  // The ends of the list: bounce back or end the read.
  RT_LINE(frame);
  if (this_pos < 1) {
    if (!ExitSettingOn() && !FlagVar(kHitBottom)) {
      SetStatusVar(kHitTop, true);
      this_pos = last_pos;
      state = kExitDown;
    } else {
      this_pos = 0;
    }
  } else if (this_pos > count) {
    if (!ExitSettingOn() && state != kExitEnter && !FlagVar(kHitTop)) {
      SetStatusVar(kHitBottom, true);
      this_pos = last_pos;
      state = kExitUp;
    } else {
      this_pos = 0;
    }
  }

  RT_LINE(frame);
  SetStatusVar(kThisPos, this_pos);
  SetStatusVar(kLastExitState, state);
  if (this_pos != 0) {
    reader::SetExitState(reader::ElementAt(list, this_pos, "SETTLE"), state);
  }
  return frame.self();
}

rt::Value PostActiveGet(rt::Frame& frame) {
  using reader::SetStatusVar;
  using reader::StatusVar;
  RT_LINE(frame);
  const rt::Value field = reader::ElementAt(StatusVar(kGetList),
                                            IntVar(kThisPos), "POSTACTIVEGET");
  if (!SameObject(StatusVar(kLastActiveGet), field)) {
    SetStatusVar(kLastActiveGet, StatusVar(kActiveGet));
  }
  SetStatusVar(kActiveGet, field);
  RT_LINE(frame);
  SetStatusVar(kReadVar, reader::CallHere("GETVARNAME", &GetVarName, {field}));
  if (StatusVar(kLastActiveGet).is_nil()) {
    SetStatusVar(kLastActiveGet, field);
  }
  RT_LINE(frame);
  reader::CallHere("DISPSCOREBOARD", &DispScoreboard);
  return frame.self();
}

bool IsNonZero(const rt::Value& v) { return v.is_number() && v.num() != 0; }

rt::Value LbClick(rt::Frame& frame) {
  using reader::StatusVar;
  const rt::Value& a = frame.arg(0);
  const rt::Value& b = frame.arg(1);
  RT_LINE(frame);
  const rt::Value active = StatusVar(kActiveGet);
  rt::Value pos = rt::Send(active, "posInBuffer", {a, b});
  if (IsNonZero(pos)) {
    // Inside the active field: only the cursor moves.
    RT_LINE(frame);
    rt::Send(active, "_pos", {pos});
    rt::Send(active, "display");
    return frame.self();
  }
  RT_LINE(frame);
  reader::SetStatusVar(kNextPos, 0);
  const rt::Value list = StatusVar(kGetList);
  const int count = ListLength(list);
  for (int i = 0; i < count; ++i) {
    if (IsNonZero(rt::Send(list.array()->items[i], "posInBuffer", {a, b}))) {
      reader::SetStatusVar(kNextPos, i + 1);
      break;
    }
  }
  RT_LINE(frame);
  if (IntVar(kNextPos) != 0) reader::SetExitState(active, kExitClick);
  return frame.self();
}

rt::Value InitInstance(rt::Frame& frame) { return frame.self(); }

rt::ClassDef ReadStatusClassDef() {
  rt::ClassDef def;
  def.name = "ReadStatus";
  for (std::string_view name :
       {kUpdated, kKillRead, kLastStatus, kHitTop, kHitBottom, kLastExitState,
        kLastPos, kThisPos, kNextPos, kGetList, kActiveGet, kLastActiveGet,
        kProcName, kProcLine, kReadVar, kUseAppEvent}) {
    def.class_vars.emplace_back(std::string(name), rt::Value());
  }
  for (const auto& [class_var, instance_var] : kSaved) {
    def.instance_vars.emplace_back(instance_var);
  }
  def.class_methods = {
      {"initClass", "@READSTATUS@C@INITCLASS", &InitClass},
      {"settle", "@READSTATUS@C@SETTLE", &Settle},
      {"save", "@READSTATUS@C@SAVE", &Save},
      {"restore", "@READSTATUS@C@RESTORE", &Restore},
      {"postActiveGet", "@READSTATUS@C@POSTACTIVEGET", &PostActiveGet},
      {"LbClick", "@READSTATUS@C@LBCLICK", &LbClick},
  };
  def.instance_methods = {{"INIT", "@READSTATUS@I@INIT", &InitInstance}};
  return def;
}

}  // namespace

// Public functions ----------------------------------------------------------------

rt::Value ReadStatus(rt::Frame& frame) {
  RT_LINE(frame);
  if (g_read_status.is_nil()) {
    // initClass runs only for the call that really creates the class.
    const bool first = rt::FindClass("ReadStatus") == nullptr;
    g_read_status = rt::Value(rt::CreateClass(ReadStatusClassDef()));
    if (first) {
      RT_LINE(frame);
      rt::Send(g_read_status, "initClass");
    }
  }
  return g_read_status;
}

rt::Value GetActive(rt::Frame& frame) {
  using reader::SetStatusVar;
  RT_LINE(frame);
  const rt::Value old_active = reader::StatusVar(kActiveGet);
  if (frame.pcount() == 0) return old_active;
  const rt::Value& get = frame.arg(0);
  RT_LINE(frame);
  if (get.is_nil()) {
    SetStatusVar(kActiveGet, rt::Value());
  } else if (rt::Send(get, "hasFocus").is_true()) {
    SetStatusVar(kActiveGet, get);
  } else if (!old_active.is_nil()) {
    RT_LINE(frame);
    reader::SetExitState(old_active, kExitActivate);
    SetStatusVar(kLastActiveGet, get);
  }
  return old_active;
}

rt::Value Updated(rt::Frame& frame) {
  RT_LINE(frame);
  return reader::StatusVar(kUpdated);
}

namespace {

// The read-and-maybe-replace accessors: the old value, replaced when the
// argument has the expected type letter.
rt::Value Accessor(rt::Frame& frame, std::string_view var, char type) {
  RT_LINE(frame);
  rt::Value old = reader::StatusVar(var);
  if (frame.arg(0).type_letter() == type) {
    RT_LINE(frame);
    reader::SetStatusVar(var, frame.arg(0));
  }
  return old;
}

}  // namespace

rt::Value ReadKill(rt::Frame& frame) { return Accessor(frame, kKillRead, 'L'); }
rt::Value ReadUpdated(rt::Frame& frame) {
  return Accessor(frame, kUpdated, 'L');
}
rt::Value ReadVar(rt::Frame& frame) { return Accessor(frame, kReadVar, 'C'); }
rt::Value GetEnableEvents(rt::Frame& frame) {
  return Accessor(frame, kUseAppEvent, 'L');
}

rt::Value GetLastActive(rt::Frame& frame) {
  RT_LINE(frame);
  return reader::StatusVar(kLastActiveGet);
}

rt::Value GetList(rt::Frame& frame) {
  RT_LINE(frame);
  return reader::StatusVar(kGetList);
}

rt::Value GetListPos(rt::Frame& frame) {
  RT_LINE(frame);
  return reader::StatusVar(kThisPos);
}

// Helpers of the reader ---------------------------------------------------------

namespace reader {

const rt::Value& Status() {
  if (g_read_status.is_nil()) CallHere("READSTATUS", &ReadStatus);
  return g_read_status;
}

rt::Value StatusVar(std::string_view name) { return rt::GetVar(Status(), name); }

void SetStatusVar(std::string_view name, rt::Value value) {
  rt::SetVar(Status(), name, std::move(value));
}

bool ReadKilled() { return StatusVar(kKillRead).is_true(); }

rt::Value CallHere(std::string_view proc, rt::NativeFn fn,
                   std::initializer_list<rt::Value> args) {
  rt::Frame frame(proc, std::span<const rt::Value>(args.begin(), args.size()));
  return fn(frame);
}

int ExitStateOf(const rt::Value& get) {
  rt::Value state = rt::Send(get, "exitState");
  return state.is_number() ? static_cast<int>(state.num()) : kExitNone;
}

void SetExitState(const rt::Value& get, int state) {
  rt::Send(get, "_exitState", {state});
}

const rt::Value& ElementAt(const rt::Value& array, int pos,
                           std::string_view operation) {
  if (!array.is_array() || pos < 1 ||
      static_cast<size_t>(pos) > array.array()->items.size()) {
    rt::ErrorInfo error;
    error.description = "array index out of bounds: element " +
                        std::to_string(pos) + " does not exist";
    error.operation = std::string(operation);
    error.args = {array, pos};
    error.gen_code = rt::kErrBound;
    rt::Raise(std::move(error));
  }
  return array.array()->items[static_cast<size_t>(pos) - 1];
}

}  // namespace reader
}  // namespace vornex

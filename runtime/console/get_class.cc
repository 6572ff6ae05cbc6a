// The GET class: the variables and messages of an edit field over the
// editing logic of EditField, drawn through the console.
#include "runtime/console/get_class.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "runtime/api/console.h"
#include "runtime/console/edit_field.h"

namespace rt {
namespace {

// The instance variables, in the order of the class definition.
enum GetVarIndex : size_t {
  kExitState,
  kHasFocus,
  kChanged,
  kTypeOut,
  kType,
  kBuffer,
  kPos,
  kRow,
  kCol,
  kWidth,
  kName,
  kPreBlock,
  kPostBlock,
  kReader,
  kBlockVar,
  kPicture,
  kColorSpec,
  kOriginal,
  kCargo,
  kVarCount,
};

constexpr std::array<const char*, kVarCount> kVarNames = {
    "exitState", "hasFocus", "changed",  "typeOut",   "type",
    "buffer",    "pos",      "row",      "col",       "width",
    "name",      "preBlock", "postBlock", "reader",   "block",
    "picture",   "colorSpec", "original", "cargo"};

// What a Get keeps beside its variables.
struct GetState {
  EditField field;
};

Object& Self(Frame& f) { return *f.self().object(); }

GetState& State(Object& o) {
  if (!o.native) o.native = std::make_shared<GetState>();
  return *static_cast<GetState*>(o.native.get());
}

DateSettings CurrentDateSettings() {
  DateSettings dates;
  Value format = GetSetting(kSetDateFormat);
  if (format.is_string() && !format.str().empty()) dates.format = format.str();
  Value epoch = GetSetting(kSetEpoch);
  if (epoch.is_number()) dates.epoch = static_cast<int>(epoch.num());
  return dates;
}

std::string PictureOf(Object& o) {
  const Value& p = o.var(kPicture);
  return p.is_string() ? p.str() : std::string();
}

// A number as an int, held within a range any screen position fits in (a
// huge or non-finite number must not overflow the conversion).
int ToInt(double n) {
  if (!std::isfinite(n)) return 0;
  return static_cast<int>(std::clamp(n, -1e6, 1e6));
}

int IntVar(Object& o, size_t index) {
  const Value& v = o.var(index);
  return v.is_number() ? ToInt(v.num()) : 0;
}

// Takes in what a caller assigned to pos and buffer since the last message.
void SyncIn(Object& o) {
  EditField& field = State(o).field;
  if (o.var(kPos).is_number()) field.set_pos(IntVar(o, kPos));
  const Value& buffer = o.var(kBuffer);
  if (buffer.is_string() && buffer.str() != field.buffer())
    field.set_buffer(buffer.str());
}

// Publishes the field's state in the variables.
void SyncOut(Object& o) {
  const EditField& field = State(o).field;
  o.var(kBuffer) = field.buffer();
  o.var(kPos) = field.pos();
  o.var(kWidth) = field.width();
  o.var(kChanged) = field.changed();
  o.var(kTypeOut) = field.type_out();
  o.var(kType) = std::string(1, field.type());
}

// The value block; raises when the Get has none.
const Value& ValueBlock(Object& o) {
  const Value& block = o.var(kBlockVar);
  if (!block.is_block()) {
    ErrorInfo info;
    info.description =
        "the Get has no value block: give GET():new a block that reads and "
        "assigns the variable";
    info.operation = "GET";
    info.gen_code = kErrArgument;
    Raise(std::move(info));
  }
  return block;
}

Value ReadVariable(Object& o) { return Eval(ValueBlock(o), {}); }

// The variable's value, checked to be one a Get edits.
Value EditableValue(Object& o) {
  Value v = ReadVariable(o);
  if (!EditField::CanEdit(v)) {
    ErrorInfo info;
    info.description =
        std::string("a Get edits character, numeric, date and logical values; "
                    "its variable holds type ") + v.type_letter();
    info.operation = "GET";
    info.args = {v};
    info.gen_code = kErrArgument;
    Raise(std::move(info));
  }
  return v;
}

// Draws the buffer: the enhanced colour while focused, the standard colour
// otherwise; the cursor goes to pos when focused.
void Draw(Object& o) {
  EditField& field = State(o).field;
  bool focused = o.var(kHasFocus).is_true();
  if (focused) field.Normalize();
  console::Palette palette = console::CurrentPalette();
  if (o.var(kColorSpec).is_string()) {
    std::string error;
    // A colour text that does not parse leaves the colours in force.
    console::ParseColorString(o.var(kColorSpec).str(), &palette, &error);
  }
  int row = IntVar(o, kRow), col = IntVar(o, kCol);
  console::WriteAt(row, col, field.buffer(),
                   palette.slot[focused ? console::kEnhanced : console::kStandard]);
  if (focused) console::SetCursorPos(row, col + field.pos() - 1);
}

// Runs one editing or motion step: takes in outside assignments, applies
// the step, publishes and redraws.  Answers the Get.
template <typename Step>
Value Edit(Frame& f, Step step) {
  Object& o = Self(f);
  SyncIn(o);
  step(State(o).field);
  SyncOut(o);
  Draw(o);
  return f.self();
}

char CharArg(Frame& f) {
  const Value& c = f.arg(0);
  return c.is_string() && !c.str().empty() ? c.str()[0] : '\0';
}

// Methods -----------------------------------------------------------------------

Value New(Frame& f) {
  ObjectPtr get = NewInstance(f.self().object());
  Object& o = *get;
  const Value& block = f.arg(2);
  if (!block.is_nil() && !block.is_block()) RaiseArgError(3, "GET:NEW", "block expected");
  for (int i : {0, 1}) {
    if (!f.arg(i).is_nil() && !f.arg(i).is_number())
      RaiseArgError(i + 1, "GET:NEW", "number expected");
  }
  if (!f.arg(4).is_nil() && !f.arg(4).is_string())
    RaiseArgError(5, "GET:NEW", "picture text expected");
  if (f.arg(5).is_string()) {
    console::Palette palette = console::CurrentPalette();
    std::string error;
    if (!console::ParseColorString(f.arg(5).str(), &palette, &error))
      RaiseArgError(6, "GET:NEW", error);
  } else if (!f.arg(5).is_nil()) {
    RaiseArgError(6, "GET:NEW", "colour string expected");
  }
  o.var(kRow) = f.arg(0).is_nil() ? Value(console::CursorRow()) : f.arg(0);
  o.var(kCol) = f.arg(1).is_nil() ? Value(console::CursorCol()) : f.arg(1);
  o.var(kBlockVar) = block;
  o.var(kName) = f.arg(3);
  o.var(kPicture) = f.arg(4);
  o.var(kColorSpec) = f.arg(5);
  o.var(kPostBlock) = f.arg(6);
  o.var(kPreBlock) = f.arg(7);
  o.var(kHasFocus) = false;
  // The buffer is shown before the field ever takes the focus; a field whose
  // variable cannot be edited shows nothing until then.
  Value v = block.is_block() ? ReadVariable(o) : Value();
  if (EditField::CanEdit(v)) State(o).field.Load(v, PictureOf(o), CurrentDateSettings());
  SyncOut(o);
  o.var(kType) = std::string(1, v.type_letter());
  return get;
}

Value SetFocus(Frame& f) {
  Object& o = Self(f);
  if (o.var(kHasFocus).is_true()) return f.self();
  Value v = EditableValue(o);
  EditField& field = State(o).field;
  field.Load(v, PictureOf(o), CurrentDateSettings());
  field.TakeFocus();
  o.var(kOriginal) = v;
  o.var(kHasFocus) = true;
  SyncOut(o);
  Draw(o);
  return f.self();
}

Value KillFocus(Frame& f) {
  Object& o = Self(f);
  SyncIn(o);
  o.var(kHasFocus) = false;
  // The field shows what its variable holds once it loses the focus, so an
  // edit that was never stored (a field left with Esc, a killed read) does
  // not stay on the screen as if it were the value.
  Value v = o.var(kBlockVar).is_block() ? ReadVariable(o) : Value();
  if (EditField::CanEdit(v)) State(o).field.Load(v, PictureOf(o), CurrentDateSettings());
  SyncOut(o);
  Draw(o);
  return f.self();
}

Value Display(Frame& f) {
  Object& o = Self(f);
  SyncIn(o);
  Draw(o);
  SyncOut(o);
  return f.self();
}

Value Undo(Frame& f) {
  return Edit(f, [](EditField& e) { e.Undo(); });
}

Value Assign(Frame& f) {
  Object& o = Self(f);
  SyncIn(o);
  Value v;
  // A buffer that holds no value (an impossible date, a number that does
  // not read) leaves the variable as it was rather than storing a guess.
  if (State(o).field.BufferValue(&v)) Eval(ValueBlock(o), {v});
  return f.self();
}

Value Reset(Frame& f) {
  Object& o = Self(f);
  State(o).field.Load(EditableValue(o), PictureOf(o), CurrentDateSettings());
  SyncOut(o);
  Draw(o);
  return f.self();
}

Value UpdateBuffer(Frame& f) {
  Object& o = Self(f);
  SyncIn(o);
  State(o).field.Reload(EditableValue(o), PictureOf(o), CurrentDateSettings());
  SyncOut(o);
  Draw(o);
  return f.self();
}

Value VarGet(Frame& f) { return ReadVariable(Self(f)); }

Value VarPut(Frame& f) {
  return Eval(ValueBlock(Self(f)), {f.arg(0)});
}

Value BadDate(Frame& f) {
  Object& o = Self(f);
  SyncIn(o);
  return State(o).field.BadDate();
}

Value PosInBuffer(Frame& f) {
  Object& o = Self(f);
  const Value& row = f.arg(0);
  const Value& col = f.arg(1);
  if (!row.is_number() || !col.is_number()) return 0;
  if (ToInt(row.num()) != IntVar(o, kRow)) return 0;
  return State(o).field.PosAt(ToInt(col.num()), IntVar(o, kCol));
}

Value Insert(Frame& f) {
  char c = CharArg(f);
  return Edit(f, [c](EditField& e) {
    if (c != '\0') e.Insert(c);
  });
}

Value Overstrike(Frame& f) {
  char c = CharArg(f);
  return Edit(f, [c](EditField& e) {
    if (c != '\0') e.Overstrike(c);
  });
}

#define RT_GET_STEP(Fn, Call) \
  Value Fn(Frame& f) {        \
    return Edit(f, [](EditField& e) { e.Call(); }); \
  }
RT_GET_STEP(Right, Right)
RT_GET_STEP(Left, Left)
RT_GET_STEP(WordRight, WordRight)
RT_GET_STEP(WordLeft, WordLeft)
RT_GET_STEP(Home, Home)
RT_GET_STEP(End, End)
RT_GET_STEP(BackSpace, BackSpace)
RT_GET_STEP(Delete, Delete)
RT_GET_STEP(DelWordRight, DelWordRight)
RT_GET_STEP(DelWordLeft, DelWordLeft)
RT_GET_STEP(DelEnd, DelEnd)
RT_GET_STEP(CondClear, CondClear)
RT_GET_STEP(ToDecPos, ToDecPos)
#undef RT_GET_STEP

ClassDef GetClassDef() {
  ClassDef def;
  def.name = "GET";
  for (const char* name : kVarNames) def.instance_vars.emplace_back(name);
  def.class_methods = {{"new", "@GET@C@NEW", &New}};
  def.instance_methods = {
      {"setFocus", "@GET@SETFOCUS", &SetFocus},
      {"killFocus", "@GET@KILLFOCUS", &KillFocus},
      {"display", "@GET@DISPLAY", &Display},
      {"undo", "@GET@UNDO", &Undo},
      {"_assign", "@GET@_ASSIGN", &Assign},
      {"Reset", "@GET@RESET", &Reset},
      {"updateBuffer", "@GET@UPDATEBUFFER", &UpdateBuffer},
      {"varGet", "@GET@VARGET", &VarGet},
      {"varPut", "@GET@VARPUT", &VarPut},
      {"badDate", "@GET@BADDATE", &BadDate},
      {"posInBuffer", "@GET@POSINBUFFER", &PosInBuffer},
      {"insert", "@GET@INSERT", &Insert},
      {"overstrike", "@GET@OVERSTRIKE", &Overstrike},
      {"right", "@GET@RIGHT", &Right},
      {"left", "@GET@LEFT", &Left},
      {"wordRight", "@GET@WORDRIGHT", &WordRight},
      {"wordLeft", "@GET@WORDLEFT", &WordLeft},
      {"home", "@GET@HOME", &Home},
      {"_end", "@GET@_END", &End},
      {"backSpace", "@GET@BACKSPACE", &BackSpace},
      {"delete", "@GET@DELETE", &Delete},
      {"delWordRight", "@GET@DELWORDRIGHT", &DelWordRight},
      {"delWordLeft", "@GET@DELWORDLEFT", &DelWordLeft},
      {"delEnd", "@GET@DELEND", &DelEnd},
      {"condClear", "@GET@CONDCLEAR", &CondClear},
      {"toDecPos", "@GET@TODECPOS", &ToDecPos},
  };
  return def;
}

Value GetClassFunction(Frame&) { return GetClassObject(); }

constexpr FunctionEntry kGetFunctions[] = {
    {"GET", 0, true, &GetClassFunction},
};

}  // namespace

ObjectPtr GetClassObject() { return CreateClass(GetClassDef()); }

void RegisterGetClass() { RegisterFunctions(kGetFunctions); }

}  // namespace rt

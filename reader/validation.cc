// Pre- and post-validation of a field, the invalid-date message and the range
// check.
#include "reader/validation.h"

#include <string>

#include "reader/read_status.h"
#include "reader/status_line.h"

namespace vornex {
namespace {

constexpr int kMsgInvalidDate = 9;
constexpr int kMsgRangeFrom = 10;
constexpr int kMsgRangeTo = 11;

const rt::Value kInvalidDateBlock =
    reader::MakeScoreboardBlock("(B)INVALIDDATE@0000");
const rt::Value kRangeCheckBlock =
    reader::MakeScoreboardBlock("(B)RANGECHECK@0002");
const rt::Value kEmptyPicture = std::string();
// The runtime's own ordering, so numbers, dates and strings compare as they
// do everywhere else (and a type mismatch raises the usual error).
constexpr std::string_view kOutOfRangeText =
    "{|value, low, high| value < low .OR. value > high}";

const rt::Value& OutOfRangeBlock() {
  static const rt::Value block = rt::MacroEval(kOutOfRangeText);
  return block;
}

void CallDispScoreboard() { reader::CallHere("DISPSCOREBOARD", &DispScoreboard); }

// Shows `message` at the scoreboard through `block`, waits for one key and
// discards it, then blanks as many characters as the message had.
void ShowAndWait(const rt::Value& block, const rt::Value& message,
                 size_t length) {
  rt::Eval(block, {reader::CursorRow(), reader::CursorCol(), message});
  rt::Call("INKEY", {0});
  rt::Eval(block, {reader::CursorRow(), reader::CursorCol(),
                   std::string(length, ' ')});
}

rt::Value LtrimTransform(const rt::Value& v) {
  return rt::Call("LTRIM", {rt::Call("TRANSFORM", {v, kEmptyPicture})});
}

}  // namespace

rt::Value GetPreValidate(rt::Frame& frame) {
  const rt::Value& get = frame.arg(0);
  RT_LINE(frame);
  reader::Status();
  rt::Value result = true;
  RT_LINE(frame);
  rt::Value pre = rt::Send(get, "preBlock");
  if (pre.is_block()) {
    RT_LINE(frame);
    rt::Value saved_updated = reader::StatusVar("updated");
    result = rt::Eval(pre, {get});
    RT_LINE(frame);
    rt::Send(get, "display");
    CallDispScoreboard();
    reader::SetStatusVar("updated", saved_updated);
  }
  RT_LINE(frame);
  if (reader::ReadKilled()) {
    result = false;
    reader::SetExitState(get, kExitEscape);
  } else if (reader::IsFalse(result)) {
    reader::SetExitState(get, kExitWhen);
  } else {
    reader::SetExitState(get, kExitNone);
  }
  return result;
}

rt::Value GetPostValidate(rt::Frame& frame) {
  const rt::Value& get = frame.arg(0);
  RT_LINE(frame);
  if (reader::ExitStateOf(get) == kExitEscape) return true;
  if (!rt::Send(get, "hasFocus").is_true()) return true;
  RT_LINE(frame);
  if (rt::Send(get, "badDate").is_true()) {
    RT_LINE(frame);
    rt::Send(get, "home");
    reader::CallHere("INVALIDDATE", &InvalidDate);
    CallDispScoreboard();
    return false;
  }
  RT_LINE(frame);
  rt::Value result = true;
  reader::Status();
  if (rt::Send(get, "changed").is_true()) {
    RT_LINE(frame);
    rt::Send(get, "_assign");
    reader::SetStatusVar("updated", true);
  }
  RT_LINE(frame);
  rt::Send(get, "Reset");
  rt::Value post = rt::Send(get, "postBlock");
  if (post.is_block()) {
    RT_LINE(frame);
    rt::Value saved_updated = reader::StatusVar("updated");
    rt::Value row = rt::Send(get, "row");
    rt::Value col = rt::Send(get, "col");
    rt::Value buffer = rt::Send(get, "buffer");
    double width = buffer.is_string() ? buffer.str().size() : 0;
    rt::Call("SETPOS", {row, col.num() + width});
    RT_LINE(frame);
    result = rt::Eval(post, {get});
    RT_LINE(frame);
    rt::Call("SETPOS", {row, col});
    CallDispScoreboard();
    rt::Send(get, "updateBuffer");
    reader::SetStatusVar("updated", saved_updated);
    RT_LINE(frame);
    if (reader::ReadKilled()) {
      reader::SetExitState(get, kExitEscape);
      result = true;
    }
  }
  return result;
}

rt::Value InvalidDate(rt::Frame& frame) {
  RT_LINE(frame);
  if (!rt::SettingIsOn(rt::kSetScoreboard)) return rt::Value();
  RT_LINE(frame);
  ShowAndWait(kInvalidDateBlock, kMsgInvalidDate,
              rt::NationMsg(kMsgInvalidDate).size());
  return rt::Value();
}

rt::Value RangeCheck(rt::Frame& frame) {
  const rt::Value& get = frame.arg(0);
  const rt::Value& low = frame.arg(1);
  const rt::Value& high = frame.arg(2);
  RT_LINE(frame);
  if (!rt::Send(get, "changed").is_true()) return true;
  RT_LINE(frame);
  rt::Value value = rt::Send(get, "varGet");
  if (!rt::Eval(OutOfRangeBlock(), {value, low, high}).is_true()) return true;
  RT_LINE(frame);
  if (rt::SettingIsOn(rt::kSetScoreboard)) {
    std::string message = rt::NationMsg(kMsgRangeFrom) +
                          LtrimTransform(low).str() +
                          rt::NationMsg(kMsgRangeTo) +
                          LtrimTransform(high).str();
    RT_LINE(frame);
    ShowAndWait(kRangeCheckBlock, message, message.size());
  }
  return false;
}

}  // namespace vornex

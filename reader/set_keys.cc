// Set keys, event blocks and the forced exit of the active field.
#include "reader/set_keys.h"

#include <string>

#include "reader/read_status.h"
#include "reader/status_line.h"
#include "reader/validation.h"

namespace vornex {
namespace {

const rt::Value kBell = std::string(1, '\x07');

rt::Value PostValidate(const rt::Value& get) {
  return reader::CallHere("GETPOSTVALIDATE", &GetPostValidate, {get});
}

// Puts back the value that `undo` restored into the buffer.
void TakeBackEdit(const rt::Value& get) {
  rt::Send(get, "undo");
  rt::Send(get, "_assign");
}

// The steps shared by set-key and event blocks: secure the pending edit, run
// the block with `updated` kept, bring field and scoreboard up to date.
rt::Value RunUserBlock(rt::Frame& frame, const rt::Value& block,
                       const rt::Value& get,
                       std::initializer_list<rt::Value> block_args) {
  RT_LINE(frame);
  reader::Status();
  if (rt::Send(get, "changed").is_true()) {
    RT_LINE(frame);
    rt::Value pos = rt::Send(get, "pos");
    rt::Send(get, "_assign");
    rt::Value put_back = reader::StatusVar("updated");
    RT_LINE(frame);
    rt::Value valid = PostValidate(get);
    if (reader::IsFalse(valid)) {
      RT_LINE(frame);
      TakeBackEdit(get);
      if (rt::SettingIsOn(rt::kSetBell)) rt::Call("QQOUT", {kBell});
    } else if (valid.is_true()) {
      put_back = true;
    }
    RT_LINE(frame);
    // Validation resets the field, which sends its cursor home.
    rt::Send(get, "_pos", {pos});
    reader::SetStatusVar("updated", put_back);
  }
  RT_LINE(frame);
  rt::Value saved_updated = reader::StatusVar("updated");
  rt::Value result = rt::Eval(block, block_args);
  RT_LINE(frame);
  reader::CallHere("DISPSCOREBOARD", &DispScoreboard);
  rt::Send(get, "updateBuffer");
  reader::SetStatusVar("updated", saved_updated);
  RT_LINE(frame);
  if (reader::ReadKilled()) reader::SetExitState(get, kExitEscape);
  return result;
}

}  // namespace

rt::Value GetDoSetKey(rt::Frame& frame) {
  const rt::Value& get = frame.arg(1);
  RT_LINE(frame);
  return RunUserBlock(frame, frame.arg(0), get,
                      {reader::StatusVar("procName"),
                       reader::StatusVar("procLine"),
                       reader::StatusVar("readVar"), get});
}

rt::Value GetDoSetEvent(rt::Frame& frame) {
  const rt::Value& get = frame.arg(4);
  RT_LINE(frame);
  return RunUserBlock(frame, frame.arg(0), get,
                      {frame.arg(1), frame.arg(2), frame.arg(3), get});
}

rt::Value GetKillActive(rt::Frame& frame) {
  RT_LINE(frame);
  const rt::Value get = reader::StatusVar("activeGet");
  if (get.is_nil()) return true;
  RT_LINE(frame);
  rt::Value put_back = reader::StatusVar("updated");
  if (rt::Send(get, "changed").is_true()) {
    rt::Send(get, "_assign");
    put_back = true;
  }
  RT_LINE(frame);
  if (reader::IsFalse(PostValidate(get))) {
    RT_LINE(frame);
    TakeBackEdit(get);
    reader::SetExitState(get, kExitWhen);
    put_back = reader::StatusVar("updated");
  }
  RT_LINE(frame);
  reader::SetStatusVar("updated", put_back);
  rt::Send(get, "killFocus");
  return true;
}

}  // namespace vornex

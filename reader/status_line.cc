// The scoreboard and the exit and insert settings.
#include "reader/status_line.h"

#include "reader/read_status.h"

namespace vornex {
namespace {

constexpr int kScoreboardRow = 0;
constexpr int kScoreboardCol = 50;
constexpr int kMsgInsertOn = 7;
constexpr int kMsgInsertOff = 8;

// Body of every scoreboard-message block: (row, col, message).
rt::Value ShowScoreboardMessage(rt::Frame& frame) {
  RT_LINE(frame);
  rt::Call("SETPOS", {kScoreboardRow, kScoreboardCol});
  const rt::Value& message = frame.arg(2);
  RT_LINE(frame);
  if (message.is_number()) {
    rt::Call("DISPOUT",
             {rt::NationMsg(static_cast<int>(message.num()))});
  } else {
    rt::Call("DISPOUT", {message});
  }
  RT_LINE(frame);
  rt::Call("SETPOS", {frame.arg(0), frame.arg(1)});
  return rt::Value();
}

const rt::Value kDispScoreboardBlock =
    reader::MakeScoreboardBlock("(B)DISPSCOREBOARD@0001");

// READEXIT and READINSERT: read the setting, or pass a new value through.
rt::Value ReadOrSetSetting(rt::Frame& frame, int setting) {
  RT_LINE(frame);
  const rt::Value& value = frame.arg(0);
  if (value.is_nil()) return rt::GetSetting(setting);
  RT_LINE(frame);
  return rt::SetSetting(setting, value);
}

}  // namespace

rt::Value DispScoreboard(rt::Frame& frame) {
  RT_LINE(frame);
  if (!rt::SettingIsOn(rt::kSetScoreboard)) return rt::Value();
  RT_LINE(frame);
  rt::Value row = reader::CursorRow();
  rt::Value col = reader::CursorCol();
  int message =
      rt::SettingIsOn(rt::kSetInsert) ? kMsgInsertOn : kMsgInsertOff;
  RT_LINE(frame);
  rt::Eval(kDispScoreboardBlock, {row, col, message});
  return rt::Value();
}

rt::Value ReadExit(rt::Frame& frame) {
  return ReadOrSetSetting(frame, rt::kSetExit);
}

rt::Value ReadInsert(rt::Frame& frame) {
  return ReadOrSetSetting(frame, rt::kSetInsert);
}

namespace reader {

rt::Value MakeScoreboardBlock(std::string name) {
  return rt::Value(rt::MakeBlock(std::move(name), &ShowScoreboardMessage));
}

rt::Value CursorRow() { return rt::Call("ROW"); }
rt::Value CursorCol() { return rt::Call("COL"); }

}  // namespace reader
}  // namespace vornex

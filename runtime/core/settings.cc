// The numbered settings store and the national message texts.
#include <array>

#include "runtime/api/runtime.h"
#include "runtime/core/internal.h"

namespace rt {
namespace {

constexpr int kSettingCount = 120;

struct Settings {
  std::array<Value, kSettingCount> values;
  std::array<bool, kSettingCount> logical{};  // takes "ON"/"OFF"

  Settings() {
    auto logical_setting = [&](int n, bool v) {
      values[n] = v;
      logical[n] = true;
    };
    values[kSetDateFormat] = "mm/dd/yyyy";
    values[kSetEpoch] = 1900;
    logical_setting(kSetSoftSeek, false);
    logical_setting(kSetBell, false);
    logical_setting(kSetConfirm, false);
    logical_setting(kSetEscape, true);
    logical_setting(kSetInsert, false);
    logical_setting(kSetExit, false);
    logical_setting(kSetScoreboard, true);
    logical_setting(kSetEventDispatch, true);
  }
};

Settings& TheSettings() {
  static Settings settings;
  return settings;
}

bool InRange(int n) { return n >= 0 && n < kSettingCount; }

}  // namespace

Value GetSetting(int n) {
  return InRange(n) ? TheSettings().values[n] : Value();
}

Value SetSetting(int n, Value v) {
  if (!InRange(n)) return Value();
  Settings& s = TheSettings();
  Value old = s.values[n];
  Value nv = std::move(v).deref();
  if (s.logical[n] && nv.is_string()) {
    std::string upper = internal::UpperName(nv.str());
    if (upper == "ON") nv = true;
    else if (upper == "OFF") nv = false;
  }
  s.values[n] = std::move(nv);
  return old;
}

bool SettingIsOn(int n) { return GetSetting(n).is_true(); }

std::string NationMsg(int n) {
  // 7 and 8 are the insert indicator and must be equally long.
  switch (n) {
    case 1: return "Database Files";
    case 2: return "# Records";
    case 3: return "Last Update";
    case 4: return "Size";
    case 5: return "Do you want more samples?";
    case 6: return "Page No.";
    case 7: return "<Ins>";
    case 8: return "<Ovr>";
    case 9: return "Invalid date";
    case 10: return "Range: ";
    case 11: return " - ";
    case 12: return "Y/N";
    case 13: return "INVALID EXPRESSION";
    default: return "";
  }
}

}  // namespace rt

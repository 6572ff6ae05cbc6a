// The support library's function table and its load and unload hooks.
#include <span>

#include "runtime/api/runtime.h"
#include "support/message_box.h"
#include "support/mmwr_calendar.h"
#include "support/screen_state.h"
#include "support/syslog.h"
#include "support/table_access.h"
#include "support/text.h"

#define SUPPORT_EXPORT __attribute__((visibility("default")))

namespace support {
namespace {

// One row per function of the library: name, declared parameters, class
// function, implementation.
constexpr rt::FunctionEntry kFunctions[] = {
    {"SAVE_SCR", 0, false, &SaveScr},
    {"REST_SCR", 0, false, &RestScr},
    {"SAVE_COLOR", 1, false, &SaveColor},
    {"REST_COLOR", 0, false, &RestColor},
    {"SAVE_CURSOR", 1, false, &SaveCursor},
    {"REST_CURSOR", 0, false, &RestCursor},
    {"CENTERTEXT", 2, false, &CenterText},
    {"MSGBOX", 3, false, &MsgBox},
    {"LOADMMWR", 0, false, &LoadMmwr},
    {"CALCMMWR", 4, false, &CalcMmwr},
    {"DBEOPEN", 2, false, &DbeOpen},
    {"DBECLOSE", 1, false, &DbeClose},
    {"SEEKER", 3, false, &Seeker},
    {"SYSLOG", 4, false, &Syslog},
};

}  // namespace
}  // namespace support

extern "C" SUPPORT_EXPORT int rt_module_attach() {
  rt::RegisterFunctions(support::kFunctions);
  return 1;
}

extern "C" SUPPORT_EXPORT int rt_module_detach() {
  rt::WithdrawFunctions(support::kFunctions);
  return 1;
}

// VORNEX, the patch entry: prepares the screen, warns, opens the tables,
// runs the recalculation and puts everything back.
#include "module/export.h"

namespace vornex {
namespace {

// Literal strings of the patch unit, created when the module is loaded.
const rt::Value kTitle = "UPDATE MMWR WEEK AND YEAR VALUES";
const rt::Value kExplanation[] = {
    "This routine locates all morbidity records with a report date within the",
    "the selected date range and re-calculates the MMWR week and year values",
    "for those records.",
};
const rt::Value kBackupWarning =
    "Be sure to MAKE A BACKUP COPY of your database before continuing.";
const rt::Value kPressAnyKey =
    "Press any key to continue or press <Esc> to abort.";
const rt::Value kReportTable = "MORBREPT";
const rt::Value kUploadTable = "MORBUPLD";

constexpr int kEsc = 27;

}  // namespace

rt::Value Vornex(rt::Frame& frame) {
  RT_LINE(frame);
  rt::Call("SAVE_SCR");
  RT_LINE(frame);
  rt::Call("SAVE_COLOR", {rt::GetMemvar("mC_SCREEN")});
  RT_LINE(frame);
  rt::Call("SCROLL");
  rt::Call("SETPOS", {0, 0});
  RT_LINE(frame);
  rt::Call("CENTERTEXT", {kTitle, 1});
  for (int i = 0; i < 3; ++i) {
    RT_LINE(frame);
    rt::Call("DEVPOS", {3 + i, 1});
    rt::Call("DEVOUT", {kExplanation[i]});
  }
  RT_LINE(frame);
  rt::Call("MSGBOX",
           {rt::NewArray({kBackupWarning, kPressAnyKey}), 12, 0});
  RT_LINE(frame);
  if (rt::Call("LASTKEY").num() != kEsc) {
    RT_LINE(frame);
    if (rt::Call("LOADMMWR").is_true()) {
      // The same table list goes to the open and the close call.
      rt::Value tables = rt::NewArray({kReportTable, kUploadTable});
      RT_LINE(frame);
      if (rt::Call("DBEOPEN", {tables, true}).is_true()) {
        RT_LINE(frame);
        Patchit();
        RT_LINE(frame);
        rt::Call("DBECLOSE", {tables});
      }
    }
  }
  RT_LINE(frame);
  rt::Call("REST_COLOR");
  RT_LINE(frame);
  rt::Call("REST_SCR");
  return rt::Value();
}

}  // namespace vornex

extern "C" void VORNEX() { rt::Call("VORNEX"); }

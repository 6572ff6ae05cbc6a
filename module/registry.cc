// The public-function table of the module, and the hooks the runtime calls
// when it loads and unloads the library.
#include "module/registry.h"

#include "blocks/access_blocks.h"
#include "module/export.h"
#include "reader/apply_key.h"
#include "reader/events.h"
#include "reader/read_status.h"
#include "reader/readers.h"
#include "reader/set_keys.h"
#include "reader/status_line.h"
#include "reader/validation.h"

namespace vornex {
namespace {

// One row per public function, in the documented order.  A row is added here
// when its function is built.
constexpr rt::FunctionEntry kPublicFunctions[] = {
    {"VORNEX", 0, false, &Vornex},
    {"FIELDBLOCK", 1, false, &FieldBlock},
    {"FIELDWBLOCK", 2, false, &FieldWBlock},
    {"MEMVARBLOCK", 1, false, &MemvarBlock},
    {"ANCHORCB", 1, false, &AnchorCb},
    {"SCATTER", 1, false, &Scatter},
    {"GATHER", 1, false, &Gather},
    {"READMODAL", 2, false, &ReadModal},
    {"GETREADER", 1, false, &GetReader},
    {"GETAPPLYKEY", 2, false, &GetApplyKey},
    {"GETPREVALIDATE", 1, false, &GetPreValidate},
    {"GETPOSTVALIDATE", 1, false, &GetPostValidate},
    {"GETDOSETKEY", 2, false, &GetDoSetKey},
    {"GETACTIVE", 1, false, &GetActive},
    {"UPDATED", 0, false, &Updated},
    {"READEXIT", 1, false, &ReadExit},
    {"READINSERT", 1, false, &ReadInsert},
    {"READKILL", 1, false, &ReadKill},
    {"READUPDATED", 1, false, &ReadUpdated},
    {"READVAR", 1, false, &ReadVar},
    {"DISPSCOREBOARD", 0, false, &DispScoreboard},
    {"RANGECHECK", 3, false, &RangeCheck},
    {"GETEVENTREADER", 1, false, &GetEventReader},
    {"GETHANDLEEVENT", 5, false, &GetHandleEvent},
    {"GETDOSETEVENT", 5, false, &GetDoSetEvent},
    {"GETLASTACTIVE", 0, false, &GetLastActive},
    {"GETKILLACTIVE", 0, false, &GetKillActive},
    {"GETLIST", 0, false, &GetList},
    {"GETLISTPOS", 0, false, &GetListPos},
    {"GETENABLEEVENTS", 1, false, &GetEnableEvents},
    {"GETTOMOUSEPOS", 2, false, &GetToMousePos},
    {"READSTATUS", 0, true, &ReadStatus},
};

}  // namespace

std::span<const rt::FunctionEntry> PublicFunctions() {
  return kPublicFunctions;
}

}  // namespace vornex

// Attach: register the table.  Every literal string of the module is a
// function-local or namespace-scope constant created when the library is
// loaded, before this hook runs, so nothing more is needed here.
extern "C" MORB_EXPORT int rt_module_attach() {
  rt::RegisterFunctions(vornex::PublicFunctions());
  return 1;
}

// Detach: withdraw the table, so the names no longer resolve.
extern "C" MORB_EXPORT int rt_module_detach() {
  rt::WithdrawFunctions(vornex::PublicFunctions());
  // The class's methods are this library's code; a reload must build anew.
  rt::DropClass("READSTATUS");
  return 1;
}

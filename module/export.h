// What the module exports to the loader, and the functions of the patch unit.
#ifndef MODULE_EXPORT_H_
#define MODULE_EXPORT_H_

#include "runtime/api/runtime.h"

// Everything in the module is hidden except what carries this mark: the
// attach and detach hooks and the native entry.
#define MORB_EXPORT __attribute__((visibility("default")))

namespace vornex {

// VORNEX: the patch entry.  No parameters; returns NIL.
rt::Value Vornex(rt::Frame& frame);
// PATCHIT: the recalculation run (not registered; called by VORNEX).
rt::Value Patchit();

}  // namespace vornex

// The native entry: runs VORNEX exactly as a call by name would.
extern "C" MORB_EXPORT void VORNEX();

#endif  // MODULE_EXPORT_H_

// Builders of get/set blocks over fields and variables, and the copying of a
// record to and from an array.  Every function follows the runtime's calling
// convention: positional arguments in the frame, one Value returned.
#ifndef BLOCKS_ACCESS_BLOCKS_H_
#define BLOCKS_ACCESS_BLOCKS_H_

#include "runtime/api/runtime.h"

namespace vornex {

// FIELDBLOCK(cName): a block over field cName of whichever area is current
// when it runs; NIL when the current area has no such field.
rt::Value FieldBlock(rt::Frame& frame);
// FIELDWBLOCK(cName, xArea): a block over field cName of the area given by
// alias or number; NIL when that area has no such field.  The current area
// is the same after the call as before.
rt::Value FieldWBlock(rt::Frame& frame);
// MEMVARBLOCK(cName): a block over the visible memory variable cName, or NIL
// when there is none or the name is not a variable name.
rt::Value MemvarBlock(rt::Frame& frame);
// ANCHORCB(@var): a block over the caller's variable (or over a fresh one
// holding the value passed, NIL when none).
rt::Value AnchorCb(rt::Frame& frame);

// SCATTER(aRecord): the current record's fields into the array (a new one when
// the argument is not an array), or setData sent to each element when every
// element is an object.  Returns the array.
rt::Value Scatter(rt::Frame& frame);
// GATHER(aRecord): the array's elements into the current record's fields, or
// getData sent to each element when every element is an object.  Returns the
// argument.
rt::Value Gather(rt::Frame& frame);

}  // namespace vornex

#endif  // BLOCKS_ACCESS_BLOCKS_H_

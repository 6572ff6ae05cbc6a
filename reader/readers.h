// The modal read and the two readers: READMODAL runs a read over a list of
// fields, moving the focus through ReadStatus and handing each active field
// to its own reader block, the event reader or the keyboard reader.
#ifndef READER_READERS_H_
#define READER_READERS_H_

#include "runtime/api/runtime.h"

namespace vornex {

// READMODAL(getList [, pos]): reads the fields, starting with field `pos`
// (the first without it), until `settle` finds no next field; an enclosing
// read's state is saved first and restored at the end, also when an error
// leaves the read.  Returns `updated` (.F. for NIL or an empty list).  The
// cursor ends at row MAXROW() - 1, column 0.
rt::Value ReadModal(rt::Frame& frame);

// GETREADER(get): the keyboard reader.  Pre-validates the field, gives it the
// focus, applies keys from INKEY(0) until it is left and post-validation
// passes, and takes the focus away.  Returns NIL.
rt::Value GetReader(rt::Frame& frame);

// GETEVENTREADER(get): the same with events from APPEVENT; a field reached by
// a click starts with the cursor under the click.  Returns NIL.
rt::Value GetEventReader(rt::Frame& frame);

}  // namespace vornex

#endif  // READER_READERS_H_

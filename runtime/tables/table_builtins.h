// The table built-ins: work areas, fields, movement, orders and seeking.
#ifndef RUNTIME_TABLES_TABLE_BUILTINS_H_
#define RUNTIME_TABLES_TABLE_BUILTINS_H_

namespace rt {

// Registers DBUSEAREA, DBCLOSEAREA, ..., ORDCREATE, DBSEEK, FOUND with the
// runtime.  Idempotent.
void RegisterTableBuiltins();

}  // namespace rt

#endif  // RUNTIME_TABLES_TABLE_BUILTINS_H_

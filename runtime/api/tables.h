// Work areas as the rest of the runtime sees them: the few operations the
// macro compiler and fast native callers need to read and write fields
// without going through a call by name.  Work areas are numbered from 1;
// area 0 in these calls means "the current area".
//
// Every function raises a runtime error (never crashes) when the area has no
// table in use or the index is out of range.
#ifndef RUNTIME_API_TABLES_H_
#define RUNTIME_API_TABLES_H_

#include <string>
#include <string_view>

#include "runtime/api/value.h"

namespace rt::tables {

// Number of the current work area (SELECT()).
int CurrentArea();
// Makes an area current (by number; 0 picks the lowest unused area).
void SelectArea(int area);
// Number of the area whose alias is `alias` (case-insensitive), or 0.
int AreaOfAlias(std::string_view alias);
// 1-based position of a field in an area (case-insensitive), 0 when the area
// has no such field or no table in use.
int FieldIndex(int area, std::string_view name);
// Reads / writes field `index` (1-based) of the current record of an area.
Value GetField(int area, int index);
void PutField(int area, int index, const Value& v);

// The directory where table and bag names without a directory are looked
// up and created (`morbhost --data DIR`; "./data" by default).
void SetDataDirectory(std::string dir);
const std::string& DataDirectory();

// Writes back every buffered record, makes every table and bag durable and
// closes all work areas.  For the host's exit paths (an unhandled error
// included); also run automatically at process exit.  Never raises: a
// storage failure is reported on stderr.
void CloseAllAreas();

}  // namespace rt::tables

#endif  // RUNTIME_API_TABLES_H_

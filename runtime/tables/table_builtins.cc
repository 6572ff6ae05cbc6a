// The table built-ins.  Each reads its arguments from the frame, works on
// the current work area (or the one named) and turns a storage Status into
// a runtime error naming the file and the fault.
#include "runtime/tables/table_builtins.h"

#include <cmath>
#include <string>

#include "runtime/api/runtime.h"
#include "runtime/api/tables.h"
#include "runtime/tables/file.h"
#include "runtime/tables/work_area_set.h"

namespace rt {

namespace {

using tables::Status;
using tables::WorkArea;
using tables::WorkAreaSet;

[[noreturn]] void RaiseStatus(const Status& s, const char* operation,
                              const std::string& file, int fallback_code) {
  int code = fallback_code;
  if (s.IsNotFound()) code = kErrOpen;
  else if (s.IsLocked()) code = kErrLock;
  else if (s.IsCorruption()) code = kErrCorrupt;
  else if (s.IsInvalidArgument() && fallback_code == kErrOpen) code = kErrArgument;
  Raise(ErrorInfo{s.message(), operation, {}, "TABLES", code, 0, 0, file});
}

void Check(const Status& s, const char* operation, WorkArea& a, int code) {
  if (!s.ok()) RaiseStatus(s, operation, a.table().name(), code);
}

WorkArea* Current() { return WorkAreaSet::Get().Current(); }

WorkArea& CurrentOrRaise(const char* operation) {
  WorkArea* a = Current();
  if (a == nullptr) {
    Raise(ErrorInfo{"no table in use in work area " + std::to_string(WorkAreaSet::Get().current()),
                    operation, {}, "TABLES", kErrNoTable, 0, 0, ""});
  }
  return *a;
}

std::string OptStr(Frame& f, int i, const char* func, const std::string& fallback = "") {
  const Value& v = f.arg(i);
  if (v.is_nil()) return fallback;
  if (!v.is_string()) RaiseArgError(i + 1, func, "expected character");
  return v.str();
}

const std::string& Str(Frame& f, int i, const char* func) {
  const Value& v = f.arg(i);
  if (!v.is_string()) RaiseArgError(i + 1, func, "expected character");
  return v.str();
}

bool OptBool(Frame& f, int i, const char* func, bool fallback) {
  const Value& v = f.arg(i);
  if (v.is_nil()) return fallback;
  if (!v.is_logical()) RaiseArgError(i + 1, func, "expected logical");
  return v.logical();
}

int OptInt(Frame& f, int i, const char* func, int fallback) {
  const Value& v = f.arg(i);
  if (v.is_nil()) return fallback;
  if (!v.is_number()) RaiseArgError(i + 1, func, "expected numeric");
  return static_cast<int>(std::trunc(v.num()));
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Order number from a number or a name argument (0 when absent).
int OrderArg(Frame& f, int i, WorkArea& a, const char* func) {
  const Value& v = f.arg(i);
  if (v.is_nil()) return a.focus();
  if (v.is_number()) return static_cast<int>(std::trunc(v.num()));
  if (v.is_string()) return a.FindOrder(v.str());
  RaiseArgError(i + 1, func, "expected an order number or name");
}

// Work areas ------------------------------------------------------------------

Value DbUseArea(Frame& f) {
  const bool new_area = OptBool(f, 0, "DBUSEAREA", false);
  const std::string name = Str(f, 2, "DBUSEAREA");
  std::string alias = OptStr(f, 3, "DBUSEAREA");
  const bool shared = OptBool(f, 4, "DBUSEAREA", false);
  const bool read_only = OptBool(f, 5, "DBUSEAREA", false);
  WorkAreaSet& set = WorkAreaSet::Get();
  if (new_area) set.Select(set.LowestUnused());
  const int number = set.current();
  if (set.area(number) != nullptr) {
    Status s = set.Close(number);
    if (!s.ok()) RaiseStatus(s, "DBUSEAREA", s.message(), kErrWrite);
  }
  const std::string path = tables::ResolveTablePath(name, ".dbf", set.data_directory());
  if (alias.empty()) alias = tables::DefaultAlias(path);
  if (int other = set.AreaOfAlias(alias); other != 0) {
    Raise(ErrorInfo{"alias " + alias + " is already in use in work area " + std::to_string(other),
                    "DBUSEAREA", {Value(alias)}, "TABLES", kErrArgument, 0, 0, path});
  }
  tables::OpenOptions options;
  options.read_only = read_only;
  options.lock = shared ? tables::LockMode::kShared : tables::LockMode::kExclusive;
  std::unique_ptr<tables::File> file;
  Status s = tables::OpenPosixFile(path, options, &file);
  if (!s.ok()) RaiseStatus(s, "DBUSEAREA", path, kErrOpen);
  std::unique_ptr<tables::DbfTable> table;
  s = tables::DbfTable::Open(std::move(file), read_only, &table);
  if (!s.ok()) RaiseStatus(s, "DBUSEAREA", path, kErrOpen);
  auto area = std::make_unique<WorkArea>(number, alias, std::move(table), shared);
  WorkArea* a = area.get();
  set.Install(std::move(area));
  Check(a->GoTop(), "DBUSEAREA", *a, kErrRead);
  return Value();
}

Value DbCloseArea(Frame&) {
  WorkAreaSet& set = WorkAreaSet::Get();
  WorkArea* a = set.Current();
  if (a == nullptr) return Value();
  std::string name = a->table().name();
  Status s = set.Close(set.current());
  if (!s.ok()) RaiseStatus(s, "DBCLOSEAREA", name, kErrWrite);
  return Value();
}

Value DbCloseAll(Frame&) {
  Status s = WorkAreaSet::Get().CloseAll();
  if (!s.ok()) RaiseStatus(s, "DBCLOSEALL", "", kErrWrite);
  WorkAreaSet::Get().Select(1);
  return Value();
}

Value DbSelectArea(Frame& f) {
  const Value& v = f.arg(0);
  if (v.is_number()) {
    tables::SelectArea(static_cast<int>(std::trunc(v.num())));
  } else if (v.is_string()) {
    int n = WorkAreaSet::Get().AreaOfAlias(v.str());
    if (n == 0) {
      Raise(ErrorInfo{"alias " + v.str() + " does not exist", "DBSELECTAREA", {v}, "TABLES",
                      kErrUndefined, 0, 0, ""});
    }
    WorkAreaSet::Get().Select(n);
  } else {
    RaiseArgError(1, "DBSELECTAREA", "expected an area number or an alias");
  }
  return Value();
}

Value Select(Frame& f) {
  const Value& v = f.arg(0);
  if (v.is_string()) return Value(WorkAreaSet::Get().AreaOfAlias(v.str()));
  if (v.is_number()) return Value(static_cast<int>(std::trunc(v.num())));
  return Value(WorkAreaSet::Get().current());
}

Value Alias(Frame& f) {
  WorkArea* a = WorkAreaSet::Get().area(OptInt(f, 0, "ALIAS", 0));
  return Value(a ? a->alias() : std::string());
}

Value Used(Frame&) { return Value(Current() != nullptr); }

// Fields ----------------------------------------------------------------------

Value FieldPos(Frame& f) {
  const std::string& name = Str(f, 0, "FIELDPOS");
  size_t arrow = name.find("->");
  if (arrow == std::string::npos) return Value(tables::FieldIndex(0, name));
  std::string prefix = name.substr(0, arrow);
  std::string field = name.substr(arrow + 2);
  int area = 0;
  std::string upper;
  for (char c : prefix) {
    if (c != ' ') upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (upper != "FIELD" && upper != "_FIELD") {
    area = WorkAreaSet::Get().AreaOfAlias(prefix);
    if (area == 0) return Value(0);
  }
  return Value(tables::FieldIndex(area, field));
}

Value FieldName(Frame& f) {
  WorkArea* a = Current();
  int n = OptInt(f, 0, "FIELDNAME", 0);
  if (a == nullptr || n < 1 || n > a->field_count()) return Value(std::string());
  return Value(a->table().fields()[static_cast<size_t>(n - 1)].name);
}

Value FCount(Frame&) {
  WorkArea* a = Current();
  return Value(a ? a->field_count() : 0);
}

Value FieldGet(Frame& f) {
  WorkArea& a = CurrentOrRaise("FIELDGET");
  int n = OptInt(f, 0, "FIELDGET", 0);
  if (n < 1 || n > a.field_count()) return Value();
  return tables::GetField(0, n);
}

Value FieldPut(Frame& f) {
  WorkArea& a = CurrentOrRaise("FIELDPUT");
  int n = OptInt(f, 0, "FIELDPUT", 0);
  if (n < 1 || n > a.field_count()) return Value();
  tables::PutField(0, n, f.arg(1));
  return f.arg(1);
}

// Position --------------------------------------------------------------------

Value RecNo(Frame&) {
  WorkArea* a = Current();
  return Value(a ? static_cast<double>(a->recno()) : 0.0);
}

Value RecCount(Frame&) {
  WorkArea* a = Current();
  return Value(a ? static_cast<double>(a->RecordCount()) : 0.0);
}

Value Eof(Frame&) {
  WorkArea* a = Current();
  return Value(a ? a->eof() : true);
}

Value Bof(Frame&) {
  WorkArea* a = Current();
  return Value(a ? a->bof() : true);
}

Value Found(Frame&) {
  WorkArea* a = Current();
  return Value(a ? a->found() : false);
}

Value Deleted(Frame&) {
  WorkArea* a = Current();
  return Value(a ? a->Deleted() : false);
}

Value DbGoto(Frame& f) {
  WorkArea& a = CurrentOrRaise("DBGOTO");
  const Value& v = f.arg(0);
  if (!v.is_number()) RaiseArgError(1, "DBGOTO", "expected numeric");
  double n = std::trunc(v.num());
  uint32_t recno = n < 1 || n > 4294967295.0 ? 0 : static_cast<uint32_t>(n);
  Check(a.GoTo(recno), "DBGOTO", a, kErrRead);
  return Value();
}

Value DbGoTop(Frame&) {
  WorkArea& a = CurrentOrRaise("DBGOTOP");
  Check(a.GoTop(), "DBGOTOP", a, kErrRead);
  return Value();
}

Value DbGoBottom(Frame&) {
  WorkArea& a = CurrentOrRaise("DBGOBOTTOM");
  Check(a.GoBottom(), "DBGOBOTTOM", a, kErrRead);
  return Value();
}

Value DbSkip(Frame& f) {
  WorkArea& a = CurrentOrRaise("DBSKIP");
  const Value& v = f.arg(0);
  double n = 1;
  if (!v.is_nil()) {
    if (!v.is_number()) RaiseArgError(1, "DBSKIP", "expected numeric");
    n = std::trunc(v.num());
  }
  Check(a.Skip(static_cast<int64_t>(n)), "DBSKIP", a, kErrRead);
  return Value();
}

// Changes -----------------------------------------------------------------------

Value DbAppend(Frame&) {
  WorkArea& a = CurrentOrRaise("DBAPPEND");
  Check(a.Append(), "DBAPPEND", a, kErrWrite);
  return Value();
}

Value DbDelete(Frame&) {
  WorkArea& a = CurrentOrRaise("DBDELETE");
  Check(a.SetDeleted(true), "DBDELETE", a, kErrWrite);
  return Value();
}

Value DbRecall(Frame&) {
  WorkArea& a = CurrentOrRaise("DBRECALL");
  Check(a.SetDeleted(false), "DBRECALL", a, kErrWrite);
  return Value();
}

Value DbCommit(Frame&) {
  WorkArea& a = CurrentOrRaise("DBCOMMIT");
  Check(a.Commit(), "DBCOMMIT", a, kErrWrite);
  return Value();
}

// DBCOMMITALL(): writes back and makes durable every open table and bag.
Value DbCommitAll(Frame&) {
  Status s = WorkAreaSet::Get().CommitAll();
  if (!s.ok()) {
    Raise(ErrorInfo{.description = s.ToString(), .operation = "DBCOMMITALL",
                    .subsystem = "TABLES", .gen_code = kErrWrite});
  }
  return Value();
}

Value DbCreate(Frame& f) {
  const std::string& name = Str(f, 0, "DBCREATE");
  const Value& s = f.arg(1);
  if (!s.is_array()) RaiseArgError(2, "DBCREATE", "expected an array of {name, type, len, dec}");
  std::vector<tables::DbfField> fields;
  for (const Value& row_v : s.array()->items) {
    const Value& row = row_v.deref();
    if (!row.is_array() || row.array()->items.size() < 3) {
      RaiseArgError(2, "DBCREATE", "each row must be {name, type, len, dec}");
    }
    const auto& items = row.array()->items;
    const Value& n = items[0].deref();
    const Value& t = items[1].deref();
    const Value& len = items[2].deref();
    const Value dec = items.size() > 3 ? items[3].deref() : Value(0);
    if (!n.is_string() || !t.is_string() || t.str().empty() || !len.is_number() ||
        !(dec.is_number() || dec.is_nil())) {
      RaiseArgError(2, "DBCREATE", "each row must be {name, type, len, dec}");
    }
    tables::DbfField field;
    field.name = n.str();
    field.type = t.str()[0];
    double l = len.num(), d = dec.is_nil() ? 0 : dec.num();
    if (l < 0 || l > 255 || d < 0 || d > 255) {
      RaiseArgError(2, "DBCREATE", "field " + n.str() + ": width or decimals out of range");
    }
    field.length = static_cast<uint16_t>(l);
    field.decimals = static_cast<uint8_t>(d);
    fields.push_back(std::move(field));
  }
  const std::string path =
      tables::ResolveTablePath(name, ".dbf", WorkAreaSet::Get().data_directory());
  // Check the structure before the file is touched.
  tables::DbfHeader probe;
  Status st = tables::LayoutNewTable(fields, path, &probe);
  if (!st.ok()) RaiseStatus(st, "DBCREATE", path, kErrCreate);
  tables::OpenOptions options;
  options.create = true;
  options.truncate = true;
  std::unique_ptr<tables::File> file;
  st = tables::OpenPosixFile(path, options, &file);
  if (!st.ok()) RaiseStatus(st, "DBCREATE", path, kErrCreate);
  std::unique_ptr<tables::DbfTable> table;
  st = tables::DbfTable::Create(std::move(file), std::move(fields), &table);
  if (!st.ok()) RaiseStatus(st, "DBCREATE", path, kErrCreate);
  return Value();
}

// Orders --------------------------------------------------------------------------

Value OrdListAdd(Frame& f) {
  WorkArea& a = CurrentOrRaise("ORDLISTADD");
  const std::string& bag = Str(f, 0, "ORDLISTADD");
  std::string path = tables::ResolveTablePath(bag, ".cdx", DirectoryOf(a.table().name()));
  if (bag.find('/') == std::string::npos) {
    std::unique_ptr<tables::File> probe;
    tables::OpenOptions o;
    o.read_only = true;
    o.lock = tables::LockMode::kNone;
    if (!tables::OpenPosixFile(path, o, &probe).ok()) {
      path = tables::ResolveTablePath(bag, ".cdx", WorkAreaSet::Get().data_directory());
    }
  }
  Status s = a.AddBag(path);
  if (!s.ok()) RaiseStatus(s, "ORDLISTADD", path, kErrOpen);
  return Value();
}

Value OrdListClear(Frame&) {
  WorkArea* a = Current();
  if (a == nullptr) return Value();
  Check(a->ClearBags(), "ORDLISTCLEAR", *a, kErrWrite);
  return Value();
}

Value OrdSetFocus(Frame& f) {
  WorkArea* a = Current();
  if (a == nullptr) return Value(std::string());
  std::string previous = a->focus() > 0 ? a->order(a->focus()).name : std::string();
  if (f.arg(0).is_nil()) return Value(previous);
  int n = OrderArg(f, 0, *a, "ORDSETFOCUS");
  if (n < 0 || n > a->order_count()) n = 0;
  Check(a->SetFocus(n), "ORDSETFOCUS", *a, kErrArgument);
  return Value(previous);
}

Value OrdName(Frame& f) {
  WorkArea* a = Current();
  if (a == nullptr) return Value(std::string());
  int n = OrderArg(f, 0, *a, "ORDNAME");
  if (n < 1 || n > a->order_count()) return Value(std::string());
  return Value(a->order(n).name);
}

Value OrdKey(Frame& f) {
  WorkArea* a = Current();
  if (a == nullptr) return Value(std::string());
  int n = OrderArg(f, 0, *a, "ORDKEY");
  if (n < 1 || n > a->order_count()) return Value(std::string());
  return Value(a->order(n).key_text);
}

Value OrdCount(Frame&) {
  WorkArea* a = Current();
  return Value(a ? a->order_count() : 0);
}

Value IndexOrd(Frame&) {
  WorkArea* a = Current();
  return Value(a ? a->focus() : 0);
}

Value OrdCreate(Frame& f) {
  WorkArea& a = CurrentOrRaise("ORDCREATE");
  std::string bag = OptStr(f, 0, "ORDCREATE");
  const std::string& tag = Str(f, 1, "ORDCREATE");
  std::string key = OptStr(f, 2, "ORDCREATE");
  BlockPtr block;
  if (f.arg(3).is_block()) block = f.arg(3).block();
  else if (!f.arg(3).is_nil()) RaiseArgError(4, "ORDCREATE", "expected a block");
  if (key.empty() && !block) RaiseArgError(3, "ORDCREATE", "expected the key expression");
  if (key.empty() && block) key = std::string(block->source());
  const bool unique = OptBool(f, 4, "ORDCREATE", false);
  if (bag.empty()) bag = tables::DefaultAlias(a.table().name());  // the table's own bag
  std::string path = tables::ResolveTablePath(bag, ".cdx", DirectoryOf(a.table().name()));
  Status s = a.CreateOrder(path, tag, key, block, unique);
  if (!s.ok()) RaiseStatus(s, "ORDCREATE", path, kErrCreate);
  return Value();
}

Value DbSeek(Frame& f) {
  WorkArea& a = CurrentOrRaise("DBSEEK");
  const bool soft = OptBool(f, 1, "DBSEEK", GetSetting(kSetSoftSeek).is_true());
  const bool last = OptBool(f, 2, "DBSEEK", false);
  Status s = a.Seek(f.arg(0), soft, last);
  if (!s.ok()) RaiseStatus(s, "DBSEEK", a.table().name(), kErrArgument);
  return Value(a.found());
}

constexpr FunctionEntry kTableFunctions[] = {
    {"DBUSEAREA", -1, false, &DbUseArea},
    {"DBCLOSEAREA", -1, false, &DbCloseArea},
    {"DBCLOSEALL", -1, false, &DbCloseAll},
    {"DBSELECTAREA", -1, false, &DbSelectArea},
    {"SELECT", -1, false, &Select},
    {"ALIAS", -1, false, &Alias},
    {"USED", -1, false, &Used},
    {"FIELDPOS", -1, false, &FieldPos},
    {"FIELDNAME", -1, false, &FieldName},
    {"FCOUNT", -1, false, &FCount},
    {"FIELDGET", -1, false, &FieldGet},
    {"FIELDPUT", -1, false, &FieldPut},
    {"RECNO", -1, false, &RecNo},
    {"RECCOUNT", -1, false, &RecCount},
    {"LASTREC", -1, false, &RecCount},
    {"EOF", -1, false, &Eof},
    {"BOF", -1, false, &Bof},
    {"FOUND", -1, false, &Found},
    {"DELETED", -1, false, &Deleted},
    {"DBGOTO", -1, false, &DbGoto},
    {"DBGOTOP", -1, false, &DbGoTop},
    {"DBGOBOTTOM", -1, false, &DbGoBottom},
    {"DBSKIP", -1, false, &DbSkip},
    {"DBAPPEND", -1, false, &DbAppend},
    {"DBDELETE", -1, false, &DbDelete},
    {"DBRECALL", -1, false, &DbRecall},
    {"DBCOMMIT", -1, false, &DbCommit},
    {"DBCOMMITALL", -1, false, &DbCommitAll},
    {"DBCREATE", -1, false, &DbCreate},
    {"ORDLISTADD", -1, false, &OrdListAdd},
    {"ORDLISTCLEAR", -1, false, &OrdListClear},
    {"ORDSETFOCUS", -1, false, &OrdSetFocus},
    {"ORDNAME", -1, false, &OrdName},
    {"ORDKEY", -1, false, &OrdKey},
    {"ORDCOUNT", -1, false, &OrdCount},
    {"INDEXORD", -1, false, &IndexOrd},
    {"ORDCREATE", -1, false, &OrdCreate},
    {"DBSEEK", -1, false, &DbSeek},
};

}  // namespace

void RegisterTableBuiltins() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterFunctions(kTableFunctions);
}

}  // namespace rt

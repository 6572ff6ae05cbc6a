// SYSLOG: one appended, committed record per entry.
#include "support/syslog.h"

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/api/tables.h"
#include "support/error_trap.h"

namespace support {
namespace {

constexpr const char* kAlias = "SYSLOG";

rt::Value Layout() {
  auto row = [](const char* name, const char* type, int length) {
    return rt::Value(rt::NewArray({name, type, length, 0}));
  };
  return rt::NewArray({row("LOG_DATE", "D", 8), row("LOG_TIME", "C", 8),
                       row("PROGRAM", "C", 10), row("STAMP", "C", 19),
                       row("MESSAGE", "C", 60), row("DETAIL1", "C", 80),
                       row("DETAIL2", "C", 80), row("DETAIL3", "C", 80)});
}

// Opens SYSLOG.DBF shared in a new work area, creating it when the file is
// missing.  A file that exists but cannot be opened (locked, damaged) is an
// error: the log is never re-created over it.
void OpenLog() {
  const rt::Value open_args[] = {true, rt::Value(), kAlias, kAlias, true, false};
  rt::Value error;
  if (TrapErrors([&] { rt::Call("DBUSEAREA", open_args); }, &error)) return;
  const rt::Value code = rt::GetVar(error, "genCode");
  const rt::Value file = rt::GetVar(error, "filename");
  std::error_code ec;
  const bool missing = code.is_number() && static_cast<int>(code.num()) == rt::kErrOpen && file.is_string() &&
                       !file.str().empty() && !std::filesystem::exists(file.str(), ec) && !ec;
  if (!missing) RaiseAgain(error);
  rt::Call("DBCREATE", {file, Layout()});
  rt::Call("DBUSEAREA", open_args);
}

std::string OptText(rt::Frame& frame, int i, const char* what) {
  const rt::Value& v = frame.arg(i);
  if (v.is_nil()) return std::string();
  if (!v.is_string()) rt::RaiseArgError(i + 1, "SYSLOG", std::string(what) + " expected");
  return v.str();
}

std::vector<std::string> DetailLines(rt::Frame& frame) {
  const rt::Value& v = frame.arg(3);
  if (v.is_nil()) return {};
  if (v.is_string()) return {v.str()};
  if (!v.is_array()) rt::RaiseArgError(4, "SYSLOG", "array of detail lines expected");
  std::vector<std::string> lines;
  for (const rt::Value& item : v.array()->items) {
    const rt::Value& line = item.deref();
    lines.push_back(line.is_string() ? line.str() : rt::ToLiteral(line));
  }
  return lines;
}

// Writes the detail lines into DETAIL1, DETAIL2, ... of the current record,
// one per field; what is left over when the fields run out goes into the
// last one, joined with "; ".
void PutDetails(int area, const std::vector<std::string>& lines) {
  std::vector<int> fields;
  for (int n = 1;; ++n) {
    const int index = rt::tables::FieldIndex(area, "DETAIL" + std::to_string(n));
    if (index == 0) break;
    fields.push_back(index);
  }
  if (fields.empty()) return;
  for (size_t i = 0; i < lines.size() && i < fields.size(); ++i) {
    std::string text = lines[i];
    if (i + 1 == fields.size()) {
      for (size_t j = i + 1; j < lines.size(); ++j) text += "; " + lines[j];
    }
    rt::tables::PutField(area, fields[i], text);
  }
}

}  // namespace

rt::Value Syslog(rt::Frame& frame) {
  const rt::Value& message_arg = frame.arg(0);
  if (!message_arg.is_string()) rt::RaiseArgError(1, "SYSLOG", "message expected");
  const std::string program = OptText(frame, 1, "program tag");
  const std::string stamp = OptText(frame, 2, "time stamp");
  const std::vector<std::string> details = DetailLines(frame);

  // The log says what was done, so whatever the caller changed is made
  // durable first: a crash after the entry is written cannot leave an entry
  // for changes that never reached the disk.
  rt::Call("DBCOMMITALL");

  const int start_area = rt::tables::CurrentArea();
  int area = rt::tables::AreaOfAlias(kAlias);
  const bool opened_here = area == 0;
  if (opened_here) {
    OpenLog();
    area = rt::tables::CurrentArea();
  }
  if (rt::tables::FieldIndex(area, "MESSAGE") == 0) {
    if (opened_here) rt::Call("DBCLOSEAREA");
    rt::tables::SelectArea(start_area);
    rt::Raise(rt::ErrorInfo{.description = "the log table SYSLOG has no field MESSAGE",
                            .operation = "SYSLOG",
                            .subsystem = "SUPPORT",
                            .gen_code = rt::kErrCorrupt});
  }

  rt::tables::SelectArea(area);
  rt::Call("DBAPPEND");
  const std::pair<const char*, rt::Value> values[] = {
      {"LOG_DATE", rt::Call("DATE")}, {"LOG_TIME", rt::Call("TIME")},
      {"PROGRAM", program},           {"STAMP", stamp},
      {"MESSAGE", message_arg},
  };
  for (const auto& [field, value] : values) {
    const int index = rt::tables::FieldIndex(area, field);
    if (index != 0) rt::tables::PutField(area, index, value);
  }
  PutDetails(area, details);
  rt::Call("DBCOMMIT");
  if (opened_here) rt::Call("DBCLOSEAREA");
  rt::tables::SelectArea(start_area);
  return true;
}

}  // namespace support

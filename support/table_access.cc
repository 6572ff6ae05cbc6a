// DBEOPEN, DBECLOSE and SEEKER, over the runtime's table built-ins.
#include "support/table_access.h"

#include <cctype>
#include <string>
#include <vector>

#include "runtime/api/tables.h"
#include "support/error_trap.h"
#include "support/message_box.h"

namespace support {
namespace {

// The names of argument 1, checked: an array of non-empty character values.
std::vector<std::string> TableNames(rt::Frame& frame, const char* func) {
  const rt::Value& list = frame.arg(0);
  if (!list.is_array()) rt::RaiseArgError(1, func, "array of table names expected");
  std::vector<std::string> names;
  for (const rt::Value& v : list.array()->items) {
    const rt::Value& name = v.deref();
    if (!name.is_string() || name.str().empty()) {
      rt::RaiseArgError(1, func, "every element must be a table name, got " + rt::ToLiteral(name));
    }
    names.push_back(name.str());
  }
  return names;
}

void CloseArea(int area) {
  rt::Call("DBSELECTAREA", {area});
  rt::Call("DBCLOSEAREA");
}

}  // namespace

std::string AliasOfTable(std::string_view name) {
  size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  std::string alias(name);
  for (char& c : alias) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return alias;
}

rt::Value DbeOpen(rt::Frame& frame) {
  const std::vector<std::string> names = TableNames(frame, "DBEOPEN");
  const rt::Value& mode = frame.arg(1);
  if (!mode.is_nil() && !mode.is_logical()) {
    rt::RaiseArgError(2, "DBEOPEN", "logical expected (.T. opens exclusively)");
  }
  const bool shared = !mode.is_true();
  const int start_area = rt::tables::CurrentArea();

  std::vector<int> opened;
  for (const std::string& name : names) {
    rt::Value error;
    const bool ok = TrapErrors(
        [&] {
          rt::Call("DBUSEAREA", {true, rt::Value(), name, AliasOfTable(name), shared, false});
          opened.push_back(rt::tables::CurrentArea());
        },
        &error);
    if (ok) continue;

    // Undo this call's opens before telling the user, so that nothing is
    // left half done while the message waits.
    for (int area : opened) {
      rt::Value ignored;
      TrapErrors([&] { CloseArea(area); }, &ignored);
    }
    rt::tables::SelectArea(start_area);
    ShowMessage({"Cannot open table " + name, DescribeError(error),
                 "Press any key to continue."});
    return false;
  }
  return true;
}

rt::Value DbeClose(rt::Frame& frame) {
  const std::vector<std::string> names = TableNames(frame, "DBECLOSE");
  const int start_area = rt::tables::CurrentArea();
  for (const std::string& name : names) {
    const int area = rt::tables::AreaOfAlias(AliasOfTable(name));
    if (area != 0) CloseArea(area);
  }
  rt::tables::SelectArea(start_area);
  return rt::Value();
}

rt::Value Seeker(rt::Frame& frame) {
  const rt::Value& table = frame.arg(0);
  if (!table.is_string()) rt::RaiseArgError(1, "SEEKER", "table name expected");
  const rt::Value& order = frame.arg(1);
  if (!order.is_nil() && !order.is_number() && !order.is_string()) {
    rt::RaiseArgError(2, "SEEKER", "order number or name expected");
  }
  const int area = rt::tables::AreaOfAlias(AliasOfTable(table.str()));
  if (area == 0) {
    rt::Raise(rt::ErrorInfo{.description = "table " + table.str() + " is not open",
                            .operation = "SEEKER",
                            .args = {table},
                            .subsystem = "SUPPORT",
                            .gen_code = rt::kErrNoTable});
  }

  const int start_area = rt::tables::CurrentArea();
  rt::tables::SelectArea(area);
  if (!order.is_nil()) rt::Call("ORDSETFOCUS", {order});
  // DBSEEK itself turns a date into the YYYYMMDD text a character key holds.
  const rt::Value found = rt::Call("DBSEEK", {frame.arg(2), true});
  rt::tables::SelectArea(start_area);
  return found;
}

}  // namespace support

// dbftool: creates the demo database, dumps a table, checks an order bag
// against its table and rebuilds order bags.
//
// Exit status: 0 success, 1 `check` found a disagreement, 2 bad usage or an
// error (the message names the file and the fault).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "runtime/api/runtime.h"
#include "runtime/api/tables.h"
#include "runtime/tables/index_bag.h"
#include "runtime/tables/table_builtins.h"
#include "runtime/tables/work_area_set.h"
#include "tools/demo_database.h"

namespace {

using rt::tables::Status;

const char kUsage[] =
    "usage: dbftool COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  create-demo DIR [--records N] [--seed S]   make the demo database in DIR\n"
    "  dump TABLE [--bag BAG --order N] [--csv]   print the records of a table\n"
    "  check TABLE BAG                            check every tag of BAG against TABLE\n"
    "  reindex TABLE BAG                          rebuild every tag of BAG from TABLE\n"
    "\n"
    "Run 'dbftool COMMAND --help' for the details of one command.\n";

const std::map<std::string, const char*> kCommandHelp = {
    {"create-demo",
     "usage: dbftool create-demo DIR [--records N] [--seed S]\n"
     "\n"
     "Creates (replacing) the demo database in DIR: MORBREPT.DBF with N report\n"
     "records (default 1000) and its order bag MOR01.CDX (tags CASE_ID, STCOUNTY,\n"
     "EVENT, MMWR on MMWR_YEAR+MMWR_WEEK, REPT_DT on DTOS(REPT_DT)); MORBUPLD.DBF\n"
     "with N/5 upload records and MUP01.CDX (REPT_DT, MMWR, CASE_ID); and an empty\n"
     "SYSLOG.DBF.  Report dates fall in 2000-2025 in random order; about half the\n"
     "records carry wrong or blank MMWR values.  The same seed (default 1) gives\n"
     "the same files.\n"},
    {"dump",
     "usage: dbftool dump TABLE [--bag BAG --order N] [--csv]\n"
     "\n"
     "Prints every record of TABLE (record number, deletion mark, fields), in\n"
     "record order or along order N (number or tag name) of BAG.  --csv writes\n"
     "comma-separated values with a header line.\n"},
    {"check",
     "usage: dbftool check TABLE BAG\n"
     "\n"
     "Checks that every tag of BAG holds exactly the keys the table gives, in\n"
     "order, with no record missing or extra, and that the tag's tree is sound.\n"
     "Exit status 1, with the first disagreement of each tag, when one is found.\n"},
    {"reindex",
     "usage: dbftool reindex TABLE BAG\n"
     "\n"
     "Rebuilds every tag of BAG (same names, keys, FOR conditions and flags)\n"
     "from the records of TABLE.  Needs both files exclusively.\n"},
};

bool g_tty = false;

void Progress(const std::string& phase, uint64_t done, uint64_t total) {
  static std::string last_phase;
  static int last_percent = -1;
  int percent = total ? static_cast<int>(done * 100 / total) : 100;
  if (phase == last_phase && percent == last_percent) return;
  if (g_tty) {
    std::fprintf(stderr, "\r%-14s %3d%%", phase.c_str(), percent);
    if (percent == 100) std::fputc('\n', stderr);
  } else if (phase != last_phase || percent == 100 || percent / 25 != last_percent / 25) {
    std::fprintf(stderr, "%s %d%%\n", phase.c_str(), percent);
  }
  last_phase = phase;
  last_percent = percent;
}

// Runs `fn` with runtime errors turned into a message; false on an error.
bool Protected(const std::function<void()>& fn) {
  std::string message;
  std::vector<rt::ChainEntry> chain;
  if (rt::RunProtected(fn, &message, &chain)) return true;
  std::fprintf(stderr, "dbftool: %s\n", message.c_str());
  return false;
}

std::string Printable(const std::string& key, rt::tables::KeyType type) {
  if (type == rt::tables::KeyType::kCharacter || type == rt::tables::KeyType::kLogical) {
    return "'" + key + "'";
  }
  if (type == rt::tables::KeyType::kNumeric) {
    return rt::NumberToText(rt::tables::DecodeNumericKey(key));
  }
  if (type == rt::tables::KeyType::kDate) {
    return rt::DateToDtos(rt::Date{rt::tables::DecodeDateKey(key)});
  }
  std::string hex;
  char buf[4];
  for (unsigned char c : key) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    hex += buf;
  }
  return hex;
}

std::string FieldText(const rt::Value& v) {
  if (v.is_string()) {
    std::string s = v.str();
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  }
  if (v.is_number()) return rt::NumberToText(v.num());
  if (v.is_date()) {
    if (v.date().empty()) return "";
    std::string d = rt::DateToDtos(v.date());
    return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2);
  }
  if (v.is_logical()) return v.logical() ? "T" : "F";
  return "";
}

std::string Csv(const std::string& s) {
  if (s.find_first_of(",\"\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// Opens TABLE in a new area (and BAG when given); returns the area.
rt::tables::WorkArea* UseTable(const std::string& table, const std::string& bag,
                               bool exclusive) {
  rt::Call("DBUSEAREA", {true, rt::Value(), rt::Value(table), rt::Value(), !exclusive, !exclusive});
  if (!bag.empty()) rt::Call("ORDLISTADD", {rt::Value(bag)});
  return rt::tables::WorkAreaSet::Get().Current();
}

int Dump(const std::vector<std::string>& args) {
  std::string table, bag, order;
  bool csv = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--csv") csv = true;
    else if (args[i] == "--bag" && i + 1 < args.size()) bag = args[++i];
    else if (args[i] == "--order" && i + 1 < args.size()) order = args[++i];
    else if (table.empty() && args[i][0] != '-') table = args[i];
    else return -1;
  }
  if (table.empty() || (!order.empty() && bag.empty())) return -1;
  bool ok = Protected([&] {
    rt::tables::WorkArea* a = UseTable(table, bag, false);
    if (!order.empty()) {
      char* end = nullptr;
      long n = std::strtol(order.c_str(), &end, 10);
      rt::Value which = *end == '\0' ? rt::Value(static_cast<int>(n)) : rt::Value(order);
      int number = which.is_number() ? static_cast<int>(n) : a->FindOrder(order);
      if (number < 1 || number > a->order_count()) {
        rt::Raise(rt::ErrorInfo{"bag has no order " + order, "dump", {}, "TABLES", rt::kErrArgument, 0,
                                0, bag});
      }
      rt::Call("ORDSETFOCUS", {which});
    } else {
      rt::Call("ORDSETFOCUS", {0});
    }
    const auto& fields = a->table().fields();
    if (csv) {
      std::printf("RECNO,DELETED");
      for (const auto& f : fields) std::printf(",%s", Csv(f.name).c_str());
      std::printf("\n");
    }
    rt::Call("DBGOTOP");
    uint64_t n = 0;
    while (!a->eof()) {
      std::string line = csv ? std::to_string(a->recno()) + "," + (a->Deleted() ? "*" : "")
                             : std::to_string(a->recno()) + (a->Deleted() ? " *" : "  ");
      for (int i = 0; i < a->field_count(); ++i) {
        std::string text = FieldText(a->GetField(i));
        line += csv ? "," + Csv(text) : " | " + text;
      }
      std::puts(line.c_str());
      rt::Call("DBSKIP");
      if (++n % 65536 == 0) Progress("dump", n, a->RecordCount());
    }
    rt::Call("DBCLOSEALL");
  });
  return ok ? 0 : 2;
}

int Check(const std::vector<std::string>& args) {
  if (args.size() != 2) return -1;
  int faults = 0;
  bool ok = Protected([&] {
    rt::tables::WorkArea* a = UseTable(args[0], args[1], false);
    rt::Call("ORDSETFOCUS", {0});
    const int orders = a->order_count();
    const uint32_t count = a->RecordCount();
    std::vector<std::vector<rt::tables::IndexEntry>> expected(static_cast<size_t>(orders));
    for (uint32_t r = 1; r <= count; ++r) {
      Status s = a->GoTo(r);
      if (!s.ok()) {
        rt::Raise(rt::ErrorInfo{s.message(), "check", {}, "TABLES", rt::kErrRead, 0, 0, args[0]});
      }
      for (int n = 1; n <= orders; ++n) {
        bool in = false;
        std::string key = a->KeyOf(n, &in);
        if (in) expected[static_cast<size_t>(n - 1)].push_back({std::move(key), r});
      }
      if (r % 65536 == 0 || r == count) Progress("keys", r, count);
    }
    for (int n = 1; n <= orders; ++n) {
      const rt::tables::Order& o = a->order(n);
      const rt::tables::TagInfo& info = o.bag->tags()[static_cast<size_t>(o.tag)];
      auto& want = expected[static_cast<size_t>(n - 1)];
      std::sort(want.begin(), want.end(), [](const auto& x, const auto& y) {
        return x.key != y.key ? x.key < y.key : x.recno < y.recno;
      });
      if (info.unique) {
        want.erase(std::unique(want.begin(), want.end(),
                               [](const auto& x, const auto& y) { return x.key == y.key; }),
                   want.end());
      }
      if (info.descending) std::reverse(want.begin(), want.end());
      std::string fault;
      Status s = o.bag->Verify(o.tag);
      if (!s.ok()) fault = s.message();
      std::unique_ptr<rt::tables::IndexCursor> c;
      if (fault.empty()) s = o.bag->NewCursor(o.tag, &c);
      if (fault.empty() && s.ok()) s = c->First();
      size_t i = 0;
      while (fault.empty() && s.ok() && c->Valid()) {
        if (i >= want.size()) {
          fault = "entry " + std::to_string(i + 1) + " (key " + Printable(c->key(), o.key_type) +
                  ", record " + std::to_string(c->recno()) + ") is extra: the table gives only " +
                  std::to_string(want.size()) + " entries";
        } else if (c->key() != want[i].key || c->recno() != want[i].recno) {
          fault = "entry " + std::to_string(i + 1) + " is key " + Printable(c->key(), o.key_type) +
                  " record " + std::to_string(c->recno()) + "; the table gives key " +
                  Printable(want[i].key, o.key_type) + " record " + std::to_string(want[i].recno);
        }
        ++i;
        s = c->Next();
      }
      if (fault.empty() && !s.ok()) fault = s.message();
      if (fault.empty() && i < want.size()) {
        fault = "record " + std::to_string(want[i].recno) + " (key " +
                Printable(want[i].key, o.key_type) + ") is missing: the tag has " +
                std::to_string(i) + " entries, the table gives " + std::to_string(want.size());
      }
      if (fault.empty()) {
        std::printf("tag %-10s ok (%zu entries)\n", o.name.c_str(), want.size());
      } else {
        ++faults;
        std::printf("tag %-10s BAD: %s\n", o.name.c_str(), fault.c_str());
      }
    }
    rt::Call("DBCLOSEALL");
  });
  if (!ok) return 2;
  return faults ? 1 : 0;
}

int Reindex(const std::vector<std::string>& args) {
  if (args.size() != 2) return -1;
  bool ok = Protected([&] {
    rt::tables::WorkArea* a = UseTable(args[0], "", true);
    std::string path = rt::tables::ResolveTablePath(args[1], ".cdx", [&] {
      const std::string& t = a->table().name();
      size_t slash = t.rfind('/');
      return slash == std::string::npos ? std::string(".") : t.substr(0, slash);
    }());
    std::vector<rt::tables::TagInfo> tags;
    {
      rt::tables::OpenOptions o;  // exclusive: nobody may use the bag meanwhile
      std::unique_ptr<rt::tables::File> file;
      Status s = rt::tables::OpenPosixFile(path, o, &file);
      std::unique_ptr<rt::tables::IndexBag> bag;
      if (s.ok()) s = rt::tables::IndexBag::Open(std::move(file), true, &bag);
      if (!s.ok()) {
        rt::Raise(rt::ErrorInfo{s.message(), "reindex", {}, "TABLES", rt::kErrOpen, 0, 0, path});
      }
      tags = bag->tags();
    }
    {
      rt::tables::OpenOptions o;
      std::unique_ptr<rt::tables::File> file;
      Status s = rt::tables::OpenPosixFile(path, o, &file);
      std::unique_ptr<rt::tables::IndexBag> bag;
      if (s.ok()) s = rt::tables::IndexBag::Create(std::move(file), &bag);
      if (s.ok()) s = bag->Close();
      if (!s.ok()) {
        rt::Raise(rt::ErrorInfo{s.message(), "reindex", {}, "TABLES", rt::kErrWrite, 0, 0, path});
      }
    }
    for (const auto& t : tags) {
      rt::tables::SetProgressHook([&t](uint64_t done, uint64_t total) {
        Progress("tag " + t.name, done, total);
      });
      Status s = a->CreateOrder(path, t.name, t.key_expression, nullptr, t.unique,
                                t.for_expression, t.descending);
      if (!s.ok()) {
        rt::Raise(rt::ErrorInfo{s.message(), "reindex", {}, "TABLES", rt::kErrWrite, 0, 0, path});
      }
      std::printf("tag %-10s rebuilt\n", t.name.c_str());
    }
    rt::tables::SetProgressHook(nullptr);
    rt::Call("DBCLOSEALL");
  });
  return ok ? 0 : 2;
}

int CreateDemo(const std::vector<std::string>& args) {
  dbftool::DemoOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "--records" || args[i] == "--seed") && i + 1 < args.size()) {
      char* end = nullptr;
      unsigned long long v = std::strtoull(args[i + 1].c_str(), &end, 10);
      if (*end != '\0' || args[i + 1].empty() || (args[i] == "--records" && v > 100000000ull)) {
        std::fprintf(stderr, "dbftool: bad value for %s: %s\n", args[i].c_str(), args[i + 1].c_str());
        return 2;
      }
      if (args[i] == "--records") options.records = static_cast<uint32_t>(v);
      else options.seed = v;
      ++i;
    } else if (options.dir.empty() && args[i][0] != '-') {
      options.dir = args[i];
    } else {
      return -1;
    }
  }
  if (options.dir.empty()) return -1;
  options.progress = Progress;
  rt::tables::SetProgressHook([](uint64_t done, uint64_t total) { Progress("  tag", done, total); });
  Status s;
  bool ok = Protected([&] { s = dbftool::CreateDemoDatabase(options); });
  if (!ok) return 2;
  if (!s.ok()) {
    std::fprintf(stderr, "dbftool: %s\n", s.ToString().c_str());
    return 2;
  }
  std::printf("demo database written to %s (%u reports, %u uploads)\n", options.dir.c_str(),
              options.records, options.records / 5);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  g_tty = isatty(2);
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  auto help = kCommandHelp.find(command);
  if (help == kCommandHelp.end()) {
    std::fprintf(stderr, "dbftool: unknown command '%s'\n\n%s", command.c_str(), kUsage);
    return 2;
  }
  if (std::find(args.begin(), args.end(), "--help") != args.end()) {
    std::fputs(help->second, stdout);
    return 0;
  }
  rt::InitRuntime();
  rt::RegisterTableBuiltins();
  rt::tables::SetDataDirectory(".");
  int rc = -1;
  if (command == "create-demo") rc = CreateDemo(args);
  else if (command == "dump") rc = Dump(args);
  else if (command == "check") rc = Check(args);
  else if (command == "reindex") rc = Reindex(args);
  if (rc == -1) {
    std::fputs(help->second, stderr);
    return 2;
  }
  return rc;
}

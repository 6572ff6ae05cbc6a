// Fuzz target for the order-bag reader: the input is a whole .cdx file.  It
// is opened, every tag is walked both ways, sought, verified, changed and
// written back, then reopened.  Any outcome is fine except a crash, a hang,
// a sanitizer report, or a status other than OK / Corruption.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "runtime/tables/file.h"
#include "runtime/tables/index_bag.h"

namespace {

using rt::tables::IndexBag;
using rt::tables::IndexCursor;
using rt::tables::MemoryFile;
using rt::tables::Status;

void Check(const Status& s) {
  if (!s.ok() && !s.IsCorruption()) std::abort();
}

bool Exercise(const std::shared_ptr<std::string>& data, bool write) {
  std::unique_ptr<IndexBag> bag;
  Status s = IndexBag::Open(std::make_unique<MemoryFile>("fuzz.cdx", data),
                            !write, &bag);
  Check(s);
  if (!s.ok()) return false;
  for (int t = 0; t < static_cast<int>(bag->tags().size()); ++t) {
    const int kl = bag->tags()[t].key_length;
    std::unique_ptr<IndexCursor> c;
    Check(s = bag->NewCursor(t, &c));
    if (!s.ok()) continue;
    std::string seen;
    int steps = 0;
    for (s = c->First(); s.ok() && c->Valid() && steps < 5000; ++steps) {
      if (steps == 1) seen = c->key();
      s = c->Next();
    }
    Check(s);
    for (s = c->Last(); s.ok() && c->Valid() && steps < 10000; ++steps) {
      s = c->Prev();
    }
    Check(s);
    bool found;
    Check(c->Seek(seen.substr(0, seen.size() / 2), &found));
    Check(c->SeekLast(seen, &found));
    Check(bag->Verify(t));
    if (write) {
      const std::string key(static_cast<size_t>(kl), 'q');
      Check(bag->Insert(t, key, 7));
      if (c->Valid()) Check(c->Next());
      Check(bag->Delete(t, key, 7));
      if (!seen.empty()) Check(bag->Delete(t, seen, 1));
    }
  }
  if (write && bag->tags().size() < 3) {
    rt::tables::TagSpec spec;
    spec.name = "FUZZ";
    spec.key_expression = "f";
    spec.key_length = 4;
    Check(bag->AddTag(spec, {{"abcd", 1}, {"abce", 2}}));
  }
  Check(bag->Close());
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  auto bytes = std::make_shared<std::string>(reinterpret_cast<const char*>(data), size);
  Exercise(bytes, /*write=*/false);
  if (Exercise(bytes, /*write=*/true)) {
    // What the engine wrote must read back.
    Exercise(bytes, /*write=*/false);
  }
  return 0;
}

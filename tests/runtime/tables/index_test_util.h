// Small helpers shared by the order-bag engine tests: in-memory bags, full
// walks, and a File that fails on demand.
#ifndef TESTS_RUNTIME_TABLES_INDEX_TEST_UTIL_H_
#define TESTS_RUNTIME_TABLES_INDEX_TEST_UTIL_H_

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "runtime/tables/file.h"
#include "runtime/tables/index_bag.h"

namespace rt::tables::testing {

using Pairs = std::vector<std::pair<std::string, uint32_t>>;

// The source tree comes from the environment when ctest sets it, else from
// the build (MORB_TEST_SOURCE_DIR).
inline std::string FixturePath(const std::string& name) {
  const char* root = std::getenv("MORB_SOURCE_DIR");
#ifdef MORB_TEST_SOURCE_DIR
  if (root == nullptr) root = MORB_TEST_SOURCE_DIR;
#endif
  return std::string(root ? root : ".") + "/tests/data/fixtures/" + name;
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline std::unique_ptr<File> MemFile(std::shared_ptr<std::string> data,
                                     bool read_only = false) {
  return std::make_unique<MemoryFile>("test.cdx", std::move(data), read_only);
}

// Every entry of a tag in the tag's order, walked with a cursor.
inline Status Walk(IndexBag* bag, int tag, Pairs* out) {
  out->clear();
  std::unique_ptr<IndexCursor> c;
  Status s = bag->NewCursor(tag, &c);
  if (!s.ok()) return s;
  for (s = c->First(); s.ok() && c->Valid(); s = c->Next()) {
    out->emplace_back(c->key(), c->recno());
  }
  return s;
}

// Forwards to a MemoryFile and fails reads once `reads_left` reaches 0
// (negative: never).
class FaultyFile : public File {
 public:
  explicit FaultyFile(std::shared_ptr<std::string> data)
      : inner_("faulty.cdx", std::move(data)) {}
  Status ReadAt(uint64_t offset, void* buf, size_t n,
                size_t* bytes_read) override {
    if (reads_left_ == 0) return Status::IOError(name(), "injected read fault");
    if (reads_left_ > 0) --reads_left_;
    return inner_.ReadAt(offset, buf, n, bytes_read);
  }
  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    return inner_.WriteAt(offset, buf, n);
  }
  Status Size(uint64_t* size) override { return inner_.Size(size); }
  Status Truncate(uint64_t size) override { return inner_.Truncate(size); }
  Status Sync() override { return inner_.Sync(); }
  const std::string& name() const override { return inner_.name(); }
  bool read_only() const override { return false; }

  void set_reads_left(int n) { reads_left_ = n; }
  void set_fail_writes(bool fail) { inner_.set_fail_writes(fail); }

 private:
  MemoryFile inner_;
  int reads_left_ = -1;
};

}  // namespace rt::tables::testing

#endif  // TESTS_RUNTIME_TABLES_INDEX_TEST_UTIL_H_

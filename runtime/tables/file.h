// Random-access files for tables and index bags.  All table and index I/O
// goes through `File`, so the engines run the same on disk (PosixFile) and in
// memory (MemoryFile, for tests and fuzzing).
//
// Thread safety: none; a File is used by one work area at a time.
#ifndef RUNTIME_TABLES_FILE_H_
#define RUNTIME_TABLES_FILE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/tables/status.h"

namespace rt::tables {

// Whole-file lock taken when a file is opened.
enum class LockMode {
  kNone,       // no lock (tools that only look, tests)
  kShared,     // others may open shared too, nobody exclusively
  kExclusive,  // nobody else may open the file with a lock
};

class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  virtual ~File() = default;

  // Reads up to `n` bytes at `offset` into `buf`; `*bytes_read` gets the
  // count actually read, which is short only at the end of the file.  A
  // short read is not an error: callers that need every byte check the count.
  virtual Status ReadAt(uint64_t offset, void* buf, size_t n,
                        size_t* bytes_read) = 0;
  // Writes all `n` bytes at `offset`, growing the file when needed.
  // Fails with InvalidArgument on a file opened read-only.
  virtual Status WriteAt(uint64_t offset, const void* buf, size_t n) = 0;
  virtual Status Size(uint64_t* size) = 0;
  virtual Status Truncate(uint64_t size) = 0;
  // Makes every write so far durable (fsync on disk).
  virtual Status Sync() = 0;

  // Maps the first `length` bytes of the file into memory, shared with the
  // file: stores into the mapping change the file (writable unless the file
  // is read-only), and Sync() makes them durable.  Returns nullptr when the
  // file cannot be mapped (then callers use ReadAt/WriteAt).  A new call
  // replaces the previous mapping.  The mapping lives until the File is
  // destroyed.  REQUIRES: length <= the file's size (bytes past the end of
  // the file must never be touched through the mapping).
  virtual char* Map(uint64_t length) { return nullptr; }

  // The path or name given when the file was opened; used in messages.
  virtual const std::string& name() const = 0;
  virtual bool read_only() const = 0;

  // Reads exactly `n` bytes or fails with Corruption ("<what> ends early").
  Status ReadExactly(uint64_t offset, void* buf, size_t n, const char* what);
};

struct OpenOptions {
  bool create = false;     // create the file when missing
  bool truncate = false;   // empty the file on open (needs !read_only)
  bool read_only = false;
  LockMode lock = LockMode::kExclusive;
};

// Opens a file on disk.  On success `*file` is set.  Fails with NotFound when
// the file is missing (and !create), Locked when another program (or another
// open of the same file in this program) holds a conflicting lock, IOError
// otherwise.  Locks are released when the File is destroyed.  Nothing on disk
// changes when opening fails, unless `create` or `truncate` was asked.
Status OpenPosixFile(const std::string& path, const OpenOptions& options,
                     std::unique_ptr<File>* file);

// A file kept in memory.  The bytes live in a shared buffer, so a test can
// reopen the "same" file or inspect it after the File is gone.
class MemoryFile : public File {
 public:
  explicit MemoryFile(std::string name,
                      std::shared_ptr<std::string> data = nullptr,
                      bool read_only = false);

  Status ReadAt(uint64_t offset, void* buf, size_t n,
                size_t* bytes_read) override;
  Status WriteAt(uint64_t offset, const void* buf, size_t n) override;
  Status Size(uint64_t* size) override;
  Status Truncate(uint64_t size) override;
  Status Sync() override;
  const std::string& name() const override { return name_; }
  bool read_only() const override { return read_only_; }

  const std::shared_ptr<std::string>& data() const { return data_; }
  int sync_count() const { return sync_count_; }
  // While set, every WriteAt/Truncate/Sync fails with IOError (to test how
  // callers handle a full disk).
  void set_fail_writes(bool fail) { fail_writes_ = fail; }

 private:
  std::string name_;
  std::shared_ptr<std::string> data_;
  bool read_only_;
  bool fail_writes_ = false;
  int sync_count_ = 0;
};

}  // namespace rt::tables

#endif  // RUNTIME_TABLES_FILE_H_

// POSIX and in-memory files.
#include "runtime/tables/file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rt::tables {

Status File::ReadExactly(uint64_t offset, void* buf, size_t n,
                         const char* what) {
  size_t got = 0;
  Status s = ReadAt(offset, buf, n, &got);
  if (!s.ok()) return s;
  if (got != n) {
    return Status::Corruption(name(), std::string(what) + " ends early (file truncated?)");
  }
  return Status::OK();
}

namespace {

Status ErrnoStatus(const std::string& path, const char* op, int err) {
  std::string why = std::string(op) + " failed: " + std::strerror(err);
  if (err == ENOENT) return Status::NotFound(path, "no such file");
  return Status::IOError(path, why);
}

class PosixFile : public File {
 public:
  PosixFile(std::string name, int fd, bool read_only)
      : name_(std::move(name)), fd_(fd), read_only_(read_only) {}
  ~PosixFile() override {
    if (map_ != nullptr) ::munmap(map_, map_length_);
    ::close(fd_);  // closing drops the OFD lock
  }

  char* Map(uint64_t length) override {
    if (map_ != nullptr) {
      ::munmap(map_, map_length_);
      map_ = nullptr;
      map_length_ = 0;
    }
    if (length == 0) return nullptr;
    void* p = ::mmap(nullptr, length, read_only_ ? PROT_READ : PROT_READ | PROT_WRITE,
                     MAP_SHARED, fd_, 0);
    if (p == MAP_FAILED) return nullptr;
    map_ = static_cast<char*>(p);
    map_length_ = length;
    return map_;
  }

  Status ReadAt(uint64_t offset, void* buf, size_t n,
                size_t* bytes_read) override {
    size_t done = 0;
    char* p = static_cast<char*>(buf);
    while (done < n) {
      ssize_t r = ::pread(fd_, p + done, n - done,
                          static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        *bytes_read = done;
        return ErrnoStatus(name_, "read", errno);
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    *bytes_read = done;
    return Status::OK();
  }

  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (read_only_) {
      return Status::InvalidArgument(name_, "file is open read-only");
    }
    size_t done = 0;
    const char* p = static_cast<const char*>(buf);
    while (done < n) {
      ssize_t r = ::pwrite(fd_, p + done, n - done,
                           static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        return ErrnoStatus(name_, "write", errno);
      }
      done += static_cast<size_t>(r);
    }
    return Status::OK();
  }

  Status Size(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return ErrnoStatus(name_, "stat", errno);
    *size = static_cast<uint64_t>(st.st_size);
    return Status::OK();
  }

  Status Truncate(uint64_t size) override {
    if (read_only_) {
      return Status::InvalidArgument(name_, "file is open read-only");
    }
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      return ErrnoStatus(name_, "truncate", errno);
    }
    return Status::OK();
  }

  Status Sync() override {
    if (read_only_) return Status::OK();
    if (map_ != nullptr && ::msync(map_, map_length_, MS_SYNC) != 0) {
      return ErrnoStatus(name_, "sync", errno);
    }
    if (::fdatasync(fd_) != 0) return ErrnoStatus(name_, "sync", errno);
    return Status::OK();
  }

  const std::string& name() const override { return name_; }
  bool read_only() const override { return read_only_; }

 private:
  std::string name_;
  int fd_;
  bool read_only_;
  char* map_ = nullptr;
  size_t map_length_ = 0;
};

// Open-file-description locks conflict between two opens of the same file
// even inside one process, and are dropped when the descriptor closes.
Status LockWholeFile(int fd, const std::string& path, LockMode mode) {
  if (mode == LockMode::kNone) return Status::OK();
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = mode == LockMode::kShared ? F_RDLCK : F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;  // the whole file, however long it grows
  if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return Status::OK();
  int err = errno;
  if (err == EAGAIN || err == EACCES) {
    return Status::Locked(
        path, mode == LockMode::kShared
                  ? "open exclusively in another program or work area; close it there and retry"
                  : "open in another program or work area; close it there, or open it shared");
  }
  return ErrnoStatus(path, "lock", err);
}

}  // namespace

Status OpenPosixFile(const std::string& path, const OpenOptions& options,
                     std::unique_ptr<File>* file) {
  if (options.read_only && (options.create || options.truncate)) {
    return Status::InvalidArgument(path, "cannot create or empty a read-only file");
  }
  int flags = O_CLOEXEC | (options.read_only ? O_RDONLY : O_RDWR);
  if (options.create) flags |= O_CREAT;
  // Truncation waits until the lock is held, so a file another program has
  // open is never emptied under it.
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) return ErrnoStatus(path, "open", errno);
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return Status::InvalidArgument(path, "is a directory");
  }
  LockMode lock = options.lock;
  // A read-only descriptor cannot hold a write lock; read-only openers
  // still keep writers out with a shared lock.
  if (options.read_only && lock == LockMode::kExclusive) lock = LockMode::kShared;
  Status s = LockWholeFile(fd, path, lock);
  if (!s.ok()) {
    ::close(fd);
    return s;
  }
  if (options.truncate && ::ftruncate(fd, 0) != 0) {
    Status t = ErrnoStatus(path, "truncate", errno);
    ::close(fd);
    return t;
  }
  *file = std::make_unique<PosixFile>(path, fd, options.read_only);
  return Status::OK();
}

MemoryFile::MemoryFile(std::string name, std::shared_ptr<std::string> data,
                       bool read_only)
    : name_(std::move(name)),
      data_(data ? std::move(data) : std::make_shared<std::string>()),
      read_only_(read_only) {}

Status MemoryFile::ReadAt(uint64_t offset, void* buf, size_t n,
                          size_t* bytes_read) {
  *bytes_read = 0;
  if (offset >= data_->size()) return Status::OK();
  size_t avail = data_->size() - static_cast<size_t>(offset);
  size_t k = n < avail ? n : avail;
  std::memcpy(buf, data_->data() + offset, k);
  *bytes_read = k;
  return Status::OK();
}

Status MemoryFile::WriteAt(uint64_t offset, const void* buf, size_t n) {
  if (read_only_) return Status::InvalidArgument(name_, "file is open read-only");
  if (fail_writes_) return Status::IOError(name_, "write failed: no space left on device");
  if (offset + n > data_->size()) data_->resize(static_cast<size_t>(offset + n), '\0');
  std::memcpy(data_->data() + offset, buf, n);
  return Status::OK();
}

Status MemoryFile::Size(uint64_t* size) {
  *size = data_->size();
  return Status::OK();
}

Status MemoryFile::Truncate(uint64_t size) {
  if (read_only_) return Status::InvalidArgument(name_, "file is open read-only");
  if (fail_writes_) return Status::IOError(name_, "truncate failed: no space left on device");
  data_->resize(static_cast<size_t>(size), '\0');
  return Status::OK();
}

Status MemoryFile::Sync() {
  if (fail_writes_) return Status::IOError(name_, "sync failed: input/output error");
  ++sync_count_;
  return Status::OK();
}

}  // namespace rt::tables

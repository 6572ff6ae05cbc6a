// Result of a storage operation on a table or index file.  Expected
// failures (a file that is missing, locked by another program, damaged or
// unreadable) come back as a Status instead of an exception, so that no byte
// in a file can abort the process.  The message names the file and the fault.
#ifndef RUNTIME_TABLES_STATUS_H_
#define RUNTIME_TABLES_STATUS_H_

#include <string>
#include <string_view>
#include <utility>

namespace rt::tables {

class Status {
 public:
  enum class Code {
    kOk = 0,
    kIOError,
    kCorruption,
    kNotFound,
    kInvalidArgument,
    kLocked,
  };

  // A success.
  Status() = default;

  static Status OK() { return Status(); }
  // `what` names the file (or object), `why` the fault.
  static Status IOError(std::string_view what, std::string_view why) {
    return Status(Code::kIOError, what, why);
  }
  static Status Corruption(std::string_view what, std::string_view why) {
    return Status(Code::kCorruption, what, why);
  }
  static Status NotFound(std::string_view what, std::string_view why) {
    return Status(Code::kNotFound, what, why);
  }
  static Status InvalidArgument(std::string_view what, std::string_view why) {
    return Status(Code::kInvalidArgument, what, why);
  }
  static Status Locked(std::string_view what, std::string_view why) {
    return Status(Code::kLocked, what, why);
  }

  // Returns true iff the status indicates success.
  bool ok() const { return code_ == Code::kOk; }
  bool IsIOError() const { return code_ == Code::kIOError; }
  bool IsCorruption() const { return code_ == Code::kCorruption; }
  bool IsNotFound() const { return code_ == Code::kNotFound; }
  bool IsInvalidArgument() const { return code_ == Code::kInvalidArgument; }
  bool IsLocked() const { return code_ == Code::kLocked; }

  Code code() const { return code_; }
  // "<what>: <why>" (empty for a success).
  const std::string& message() const { return message_; }

  // "OK", or the kind followed by the message, e.g.
  // "Corruption: MORBREPT.DBF: header length 12 is shorter than 33 bytes".
  std::string ToString() const {
    const char* kind = "OK";
    switch (code_) {
      case Code::kOk: return "OK";
      case Code::kIOError: kind = "IO error"; break;
      case Code::kCorruption: kind = "Corruption"; break;
      case Code::kNotFound: kind = "Not found"; break;
      case Code::kInvalidArgument: kind = "Invalid argument"; break;
      case Code::kLocked: kind = "Locked"; break;
    }
    return std::string(kind) + ": " + message_;
  }

 private:
  Status(Code code, std::string_view what, std::string_view why)
      : code_(code) {
    message_.assign(what);
    if (!why.empty()) {
      if (!message_.empty()) message_ += ": ";
      message_ += why;
    }
  }

  Code code_ = Code::kOk;
  std::string message_;
};

}  // namespace rt::tables

#endif  // RUNTIME_TABLES_STATUS_H_

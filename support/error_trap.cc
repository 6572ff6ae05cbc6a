// Error trapping: the library's equivalent of a guarded sequence whose error
// block breaks out with the error.
#include "support/error_trap.h"

namespace support {
namespace {

// Puts back the error block in force when it was made, on every exit.
class ErrorBlockScope {
 public:
  explicit ErrorBlockScope(rt::Value block) : saved_(rt::SetErrorBlock(std::move(block))) {}
  ~ErrorBlockScope() { rt::SetErrorBlock(saved_); }
  ErrorBlockScope(const ErrorBlockScope&) = delete;
  ErrorBlockScope& operator=(const ErrorBlockScope&) = delete;

 private:
  rt::Value saved_;
};

}  // namespace

bool TrapErrors(const std::function<void()>& body, rt::Value* error) {
  static const rt::Value kBreakOnError =
      rt::MakeBlock("(B)TRAPERRORS@0001", [](rt::Frame& f) -> rt::Value {
        rt::Break(f.arg(0));
      });
  ErrorBlockScope scope(kBreakOnError);
  bool completed = true;
  rt::Guarded(
      [&]() -> rt::Value {
        body();
        return rt::Value();
      },
      [&](const rt::Value& e) -> rt::Value {
        completed = false;
        *error = e;
        return rt::Value();
      });
  return completed;
}

std::string DescribeError(const rt::Value& error) {
  if (!error.is_object()) return rt::ToLiteral(error);
  std::string text = rt::GetVar(error, "description").str();
  const rt::Value file = rt::GetVar(error, "filename");
  if (file.is_string() && !file.str().empty() && text.find(file.str()) == std::string::npos) {
    text += ": " + file.str();
  }
  return text;
}

void RaiseAgain(const rt::Value& error) {
  if (!error.is_object()) rt::Break(error);
  auto text = [&](const char* name) {
    rt::Value v = rt::GetVar(error, name);
    return v.is_string() ? v.str() : std::string();
  };
  auto number = [&](const char* name) {
    rt::Value v = rt::GetVar(error, name);
    return v.is_number() ? static_cast<int>(v.num()) : 0;
  };
  rt::Value args = rt::GetVar(error, "args");
  rt::Raise(rt::ErrorInfo{
      .description = text("description"),
      .operation = text("operation"),
      .args = args.is_array() ? args.array()->items : std::vector<rt::Value>{},
      .subsystem = text("subSystem"),
      .gen_code = number("genCode"),
      .sub_code = number("subCode"),
      .os_code = number("osCode"),
      .filename = text("filename")});
}

}  // namespace support

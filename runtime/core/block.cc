// Native blocks and EVAL.
#include "runtime/api/runtime.h"

namespace rt {
namespace {

class NativeBlock final : public Block {
 public:
  NativeBlock(std::string name, std::function<Value(Frame&)> fn)
      : name_(std::move(name)), fn_(std::move(fn)) {}

  Value Eval(std::span<const Value> args) override {
    Frame frame(name_, args);
    return fn_(frame);
  }
  std::string_view name() const override { return name_; }

 private:
  std::string name_;
  std::function<Value(Frame&)> fn_;
};

}  // namespace

BlockPtr MakeBlock(std::string name, std::function<Value(Frame&)> fn) {
  return std::make_shared<NativeBlock>(std::move(name), std::move(fn));
}

Value Eval(const Value& block, std::span<const Value> args) {
  if (!block.is_block()) {
    Raise(ErrorInfo{.description = "EVAL: the value is not a block",
                    .operation = "EVAL",
                    .args = {block},
                    .gen_code = kErrArgument});
  }
  // Keep the block alive while it runs, even if it drops its last owner.
  BlockPtr keep = block.block();
  return keep->Eval(args);
}

Value Eval(const Value& block, std::initializer_list<Value> args) {
  return Eval(block, std::span<const Value>(args.begin(), args.size()));
}

}  // namespace rt

// The chain of call frames and PROCNAME / PROCLINE.
#include "runtime/api/runtime.h"
#include "runtime/core/internal.h"

namespace rt {
namespace {

Frame* g_top = nullptr;  // the running frame
const Value kNil;

}  // namespace

Frame::Frame(std::string_view proc, std::span<const Value> args,
             const Value* self)
    : proc_(proc), args_(args), self_(self), caller_(g_top) {
  g_top = this;
}

Frame::~Frame() {
  internal::ReleasePrivatesOf(this);
  g_top = caller_;
}

const Value& Frame::arg(int i) const {
  if (i < 0) return kNil;
  size_t index = static_cast<size_t>(i);
  if (index < cells_.size() && cells_[index]) return cells_[index]->value;
  if (index >= args_.size()) return kNil;
  return args_[index].deref();
}

bool Frame::by_ref(int i) const {
  return i >= 0 && static_cast<size_t>(i) < args_.size() &&
         args_[static_cast<size_t>(i)].is_reference();
}

CellPtr Frame::cell(int i) {
  size_t index = static_cast<size_t>(i);
  if (cells_.size() <= index) cells_.resize(index + 1);
  if (!cells_[index]) {
    cells_[index] = by_ref(i) ? args_[index].reference() : NewCell(arg(i));
  }
  return cells_[index];
}

void Frame::set_arg(int i, Value v) { cell(i)->value = std::move(v); }

const Value& Frame::self() const { return self_ ? self_->deref() : kNil; }

Frame* CurrentFrame() { return g_top; }

namespace {
const Frame* FrameAt(int level) {
  const Frame* f = g_top;
  for (int i = 0; f && i < level; ++i) f = f->caller();
  return level < 0 ? nullptr : f;
}
}  // namespace

std::string ProcName(int level) {
  const Frame* f = FrameAt(level);
  return f ? std::string(f->proc_name()) : std::string();
}

int ProcLine(int level) {
  const Frame* f = FrameAt(level);
  return f ? f->line() : 0;
}

}  // namespace rt

// SCATTER and GATHER: a record to and from an array, or, for an array of
// objects, setData / getData sent to each.
#include "blocks/access_blocks.h"

namespace vornex {
namespace {

rt::Value NotAnObject(rt::Frame& f) {
  return rt::Value(rt::Call("VALTYPE", {f.arg(0)}).str() != "O");
}

// The blocks compiled with the two functions, created when the module is
// loaded; their names count the unit's blocks in source order.
const rt::Value kScatterNotObject = rt::MakeBlock("(B)SCATTER@0001", NotAnObject);
const rt::Value kFieldGetBlock =
    rt::MakeBlock("(B)SCATTER@0002", [](rt::Frame& f) {
      rt::Value v = rt::Call("FIELDGET", {f.arg(1)});
      f.set_arg(0, v);
      return v;
    });
const rt::Value kSetDataBlock = rt::MakeBlock(
    "(B)SCATTER@0003", [](rt::Frame& f) { return rt::Send(f.arg(0), "setData"); });
const rt::Value kGatherNotObject = rt::MakeBlock("(B)GATHER@0004", NotAnObject);
const rt::Value kFieldPutBlock = rt::MakeBlock(
    "(B)GATHER@0005", [](rt::Frame& f) { return rt::Call("FIELDPUT", {f.arg(1), f.arg(0)}); });
const rt::Value kGetDataBlock = rt::MakeBlock(
    "(B)GATHER@0006", [](rt::Frame& f) { return rt::Send(f.arg(0), "getData"); });

}  // namespace

rt::Value Scatter(rt::Frame& frame) {
  RT_LINE(frame);
  rt::Value record = frame.arg(0);
  if (rt::Call("VALTYPE", {record}).str() != "A") {
    record = rt::Call("ARRAY", {rt::Call("FCOUNT")});
  }
  RT_LINE(frame);
  if (rt::Call("EMPTY", {record}).is_true()) return record;
  RT_LINE(frame);
  if (rt::Call("ASCAN", {record, kScatterNotObject}).num() > 0) {
    rt::Call("AEVAL", {record, kFieldGetBlock, rt::Value(), rt::Value(), true});
  } else {
    rt::Call("AEVAL", {record, kSetDataBlock});
  }
  return record;
}

rt::Value Gather(rt::Frame& frame) {
  RT_LINE(frame);
  const rt::Value record = frame.arg(0);
  if (rt::Call("VALTYPE", {record}).str() != "A") return record;
  RT_LINE(frame);
  if (rt::Call("ASCAN", {record, kGatherNotObject}).num() > 0) {
    rt::Call("AEVAL", {record, kFieldPutBlock});
  } else {
    rt::Call("AEVAL", {record, kGetDataBlock});
  }
  return record;
}

}  // namespace vornex

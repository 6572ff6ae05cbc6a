// The class system: class objects with class variables and class methods,
// instances with their own variables and instance methods, messages by name
// without regard to case.
#include <mutex>
#include <unordered_map>

#include "runtime/api/runtime.h"
#include "runtime/core/internal.h"

namespace rt {

class Class {
 public:
  explicit Class(ClassDef def) : def_(std::move(def)) {
    for (size_t i = 0; i < def_.instance_vars.size(); ++i)
      ivars_[internal::UpperName(def_.instance_vars[i])] = i;
    for (size_t i = 0; i < def_.class_vars.size(); ++i)
      cvars_[internal::UpperName(def_.class_vars[i].first)] = i;
    for (const MethodDef& m : def_.instance_methods)
      imethods_[internal::UpperName(m.name)] = &m;
    for (const MethodDef& m : def_.class_methods)
      cmethods_[internal::UpperName(m.name)] = &m;
  }

  const std::string& name() const { return def_.name; }
  const ClassDef& def() const { return def_; }

  static int Find(const std::unordered_map<std::string, size_t>& map,
                  const std::string& upper) {
    auto it = map.find(upper);
    return it == map.end() ? -1 : static_cast<int>(it->second);
  }
  static const MethodDef* Find(
      const std::unordered_map<std::string, const MethodDef*>& map,
      const std::string& upper) {
    auto it = map.find(upper);
    return it == map.end() ? nullptr : it->second;
  }

  std::unordered_map<std::string, size_t> ivars_, cvars_;
  std::unordered_map<std::string, const MethodDef*> imethods_, cmethods_;
  std::weak_ptr<Object> class_object_;

 private:
  ClassDef def_;
};

namespace {

struct ClassTable {
  std::mutex lock;  // creation of a class happens once, under this lock
  std::unordered_map<std::string, ObjectPtr> classes;
  std::vector<std::unique_ptr<Class>> owned;
};

ClassTable& TheClasses() {
  static ClassTable* table = new ClassTable;  // lives until the process ends
  return *table;
}

Value CallMethod(const MethodDef& m, const Value& receiver,
                 std::span<const Value> args) {
  Frame frame(m.proc_name, args, &receiver);
  return m.fn(frame);
}

[[noreturn]] void NotUnderstood(const Value& receiver, std::string_view message) {
  std::string cls = receiver.is_object()
                        ? std::string(receiver.object()->class_name())
                        : std::string(1, receiver.type_letter());
  Raise(ErrorInfo{.description = "message not understood: " + cls + ":" +
                                 internal::UpperName(message),
                  .operation = internal::UpperName(message),
                  .args = {receiver},
                  .gen_code = kErrUndefined});
}

ObjectPtr ClassObjectOf(const Object& o) { return o.cls().class_object_.lock(); }

// Finds the variable slot a name denotes for a receiver: its own variables
// first, then (for an instance) the class variables.
Value* FindVar(const Value& receiver, const std::string& upper) {
  Object& o = *receiver.object();
  Class& c = o.cls();
  if (o.is_class_object()) {
    int i = Class::Find(c.cvars_, upper);
    return i < 0 ? nullptr : &o.var(static_cast<size_t>(i));
  }
  if (int i = Class::Find(c.ivars_, upper); i >= 0) return &o.var(static_cast<size_t>(i));
  if (int i = Class::Find(c.cvars_, upper); i >= 0) {
    if (ObjectPtr co = ClassObjectOf(o)) return &co->var(static_cast<size_t>(i));
  }
  return nullptr;
}

const MethodDef* FindMethod(const Object& o, const std::string& upper) {
  Class& c = o.cls();
  if (!o.is_class_object()) {
    if (const MethodDef* m = Class::Find(c.imethods_, upper)) return m;
  }
  return Class::Find(c.cmethods_, upper);
}

}  // namespace

std::string_view Object::class_name() const { return class_->name(); }

ObjectPtr CreateClass(ClassDef def) {
  ClassTable& table = TheClasses();
  std::lock_guard<std::mutex> guard(table.lock);
  std::string upper = internal::UpperName(def.name);
  if (auto it = table.classes.find(upper); it != table.classes.end())
    return it->second;
  auto cls = std::make_unique<Class>(std::move(def));
  auto object = std::make_shared<Object>();
  object->class_ = cls.get();
  object->is_class_object_ = true;
  for (const auto& [name, initial] : cls->def().class_vars)
    object->vars_.push_back(initial);
  cls->class_object_ = object;
  table.classes[upper] = object;
  table.owned.push_back(std::move(cls));
  return object;
}

ObjectPtr FindClass(std::string_view name) {
  ClassTable& table = TheClasses();
  std::lock_guard<std::mutex> guard(table.lock);
  auto it = table.classes.find(internal::UpperName(name));
  return it == table.classes.end() ? nullptr : it->second;
}

void DropClass(std::string_view name) {
  ClassTable& table = TheClasses();
  std::lock_guard<std::mutex> guard(table.lock);
  table.classes.erase(internal::UpperName(name));
}

ObjectPtr NewInstance(const ObjectPtr& class_object) {
  auto object = std::make_shared<Object>();
  object->class_ = class_object->class_;
  object->vars_.resize(object->class_->def().instance_vars.size());
  if (const MethodDef* init = Class::Find(object->class_->imethods_, "INIT")) {
    Value receiver = object;
    CallMethod(*init, receiver, {});
  }
  return object;
}

Value Send(const Value& receiver_in, std::string_view message,
           std::span<const Value> args) {
  const Value& receiver = receiver_in.deref();
  if (!receiver.is_object()) NotUnderstood(receiver, message);
  Object& o = *receiver.object();
  std::string upper = internal::UpperName(message);
  if (const MethodDef* m = FindMethod(o, upper)) return CallMethod(*m, receiver, args);
  if (Value* slot = FindVar(receiver, upper)) return *slot;
  if (upper.size() > 1 && upper[0] == '_') {
    if (Value* slot = FindVar(receiver, upper.substr(1))) {
      *slot = args.empty() ? Value() : args[0].deref();
      return *slot;
    }
  }
  if (upper == "NEW" && o.is_class_object()) {
    return NewInstance(receiver.object());
  }
  if (upper == "CLASSNAME") return std::string(o.class_name());
  NotUnderstood(receiver, message);
}

Value Send(const Value& receiver, std::string_view message,
           std::initializer_list<Value> args) {
  return Send(receiver, message, std::span<const Value>(args.begin(), args.size()));
}

Value GetVar(const Value& receiver_in, std::string_view name) {
  const Value& receiver = receiver_in.deref();
  if (!receiver.is_object()) NotUnderstood(receiver, name);
  if (Value* slot = FindVar(receiver, internal::UpperName(name))) return *slot;
  NotUnderstood(receiver, name);
}

void SetVar(const Value& receiver_in, std::string_view name, Value v) {
  const Value& receiver = receiver_in.deref();
  if (!receiver.is_object()) NotUnderstood(receiver, name);
  std::string upper = internal::UpperName(name);
  if (Value* slot = FindVar(receiver, upper)) {
    *slot = std::move(v).deref();
    return;
  }
  // A class may define an assignment method "_name" of its own.
  if (const MethodDef* m = FindMethod(*receiver.object(), "_" + upper)) {
    Value arg = std::move(v).deref();
    CallMethod(*m, receiver, std::span<const Value>(&arg, 1));
    return;
  }
  NotUnderstood(receiver, name);
}

int VarIndex(const Object& object, std::string_view name) {
  const Class& c = object.cls();
  return Class::Find(object.is_class_object() ? c.cvars_ : c.ivars_,
                     internal::UpperName(name));
}

}  // namespace rt

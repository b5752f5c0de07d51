// The class registry, selectors, method tables, their caches and NSObject.
#include "objc/runtime.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "aurora/MainThread.h"
#include "aurora/ThreadSafety.h"

struct objc_selector {
  std::string name;
};

namespace {

struct Method {
  IMP imp;
  const char* encoding;
};

using MethodTable = std::unordered_map<SEL, Method>;

// Bumped by every change to any method table: a method added to or replaced in
// a class changes what its subclasses answer too, so every cache filled before
// is stale. Main thread only, as the tables are.
std::uint64_t gMethodTablesGeneration = 1;

// What sends to a class have found, by selector: a small open-addressing
// table, which forgets everything once any method table has changed. A send
// that finds its selector here skips the walk up the class chain.
class MethodCache {
 public:
  // The method remembered for `sel`, or nullptr.
  const Method* find(SEL sel) const {
    if (generation_ != gMethodTablesGeneration) return nullptr;
    for (std::size_t i = home(sel);; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (slot.sel == sel) return &slot.method;
      if (slot.sel == nullptr) return nullptr;
    }
  }

  void remember(SEL sel, const Method& method) {
    if (generation_ != gMethodTablesGeneration) {
      std::fill(slots_.begin(), slots_.end(), Slot{});
      used_ = 0;
      generation_ = gMethodTablesGeneration;
    }
    if (2 * (used_ + 1) > slots_.size()) grow();
    place(sel, method);
    ++used_;
  }

 private:
  struct Slot {
    SEL sel = nullptr;
    Method method{};
  };

  std::size_t home(SEL sel) const {
    const auto bits = reinterpret_cast<std::uintptr_t>(sel) * 0x9E3779B97F4A7C15u;  // Fibonacci hashing
    return static_cast<std::size_t>(bits >> 32) & mask_;
  }

  void place(SEL sel, const Method& method) {
    std::size_t i = home(sel);
    while (slots_[i].sel != nullptr) i = (i + 1) & mask_;
    slots_[i] = {sel, method};
  }

  void grow() {
    std::vector<Slot> old(slots_.empty() ? 8 : 2 * slots_.size());
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.sel != nullptr) place(slot.sel, slot.method);
    }
  }

  std::vector<Slot> slots_;  // a power of two of them, at most half used
  std::size_t mask_ = 0;
  std::size_t used_ = 0;
  std::uint64_t generation_ = 0;  // never current before the first remember
};

}  // namespace

struct objc_class {
  std::string name;
  Class superclass;
  ObjectFactory factory;
  MethodTable instanceMethods;
  MethodTable classMethods;
  MethodCache instanceCache;
  MethodCache classCache;

  MethodTable& table(aurora::objc::MethodKind kind) {
    return kind == aurora::objc::MethodKind::Instance ? instanceMethods : classMethods;
  }
  MethodCache& cache(aurora::objc::MethodKind kind) {
    return kind == aurora::objc::MethodKind::Instance ? instanceCache : classCache;
  }
};

namespace {

// Process-wide and never destroyed: libraries loaded later register into it,
// and objects may still be sent messages while the process exits.
struct Registry {
  aurora::Mutex internMutex;  // selectors and encodings may be interned from any thread
  std::unordered_map<std::string, std::unique_ptr<objc_selector>> selectors AURORA_GUARDED_BY(internMutex);
  std::set<std::string, std::less<>> encodings AURORA_GUARDED_BY(internMutex);
  std::unordered_map<std::string, std::unique_ptr<objc_class>> classes;
};

Registry& registry() {
  static Registry* const instance = new Registry;
  return *instance;
}

std::atomic<std::uint64_t> gNextSerial{1};

const Method* findMethod(Class start, SEL sel, aurora::objc::MethodKind kind) {
  for (Class cls = start; cls != nullptr; cls = cls->superclass) {
    auto& table = cls->table(kind);
    if (auto it = table.find(sel); it != table.end()) return &it->second;
  }
  return nullptr;
}

std::string describe(Class cls, SEL sel, aurora::objc::MethodKind kind) {
  const char sign = kind == aurora::objc::MethodKind::Instance ? '-' : '+';
  return std::string(1, sign) + "[" + (cls ? cls->name : "nil") + " " + sel_getName(sel) + "]";
}

void checkEncoding(Class cls, SEL sel, aurora::objc::MethodKind kind, const char* have, const char* want) {
  if (have != want) {
    throw aurora::objc::SignatureMismatch(describe(cls, sel, kind) + " is implemented as \"" + have +
                                          "\" but was used as \"" + want + "\"");
  }
}

}  // namespace

SEL sel_registerName(std::string_view name) {
  auto& reg = registry();
  aurora::MutexLock lock(reg.internMutex);
  auto [it, inserted] = reg.selectors.try_emplace(std::string(name));
  if (inserted) it->second = std::make_unique<objc_selector>(objc_selector{std::string(name)});
  return it->second.get();
}

const char* sel_getName(SEL sel) { return sel ? sel->name.c_str() : "(null)"; }

Class objc_getClass(const char* name) {
  if (name == nullptr) return nullptr;
  auto& classes = registry().classes;
  auto it = classes.find(name);
  return it == classes.end() ? nullptr : it->second.get();
}

const char* class_getName(Class cls) { return cls ? cls->name.c_str() : "nil"; }
Class class_getSuperclass(Class cls) { return cls ? cls->superclass : nullptr; }

bool class_respondsToSelector(Class cls, SEL sel) {
  return findMethod(cls, sel, aurora::objc::MethodKind::Instance) != nullptr;
}

IMP class_getMethodImplementation(Class cls, SEL sel) {
  const Method* method = findMethod(cls, sel, aurora::objc::MethodKind::Instance);
  return method ? method->imp : nullptr;
}

Class object_getClass(const NSObject* object) { return object ? object->isa() : nullptr; }
const char* object_getClassName(const NSObject* object) { return class_getName(object_getClass(object)); }

Class objc_registerClass(const char* name, Class superclass, ObjectFactory factory) {
  aurora::requireMainThread("objc_registerClass");
  auto& classes = registry().classes;
  auto [it, inserted] = classes.try_emplace(name);
  if (!inserted) throw std::invalid_argument(std::string("objc_registerClass: a class named ") + name + " exists");
  it->second = std::make_unique<objc_class>(objc_class{name, superclass, factory, {}, {}, {}, {}});
  return it->second.get();
}

std::shared_ptr<NSObject> class_createInstance(Class cls) {
  if (cls == nullptr) throw std::invalid_argument("class_createInstance: no class");
  Class maker = cls;
  while (maker != nullptr && maker->factory == nullptr) maker = maker->superclass;
  if (maker == nullptr)
    throw std::invalid_argument(std::string("class_createInstance: ") + cls->name + " cannot make instances");
  std::shared_ptr<NSObject> object = maker->factory();
  object->isa_ = cls;
  return object;
}

namespace aurora::objc {

const char* internEncoding(std::string_view encoding) {
  auto& reg = registry();
  aurora::MutexLock lock(reg.internMutex);
  auto it = reg.encodings.find(encoding);
  if (it == reg.encodings.end()) it = reg.encodings.emplace(encoding).first;
  return it->c_str();
}

bool addMethod(Class cls, SEL sel, IMP imp, const char* encoding, MethodKind kind) {
  if (cls == nullptr) return false;
  requireMainThread("class_addMethod");
  const bool added = cls->table(kind).try_emplace(sel, Method{imp, encoding}).second;
  if (added) ++gMethodTablesGeneration;
  return added;
}

void hookMethod(Class cls, SEL sel, IMP replacement, const char* encoding, IMP* result, IMP (*inheritedCall)(Class)) {
  if (cls == nullptr) return;
  requireMainThread("MSHookMessageEx");
  auto& own = cls->instanceMethods;
  if (auto it = own.find(sel); it != own.end()) {
    checkEncoding(cls, sel, MethodKind::Instance, it->second.encoding, encoding);
    if (result != nullptr) *result = it->second.imp;
    it->second.imp = replacement;
    ++gMethodTablesGeneration;
    return;
  }
  const Method* inherited = findMethod(cls->superclass, sel, MethodKind::Instance);
  if (inherited == nullptr) return;  // nothing to replace
  checkEncoding(cls, sel, MethodKind::Instance, inherited->encoding, encoding);
  if (result != nullptr) *result = inheritedCall(cls);
  own.emplace(sel, Method{replacement, encoding});
  ++gMethodTablesGeneration;
}

namespace {

// A send the cache could not answer: the walk up the class chain, remembered.
[[gnu::noinline]] IMP lookupAndRemember(Class start, SEL sel, const char* encoding, MethodKind kind,
                                        Class receiverClass) {
  const Method* method = findMethod(start, sel, kind);
  if (method == nullptr) {
    const char* what = kind == MethodKind::Instance ? "instance" : "class";
    throw UnrecognizedSelector(describe(receiverClass, sel, kind) + ": unrecognized selector sent to " + what);
  }
  checkEncoding(receiverClass, sel, kind, method->encoding, encoding);
  start->cache(kind).remember(sel, *method);
  return method->imp;
}

}  // namespace

IMP lookupMethod(Class start, SEL sel, const char* encoding, MethodKind kind, Class receiverClass) {
  if (start != nullptr) {
    const Method* cached = start->cache(kind).find(sel);
    if (cached != nullptr && cached->encoding == encoding) return cached->imp;
  }
  return lookupAndRemember(start, sel, encoding, kind, receiverClass);
}

}  // namespace aurora::objc

// --- NSObject ---

NSObject::NSObject() : serial_(gNextSerial.fetch_add(1, std::memory_order_relaxed)) {}

bool NSObject::isKindOfClass(Class cls) const {
  for (Class c = isa_; c != nullptr; c = c->superclass) {
    if (c == cls) return true;
  }
  return false;
}

bool NSObject::respondsToSelector(SEL sel) const { return class_respondsToSelector(isa_, sel); }

id NSObject::performSelector(SEL sel) {
  static const SEL performSelectorSel = sel_registerName("performSelector:");
  return objc_msgSend<id, SEL>(this, performSelectorSel, sel);
}

namespace {

// -performSelector: answers both shapes of argument-less method.
id performSelectorImp(id self, SEL, SEL target) {
  using aurora::objc::MethodKind;
  Class cls = object_getClass(self);
  const Method* method = findMethod(cls, target, MethodKind::Instance);
  if (method == nullptr) {
    throw aurora::objc::UnrecognizedSelector(describe(cls, target, MethodKind::Instance) +
                                             ": unrecognized selector sent to instance");
  }
  if (method->encoding == aurora::objc::methodEncoding<void, id>()) {
    reinterpret_cast<void (*)(id, SEL)>(method->imp)(self, target);
    return nullptr;
  }
  checkEncoding(cls, target, MethodKind::Instance, method->encoding, aurora::objc::methodEncoding<id, id>());
  return reinterpret_cast<id (*)(id, SEL)>(method->imp)(self, target);
}

}  // namespace

Class NSObject::objcClass() {
  static const Class cls = [] {
    Class c = objc_registerClass("NSObject", nullptr, [] { return std::make_shared<NSObject>(); });
    class_addMethod(c, sel_registerName("performSelector:"), &performSelectorImp, "@@::");
    return c;
  }();
  return cls;
}

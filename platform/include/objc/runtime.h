// The object runtime: classes by name, selectors, method tables, and message
// sending through them.
//
// A class has a name, a superclass, a table of instance methods and a table of
// class methods; each method is an implementation (IMP) with its type encoding
// ("v@:" for a method that takes nothing and returns nothing). Sending a
// message looks the selector up from the receiver's class towards the root and
// calls what it finds, so replacing or adding a method really changes what
// every sender gets, including the platform's own layout machinery. Each class
// remembers what sends to it found; any change to any method table empties
// those memories, so the next send after a replacement reaches the new method.
//
//   Class pill = objc_getClass("MTStaticColorPillView");
//   objc_msgSend<void>(view, sel_registerName("layoutSubviews"));
//
// Signatures are checked, not trusted: an implementation is only ever called
// with the C++ signature its encoding declares. Adding, replacing and sending
// compare the encoding derived from the C++ function type with the method's
// and throw aurora::objc::SignatureMismatch on a difference. A message the
// class does not answer throws aurora::objc::UnrecognizedSelector naming the
// class and the selector. A message to nil does nothing and returns zero.
//
// Ownership: objects are reference counted with std::shared_ptr and weakly
// referenced with std::weak_ptr; an `id` is a plain pointer to an object that
// someone else keeps alive, as `self` is inside a method. Classes and
// selectors live for the life of the process.
//
// Threads: classes are registered, methods added and replaced, and messages
// sent on the main thread. Nothing here takes a lock.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "CoreGraphics/CGGeometry.h"

struct objc_class;
struct objc_selector;
class NSObject;

using Class = objc_class*;
using SEL = const objc_selector*;
using id = NSObject*;
using IMP = void (*)();
using NSInteger = long;
using NSUInteger = unsigned long;

SEL sel_registerName(std::string_view name);
const char* sel_getName(SEL sel);

// The class of that name, or nullptr when the process has none.
Class objc_getClass(const char* name);
const char* class_getName(Class cls);
Class class_getSuperclass(Class cls);
bool class_respondsToSelector(Class cls, SEL sel);
// The implementation instances of `cls` answer `sel` with, or nullptr.
IMP class_getMethodImplementation(Class cls, SEL sel);
Class object_getClass(const NSObject* object);
const char* object_getClassName(const NSObject* object);

// Defining classes. A class makes its instances with `factory`; a class given
// none makes them with its superclass's. Registering a name twice throws.
using ObjectFactory = std::shared_ptr<NSObject> (*)();
Class objc_registerClass(const char* name, Class superclass, ObjectFactory factory = nullptr);

// A new, uninitialised instance of `cls` ("alloc").
std::shared_ptr<NSObject> class_createInstance(Class cls);

namespace aurora::objc {

class UnrecognizedSelector : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class SignatureMismatch : public std::logic_error {
  using std::logic_error::logic_error;
};

enum class MethodKind { Instance, Class };

// A selector name as a template argument, for selector<"...">() below.
template <std::size_t N>
struct SelectorName {
  constexpr SelectorName(const char (&text)[N]) { std::copy_n(text, N, chars); }
  char chars[N];
};

// The selector of that name, registered once per name: @selector(name).
//   objc_msgSend<void>(view, aurora::objc::selector<"layoutSubviews">());
template <SelectorName Name>
SEL selector() {
  static const SEL sel = sel_registerName(Name.chars);
  return sel;
}

// Type encodings, interned: equal encodings are the same pointer.
const char* internEncoding(std::string_view encoding);

template <class T>
std::string encode() {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_void_v<U>)
    return "v";
  else if constexpr (std::is_same_v<U, bool>)
    return "B";
  else if constexpr (std::is_same_v<U, SEL>)
    return ":";
  else if constexpr (std::is_same_v<U, Class>)
    return "#";
  else if constexpr (std::is_pointer_v<U> && std::is_base_of_v<NSObject, std::remove_cv_t<std::remove_pointer_t<U>>>)
    return "@";
  else if constexpr (std::is_same_v<U, CGPoint>)
    return "{CGPoint=dd}";
  else if constexpr (std::is_same_v<U, CGSize>)
    return "{CGSize=dd}";
  else if constexpr (std::is_same_v<U, CGRect>)
    return "{CGRect={CGPoint=dd}{CGSize=dd}}";
  else if constexpr (std::is_same_v<U, double>)
    return "d";
  else if constexpr (std::is_same_v<U, float>)
    return "f";
  else if constexpr (std::is_integral_v<U> && std::is_signed_v<U>)
    return sizeof(U) == 8 ? "q" : sizeof(U) == 4 ? "i" : "c";
  else if constexpr (std::is_integral_v<U>)
    return sizeof(U) == 8 ? "Q" : sizeof(U) == 4 ? "I" : "C";
  else
    static_assert(sizeof(U) == 0, "no type encoding for this type");
}

// The encoding of a method R (Receiver, SEL, A...): "v@:" for void(id, SEL).
template <class R, class Receiver, class... A>
const char* methodEncoding() {
  static const char* const interned = internEncoding(((encode<R>() + encode<Receiver>() + ":") + ... + encode<A>()));
  return interned;
}

// The untyped core, shared by the typed templates below.
bool addMethod(Class cls, SEL sel, IMP imp, const char* encoding, MethodKind kind);
// `inheritedCall` makes, for a class that only inherits `sel`, the saved
// implementation that calls what the superclass answers at the time of the call.
void hookMethod(Class cls, SEL sel, IMP replacement, const char* encoding, IMP* result, IMP (*inheritedCall)(Class));
// The implementation `start` (or its superclasses) answer `sel` with. Throws
// UnrecognizedSelector or SignatureMismatch; `receiverClass` names the class in
// the message.
IMP lookupMethod(Class start, SEL sel, const char* encoding, MethodKind kind, Class receiverClass);

namespace detail {

// Saved implementations for hooks of inherited methods. A plain function
// pointer cannot carry the hooking class, so each hook takes a slot of its own.
template <class R, class... A>
struct InheritedCall {
  using Fn = R (*)(id, SEL, A...);
  static constexpr std::size_t kSlots = 16;
  static inline Class owners[kSlots] = {};
  static inline std::size_t used = 0;

  template <std::size_t I>
  static R call(id self, SEL sel, A... args) {
    Class super = class_getSuperclass(owners[I]);
    IMP imp = lookupMethod(super, sel, methodEncoding<R, id, A...>(), MethodKind::Instance, object_getClass(self));
    return reinterpret_cast<Fn>(imp)(self, sel, args...);
  }
  template <std::size_t... I>
  static IMP slot(std::size_t i, std::index_sequence<I...>) {
    static constexpr Fn table[] = {&call<I>...};
    return reinterpret_cast<IMP>(table[i]);
  }
  static IMP claim(Class owner) {
    if (used == kSlots) throw std::length_error("too many hooks of inherited methods with one signature");
    owners[used] = owner;
    return slot(used++, std::make_index_sequence<kSlots>{});
  }
};

}  // namespace detail
}  // namespace aurora::objc

// The root class. Every runtime object derives from it; its runtime class
// (isa) is set when the object is made through class_createInstance, which is
// the only way objects are made.
class NSObject : public std::enable_shared_from_this<NSObject> {
 public:
  NSObject();
  virtual ~NSObject() = default;
  NSObject(const NSObject&) = delete;
  NSObject& operator=(const NSObject&) = delete;

  static Class objcClass();

  Class isa() const { return isa_; }
  bool isKindOfClass(Class cls) const;
  bool respondsToSelector(SEL sel) const;
  // Process-wide creation order of this object; trace ids come from it.
  std::uint64_t serial() const { return serial_; }

  // -performSelector: sent through the runtime; the selector's method must
  // take no arguments and return nothing or an object.
  id performSelector(SEL sel);

 private:
  friend std::shared_ptr<NSObject> class_createInstance(Class cls);
  Class isa_ = nullptr;
  std::uint64_t serial_;
};

// Adds an instance method. Refuses (false) a selector the class itself
// implements; overrides one it only inherits. Does nothing given no class.
// Throws SignatureMismatch when `types` is not the encoding of `imp`'s type.
template <class R, class... A>
bool class_addMethod(Class cls, SEL sel, R (*imp)(id, SEL, A...), const char* types) {
  const char* encoding = aurora::objc::methodEncoding<R, id, A...>();
  if (aurora::objc::internEncoding(types) != encoding) {
    throw aurora::objc::SignatureMismatch(std::string("class_addMethod: types \"") + types +
                                          "\" do not match the implementation's \"" + encoding + "\"");
  }
  return aurora::objc::addMethod(cls, sel, reinterpret_cast<IMP>(imp), encoding, aurora::objc::MethodKind::Instance);
}

// Adds a class method (such as +layerClass), with the same rules.
template <class R, class... A>
bool class_addClassMethod(Class cls, SEL sel, R (*imp)(Class, SEL, A...)) {
  return aurora::objc::addMethod(cls, sel, reinterpret_cast<IMP>(imp), aurora::objc::methodEncoding<R, Class, A...>(),
                                 aurora::objc::MethodKind::Class);
}

// Sends a message. Nil receivers do nothing and return zero.
template <class R, class... A>
R objc_msgSend(id self, SEL sel, A... args) {
  if (self == nullptr) {
    if constexpr (std::is_void_v<R>)
      return;
    else
      return R{};
  }
  Class cls = self->isa();
  IMP imp = aurora::objc::lookupMethod(cls, sel, aurora::objc::methodEncoding<R, id, A...>(),
                                       aurora::objc::MethodKind::Instance, cls);
  return reinterpret_cast<R (*)(id, SEL, A...)>(imp)(self, sel, args...);
}

// Sends a message to the superclass of `definingClass` ([super ...] inside a
// method of `definingClass`).
template <class R, class... A>
R objc_msgSendSuper(Class definingClass, id self, SEL sel, A... args) {
  if (self == nullptr) {
    if constexpr (std::is_void_v<R>)
      return;
    else
      return R{};
  }
  IMP imp =
      aurora::objc::lookupMethod(class_getSuperclass(definingClass), sel, aurora::objc::methodEncoding<R, id, A...>(),
                                 aurora::objc::MethodKind::Instance, self->isa());
  return reinterpret_cast<R (*)(id, SEL, A...)>(imp)(self, sel, args...);
}

// Sends a class message (+layerClass).
template <class R, class... A>
R objc_msgSendClass(Class cls, SEL sel, A... args) {
  IMP imp = aurora::objc::lookupMethod(cls, sel, aurora::objc::methodEncoding<R, Class, A...>(),
                                       aurora::objc::MethodKind::Class, cls);
  return reinterpret_cast<R (*)(Class, SEL, A...)>(imp)(cls, sel, args...);
}

// `object` as a T when its runtime class is T's or a subclass of it, else nullptr.
template <class T>
T* objc_cast(NSObject* object) {
  return object != nullptr && object->isKindOfClass(T::objcClass()) ? static_cast<T*>(object) : nullptr;
}

// A strong reference to an object known to be alive.
template <class T>
std::shared_ptr<T> objc_retain(T* object) {
  if (object == nullptr) return nullptr;
  return std::static_pointer_cast<T>(static_cast<NSObject*>(object)->shared_from_this());
}

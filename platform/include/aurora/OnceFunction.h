// OnceFunction: a move-only callable that runs at most once.
//
// Posted tasks and animation completions are OnceFunctions: running one
// consumes it, so a completion can never run twice and whatever it captured is
// released as soon as it has run. Repeating work (a timer's block) uses
// std::function instead.
//
//   aurora::OnceFunction<void(bool)> done = [](bool finished) { ... };
//   std::move(done)(true);   // done is empty afterwards
//
// A callable of up to four pointers' size that moves without throwing (a
// lambda holding a strong or weak reference and a little more) is kept inside
// the OnceFunction; a larger one on the heap. Either way running consumes it.
//
// Not thread-safe by itself; it is handed from thread to thread by its owner.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace aurora {

template <class Signature>
class OnceFunction;

template <class R, class... Args>
class OnceFunction<R(Args...)> {
 public:
  OnceFunction() = default;
  OnceFunction(std::nullptr_t) {}

  template <class F>
  requires(!std::is_same_v<std::decay_t<F>, OnceFunction> && std::is_invocable_r_v<R, std::decay_t<F>&&, Args...>)
      OnceFunction(F&& f) {
    using Fn = std::decay_t<F>;
    if constexpr (kKeptInside<Fn>) {
      ::new (static_cast<void*>(storage_)) Fn(std::forward<F>(f));
    } else {
      ::new (static_cast<void*>(storage_)) Fn*(new Fn(std::forward<F>(f)));
    }
    ops_ = &kOps<Fn>;
  }

  OnceFunction(OnceFunction&& other) noexcept { takeFrom(other); }
  OnceFunction& operator=(OnceFunction&& other) noexcept {
    if (this != &other) {
      reset();
      takeFrom(other);
    }
    return *this;
  }
  ~OnceFunction() { reset(); }

  explicit operator bool() const { return ops_ != nullptr; }

  // Runs the callable and leaves this object empty. Must not be empty.
  R operator()(Args... args) && {
    const Ops* ops = std::exchange(ops_, nullptr);
    return ops->run(storage_, std::forward<Args>(args)...);
  }

 private:
  static constexpr std::size_t kInsideSize = 4 * sizeof(void*);
  template <class Fn>
  static constexpr bool kKeptInside = sizeof(Fn) <= kInsideSize &&
                                      alignof(Fn) <= alignof(void*) && std::is_nothrow_move_constructible_v<Fn>;

  struct Ops {
    // Runs the callable, which is destroyed once it returns or throws.
    R (*run)(void* storage, Args&&... args);
    // Moves the callable from one storage to another, leaving none behind.
    void (*move)(void* from, void* to) noexcept;
    void (*destroy)(void* storage) noexcept;
  };

  template <class Fn>
  static Fn* inside(void* storage) {
    return std::launder(static_cast<Fn*>(storage));
  }
  template <class Fn>
  static Fn* onHeap(void* storage) {
    return *std::launder(static_cast<Fn**>(storage));
  }
  template <class Fn>
  static R run(void* storage, Args&&... args) {
    if constexpr (kKeptInside<Fn>) {
      // Taken out first: the call may refill the OnceFunction that held it.
      Fn fn(std::move(*inside<Fn>(storage)));
      inside<Fn>(storage)->~Fn();
      return std::invoke(std::move(fn), std::forward<Args>(args)...);
    } else {
      const std::unique_ptr<Fn> fn(onHeap<Fn>(storage));
      return std::invoke(std::move(*fn), std::forward<Args>(args)...);
    }
  }
  template <class Fn>
  static void move(void* from, void* to) noexcept {
    if constexpr (kKeptInside<Fn>) {
      ::new (to) Fn(std::move(*inside<Fn>(from)));
      inside<Fn>(from)->~Fn();
    } else {
      ::new (to) Fn*(onHeap<Fn>(from));
    }
  }
  template <class Fn>
  static void destroy(void* storage) noexcept {
    if constexpr (kKeptInside<Fn>) {
      inside<Fn>(storage)->~Fn();
    } else {
      delete onHeap<Fn>(storage);
    }
  }
  template <class Fn>
  static constexpr Ops kOps{&run<Fn>, &move<Fn>, &destroy<Fn>};

  void reset() noexcept {
    if (ops_ != nullptr) std::exchange(ops_, nullptr)->destroy(storage_);
  }
  void takeFrom(OnceFunction& other) noexcept {
    if (other.ops_ == nullptr) return;
    other.ops_->move(other.storage_, storage_);
    ops_ = std::exchange(other.ops_, nullptr);
  }

  alignas(void*) unsigned char storage_[kInsideSize];
  const Ops* ops_ = nullptr;
};

using OnceClosure = OnceFunction<void()>;

}  // namespace aurora

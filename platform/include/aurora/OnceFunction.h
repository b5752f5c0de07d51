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
// Not thread-safe by itself; it is handed from thread to thread by its owner.
#pragma once

#include <functional>
#include <memory>
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
  OnceFunction(F&& f) : impl_(std::make_unique<Impl<std::decay_t<F>>>(std::forward<F>(f))) {}

  OnceFunction(OnceFunction&&) noexcept = default;
  OnceFunction& operator=(OnceFunction&&) noexcept = default;

  explicit operator bool() const { return impl_ != nullptr; }

  // Runs the callable and leaves this object empty. Must not be empty.
  R operator()(Args... args) && {
    auto impl = std::move(impl_);
    return impl->call(std::forward<Args>(args)...);
  }

 private:
  struct Base {
    virtual ~Base() = default;
    virtual R call(Args... args) = 0;
  };
  template <class F>
  struct Impl final : Base {
    explicit Impl(F&& f) : fn(std::move(f)) {}
    explicit Impl(const F& f) : fn(f) {}
    R call(Args... args) override { return std::invoke(std::move(fn), std::forward<Args>(args)...); }
    F fn;
  };
  std::unique_ptr<Base> impl_;
};

using OnceClosure = OnceFunction<void()>;

}  // namespace aurora

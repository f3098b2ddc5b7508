// How a call reaches a library object from Python: the object must have been constructed (a
// class's __new__ without __init__ leaves none: TypeError naming the class, raised where pybind11
// loads the object, see module.cpp and the node casters below), its lock is taken
// (shared for calls that only read, alone for calls that change it) without ever waiting for it
// while holding the interpreter lock, and long computations run with the interpreter lock released.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <type_traits>
#include <utility>

#include "autodiff/element.hpp"
#include "autodiff/matrix.hpp"
#include "autodiff/scalar.hpp"
#include "core/object_lock.hpp"
#include "core/types.hpp"

namespace pybind11::detail {

// An autodiff node is passed by its shared owner, which an object Python built without __init__
// lacks: TypeError naming its class, rather than the RuntimeError pybind11 raises about holders.
template <typename Node>
class node_caster : public copyable_holder_caster<Node, std::shared_ptr<Node>> {
 public:
  bool load(handle src, bool convert) {
    if (src && isinstance<Node>(src) && !is_holder_constructed(src.ptr())) {
      throw type_error(type::handle_of(src).attr("__name__").template cast<std::string>() +
                       " object is not initialized: its __init__ was never called");
    }
    return copyable_holder_caster<Node, std::shared_ptr<Node>>::load(src, convert);
  }
};

template <>
class type_caster<std::shared_ptr<tarnwick::Element>> : public node_caster<tarnwick::Element> {};
template <>
class type_caster<std::shared_ptr<tarnwick::Scalar>> : public node_caster<tarnwick::Scalar> {};
template <>
class type_caster<std::shared_ptr<tarnwick::Matrix>> : public node_caster<tarnwick::Matrix> {};

}  // namespace pybind11::detail

namespace tarnwick::bindings {

enum class Access { read, write };
enum class Gil { keep, release };

// For a method that takes self as a Python object (to read its class or its __dict__): TypeError
// naming the class when its __init__ never ran, as every other method raises.
template <typename T>
void require_constructed(pybind11::handle self) {
  static_cast<void>(self.cast<const T*>());
}

// The object's lock for one call. Waiting happens only with the interpreter lock released: a thread
// holding the object's lock may need the interpreter lock (a Python activation) before letting go.
// A thread that already holds the lock alone (a Python callback re-entering its own object) goes
// on without it; the library refuses what it cannot do re-entrantly.
template <Access A>
class Hold {
 public:
  explicit Hold(ObjectLock& lock) {
    if (lock.held_here()) return;
    lock_ = Lock(lock, std::try_to_lock);
    if (!lock_.owns_lock()) {
      pybind11::gil_scoped_release unlocked;
      lock_.lock();
    }
  }

 private:
  using Lock = std::conditional_t<A == Access::read, std::shared_lock<ObjectLock>, std::unique_lock<ObjectLock>>;
  Lock lock_;
};

template <typename T>
concept Lockable = requires(T& t) { t.object_lock; };

// Runs f(object) under the object's lock (when its class has one), with the interpreter lock
// released during f when G says so. f must not touch Python objects when it is released. self is
// never null: pybind11 refuses an object whose __init__ never ran before the call gets here.
template <Access A, Gil G = Gil::keep, typename T, typename F>
decltype(auto) with_object(T* self, F&& f) {
  T& object = *self;
  auto run = [&]() -> decltype(auto) {
    if constexpr (G == Gil::release) {
      pybind11::gil_scoped_release unlocked;
      return std::forward<F>(f)(object);
    } else {
      return std::forward<F>(f)(object);
    }
  };
  if constexpr (Lockable<std::remove_const_t<T>>) {
    Hold<A> hold(const_cast<std::remove_const_t<T>&>(object).object_lock);
    return run();
  } else {
    return run();
  }
}

namespace detail {

// The class Python sees: Self when given (a member declared in a base class that Python does not
// see, as pybind11's method_adaptor does), else the member's own class.
template <typename Self, typename C>
using Visible = std::conditional_t<std::is_void_v<Self>, C, Self>;

template <auto Method, Access A, Gil G, typename Object, typename R, typename... Args>
struct Call {
  static R call(Object* self, Args... args) {
    return with_object<A, G>(self, [&](Object& object) -> R { return (object.*Method)(std::forward<Args>(args)...); });
  }
};

template <auto Method, Access A, Gil G, typename Self, typename Signature>
struct Bound;

template <auto Method, Access A, Gil G, typename Self, typename R, typename C, typename... Args>
struct Bound<Method, A, G, Self, R (C::*)(Args...)> : Call<Method, A, G, Visible<Self, C>, R, Args...> {};

template <auto Method, Access A, Gil G, typename Self, typename R, typename C, typename... Args>
struct Bound<Method, A, G, Self, R (C::*)(Args...) const> : Call<Method, A, G, const Visible<Self, C>, R, Args...> {};

template <auto Member, typename Self, typename Pointer>
struct Field;

template <auto Member, typename Self, typename C, typename T>
struct Field<Member, Self, T C::*> {
  using V = Visible<Self, C>;
  static T get(const V* self) {
    return with_object<Access::read>(self, [](const V& object) { return object.*Member; });
  }
  static void set(V* self, T value) {
    with_object<Access::write>(self, [&](V& object) { object.*Member = std::move(value); });
  }
};

}  // namespace detail

// A member function as a Python method: reads<&KNN::predict, Gil::release>() takes the object's
// lock shared and releases the interpreter lock while predicting; writes<...>() takes it alone.
template <auto Method, Gil G = Gil::keep, typename Self = void>
constexpr auto reads() {
  return &detail::Bound<Method, Access::read, G, Self, decltype(Method)>::call;
}

template <auto Method, Gil G = Gil::keep, typename Self = void>
constexpr auto writes() {
  return &detail::Bound<Method, Access::write, G, Self, decltype(Method)>::call;
}

// A data member as a property: read as a copy under the shared lock, assigned under the lock alone.
template <auto Member, typename Self = void>
constexpr auto getter() {
  return &detail::Field<Member, Self, decltype(Member)>::get;
}

template <auto Member, typename Self = void>
constexpr auto setter() {
  return &detail::Field<Member, Self, decltype(Member)>::set;
}

// Free functions release the interpreter lock only for inputs large enough that the computation
// outweighs releasing and taking it back (a few tens of microseconds of work).
inline constexpr std::size_t kReleaseWork = std::size_t(1) << 14;

inline std::size_t work_of(const DoubleMatrix& m) { return m.empty() ? 0 : m.size() * m.front().size(); }
inline std::size_t work_of(const DoubleVector& v) { return v.size(); }
template <typename T>
std::size_t work_of(const T&) {
  return 0;
}

namespace detail {

template <auto Function, typename Signature>
struct Free;

template <auto Function, typename R, typename... Args>
struct Free<Function, R (*)(Args...)> {
  static R call(Args... args) {
    if ((work_of(args) + ... + std::size_t(0)) >= kReleaseWork) {
      pybind11::gil_scoped_release unlocked;
      return Function(std::forward<Args>(args)...);
    }
    return Function(std::forward<Args>(args)...);
  }
};

}  // namespace detail

template <auto Function>
constexpr auto released() {
  return &detail::Free<Function, decltype(Function)>::call;
}

}  // namespace tarnwick::bindings

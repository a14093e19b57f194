// Shared libraries opened when first needed rather than when the program starts. A library the
// program links is loaded and relocated, with everything it depends on, before main() runs;
// one that is only needed for some work (decoding, sound output, the network) costs nothing
// until that work begins.
//
// Each function used is an object of the C function's own name, declared (MELVO_ON_DEMAND) in
// the namespace of the code that calls it. That code calls it exactly as it would call the C
// function; the first call opens the library and looks the function up, later calls cost one
// atomic load more than a direct call. As the library itself is not linked, a call that misses
// the objects fails to link rather than loading the library behind our back.
#pragma once

#include <atomic>
#include <mutex>
#include <utility>

namespace base::ondemand {

// Runs `work` (opening libraries ahead of their first use, say) on a thread of its own and
// returns at once. The program's end waits for it: a library opened while the C runtime is
// already finalising the loaded ones would run their constructors a second time, and GLib and
// libgomp end the program with an assertion when that happens.
void runInBackground(void (*work)());

class Library {
 public:
  // `fileName` is the soname. `onOpen` runs once with the handle, before any function of the
  // library is used. `first` (may be null) is opened before this one.
  constexpr Library(const char* fileName, void (*onOpen)(void* handle) = nullptr,
                    Library* first = nullptr)
      : fileName_(fileName), onOpen_(onOpen), first_(first) {}
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // Opens the library once; later calls give the first answer. Safe from any thread.
  bool open();
  // The address of `name`, opening the library first. A library that cannot be opened or that
  // lacks the function ends the program with a message: callers check open() before they start
  // work that needs the library.
  void* resolve(const char* name);
  const char* fileName() const { return fileName_; }
  // Why opening failed ("" when it did not).
  const char* error() const { return error_; }

 private:
  const char* fileName_;
  void (*onOpen_)(void*);
  Library* first_;
  std::once_flag once_;
  void* handle_ = nullptr;
  // Kept without a destructor: a thread may still be using the library while the program ends.
  char error_[256] = {};
};

template <typename F>
class Entry;

template <typename R, typename... A>
class Entry<R(A...)> {
 public:
  using Fn = R (*)(A...);
  constexpr Entry(Library& library, const char* name) : library_(library), name_(name) {}
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

  R operator()(A... args) const { return function()(std::forward<A>(args)...); }

  Fn function() const {
    Fn fn = fn_.load(std::memory_order_acquire);
    if (fn) return fn;
    fn = reinterpret_cast<Fn>(library_.resolve(name_));
    fn_.store(fn, std::memory_order_release);
    return fn;
  }

 private:
  Library& library_;
  const char* name_;
  mutable std::atomic<Fn> fn_{nullptr};
};

// C functions with a variable argument list.
template <typename R, typename... A>
class Entry<R(A..., ...)> {
 public:
  using Fn = R (*)(A..., ...);
  constexpr Entry(Library& library, const char* name) : library_(library), name_(name) {}
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

  template <typename... V>
  R operator()(A... args, V... rest) const {
    return function()(std::forward<A>(args)..., rest...);
  }

  Fn function() const {
    Fn fn = fn_.load(std::memory_order_acquire);
    if (fn) return fn;
    fn = reinterpret_cast<Fn>(library_.resolve(name_));
    fn_.store(fn, std::memory_order_release);
    return fn;
  }

 private:
  Library& library_;
  const char* name_;
  mutable std::atomic<Fn> fn_{nullptr};
};

}  // namespace base::ondemand

// Declares the on-demand object for C function `name` of `library` (a base::ondemand::Library).
#define MELVO_ON_DEMAND(library, name) MELVO_ON_DEMAND_TYPED(library, name, decltype(::name))
// The same with the function's type spelled out, for functions declared with attributes a
// template argument cannot carry.
#define MELVO_ON_DEMAND_TYPED(library, name, type) \
  inline ::base::ondemand::Entry<type> name {      \
    library, #name                                 \
  }

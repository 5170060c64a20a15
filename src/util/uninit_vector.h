// A vector whose resize leaves new elements of trivial types unwritten, for
// arrays sized first and then filled completely.
#pragma once

#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace quillet {

// Value-initialises nothing: `resize(n)` gives new trivial elements no
// value, so a buffer that is written in full is not zero-filled first.
// Construction with arguments (push_back, insert) is unchanged.
template <typename T>
class DefaultInitAllocator : public std::allocator<T> {
 public:
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };
  DefaultInitAllocator() = default;
  template <typename U>
  DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

  template <typename U>
  void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    std::allocator_traits<std::allocator<T>>::construct(static_cast<std::allocator<T>&>(*this), at,
                                                        std::forward<Args>(args)...);
  }
};

template <typename T>
using UninitVector = std::vector<T, DefaultInitAllocator<T>>;

}  // namespace quillet

// Memory for secret material: every buffer is overwritten before it goes back
// to the heap, so a released block never carries the secret's bytes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace AliCloudWrapper {

// Overwrites n bytes at p in a way the compiler may not optimise away.
void SecureWipe(void* p, size_t n);

template <typename T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() noexcept = default;
  template <typename U>
  WipingAllocator(const WipingAllocator<U>&) noexcept {}  // NOLINT: allocators convert implicitly

  T* allocate(size_t n) { return std::allocator<T>().allocate(n); }
  void deallocate(T* p, size_t n) noexcept {
    SecureWipe(p, n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <typename U>
  bool operator==(const WipingAllocator<U>&) const noexcept { return true; }
  template <typename U>
  bool operator!=(const WipingAllocator<U>&) const noexcept { return false; }
};

// A text whose heap buffers are wiped when released. Short texts live inside
// the object; their container's allocator wipes them (see EvLog's registry).
using SecretText = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

}  // namespace AliCloudWrapper

// Huge-page pool: memory for the millions of small objects that loading a
// trace makes at once, carved from 2 MB chunks that the kernel may back with
// huge pages, so that first touching them costs one fault per chunk instead
// of one per 4 kB page (on a virtual machine, the larger part of a load).
//
//   platform::HugePageAllocator<Point> pool;
//   boost::shared_ptr<Point> point = boost::allocate_shared<Point>(pool, record);
//
// Each thread fills a chunk of its own; an object may be freed on any thread.
// A chunk goes back to the system once every object in it is freed; the space
// of a freed object is not reused before that, so the pool suits objects that
// are made together and mostly released together (the points of one trace).
// Under AddressSanitizer the pool hands out ordinary heap memory, so that the
// leak checker still sees every pointer stored in these objects.
#pragma once

#include <cstddef>
#include <new>

namespace platform {

/// Memory for `bytes`, aligned for any object; throws std::bad_alloc.
void* hugePageAllocate(std::size_t bytes);
/// Frees memory from hugePageAllocate; nullptr is ignored.
void hugePageFree(void* memory) noexcept;
/// Bytes this thread has carved from chunks so far, freed objects included
/// (0 under AddressSanitizer, where the heap serves): for measuring.
std::size_t hugePageBytesCarvedByThisThread() noexcept;

/// A stateless allocator over the pool, for allocate_shared and containers.
template <class T>
struct HugePageAllocator {
  using value_type = T;

  HugePageAllocator() = default;
  template <class U>
  HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(hugePageAllocate(n * sizeof(T)));
  }
  void deallocate(T* memory, std::size_t) noexcept { hugePageFree(memory); }

  template <class U>
  friend bool operator==(const HugePageAllocator&, const HugePageAllocator<U>&) noexcept {
    return true;
  }
};

}  // namespace platform

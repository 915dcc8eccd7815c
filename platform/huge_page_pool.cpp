#include "platform/huge_page_pool.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>

namespace platform {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapOnly = true;
#else
constexpr bool kHeapOnly = false;
#endif

constexpr std::size_t kChunkSize = std::size_t{2} << 20;  // one huge page on x86-64
constexpr std::size_t kLargestShared = kChunkSize / 8;    // larger objects get a chunk of their own
constexpr std::size_t kAlignment = alignof(std::max_align_t);

// At the start of every chunk, so that an object finds its chunk by masking
// its address. `references` counts the objects in the chunk plus one while it
// is a thread's current chunk; whoever drops it to zero unmaps the chunk.
struct alignas(kAlignment) ChunkHeader {
  std::atomic<std::size_t> references;
  std::size_t size;  ///< bytes mapped
};

// `size` bytes (a multiple of the chunk size) aligned to the chunk size, with
// one reference.
ChunkHeader* mapChunk(std::size_t size) {
  const std::size_t span = size + kChunkSize;  // room to cut an aligned range from
  void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto begin = reinterpret_cast<std::uintptr_t>(raw);
  const auto aligned = (begin + kChunkSize - 1) & ~(kChunkSize - 1);
  if (aligned > begin) ::munmap(raw, aligned - begin);
  if (begin + span > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), begin + span - (aligned + size));
  // Only a hint: where huge pages are off, the chunk works with small ones.
  ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
  return new (reinterpret_cast<void*>(aligned)) ChunkHeader{{1}, size};
}

void release(ChunkHeader* chunk) noexcept {
  if (chunk->references.fetch_sub(1, std::memory_order_acq_rel) == 1) ::munmap(chunk, chunk->size);
}

// The chunk this thread carves objects from.
struct CurrentChunk {
  ChunkHeader* chunk = nullptr;
  unsigned char* free = nullptr;
  unsigned char* end = nullptr;
  std::size_t carved = 0;
  bool retired = false;  ///< the thread let go of its chunk
};
// Initial-exec: every pooled point reaches this, and the default model for a
// shared library calls into the loader on each access. The library is linked,
// not loaded later, so its few bytes fit the static thread storage.
[[gnu::tls_model("initial-exec")]] thread_local CurrentChunk current;

// Lets go of the thread's chunk when the thread ends. Objects may still be made
// after that (logging from exit handlers and later thread-local destructors),
// when the chunk may be unmapped: they get chunks of their own. A separate
// object, since stores to an object in its own destructor may be dropped.
struct ChunkRelease {
  ~ChunkRelease() {
    if (current.chunk != nullptr) release(current.chunk);
    current.chunk = nullptr;
    current.free = current.end = nullptr;
    current.retired = true;
  }
};
thread_local ChunkRelease chunkRelease;

unsigned char* firstByte(ChunkHeader* chunk) { return reinterpret_cast<unsigned char*>(chunk) + sizeof(ChunkHeader); }

}  // namespace

[[gnu::hot]] void* hugePageAllocate(std::size_t bytes) {
  if constexpr (kHeapOnly) return ::operator new(bytes);
  bytes = bytes == 0 ? kAlignment : (bytes + kAlignment - 1) / kAlignment * kAlignment;
  CurrentChunk& c = current;
  if (bytes > kLargestShared || c.retired) {
    const std::size_t size = (sizeof(ChunkHeader) + bytes + kChunkSize - 1) / kChunkSize * kChunkSize;
    return firstByte(mapChunk(size));  // its one reference is the object's
  }
  if (static_cast<std::size_t>(c.end - c.free) < bytes) {
    ChunkHeader* fresh = mapChunk(kChunkSize);
    if (c.chunk != nullptr) {
      release(c.chunk);
    } else {
      [[maybe_unused]] volatile ChunkRelease* registered = &chunkRelease;  // first chunk: release it at thread end
    }
    c.chunk = fresh;
    c.free = firstByte(fresh);
    c.end = reinterpret_cast<unsigned char*>(fresh) + kChunkSize;
  }
  c.chunk->references.fetch_add(1, std::memory_order_relaxed);
  void* at = c.free;
  c.free += bytes;
  c.carved += bytes;
  return at;
}

std::size_t hugePageBytesCarvedByThisThread() noexcept { return current.carved; }

void hugePageFree(void* memory) noexcept {
  if (memory == nullptr) return;
  if constexpr (kHeapOnly) {
    ::operator delete(memory);
  } else {
    release(reinterpret_cast<ChunkHeader*>(reinterpret_cast<std::uintptr_t>(memory) & ~(kChunkSize - 1)));
  }
}

}  // namespace platform

#include "platform/huge_page_pool.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

struct Record {
  std::uint64_t values[6];
};

// Objects of a few sizes, more than one chunk holds, each filled with its number.
std::vector<std::pair<unsigned char*, std::size_t>> allocateMany(std::size_t count) {
  std::vector<std::pair<unsigned char*, std::size_t>> blocks;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t size = 16 + (i % 7) * 24;
    auto* block = static_cast<unsigned char*>(platform::hugePageAllocate(size));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(std::max_align_t), 0u);
    std::memset(block, static_cast<int>(i & 0xFF), size);
    blocks.emplace_back(block, size);
  }
  return blocks;
}

bool intact(const std::vector<std::pair<unsigned char*, std::size_t>>& blocks) {
  for (std::size_t i = 0; i < blocks.size(); ++i)
    for (std::size_t b = 0; b < blocks[i].second; ++b)
      if (blocks[i].first[b] != static_cast<unsigned char>(i & 0xFF)) return false;
  return true;
}

TEST(HugePagePool, ObjectsKeepTheirBytesAndAreFreedInAnyOrder) {
  auto blocks = allocateMany(60000);  // about 5 MB: several chunks
  EXPECT_TRUE(intact(blocks));
  std::shuffle(blocks.begin(), blocks.end(), std::mt19937(7));
  for (std::size_t i = 0; i < blocks.size() / 2; ++i) platform::hugePageFree(blocks[i].first);
  // Objects beyond a chunk's share get one of their own.
  auto* large = static_cast<unsigned char*>(platform::hugePageAllocate(3u << 20));
  large[0] = 1;
  large[(3u << 20) - 1] = 2;
  platform::hugePageFree(large);
  for (std::size_t i = blocks.size() / 2; i < blocks.size(); ++i) platform::hugePageFree(blocks[i].first);
  platform::hugePageFree(nullptr);

  const auto shared = boost::allocate_shared<Record>(platform::HugePageAllocator<Record>(), Record{{1, 2, 3, 4, 5, 6}});
  EXPECT_EQ(shared->values[5], 6u);
}

TEST(HugePagePoolThreads, ObjectsMadeOnOneThreadAreFreedOnAnother) {
  std::vector<std::pair<unsigned char*, std::size_t>> first = allocateMany(40000), second;
  std::thread freer([&] {
    for (const auto& block : first) platform::hugePageFree(block.first);
  });
  std::thread maker([&] { second = allocateMany(40000); });
  freer.join();
  maker.join();
  EXPECT_TRUE(intact(second));
  for (const auto& block : second) platform::hugePageFree(block.first);
}

// Made before the thread's first pool object, so destroyed after the thread's
// current chunk: its destructor stands for logging from a late destructor.
struct MakesObjectsWhenDestroyed {
  bool* made = nullptr;
  ~MakesObjectsWhenDestroyed() {
    if (made == nullptr) return;
    const auto blocks = allocateMany(8);
    *made = intact(blocks);
    for (const auto& block : blocks) platform::hugePageFree(block.first);
  }
};

TEST(HugePagePoolThreads, ObjectsAreMadeAfterTheThreadsChunkIsGone) {
  bool made = false;
  std::thread([&] {
    thread_local MakesObjectsWhenDestroyed late;
    late.made = &made;
    // The only object of the chunk, freed: the chunk goes with the thread's hold on it.
    platform::hugePageFree(platform::hugePageAllocate(64));
  }).join();
  EXPECT_TRUE(made);
}

}  // namespace

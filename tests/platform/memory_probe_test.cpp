#include "platform/memory_probe.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>

#include "support/scratch_files.h"

namespace {

constexpr std::size_t kMiB = 1024 * 1024;

// Resident memory that can be returned to the system on demand.
class TouchedPages {
 public:
  explicit TouchedPages(std::size_t bytes) : bytes_(bytes) {
    data_ = ::mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data_ != MAP_FAILED) std::memset(data_, 1, bytes_);
  }
  ~TouchedPages() { release(); }
  bool ok() const { return data_ != MAP_FAILED; }
  void release() {
    if (data_ != MAP_FAILED) ::munmap(data_, bytes_);
    data_ = MAP_FAILED;
  }

 private:
  std::size_t bytes_;
  void* data_;
};

platform::BasicMemoryReading basicNow() {
  platform::BasicMemoryReading reading;
  EXPECT_TRUE(platform::linuxMemoryProbe().readBasic(reading));
  return reading;
}

TEST(MemoryProbe, ReadingsFollowTouchedMemoryAndAgreeWithTheSystem) {
  const platform::BasicMemoryReading before = basicNow();
  EXPECT_GT(before.inUseBytes, 0);
  EXPECT_GE(before.virtualSizeBytes, before.inUseBytes);
  platform::DetailedMemoryReading detailedBefore, during;
  ASSERT_TRUE(platform::linuxMemoryProbe().readDetailed(detailedBefore));
  const std::string meminfo = pt_test::fileBytes("/proc/meminfo");
  const std::uint64_t total = platform::detail::findKibField(meminfo, "MemTotal").value();
  const std::uint64_t available = platform::detail::findKibField(meminfo, "MemAvailable").value();
  EXPECT_NEAR(static_cast<double>(detailedBefore.freeBytes), static_cast<double>(available), 64.0 * kMiB);
  EXPECT_LT(detailedBefore.nonProcessBytes, total);
  EXPECT_GT(detailedBefore.dllsBytes, 0u) << "the program's own code is file-backed";
  EXPECT_GT(detailedBefore.reservedBytes, 0u);

  TouchedPages pages(64 * kMiB);
  ASSERT_TRUE(pages.ok());
  ASSERT_TRUE(platform::linuxMemoryProbe().readDetailed(during));
  const platform::BasicMemoryReading basic = basicNow();
  EXPECT_GE(basic.inUseBytes - before.inUseBytes, 60.0 * kMiB);
  EXPECT_GE(basic.virtualSizeBytes - before.virtualSizeBytes, 60.0 * kMiB);
  EXPECT_GE(basic.peakInUseBytes, basic.inUseBytes);
  EXPECT_GE(during.committedBytes, detailedBefore.committedBytes + 60 * kMiB);
  // Resident anonymous plus file-backed memory is the resident size.
  EXPECT_NEAR(static_cast<double>(during.committedBytes + during.dllsBytes), basic.inUseBytes, 8.0 * kMiB);

  pages.release();
  const platform::BasicMemoryReading after = basicNow();
  EXPECT_LE(after.inUseBytes, basic.inUseBytes - 60.0 * kMiB);
  EXPECT_GE(after.peakInUseBytes, basic.inUseBytes) << "the peak never falls";
}

TEST(MemoryProbe, PeakCatchesASpikeNoReadingSaw) {
  const platform::BasicMemoryReading before = basicNow();
  {
    TouchedPages spike(96 * kMiB);
    ASSERT_TRUE(spike.ok());
  }
  // Let the coarse clock tick so that the kernel's high-water mark is consulted.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GE(basicNow().peakInUseBytes, before.inUseBytes + 90.0 * kMiB);
}

TEST(MemoryProbe, ForkedChildReadsItsOwnMemory) {
  {
    TouchedPages spike(128 * kMiB);
    ASSERT_TRUE(spike.ok());
    basicNow();  // the statm file is open now, and the peak includes the spike
  }
  pid_t child = ::fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    // Growth, not size: a child may start with less resident memory than its parent.
    platform::BasicMemoryReading before, after;
    bool ok = platform::linuxMemoryProbe().readBasic(before);
    auto childMark = platform::detail::findKibField(pt_test::fileBytes("/proc/self/status"), "VmHWM");
    // The parent's spike is not the child's.
    ok = ok && childMark && before.peakInUseBytes <= static_cast<double>(*childMark) + 16.0 * kMiB;
    TouchedPages pages(128 * kMiB);
    ok = ok && pages.ok() && platform::linuxMemoryProbe().readBasic(after) &&
         after.inUseBytes >= before.inUseBytes + 120.0 * kMiB;
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child read its parent's memory";
}

// The descriptor the probe keeps on /proc/<pid>/statm, or -1.
int keptStatmDescriptor() {
  std::string wanted = "/proc/" + std::to_string(::getpid()) + "/statm";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    if (std::filesystem::read_symlink(entry.path(), error) == wanted) return std::stoi(entry.path().filename());
  }
  return -1;
}

TEST(MemoryProbe, SurvivesItsDescriptorBeingClosedOrReused) {
  basicNow();
  int kept = keptStatmDescriptor();
  ASSERT_GE(kept, 0);
  ::close(kept);  // as a careless library might
  EXPECT_GT(basicNow().inUseBytes, 0);

  kept = keptStatmDescriptor();
  ASSERT_GE(kept, 0);
  ::close(kept);
  int stranger = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(stranger, kept) << "the lowest free number is handed out again";
  EXPECT_GT(basicNow().inUseBytes, 0);
  char byte = 0;
  EXPECT_EQ(::pread(stranger, &byte, 1, 0), 1) << "the stranger's descriptor must stay open";
  ::close(stranger);
}

TEST(MemoryProbeParsing, StatmNeedsAllSevenFieldsAndDetailedCountersComeFromTheirFields) {
  using platform::detail::detailedFromProcText;
  const auto pages = platform::detail::parseStatm("2500 700 300 36 0 412 0\n").value();
  EXPECT_EQ(std::tie(pages.size, pages.resident), std::make_tuple(2500u, 700u));
  EXPECT_FALSE(platform::detail::parseStatm("2500 700 300"));
  EXPECT_FALSE(platform::detail::parseStatm("MemTotal: 12 kB"));
  EXPECT_FALSE(platform::detail::parseStatm(""));

  const char* status =
      "Name:\tprog\nVmPeak:\t  9000 kB\nVmSize:\t  8000 kB\nVmHWM:\t  3000 kB\nVmRSS:\t  2500 kB\n"
      "RssAnon:\t  1500 kB\nRssFile:\t   900 kB\nRssShmem:\t   100 kB\n";
  const char* meminfo = "MemTotal:  100000 kB\nMemFree:  20000 kB\nMemAvailable:  60000 kB\n";
  const auto reading = detailedFromProcText(status, meminfo).value();
  EXPECT_EQ(std::tie(reading.committedBytes, reading.reservedBytes, reading.freeBytes, reading.dllsBytes,
                     reading.nonProcessBytes),
            std::make_tuple(1500u * 1024, 5500u * 1024, 60000u * 1024, 1000u * 1024, 37500u * 1024));

  // A process larger than the system's used memory (a container's view) floors at 0.
  EXPECT_EQ(detailedFromProcText(status, "MemTotal: 3000 kB\nMemAvailable: 1000 kB\n").value().nonProcessBytes, 0u);

  EXPECT_FALSE(detailedFromProcText("VmSize: 1 kB\n", meminfo)) << "missing fields";
  EXPECT_FALSE(platform::detail::findKibField("VmRSSX:  5 kB\n", "VmRSS")) << "whole key only";
}

}  // namespace

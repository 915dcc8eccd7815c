#include "platform/memory_probe.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <ctime>
#include <mutex>

// Which Linux reading fills which counter:
//   basic.inUseBytes        /proc/self/statm, field 2 (resident pages)
//   basic.virtualSizeBytes  /proc/self/statm, field 1 (total program pages)
//   basic.peakInUseBytes    max(/proc/self/status VmHWM, refreshed once per
//                           clock tick; every resident size read); see PeakTracker
//   detailed.committed      /proc/self/status RssAnon
//   detailed.reserved       /proc/self/status VmSize - VmRSS
//   detailed.free           /proc/meminfo MemAvailable
//   detailed.dlls           /proc/self/status RssFile + RssShmem
//   detailed.nonProcess     /proc/meminfo MemTotal - MemAvailable - VmRSS, floored at 0

namespace platform {
namespace detail {

namespace {

bool parseUnsigned(std::string_view& text, std::uint64_t& value) {
  // Blanks skipped by hand: find_first_not_of searches its set once per character.
  std::size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  if (start == text.size()) return false;
  text.remove_prefix(start);
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{}) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

}  // namespace

[[gnu::hot]] std::optional<StatmPages> parseStatm(std::string_view text) {
  StatmPages pages;
  if (!parseUnsigned(text, pages.size) || !parseUnsigned(text, pages.resident)) return std::nullopt;
  // The remaining five fields are not used but must be there: a short or
  // garbled read (a reused descriptor) must not pass for a reading.
  std::uint64_t ignored = 0;
  for (int i = 0; i < 5; ++i) {
    if (!parseUnsigned(text, ignored)) return std::nullopt;
  }
  return pages;
}

std::optional<std::uint64_t> findKibField(std::string_view text, std::string_view key) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == ':') {
      line.remove_prefix(key.size() + 1);
      std::uint64_t kib = 0;
      if (!parseUnsigned(line, kib)) return std::nullopt;
      return kib * 1024;
    }
    pos = eol + 1;
  }
  return std::nullopt;
}

}  // namespace detail

namespace {

// A /proc file kept open so that a reading is one system call instead of
// three (open, read, close).
//
// /proc/self is resolved when the file is opened, so a forked child would go
// on reading its parent: every kept file is dropped in the child (see
// dropInChild). A descriptor whose read fails, or whose text does not parse
// while it no longer is the file we opened (someone closed our number and it
// was reused), is replaced under the mutex. A number that may now belong to
// someone else is abandoned, never closed.
class KeptProcFile {
 public:
  explicit KeptProcFile(const char* path) : path_(path) {}
  KeptProcFile(const KeptProcFile&) = delete;
  KeptProcFile& operator=(const KeptProcFile&) = delete;

  /// Reads the file into `buffer` and returns `parse` of its text, an optional.
  template <class Parse>
  auto readParsed(char* buffer, std::size_t capacity, Parse parse) -> decltype(parse(std::string_view())) {
    int fd = fd_.load(std::memory_order_acquire);
    if (fd < 0) fd = replace(fd, false);
    for (int attempt = 0; attempt < 2 && fd >= 0; ++attempt) {
      int error = 0;
      long length = readAll(fd, buffer, capacity, error);
      if (length >= 0) {
        if (auto parsed = parse(std::string_view(buffer, static_cast<std::size_t>(length)))) return parsed;
        if (isStillOurs(fd)) return {};  // our file, but a text we cannot read: retrying will not help
        fd = replace(fd, false);
      } else {
        // EBADF: the number is no longer ours, and closing it could hit someone else's file.
        fd = replace(fd, error != EBADF);
      }
    }
    return {};
  }

  // Held across fork() so that the child never inherits a locked mutex.
  void lockForFork() { mutex_.lock(); }
  void unlockInParent() { mutex_.unlock(); }
  /// In a forked child only one thread runs, so closing here races with nothing.
  void dropInChild() {
    int fd = fd_.exchange(-1);
    if (fd >= 0) ::close(fd);
    mutex_.unlock();
  }

 private:
  static long readAll(int fd, char* buffer, std::size_t capacity, int& error) {
    // These files are generated whole on each read, so a read that does not
    // fill the buffer has reached the end: no second call to confirm it.
    std::size_t length = 0;
    while (length < capacity) {
      std::size_t wanted = capacity - length;
      ssize_t n = ::pread(fd, buffer + length, wanted, static_cast<off_t>(length));
      if (n < 0) {
        if (errno == EINTR) continue;
        error = errno;
        return -1;
      }
      length += static_cast<std::size_t>(n);
      if (static_cast<std::size_t>(n) < wanted) break;
    }
    return static_cast<long>(length);
  }

  bool isStillOurs(int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    struct stat now {};
    return fd_.load(std::memory_order_relaxed) == fd && ::fstat(fd, &now) == 0 && now.st_dev == opened_.st_dev &&
           now.st_ino == opened_.st_ino;
  }

  /// Replaces `failed` unless another thread already has; returns the current descriptor.
  int replace(int failed, bool closeFailed) {
    std::lock_guard<std::mutex> lock(mutex_);
    int current = fd_.load(std::memory_order_acquire);
    if (current != failed) return current;
    if (current >= 0 && closeFailed) ::close(current);
    int fresh = ::open(path_, O_RDONLY | O_CLOEXEC);
    if (fresh >= 0 && ::fstat(fresh, &opened_) != 0) {
      ::close(fresh);
      fresh = -1;
    }
    fd_.store(fresh, std::memory_order_release);
    return fresh;
  }

  const char* path_;
  std::atomic<int> fd_{-1};
  std::mutex mutex_;
  struct stat opened_ {};  // identity of the file behind fd_
};

// Highest resident size: the kernel's high-water mark (VmHWM) joined with
// every resident size the probe reads.
//
// Here a system call costs over 1 µs, as much as the whole budget of a basic
// reading, which already spends one on statm. So the kernel's mark is asked for
// at most once per coarse clock tick (1-4 ms) and on the first reading; between
// refreshes the peak grows with the sizes read. It can then lag the true mark
// only by a spike that rose and fell since the last refresh without any reading
// seeing it, which sampling alone could miss as well; it never falls below the
// size just read.
//
// getrusage's ru_maxrss would be cheaper than /proc/self/status but is wrong
// for us: it keeps the peak of the image the process replaced by exec, so a
// program started from a large one inherits that one's peak.
class PeakTracker {
 public:
  /// True for the one caller that should refresh the kernel's mark now.
  bool refreshDue() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    std::int64_t tick = static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    std::int64_t last = lastRefresh_.load(std::memory_order_relaxed);
    return tick != last && lastRefresh_.compare_exchange_strong(last, tick, std::memory_order_relaxed);
  }

  /// A forked child starts with its own, lower, high-water mark.
  void resetInChild() {
    lastRefresh_.store(-1, std::memory_order_relaxed);
    peak_.store(0, std::memory_order_relaxed);
  }

  /// Joins `candidate` to the peak; returns the new peak.
  std::uint64_t raise(std::uint64_t candidate) {
    std::uint64_t peak = peak_.load(std::memory_order_relaxed);
    while (candidate > peak && !peak_.compare_exchange_weak(peak, candidate, std::memory_order_relaxed)) {
    }
    return std::max(peak, candidate);
  }

 private:
  std::atomic<std::int64_t> lastRefresh_{-1};
  std::atomic<std::uint64_t> peak_{0};
};

class LinuxMemoryProbe final : public MemoryProbe {
 public:
  LinuxMemoryProbe() : pageSize_(static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE))) {
    ::pthread_atfork([] { instance().forEachFile(&KeptProcFile::lockForFork); },
                     [] { instance().forEachFile(&KeptProcFile::unlockInParent); },
                     [] {
                       instance().forEachFile(&KeptProcFile::dropInChild);
                       instance().peak_.resetInChild();
                     });
  }

  // Never destroyed: points logged while the process ends still read it.
  static LinuxMemoryProbe& instance() {
    static LinuxMemoryProbe* const probe = new LinuxMemoryProbe;
    return *probe;
  }

  [[gnu::hot]] bool readBasic(BasicMemoryReading& out) override {
    char buffer[128];
    auto pages = statm_.readParsed(buffer, sizeof buffer, detail::parseStatm);
    if (!pages) return false;
    double inUse = static_cast<double>(pages->resident) * pageSize_;
    out.inUseBytes = inUse;
    out.virtualSizeBytes = static_cast<double>(pages->size) * pageSize_;
    if (peak_.refreshDue()) {
      char status[kStatusCapacity];
      auto highWaterMark = [](std::string_view text) { return detail::findKibField(text, "VmHWM"); };
      if (auto mark = status_.readParsed(status, sizeof status, highWaterMark)) peak_.raise(*mark);
    }
    out.peakInUseBytes = static_cast<double>(peak_.raise(pages->resident * pageSize_));
    return true;
  }

  bool readDetailed(DetailedMemoryReading& out) override {
    char status[kStatusCapacity];
    char meminfo[kStatusCapacity];
    // Each text is checked for a field of its own kind, so that a reused
    // descriptor is noticed on the file it belongs to.
    auto textWith = [](std::string_view key) {
      return [key](std::string_view text) -> std::optional<std::string_view> {
        if (!detail::findKibField(text, key)) return std::nullopt;
        return text;
      };
    };
    auto statusText = status_.readParsed(status, sizeof status, textWith("VmRSS"));
    auto meminfoText = meminfo_.readParsed(meminfo, sizeof meminfo, textWith("MemAvailable"));
    if (!statusText || !meminfoText) return false;
    auto reading = detail::detailedFromProcText(*statusText, *meminfoText);
    if (!reading) return false;
    out = *reading;
    return true;
  }

 private:
  void forEachFile(void (KeptProcFile::*action)()) {
    (statm_.*action)();
    (status_.*action)();
    (meminfo_.*action)();
  }

  static constexpr std::size_t kStatusCapacity = 8192;

  std::uint64_t pageSize_;
  PeakTracker peak_;
  KeptProcFile statm_{"/proc/self/statm"};
  KeptProcFile status_{"/proc/self/status"};
  KeptProcFile meminfo_{"/proc/meminfo"};
};

}  // namespace

namespace detail {

std::optional<DetailedMemoryReading> detailedFromProcText(std::string_view status, std::string_view meminfo) {
  auto rssAnon = findKibField(status, "RssAnon");
  auto rssFile = findKibField(status, "RssFile");
  auto rssShmem = findKibField(status, "RssShmem");
  auto vmSize = findKibField(status, "VmSize");
  auto vmRss = findKibField(status, "VmRSS");
  auto memTotal = findKibField(meminfo, "MemTotal");
  auto memAvailable = findKibField(meminfo, "MemAvailable");
  if (!rssAnon || !rssFile || !rssShmem || !vmSize || !vmRss || !memTotal || !memAvailable) {
    return std::nullopt;
  }
  // Differences are floored at 0: the fields are sampled one after another
  // and page-rounded, so a near-equal pair can come out inverted.
  auto minusOrZero = [](std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; };
  DetailedMemoryReading reading;
  reading.committedBytes = *rssAnon;
  reading.reservedBytes = minusOrZero(*vmSize, *vmRss);
  reading.freeBytes = *memAvailable;
  reading.dllsBytes = *rssFile + *rssShmem;
  reading.nonProcessBytes = minusOrZero(minusOrZero(*memTotal, *memAvailable), *vmRss);
  return reading;
}

}  // namespace detail

MemoryProbe& linuxMemoryProbe() { return LinuxMemoryProbe::instance(); }

}  // namespace platform

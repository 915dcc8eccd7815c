#include "platform/replacing_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

namespace platform {
namespace {

class SystemFileCalls final : public FileCalls {
 public:
  int open(const char* path, int flags, mode_t mode) override { return ::open(path, flags, mode); }
  ssize_t write(int fd, const void* data, std::size_t size) override { return ::write(fd, data, size); }
  ssize_t read(int fd, void* data, std::size_t size) override { return ::read(fd, data, size); }
  int fdatasync(int fd) override { return ::fdatasync(fd); }
  int fchmod(int fd, mode_t mode) override { return ::fchmod(fd, mode); }
  int close(int fd) override { return ::close(fd); }
  int rename(const char* from, const char* to) override { return ::rename(from, to); }
  int unlink(const char* path) override { return ::unlink(path); }
  int stat(const char* path, struct stat* out) override { return ::stat(path, out); }
  int lstat(const char* path, struct stat* out) override { return ::lstat(path, out); }
  ssize_t readlink(const char* path, char* out, std::size_t size) override { return ::readlink(path, out, size); }
};

}  // namespace

FileCalls& systemFileCalls() {
  static SystemFileCalls calls;
  return calls;
}

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool followLinks(FileCalls& calls, std::string& path) {
  constexpr int kMaxLinks = 40;  // as the kernel's own limit
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    struct stat info {};
    if (calls.lstat(path.c_str(), &info) != 0) return errno == ENOENT;
    if (!S_ISLNK(info.st_mode)) return true;
    std::string target(4096, '\0');
    const ssize_t length = calls.readlink(path.c_str(), target.data(), target.size());
    if (length < 0) return false;
    if (static_cast<std::size_t>(length) >= target.size()) {
      errno = ENAMETOOLONG;
      return false;
    }
    target.resize(static_cast<std::size_t>(length));
    path = target.starts_with('/') ? target : folderOf(path) + target;
  }
  errno = ELOOP;
  return false;
}

int createTemporaryBeside(FileCalls& calls, const std::string& path, std::string_view prefix, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = folderOf(path) + std::string(prefix) + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
               "-" + std::to_string(random() % 1000000);
    const int fd = calls.open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

namespace {

// A temporary file of ours whose writer is gone: a write that was killed.
// Files of other users, and of processes still running, are left alone.
bool isStaleTemporary(const std::string& folder, const std::string& entry, std::string_view prefix) {
  if (!std::string_view(entry).starts_with(prefix)) return false;
  const std::string rest = entry.substr(prefix.size());
  const auto dash = rest.find('-');
  if (dash == 0 || dash == std::string::npos || rest.find_first_not_of("0123456789") != dash) return false;
  const long pid = std::strtol(rest.c_str(), nullptr, 10);
  struct stat info {};
  const std::string path = (folder.empty() ? "./" : folder) + entry;
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid()) return false;
  return pid > 0 && pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

constexpr std::string_view kReportPrefix = ".ptreport-";

}  // namespace

void removeStaleTemporaries(const std::string& folder, std::string_view prefix) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(dir))
    if (isStaleTemporary(folder, entry->d_name, prefix)) stale.emplace_back(entry->d_name);
  ::closedir(dir);
  for (const std::string& entry : stale) ::unlink(((folder.empty() ? "./" : folder) + entry).c_str());
}

ReplacingFile::ReplacingFile(std::string target, FileCalls& calls) : calls_(calls), path_(std::move(target)) {
  // A NUL would cut the name short and replace another file.
  if (path_.empty() || path_.find('\0') != std::string::npos) {
    error_ = "the file name is empty or holds a NUL character";
    return;
  }
  if (!followLinks(calls_, path_)) {
    fail("cannot follow the file's links");
    return;
  }
  struct stat existing {};
  const bool exists = calls_.stat(path_.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    error_ = "'" + path_ + "' is not a regular file";
    return;
  }
  removeStaleTemporaries(folderOf(path_), kReportPrefix);
  fd_ = createTemporaryBeside(calls_, path_, kReportPrefix, tempPath_);
  if (fd_ < 0) {
    fail("cannot create a file in the folder");
    tempPath_.clear();
    return;
  }
  // Replacing keeps the permissions; a new file gets what the umask allows.
  if (exists) calls_.fchmod(fd_, existing.st_mode & 07777);
}

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::fail(const char* what) {
  error_ = std::string(what) + ": " + std::strerror(errno);
  broken_ = true;
  return false;
}

void ReplacingFile::discard() {
  if (fd_ >= 0) calls_.close(std::exchange(fd_, -1));
  if (!tempPath_.empty()) calls_.unlink(std::exchange(tempPath_, std::string()).c_str());
}

bool ReplacingFile::write(std::string_view text) {
  if (fd_ < 0 || broken_) return false;
  while (!text.empty()) {
    const ssize_t written = calls_.write(fd_, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return fail("cannot write the file");
    }
    if (written == 0) {
      errno = EIO;
      return fail("cannot write the file");
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool ReplacingFile::commit() {
  if (fd_ < 0 || broken_) {
    discard();
    return false;
  }
  // Data first, then the name: a crash leaves either the old file or the new one.
  if (calls_.fdatasync(fd_) != 0 && errno != EINVAL) {
    fail("cannot flush the file");
    discard();
    return false;
  }
  if (calls_.close(std::exchange(fd_, -1)) != 0) {
    fail("cannot close the file");
    discard();
    return false;
  }
  if (calls_.rename(tempPath_.c_str(), path_.c_str()) != 0) {
    fail("cannot replace the file");
    discard();
    return false;
  }
  tempPath_.clear();
  return true;
}

}  // namespace platform

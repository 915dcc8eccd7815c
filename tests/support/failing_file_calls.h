// File calls that fail on demand, for tests of code that writes files.
//
//   pt_test::FailingCalls calls(pt_test::FailingCalls::Fail::kWrite);
//   tracer.setFileCalls(&calls);  // every write now fails with ENOSPC
#pragma once

#include "platform/replacing_file.h"

#include <cerrno>
#include <cstddef>

namespace pt_test {

// The machine's calls, with one of them failing on demand.
class FailingCalls : public platform::FileCalls {
 public:
  enum class Fail { kNothing, kOpen, kWrite, kSecondWrite, kShortWrites, kSync, kClose, kRename };
  explicit FailingCalls(Fail fail) : fail_(fail) {}

  int open(const char* path, int flags, mode_t mode) override {
    return fail_ == Fail::kOpen ? refuse(EACCES) : system_.open(path, flags, mode);
  }
  ssize_t write(int fd, const void* data, std::size_t size) override {
    ++writes_;
    if (fail_ == Fail::kWrite || (fail_ == Fail::kSecondWrite && writes_ == 2)) return refuse(ENOSPC);
    // A disk that takes a few bytes at a time is not a failure.
    if (fail_ == Fail::kShortWrites) return system_.write(fd, data, size < 3 ? size : 3);
    return system_.write(fd, data, size);
  }
  ssize_t read(int fd, void* data, std::size_t size) override { return system_.read(fd, data, size); }
  int fdatasync(int fd) override { return fail_ == Fail::kSync ? refuse(EIO) : system_.fdatasync(fd); }
  int fchmod(int fd, mode_t mode) override { return system_.fchmod(fd, mode); }
  int close(int fd) override {
    const int result = system_.close(fd);
    return fail_ == Fail::kClose ? refuse(EIO) : result;
  }
  int rename(const char* from, const char* to) override {
    return fail_ == Fail::kRename ? refuse(EXDEV) : system_.rename(from, to);
  }
  int unlink(const char* path) override { return system_.unlink(path); }
  int stat(const char* path, struct stat* out) override { return system_.stat(path, out); }
  int lstat(const char* path, struct stat* out) override { return system_.lstat(path, out); }
  ssize_t readlink(const char* path, char* out, std::size_t size) override { return system_.readlink(path, out, size); }

 private:
  static int refuse(int error) {
    errno = error;
    return -1;
  }
  platform::FileCalls& system_ = platform::systemFileCalls();
  Fail fail_;
  int writes_ = 0;
};

}  // namespace pt_test

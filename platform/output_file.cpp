#include "platform/output_file.h"

#include <fcntl.h>

#include <cerrno>

namespace platform {

std::FILE* openOutputFile(const std::string& path, FileCalls& calls) {
  const int fd = calls.open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "w+");
  if (file == nullptr) {
    const int error = errno;
    calls.close(fd);
    errno = error;
  }
  return file;
}

bool writeWhole(std::FILE* file, std::string_view text, FileCalls& calls) {
  if (file == nullptr || std::fflush(file) != 0) return false;
  const int fd = ::fileno(file);
  if (fd < 0) return false;
  while (!text.empty()) {
    const ssize_t written = calls.write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool readWholeFile(const std::string& path, std::string& text, FileCalls& calls) {
  text.clear();
  const int fd = calls.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  for (;;) {
    const std::size_t size = text.size();
    text.resize(size + kChunk);
    const ssize_t got = calls.read(fd, text.data() + size, kChunk);
    if (got < 0 && errno == EINTR) {
      text.resize(size);
      continue;
    }
    if (got <= 0) {
      text.resize(size);
      if (got == 0) break;
      const int error = errno;
      calls.close(fd);
      text.clear();
      errno = error;
      return false;
    }
    text.resize(size + static_cast<std::size_t>(got));
  }
  calls.close(fd);
  return true;
}

}  // namespace platform

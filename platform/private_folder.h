// Private folders: an empty folder of the process's own under the system's
// temporary folder, for scratch files that must not meet a user's files or
// another run's. It is removed with everything in it when the object goes.
//
//   platform::PrivateFolder scratch("pt-flamegraph");
//   if (scratch) write(scratch.file("stacks.txt"));
#pragma once

#include <filesystem>
#include <string>

namespace platform {

class PrivateFolder {
 public:
  /// Makes <temp>/<prefix>-XXXXXX with mode 0700; check with operator bool,
  /// and error() says why it failed.
  explicit PrivateFolder(const std::string& prefix);
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  explicit operator bool() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }
  /// The path of a file named `name` inside the folder.
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::string& error() const { return error_; }

 private:
  std::filesystem::path path_;
  std::string error_;
};

}  // namespace platform

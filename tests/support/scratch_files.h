// A temporary folder per test and whole-file reads and writes, for tests of
// code that saves and loads files.
//
//   pt_test::ScratchFolder folder;
//   save(folder.file("run.kvd")); EXPECT_EQ(pt_test::fileBytes(folder.file("run.kvd")), expected);
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace pt_test {

/// An empty folder named after the running test and this process, removed
/// with everything in it on destruction.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  /// How many files and folders it holds (left-over temporaries show up here).
  std::size_t entries() const;

 private:
  std::filesystem::path path_;
};

/// The whole content of a file; empty when it cannot be read.
std::string fileBytes(const std::string& path);

/// Replaces a file with exactly `bytes`.
void writeFileBytes(const std::string& path, const std::string& bytes);

}  // namespace pt_test

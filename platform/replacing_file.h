// Replacing files: a file that is written whole or not at all.
//
//   platform::ReplacingFile file("report.html");
//   if (file.isOpen() && file.write(head) && file.write(body) && file.commit()) done();
//   else complain(file.error());
//
// The text goes into a temporary file with a name of its own beside the
// target, and only a commit whose every write, flush and close succeeded
// renames it over the target. A failure, an exception or a file never
// committed leaves the target as it was and removes the temporary file (one
// left by a killed writer goes on the next write in that folder), and
// writers of the same target at the same time never mix their bytes: the last
// commit wins whole. A target that is a symbolic link is written through to
// the file the link names, and the link stays.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

/// The system calls a replacing file (or a whole-file read) makes, with the POSIX meanings and
/// results (-1 and errno on failure). Tests replace them to make any one fail.
class FileCalls {
 public:
  virtual ~FileCalls() = default;
  virtual int open(const char* path, int flags, mode_t mode) = 0;
  virtual ssize_t write(int fd, const void* data, std::size_t size) = 0;
  virtual ssize_t read(int fd, void* data, std::size_t size) = 0;
  virtual int fdatasync(int fd) = 0;
  virtual int fchmod(int fd, mode_t mode) = 0;
  virtual int close(int fd) = 0;
  virtual int rename(const char* from, const char* to) = 0;
  virtual int unlink(const char* path) = 0;
  /// Of the file a path names, following links.
  virtual int stat(const char* path, struct stat* out) = 0;
  virtual int lstat(const char* path, struct stat* out) = 0;
  virtual ssize_t readlink(const char* path, char* out, std::size_t size) = 0;
};

/// This machine's calls; lives for the whole process.
FileCalls& systemFileCalls();

// The steps of replacing a file, shared by every writer that replaces one.

/// The folder part of `path` with its trailing slash; "" for a bare name.
std::string folderOf(const std::string& path);
/// Follows a chain of symbolic links to the file it ends at (which need not
/// exist yet), so that a rename replaces that file and leaves the links in
/// place. False with errno set when the links loop or cannot be read.
bool followLinks(FileCalls& calls, std::string& path);
/// Creates a hidden temporary file beside `path`, named `prefix`, the
/// process number, a counter and a random part, so that the rename stays in
/// one file system and concurrent writers never share a file. Its descriptor,
/// or -1 with errno set.
int createTemporaryBeside(FileCalls& calls, const std::string& path, std::string_view prefix, std::string& tempPath);
/// Removes the temporary files named `prefix`<process>-... in `folder` that
/// a killed writer left: only regular files of this user whose process is gone.
void removeStaleTemporaries(const std::string& folder, std::string_view prefix);

class ReplacingFile {
 public:
  /// Opens the temporary file; `isOpen` tells whether that worked.
  explicit ReplacingFile(std::string target, FileCalls& calls = systemFileCalls());
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  /// Appends every byte of `text`, NULs included. False when the file is not
  /// open or this or an earlier write failed; the file then cannot commit.
  bool write(std::string_view text);
  /// Flushes, closes and renames the file over the target. False, with the
  /// target untouched, when anything failed now or before.
  bool commit();
  /// Why the file could not be opened, written or committed; "" when nothing failed.
  const std::string& error() const { return error_; }
  /// The file a commit replaces: the target, or the file its links end at.
  const std::string& path() const { return path_; }

 private:
  bool fail(const char* what);
  void discard();

  FileCalls& calls_;
  std::string path_;
  std::string tempPath_;
  int fd_ = -1;
  bool broken_ = false;
  std::string error_;
};

}  // namespace platform

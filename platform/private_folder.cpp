#include "platform/private_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

namespace platform {

PrivateFolder::PrivateFolder(const std::string& prefix) {
  std::error_code failure;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(failure);
  if (failure) {
    error_ = "no temporary folder: " + failure.message();
    return;
  }
  std::string pattern = (temp / (prefix + "-XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  // mkdtemp picks a fresh name and makes the folder 0700 in one step, so no
  // other user or run can slip a file or link in first.
  if (::mkdtemp(name.data()) == nullptr) {
    error_ = pattern + ": " + std::strerror(errno);
    return;
  }
  path_ = name.data();
}

PrivateFolder::~PrivateFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace platform

#include "platform/child_process.h"
#include "platform/private_folder.h"

#include "support/scratch_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

TEST(ChildProcess, ArgumentsArriveWholeAndFailuresSayWhy) {
  pt_test::ScratchFolder folder;
  const std::string out = folder.file("out.txt");
  const platform::ProcessResult printed =
      platform::runProcess({"printf", "%s|", "a b", "$(touch pwned)", "'\"; *"}, out, "");
  EXPECT_TRUE(printed.ok()) << printed.describe();
  EXPECT_EQ(pt_test::fileBytes(out), "a b|$(touch pwned)|'\"; *|");
  EXPECT_FALSE(std::filesystem::exists("pwned"));

  struct Case {
    std::vector<std::string> argv;
    std::string described;
  };
  const std::vector<Case> cases{
      {{"sh", "-c", "echo oops >&2; exit 4"}, "exited with status 4"},
      {{"sh", "-c", "kill -9 $$"}, "ended by signal 9"},
      {{"no-such-program-here"}, "could not be started: no-such-program-here: No such file or directory"},
      {{}, "could not be started: no program named"},
      {{"true"}, "succeeded"},
  };
  for (const Case& c : cases) {
    const platform::ProcessResult result = platform::runProcess(c.argv, "", folder.file("err.txt"));
    EXPECT_EQ(result.describe(), c.described);
    EXPECT_EQ(result.ok(), c.described == "succeeded");
  }
  EXPECT_EQ(pt_test::fileBytes(folder.file("err.txt")), "");  // truncated by the last run
}

TEST(PrivateFolder, IsOwnAndGoesWithEverythingInIt) {
  std::filesystem::path kept;
  {
    platform::PrivateFolder folder("pt-test");
    ASSERT_TRUE(folder) << folder.error();
    kept = folder.path();
    struct stat info {};
    ASSERT_EQ(::stat(kept.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    std::filesystem::create_directories(kept / "sub");
    std::ofstream(folder.file("stacks.txt")) << "a 1\n";
    platform::PrivateFolder other("pt-test");
    EXPECT_NE(other.path(), kept);
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
}

}  // namespace

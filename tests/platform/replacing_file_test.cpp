#include "platform/replacing_file.h"

#include "support/failing_file_calls.h"
#include "support/scratch_files.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using pt_test::FailingCalls;

TEST(ReplacingFile, ReplacesTheTargetOnlyWhenEveryCallSucceeded) {
  using Fail = FailingCalls::Fail;
  struct Case {
    Fail fail;
    bool replaced;
    const char* error;  // start of the reason
  };
  const std::string page("<html>\0page</html>\n", 19);  // a NUL is written like any byte
  for (const Case& c : {Case{Fail::kNothing, true, ""},
                        {Fail::kShortWrites, true, ""},
                        {Fail::kOpen, false, "cannot create a file in the folder: Permission denied"},
                        {Fail::kWrite, false, "cannot write the file: No space left on device"},
                        {Fail::kSecondWrite, false, "cannot write the file: No space left"},
                        {Fail::kSync, false, "cannot flush the file: Input/output error"},
                        {Fail::kClose, false, "cannot close the file: Input/output error"},
                        {Fail::kRename, false, "cannot replace the file"}}) {
    SCOPED_TRACE(static_cast<int>(c.fail));
    pt_test::ScratchFolder folder;
    const std::string target = folder.file("report.html");
    pt_test::writeFileBytes(target, "previous report");
    FailingCalls calls(c.fail);
    {
      platform::ReplacingFile file(target, calls);
      const bool written = file.write(page.substr(0, 8)) && file.write(page.substr(8));
      EXPECT_EQ(written && file.commit(), c.replaced);
      EXPECT_TRUE(file.error().starts_with(c.error)) << file.error();
    }
    EXPECT_EQ(pt_test::fileBytes(target), c.replaced ? page : "previous report");
    EXPECT_EQ(folder.entries(), 1u) << "a temporary file was left behind";
  }
}

// Nothing of a write that never committed stays: neither this one's file,
// nor, by the next write in the folder, one a killed writer left.
TEST(ReplacingFile, AFileNeverCommittedLeavesNoTrace) {
  pt_test::ScratchFolder folder;
  {
    platform::ReplacingFile file(folder.file("new.html"));
    ASSERT_TRUE(file.isOpen());
    EXPECT_TRUE(file.write("half a page"));
  }
  EXPECT_EQ(folder.entries(), 0u);

  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);  // its number now names no process
  const std::string killed = folder.file(".ptreport-" + std::to_string(child) + "-0-1");
  const std::string running = folder.file(".ptreport-" + std::to_string(::getppid()) + "-0-1");
  for (const std::string& leftover : {killed, running}) pt_test::writeFileBytes(leftover, "partial");
  platform::ReplacingFile file(folder.file("new.html"));
  EXPECT_TRUE(file.write("page") && file.commit());
  EXPECT_FALSE(std::filesystem::exists(killed));
  EXPECT_TRUE(std::filesystem::exists(running));
}

TEST(ReplacingFile, WritesThroughLinksAndRefusesWhatItCannotReplace) {
  pt_test::ScratchFolder folder;
  namespace fs = std::filesystem;
  fs::create_directory(folder.path() / "reports");
  pt_test::writeFileBytes(folder.file("reports/real.html"), "old");
  fs::create_symlink("reports/real.html", folder.path() / "link.html");
  fs::create_symlink("link.html", folder.path() / "chain.html");
  platform::ReplacingFile chain(folder.file("chain.html"));
  ASSERT_TRUE(chain.write("new") && chain.commit()) << chain.error();
  EXPECT_EQ(chain.path(), folder.file("reports/real.html"));
  EXPECT_TRUE(fs::is_symlink(folder.path() / "link.html"));
  EXPECT_TRUE(fs::is_symlink(folder.path() / "chain.html"));
  EXPECT_EQ(pt_test::fileBytes(folder.file("reports/real.html")), "new");
  // A link to a file not made yet creates that file.
  fs::create_symlink("reports/later.html", folder.path() / "dangling.html");
  platform::ReplacingFile dangling(folder.file("dangling.html"));
  ASSERT_TRUE(dangling.write("made") && dangling.commit()) << dangling.error();
  EXPECT_EQ(pt_test::fileBytes(folder.file("reports/later.html")), "made");

  fs::create_symlink("loop-b.html", folder.path() / "loop-a.html");
  fs::create_symlink("loop-a.html", folder.path() / "loop-b.html");
  for (const auto& [name, reason] : {std::pair{folder.file("loop-a.html"), "Too many levels of symbolic links"},
                                     {folder.file("reports"), "is not a regular file"},
                                     {folder.file("missing/report.html"), "No such file or directory"},
                                     {std::string("a\0b", 3), "holds a NUL"},
                                     {std::string(), "name is empty"}}) {
    platform::ReplacingFile file(name);
    EXPECT_FALSE(file.isOpen()) << name;
    EXPECT_NE(file.error().find(reason), std::string::npos) << file.error();
    EXPECT_FALSE(file.write("x") || file.commit());
  }
}

TEST(ReplacingFileThreads, ConcurrentWritersOfOneFileNeverMix) {
  pt_test::ScratchFolder folder;
  const std::string target = folder.file("demo-time.html");
  constexpr int kWriters = 10;
  // Each writer's page is its own letter, long enough to take many writes.
  auto page = [](int writer) { return std::string(200000, static_cast<char>('a' + writer)); };
  std::vector<std::thread> writers;
  std::vector<int> committed(kWriters, 0);
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      platform::ReplacingFile file(target);
      const std::string text = page(w);
      bool ok = true;
      for (std::size_t at = 0; at < text.size(); at += 4096) ok = file.write(text.substr(at, 4096)) && ok;
      committed[static_cast<std::size_t>(w)] = ok && file.commit();
    });
  }
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(std::count(committed.begin(), committed.end(), 1), kWriters);
  const std::string result = pt_test::fileBytes(target);
  EXPECT_EQ(result, page(result[0] - 'a'));
  EXPECT_EQ(folder.entries(), 1u);
}

}  // namespace

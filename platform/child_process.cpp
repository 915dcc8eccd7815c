#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace platform {

std::string ProcessResult::describe() const {
  if (!started) return "could not be started: " + error;
  if (signal != 0) return "ended by signal " + std::to_string(signal);
  if (exitStatus != 0) return "exited with status " + std::to_string(exitStatus);
  return "succeeded";
}

namespace {

/// Frees the spawn attributes on every way out.
struct SpawnActions {
  SpawnActions() { ok = ::posix_spawn_file_actions_init(&actions) == 0; }
  ~SpawnActions() {
    if (ok) ::posix_spawn_file_actions_destroy(&actions);
  }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t actions{};
  bool ok = false;
};

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& stdoutPath,
                         const std::string& stderrPath) {
  ProcessResult result;
  if (argv.empty() || argv.front().empty()) {
    result.error = "no program named";
    return result;
  }
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) {
    if (arg.find('\0') != std::string::npos) {
      result.error = "an argument holds a NUL character";
      return result;
    }
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);

  SpawnActions spawn;
  if (!spawn.ok) {
    result.error = "spawn attributes could not be made";
    return result;
  }
  constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC;
  int failed = ::posix_spawn_file_actions_addopen(&spawn.actions, 0, "/dev/null", O_RDONLY, 0);
  if (failed == 0 && !stdoutPath.empty()) {
    failed = ::posix_spawn_file_actions_addopen(&spawn.actions, 1, stdoutPath.c_str(), kFlags, 0644);
  }
  if (failed == 0 && !stderrPath.empty()) {
    failed = ::posix_spawn_file_actions_addopen(&spawn.actions, 2, stderrPath.c_str(), kFlags, 0644);
  }
  if (failed != 0) {
    result.error = std::strerror(failed);
    return result;
  }

  pid_t pid = 0;
  // posix_spawnp reports a program that cannot be executed as an error (glibc
  // uses a pipe with CLOEXEC for that), not as exit status 127.
  failed = ::posix_spawnp(&pid, args.front(), &spawn.actions, nullptr, args.data(), environ);
  if (failed != 0) {
    result.error = argv.front() + ": " + std::strerror(failed);
    return result;
  }
  result.started = true;
  int status = 0;
  pid_t waited = 0;
  do {
    waited = ::waitpid(pid, &status, 0);
  } while (waited == -1 && errno == EINTR);
  if (waited == -1) {
    result.error = std::strerror(errno);
    return result;
  }
  if (WIFEXITED(status)) {
    result.exitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}

}  // namespace platform

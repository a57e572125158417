#include "ProgramProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tests/support/TempDir.h"

extern char** environ;

namespace programs_test {

namespace {

using Clock = std::chrono::steady_clock;

bool HasName(const std::string& Entry, const std::string& Name) {
  return Entry.size() > Name.size() && Entry.compare(0, Name.size(), Name) == 0 &&
         Entry[Name.size()] == '=';
}

// Waits until the process behind pidfd has ended or Deadline passes; true when it ended.
bool WaitForEnd(int PidFd, Clock::time_point Deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(Deadline - Clock::now());
    pollfd entry{PidFd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(std::max<long long>(0, left.count())));
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    return ready > 0;
  }
}

}  // namespace

Environment::Environment() {
  for (char** entry = environ; *entry != nullptr; ++entry) {
    entries_.emplace_back(*entry);
  }
}

void Environment::Set(const std::string& Name, const std::string& Value) {
  Unset(Name);
  entries_.push_back(Name + "=" + Value);
}

void Environment::Unset(const std::string& Name) {
  std::erase_if(entries_, [&](const std::string& entry) { return HasName(entry, Name); });
}

std::vector<char*> Environment::Entries() {
  std::vector<char*> pointers;
  for (std::string& entry : entries_) {
    pointers.push_back(entry.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

Environment ProgramEnvironment(const std::string& Home, const std::vector<std::string>& Preloaded) {
  std::filesystem::create_directories(Home + "/sysfs-tty");
  Environment env;
  env.Set("QT_QPA_PLATFORM", "offscreen");
  env.Set("HOME", Home);
  env.Set("XDG_CONFIG_HOME", Home + "/.config");  // Qt's file dialog keeps its history there
  env.Set("TAVKEL_ROOT", Home + "/root");
  env.Set("TAVKEL_SYSFS_TTY", Home + "/sysfs-tty");
  env.Unset("TAVKEL_WINDOWS_DIR");
  env.Set("LC_ALL", "C.UTF-8");
  std::string preload;
  for (const std::string& library : Preloaded) {
    preload += (preload.empty() ? "" : ":") + library;
  }
  env.Set("LD_PRELOAD", preload);
#ifdef TAVKEL_SANITIZED
  // A preloaded library comes before the sanitizer's runtime, which it would refuse.
  const char* options = std::getenv("ASAN_OPTIONS");
  const std::string before =
      options != nullptr && *options != '\0' ? std::string(options) + ":" : "";
  env.Set("ASAN_OPTIONS", before + "verify_asan_link_order=0");
#endif
  return env;
}

Ended RunToEnd(const std::vector<std::string>& Command, Environment& Env,
               const std::string& Scratch, std::chrono::milliseconds Bound) {
  Ended ended;
  const std::string outputFile = Scratch + "/stdout";
  const std::string errorFile = Scratch + "/stderr";
  std::vector<std::string> args = Command;
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  const int error =
      ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), Env.Entries().data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    ADD_FAILURE() << "posix_spawn " << argv[0] << ": " << std::strerror(error);
    return ended;
  }
  // The end of the process makes its pidfd readable: a bounded wait without polling its state.
  // (The C library's pidfd_open lacks C linkage in this release's header.)
  const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  bool inTime = false;
  if (pidFd < 0) {
    ADD_FAILURE() << "pidfd_open: " << std::strerror(errno);
  } else {
    inTime = WaitForEnd(pidFd, Clock::now() + Bound);
    ::close(pidFd);
  }
  if (!inTime) {
    ::kill(pid, SIGKILL);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) == pid && inTime) {
    ended.status = status;
  }
  ended.output = testsupport::ReadBytes(outputFile);
  ended.errors = testsupport::ReadBytes(errorFile);
  return ended;
}

std::string DescribeStatus(int Status) {
  if (WIFEXITED(Status)) {
    return "exit status " + std::to_string(WEXITSTATUS(Status));
  }
  if (WIFSIGNALED(Status)) {
    return std::string("killed by ") + ::strsignal(WTERMSIG(Status));
  }
  return "wait status " + std::to_string(Status);
}

}  // namespace programs_test

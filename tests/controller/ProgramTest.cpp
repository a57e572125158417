// The tavkel-controller program in a process of its own, ended by the signals that end it in use:
// Ctrl-C, kill, Ctrl-\ and the closing of its terminal, unless its starter ignored one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "FrameSupport.h"
#include "LineSupport.h"
#include "controller/State.h"
#include "platform/Root.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The program started with args, its standard output read through a pipe. A program still running
// when the object goes is killed.
class Program {
 public:
  // The stop signals start at their defaults and unblocked, as from a shell, whatever the test
  // runner set for itself; those in ignored start ignored, as nohup leaves SIGHUP.
  explicit Program(std::vector<std::string> args, std::initializer_list<int> ignored = {}) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
      ADD_FAILURE() << "pipe2: " << ::strerror(errno);
      return;
    }
    output_ = out[0];
    args.insert(args.begin(), TAVKEL_CONTROLLER_PROGRAM);
    std::vector<char*> argv;
    for (auto& arg : args) {
      argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t stops;
    sigemptyset(&none);
    sigemptyset(&stops);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      sigaddset(&stops, signal);
    }
    // A child inherits the dispositions that ignore, so the test ignores them for the spawn.
    struct Saved {
      int signal;
      struct sigaction action;
    };
    std::vector<Saved> saved;
    for (const int signal : ignored) {
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      saved.push_back({signal, {}});
      ::sigaction(signal, &ignore, &saved.back().action);
      sigdelset(&stops, signal);
    }
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &stops);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int error = ::posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
    for (const auto& [signal, action] : saved) {
      ::sigaction(signal, &action, nullptr);
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(out[1]);
    if (error != 0) {
      pid_ = -1;
      ADD_FAILURE() << "posix_spawn " << argv[0] << ": " << ::strerror(error);
    }
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) {
      ::close(output_);
    }
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t Pid() const { return pid_; }

  // The program has not ended; it is left to be reaped by WaitForEnd.
  bool Running() const {
    siginfo_t info{};
    return pid_ > 0 &&
           ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }

  // Reads the output until it holds text; false when the bound passes or the output ends first.
  bool WaitForOutput(const std::string& text, std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    while (text_.find(text) == std::string::npos) {
      if (!ReadSome(deadline)) {
        return false;
      }
    }
    return true;
  }

  // Reads the output to its end, which comes when the program ends, and reaps the program. Its
  // wait status; nothing when the bound passes first.
  std::optional<int> WaitForEnd(std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    while (ReadSome(deadline)) {
    }
    if (!ended_ || pid_ <= 0) {
      return std::nullopt;
    }
    int status = 0;
    if (::waitpid(pid_, &status, 0) != pid_) {
      return std::nullopt;
    }
    pid_ = -1;
    return status;
  }

  const std::string& Output() const { return text_; }

 private:
  // One read, after a wait bounded by deadline; false at the end of the output or the deadline.
  bool ReadSome(Clock::time_point deadline) {
    if (output_ < 0 || ended_) {
      return false;
    }
    for (;;) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd entry{output_, POLLIN, 0};
      const int ready = ::poll(&entry, 1, static_cast<int>(std::max<long long>(0, left.count())));
      if (ready < 0 && errno == EINTR) {
        continue;
      }
      if (ready <= 0) {
        return false;
      }
      char chunk[512];
      const ssize_t got = ::read(output_, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got <= 0) {
        ended_ = true;
        return false;
      }
      text_.append(chunk, static_cast<std::size_t>(got));
      return true;
    }
  }

  pid_t pid_ = -1;
  int output_ = -1;
  bool ended_ = false;
  std::string text_;
};

// Sends signal to a program started with "--generate 3 --name COM7 --state state" and expects the
// end its user would want: the device-map entry is removed (else the tool would list it and, once
// its pseudo-terminal is reused, open someone's terminal), and the state is saved.
void ExpectCleanStop(Program& program, int signal, const std::string& state) {
  ASSERT_EQ(::kill(program.Pid(), signal), 0);
  const auto status = program.WaitForEnd(5s);
  ASSERT_TRUE(status.has_value()) << "the program did not end";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status << "\n"
                                                               << program.Output();
  EXPECT_EQ(platform::LookupDevice("COM7"), std::nullopt) << "entry left in the device map";
  ASSERT_TRUE(std::filesystem::exists(state));
  EXPECT_EQ(controller::LoadState(state), controller::GeneratedState(3));
}

TEST(ControllerProgram, EveryStopSignalRemovesTheEntryAndSavesTheState) {
  for (const int signal : {SIGHUP, SIGQUIT, SIGINT, SIGTERM}) {
    SCOPED_TRACE(::strsignal(signal));
    const testsupport::TempDir root;
    const std::string state = root / "state";
    Program program({"--generate", "3", "--name", "COM7", "--state", state});
    ASSERT_TRUE(program.WaitForOutput("device COM7 on ", 5s)) << program.Output();
    const auto path = platform::LookupDevice("COM7");
    ASSERT_TRUE(path.has_value());
    ASSERT_TRUE(std::filesystem::exists(*path));
    ExpectCleanStop(program, signal, state);
  }
  ::unsetenv("TAVKEL_ROOT");
}

// Started under nohup, the program outlives its terminal: the SIGHUP passes it by, it goes on
// answering, and SIGTERM still ends it cleanly.
TEST(ControllerProgram, HangUpIgnoredAtStartStaysIgnored) {
  const testsupport::TempDir root;
  const std::string state = root / "state";
  Program program({"--generate", "3", "--name", "COM7", "--state", state}, {SIGHUP});
  ASSERT_TRUE(program.WaitForOutput("device COM7 on ", 5s)) << program.Output();
  const auto path = platform::LookupDevice("COM7");
  ASSERT_TRUE(path.has_value());
  testline::TestLine line(*path);
  ASSERT_TRUE(line.IsOpen());

  ASSERT_EQ(::kill(program.Pid(), SIGHUP), 0);
  // An answer takes the line's quiet time, far longer than ending on the signal would.
  EXPECT_EQ(line.Exchange(frames::kProbe), frames::kAccepted);
  EXPECT_TRUE(program.Running()) << program.Output();
  EXPECT_EQ(platform::LookupDevice("COM7"), path);
  ExpectCleanStop(program, SIGTERM, state);
  ::unsetenv("TAVKEL_ROOT");
}

}  // namespace

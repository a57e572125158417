// A shipped program, or any other command, run to its end in a process of its own, as a user's
// shell would start it: with an environment of the test's making and its standard output and
// error kept apart.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace programs_test {

// The test's own environment with some variables set or removed.
class Environment {
 public:
  Environment();
  void Set(const std::string& Name, const std::string& Value);
  void Unset(const std::string& Name);
  // NAME=value entries, terminated by a null pointer; valid until the next change.
  std::vector<char*> Entries();

 private:
  std::vector<std::string> entries_;
};

// The environment a shipped program runs in here: the offscreen platform, and a home, a platform
// root and a serial-port tree (empty: no port) inside Home, so that nothing of the user's is read
// or written; no windows directory of the test's, so the program finds its own; the C locale's
// texts; and the libraries in Preloaded preloaded.
Environment ProgramEnvironment(const std::string& Home, const std::vector<std::string>& Preloaded);

struct Ended {
  std::optional<int> status;  // the wait status; nothing when the program outlived its bound
  std::string output;         // what it wrote to standard output
  std::string errors;         // what it wrote to standard error
};

// Runs command[0] (a path) with the arguments that follow, the environment given and standard
// input from /dev/null, and waits for its end; a program still running after bound is killed.
// Scratch is a folder the outputs are written into on their way.
Ended RunToEnd(const std::vector<std::string>& Command, Environment& Env,
               const std::string& Scratch, std::chrono::milliseconds Bound);

// The wait status in words, for failure messages.
std::string DescribeStatus(int Status);

}  // namespace programs_test

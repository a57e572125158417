// Prints (a) the delay from the last byte of a burst written on a pty master to the completion of
// the pending read, beyond the 100 ms read interval, and (b) the wake-ups (voluntary context
// switches) of the device's threads while a read stays pending on an idle line for 5 s.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Handles.h"
#include "platform/Serial.h"
#include "platform/Sync.h"

namespace {

using Clock = std::chrono::steady_clock;

// Voluntary context switches of this process's threads named like the device's threads.
long DeviceThreadSwitches() {
  long total = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::string name;
    std::getline(std::ifstream(task.path() / "comm"), name);
    if (name.rfind("tavkel-", 0) != 0) {
      continue;
    }
    std::ifstream status(task.path() / "status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
        total += std::stol(line.substr(line.find(':') + 1));
      }
    }
  }
  return total;
}

}  // namespace

int main() {
  char rootPattern[] = "/tmp/tavkel-bench-XXXXXX";
  ::setenv("TAVKEL_ROOT", ::mkdtemp(rootPattern), 1);
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    std::perror("pty");
    return 1;
  }
  HANDLE device = CreateFileA(::ptsname(master), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "open failed: %u\n", GetLastError());
    return 1;
  }
  COMMTIMEOUTS timeouts{100, 0, 0, 0, 0};
  SetCommTimeouts(device, &timeouts);
  OVERLAPPED record{};
  record.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  std::vector<char> buffer(2048);
  const std::string burst(84, 'b');

  constexpr int runs = 30;
  std::vector<double> delays;
  for (int i = 0; i < runs; ++i) {
    ReadFile(device, buffer.data(), 2048, nullptr, &record);
    if (::write(master, burst.data(), burst.size()) != static_cast<ssize_t>(burst.size())) {
      return 1;
    }
    const auto sent = Clock::now();
    if (WaitForSingleObject(record.hEvent, 5000) != WAIT_OBJECT_0) {
      std::fprintf(stderr, "read did not complete\n");
      return 1;
    }
    const std::chrono::duration<double, std::milli> took = Clock::now() - sent;
    delays.push_back(took.count() - 100.0);
  }
  std::sort(delays.begin(), delays.end());
  std::printf(
      "completion delay beyond the 100 ms interval over %d runs: min %.2f ms, median "
      "%.2f ms, max %.2f ms\n",
      runs, delays.front(), delays[delays.size() / 2], delays.back());

  ReadFile(device, buffer.data(), 2048, nullptr, &record);
  const long before = DeviceThreadSwitches();
  WaitForSingleObject(record.hEvent, 5000);
  const long after = DeviceThreadSwitches();
  std::printf(
      "wake-ups of the device's threads during 5 s with a read pending on an idle line: "
      "%ld\n",
      after - before);
  CloseHandle(device);
  CloseHandle(record.hEvent);
  ::close(master);
  std::filesystem::remove_all(std::getenv("TAVKEL_ROOT"));
  return 0;
}

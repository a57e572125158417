// Round trip of a 4-byte request and a 13-byte reply through TComm on a pseudo-terminal whose
// master side this program answers itself: SendData, the writer, the line, the reader's read
// (which completes once the line has been quiet for the 100 ms read interval), OnReceiveData.
// Prints the figures with the 100 ms interval taken off.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/Messages.h"
#include "serial/Brisko.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 40;
constexpr double kQuietIntervalMs = 100.0;
const char kRequest[4] = {'\xAA', '\x15', '\x00', '\xEE'};
const char kReply[13] = {'\xAA', '\x20', '\x09', '1', '2', '3',   '4',
                         '5',    '6',    '7',    '8', '9', '\xEE'};

// Answers every 4 bytes read from the master with the 13-byte reply, until stop is set.
void Answer(int master, const std::atomic<bool>& stop) {
  std::size_t pending = 0;
  while (!stop.load()) {
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, 50) <= 0) {
      continue;
    }
    char buffer[256];
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) {
      return;
    }
    for (pending += static_cast<std::size_t>(n); pending >= 4; pending -= 4) {
      if (write(master, kReply, sizeof kReply) != static_cast<ssize_t>(sizeof kReply)) {
        return;
      }
    }
  }
}

}  // namespace

int main() {
  char root[] = "/tmp/tavkel-bench-XXXXXX";
  if (mkdtemp(root) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("TAVKEL_ROOT", root, 1);
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("pseudo-terminal");
    return 1;
  }

  brisko::TComm comm(nullptr);
  comm.SetCommName(ptsname(master));
  comm.SetDtrControl(brisko::TDtrControl::DtrHandshake);
  comm.SetTxContinueOnXoff(false);
  comm.SetOutx_XonXoffFlow(false);
  comm.SetInx_XonXoffFlow(false);
  comm.SetRtsControl(brisko::TRtsControl::RtsDisable);
  bool ready = false;
  Clock::time_point received;
  std::size_t bytes = 0;
  comm.SetOnSendDataEmpty([&](brisko::TObject*) { ready = true; });
  comm.SetOnReceiveData([&](brisko::TObject*, const void*, std::uint16_t length) {
    received = Clock::now();
    bytes = length;
  });
  comm.OpenPort();
  if (!platform::PumpMessagesUntil([&] { return ready; }, 5000)) {
    std::fprintf(stderr, "the writer did not start\n");
    return 1;
  }

  std::atomic<bool> stop{false};
  std::thread answerer(Answer, master, std::cref(stop));
  std::vector<double> figures;
  for (int round = 0; round < kRounds; ++round) {
    bytes = 0;
    const auto sent = Clock::now();
    if (!comm.SendData(kRequest, sizeof kRequest) ||
        !platform::PumpMessagesUntil([&] { return bytes != 0; }, 5000) || bytes != sizeof kReply) {
      std::fprintf(stderr, "round %d failed (%zu bytes)\n", round, bytes);
      break;
    }
    const std::chrono::duration<double, std::milli> took = received - sent;
    figures.push_back(took.count() - kQuietIntervalMs);
  }
  stop = true;
  answerer.join();
  comm.ClosePort();
  close(master);
  std::filesystem::remove_all(root);
  if (figures.empty()) {
    return 1;
  }

  std::sort(figures.begin(), figures.end());
  double sum = 0;
  for (double f : figures) {
    sum += f;
  }
  std::printf("serial round trip, 4-byte request / 13-byte reply over a pty, %zu rounds,\n",
              figures.size());
  std::printf(
      "minus the %.0f ms quiet interval: min %.3f ms, median %.3f ms, mean %.3f ms, "
      "max %.3f ms\n",
      kQuietIntervalMs, figures.front(), figures[figures.size() / 2],
      sum / static_cast<double>(figures.size()), figures.back());
  return 0;
}

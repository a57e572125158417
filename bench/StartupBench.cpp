// Start-up of each edition: the time from the process's start (fork and exec of a fresh program)
// to the main window shown with every slot number written, and the resident memory then. Each run
// is a new process on the offscreen platform with a temporary platform root.
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/Program.h"
#include "classlib/SysUtils.h"

namespace {

constexpr int kRuns = 7;

long long MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::stol(line.substr(6));
    }
  }
  return -1;
}

// In the child: starts the program of edition E and, at the first turn of its message loop after
// the main window was shown, prints the clock and the resident memory, then ends.
template <const app::TEdition& E>
int RunChild() {
  app::StartUp<E>();
  QTimer::singleShot(0, [] {
    const bool written = app::Form1->Visible() && app::Form1->StringGrid1->Cells(0, E.LastSlot) ==
                                                      classlib::IntToStr(E.LastSlot);
    std::printf("%lld %ld %d\n", MonotonicNanoseconds(), ResidentKilobytes(), written ? 1 : 0);
    std::fflush(stdout);
    classlib::Application->Terminate();
  });
  classlib::Application->Run();
  classlib::Application->Finalize();
  return 0;
}

struct Sample {
  double milliseconds;
  long residentKb;
};

bool RunOnce(const char* self, const char* edition, Sample& sample) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    return false;
  }
  const long long started = MonotonicNanoseconds();
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    // Qt's notices about the offscreen platform would drown the figures.
    freopen("/dev/null", "w", stderr);
    close(pipeFds[0]);
    close(pipeFds[1]);
    execl(self, self, "--child", edition, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  std::string output;
  char buffer[256];
  ssize_t got;
  while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
    output.append(buffer, static_cast<std::size_t>(got));
  }
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  long long shown = 0;
  long rss = 0;
  int written = 0;
  if (std::sscanf(output.c_str(), "%lld %ld %d", &shown, &rss, &written) != 3 || written != 1) {
    std::fprintf(stderr, "%s: the child reported '%s'\n", edition, output.c_str());
    return false;
  }
  sample = {static_cast<double>(shown - started) / 1e6, rss};
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
    return std::strcmp(argv[2], "tavkel14") == 0 ? RunChild<app::Tavkel14>()
                                                 : RunChild<app::Tavkel13>();
  }
  std::string root = (std::filesystem::temp_directory_path() / "tavkel-bench-XXXXXX").string();
  if (mkdtemp(root.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("TAVKEL_ROOT", root.c_str(), 1);
  std::printf("start-up to main window shown with all slot numbers written (%d runs each)\n",
              kRuns);
  int failures = 0;
  for (const char* edition : {"tavkel14", "tavkel13"}) {
    std::vector<Sample> samples;
    for (int run = 0; run < kRuns; ++run) {
      Sample sample{};
      if (RunOnce("/proc/self/exe", edition, sample)) {
        samples.push_back(sample);
      } else {
        ++failures;
      }
    }
    if (samples.empty()) {
      continue;
    }
    std::sort(samples.begin(), samples.end(),
              [](const Sample& a, const Sample& b) { return a.milliseconds < b.milliseconds; });
    const Sample& median = samples[samples.size() / 2];
    std::printf("%s: median %.1f ms (min %.1f, max %.1f), resident %.1f MiB at the median run\n",
                edition, median.milliseconds, samples.front().milliseconds,
                samples.back().milliseconds, median.residentKb / 1024.0);
  }
  std::filesystem::remove_all(root);
  return failures == 0 ? 0 : 1;
}

// Helpers of the serial component's tests: a fixture that points the platform root at a temporary
// directory and fails a test that leaves a handle, thread, window, block or descriptor behind;
// a recorder of the component's events; bounded pumping.
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Messages.h"
#include "serial/Brisko.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/ScriptedDevice.h"

namespace serial_test {

using brisko::TComm;
using platform_test::kBound;

inline std::size_t OpenDescriptorCount() {
  std::size_t count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) {
      ++count;
    }
    closedir(dir);
  }
  return count;
}

// One event of the component, as the handlers saw it.
struct Notice {
  enum Kind { Data, LineError, Modem, Hangup, Empty };
  Notice(Kind kind, DWORD value = 0) : kind(kind), value(value) {}
  Notice(Kind kind, DWORD value, std::string bytes, bool terminated)
      : kind(kind), value(value), bytes(std::move(bytes)), terminated(terminated) {}
  Kind kind;
  DWORD value = 0;         // byte count, error flags or modem event
  std::string bytes;       // Data: the block's bytes
  bool terminated = true;  // Data: the byte after the block's bytes was 0
  bool operator==(const Notice& other) const {
    return kind == other.kind && value == other.value && bytes == other.bytes &&
           terminated == other.terminated;
  }
};

inline std::ostream& operator<<(std::ostream& out, const Notice& n) {
  static const char* const names[] = {"Data", "LineError", "Modem", "Hangup", "Empty"};
  out << names[n.kind] << "(" << n.value;
  if (n.kind == Notice::Data) {
    out << ", " << n.bytes.size() << " bytes" << (n.terminated ? "" : ", unterminated");
  }
  return out << ")";
}

inline Notice DataNotice(const std::string& bytes) {
  return {Notice::Data, static_cast<DWORD>(bytes.size()), bytes, true};
}

// Binds all five events of comm to a log. Handlers see the component as Sender.
inline void Record(TComm& comm, std::vector<Notice>& log) {
  comm.SetOnReceiveData(
      [&comm, &log](brisko::TObject* sender, const void* buffer, std::uint16_t length) {
        EXPECT_EQ(sender, &comm);
        const char* bytes = static_cast<const char*>(buffer);
        log.push_back({Notice::Data, length, std::string(bytes, length), bytes[length] == 0});
      });
  comm.SetOnReceiveError([&log](brisko::TObject*, DWORD mask) {
    log.push_back({Notice::LineError, mask});
  });
  comm.SetOnModemStateChange([&log](brisko::TObject*, DWORD event) {
    log.push_back({Notice::Modem, event});
  });
  comm.SetOnRequestHangup([&log](brisko::TObject*) { log.push_back({Notice::Hangup}); });
  comm.SetOnSendDataEmpty([&log](brisko::TObject*) { log.push_back({Notice::Empty}); });
}

inline ::testing::AssertionResult PumpUntil(const std::function<bool()>& done,
                                            DWORD bound = kBound) {
  if (platform::PumpMessagesUntil(done, bound)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "condition not met within " << bound << " ms";
}

inline ::testing::AssertionResult PumpUntilCount(const std::vector<Notice>& log, std::size_t count,
                                                 DWORD bound = kBound) {
  if (platform::PumpMessagesUntil([&] { return log.size() >= count; }, bound)) {
    return ::testing::AssertionSuccess();
  }
  auto failure = ::testing::AssertionFailure();
  failure << "saw " << log.size() << " of " << count << " events:";
  for (const Notice& n : log) {
    failure << " " << n;
  }
  return failure;
}

inline std::size_t CountOf(const std::vector<Notice>& log, Notice::Kind kind) {
  std::size_t n = 0;
  for (const Notice& notice : log) {
    n += notice.kind == kind ? 1 : 0;
  }
  return n;
}

// Dispatches every message now in the calling thread's queue.
inline void DispatchPending() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// True when thread has ended (its handle is signalled) within the bound.
inline bool Ended(const classlib::TThread* thread, DWORD bound = kBound) {
  return thread != nullptr && WaitForSingleObject(thread->Handle(), bound) == WAIT_OBJECT_0;
}

// Points the platform root at a fresh temporary directory, and after the test checks that
// everything the test made is gone again.
class SerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavkel-serial-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    setenv("TAVKEL_ROOT", root_.c_str(), 1);
    before_ = platform_test::LiveCounts{};
    descriptors_ = OpenDescriptorCount();
  }
  void TearDown() override {
    platform::ClearFaults();
    // Notices for the windows of components already gone are dropped, as dispatching would.
    MSG left;
    while (PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE)) {
      if (left.hwnd == nullptr || IsWindow(left.hwnd)) {
        ADD_FAILURE() << "message 0x" << std::hex << left.message << " left in the queue";
      }
    }
    EXPECT_EQ(platform_test::LiveCounts{}, before_);
    EXPECT_EQ(OpenDescriptorCount(), descriptors_);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 public:
  const std::filesystem::path& Root() const { return root_; }

 private:
  std::filesystem::path root_;
  platform_test::LiveCounts before_;
  std::size_t descriptors_ = 0;
};

// The name the scripted device of ScriptedCommTest is registered under.
inline constexpr const char* kScriptedName = "TESTPORT";

// A component on a scripted device, its events recorded in log.
class ScriptedCommTest : public SerialTest {
 public:
  void SetUp() override {
    SerialTest::SetUp();
    device = platform::ScriptedDevice::Register(kScriptedName);
    comm = std::make_unique<TComm>(nullptr);
    comm->SetCommName(kScriptedName);
    Record(*comm, log);
  }
  void TearDown() override {
    DispatchPending();
    comm.reset();
    device.reset();
    SerialTest::TearDown();
  }

  // Opens the port and waits until both threads run: the reader has its read and event wait
  // pending, the writer has looked at its queue (its first OnSendDataEmpty, taken off the log).
  void OpenAndSettle() {
    ASSERT_NO_THROW(comm->OpenPort());
    ASSERT_TRUE(PumpUntilCount(log, 1));
    ASSERT_EQ(log[0], Notice{Notice::Empty});
    log.clear();
    ASSERT_TRUE(device->WaitForPendingRead());
    ASSERT_TRUE(device->WaitForPendingEvent());
  }

  std::unique_ptr<platform::ScriptedDevice> device;
  std::unique_ptr<TComm> comm;
  std::vector<Notice> log;
};

}  // namespace serial_test

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>

#include "classlib/Exception.h"
#include "classlib/Thread.h"
#include "platform/Threads.h"
#include "tests/platform/PlatformTestSupport.h"

namespace {

using classlib::TThread;
using platform_test::kBound;
using platform_test::PlatformTest;

// A thread whose body is a callable; the body gets the thread object to look at its mark.
class BodyThread : public TThread {
 public:
  explicit BodyThread(std::function<void(BodyThread&)> body) : body_(std::move(body)) {}
  ~BodyThread() override { EndThread(); }
  using TThread::Terminated;

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(BodyThread&)> body_;
};

using ThreadTest = PlatformTest;

TEST_F(ThreadTest, SuspendedThreadRunsItsBodyOnceResumedOnItsOwnThread) {
  std::atomic<int> runs{0};
  std::atomic<DWORD> ranOn{0};
  BodyThread thread([&](BodyThread&) {
    ranOn = GetCurrentThreadId();
    ++runs;
  });
  EXPECT_NE(thread.Handle(), nullptr);
  EXPECT_NE(thread.ThreadID(), 0u);
  EXPECT_EQ(WaitForSingleObject(thread.Handle(), 50), WAIT_TIMEOUT);
  EXPECT_EQ(runs, 0);
  thread.Resume();
  thread.Resume();  // a second resume of a running thread changes nothing
  ASSERT_EQ(WaitForSingleObject(thread.Handle(), kBound), WAIT_OBJECT_0);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(ranOn, thread.ThreadID());
}

TEST_F(ThreadTest, NeverStartedThreadIsFreedWithoutRunningItsBody) {
  std::atomic<bool> ran{false};
  const std::size_t before = platform::LiveThreadCount();
  auto* thread = new BodyThread([&](BodyThread&) { ran = true; });
  EXPECT_EQ(platform::LiveThreadCount(), before + 1);
  delete thread;
  EXPECT_FALSE(ran);
  EXPECT_EQ(platform::LiveThreadCount(), before);
}

TEST_F(ThreadTest, FreeingMarksTerminatedAndWaitsForTheBodyToEnd) {
  HANDLE running = platform_test::NewEvent();
  std::atomic<bool> finished{false};
  auto* thread = new BodyThread([&](BodyThread& self) {
    SetEvent(running);
    while (!self.Terminated()) {
      WaitForSingleObject(running, 1);  // the mark is all this body waits for
    }
    finished = true;
  });
  thread->Start();
  ASSERT_TRUE(platform_test::Signalled(running));
  EXPECT_FALSE(thread->Terminated());
  delete thread;
  EXPECT_TRUE(finished);
  CloseHandle(running);
}

TEST_F(ThreadTest, PriorityIsKeptAsAsked) {
  BodyThread thread([](BodyThread&) {});
  for (int priority : {THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_ABOVE_NORMAL}) {
    thread.SetPriority(priority);
    EXPECT_EQ(thread.Priority(), priority);
  }
}

TEST_F(ThreadTest, CreationFailureRaisesAndLeavesNothing) {
  platform::FailNextCall(platform::FaultPoint::CreateThread);
  EXPECT_THROW(BodyThread([](BodyThread&) {}), classlib::Exception);
}

TEST_F(ThreadTest, ExceptionLeavingTheBodyIsKeptNotPropagated) {
  BodyThread thread([](BodyThread&) { throw std::runtime_error("body failed"); });
  thread.Start();
  thread.WaitFor();
  ASSERT_TRUE(thread.FatalException());
  EXPECT_THROW(std::rethrow_exception(thread.FatalException()), std::runtime_error);
}

}  // namespace

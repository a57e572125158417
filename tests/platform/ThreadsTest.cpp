#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "platform/Errors.h"
#include "tests/platform/PlatformTestSupport.h"

namespace {

using namespace platform_test;

using ThreadsTest = PlatformTest;

int CallingThreadNice() {
  errno = 0;
  const int value = getpriority(PRIO_PROCESS, 0);
  EXPECT_EQ(errno, 0);
  return value;
}

TEST_F(ThreadsTest, SuspendedThreadRunsOnlyOnceResumedAndItsHandleSignalsTheEnd) {
  HANDLE ran = NewEvent();
  {
    TestThread thread(
        [&] {
          SetEvent(ran);
          return DWORD{7};
        },
        CREATE_SUSPENDED);
    EXPECT_EQ(platform::LiveThreadCount(), 1u);
    EXPECT_EQ(WaitForSingleObject(ran, 100), WAIT_TIMEOUT) << "ran while suspended";
    EXPECT_EQ(WaitForSingleObject(thread.Handle(), 0), WAIT_TIMEOUT);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread.Handle(), &code));
    EXPECT_EQ(code, STILL_ACTIVE);

    EXPECT_EQ(ResumeThread(thread.Handle()), 1u);
    EXPECT_EQ(ResumeThread(thread.Handle()), 0u);
    ASSERT_TRUE(thread.Join());
    EXPECT_TRUE(Signalled(ran));
    ASSERT_TRUE(GetExitCodeThread(thread.Handle(), &code));
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(platform::LiveThreadCount(), 0u);
    // The end stays signalled for every later wait.
    EXPECT_EQ(WaitForSingleObject(thread.Handle(), 0), WAIT_OBJECT_0);
  }
  CloseHandle(ran);
}

TEST_F(ThreadsTest, NeverResumedThreadEndsWithoutRunningWhenItsHandleCloses) {
  HANDLE ran = NewEvent();
  {
    TestThread thread(
        [&] {
          SetEvent(ran);
          return DWORD{0};
        },
        CREATE_SUSPENDED);
    EXPECT_EQ(platform::LiveThreadCount(), 1u);
    thread.Close();
    EXPECT_EQ(platform::LiveThreadCount(), 0u);
  }
  EXPECT_EQ(WaitForSingleObject(ran, 100), WAIT_TIMEOUT) << "the routine ran after all";
  CloseHandle(ran);
}

struct PriorityCase {
  int priority;
  int niceOffset;  // what the priority maps to, relative to the creator's nice value
  bool whileRunning;
};

class ThreadPriority : public PlatformTest, public ::testing::WithParamInterface<PriorityCase> {};

TEST_P(ThreadPriority, IsReportedAsAskedAndAppliedWhereLinuxAllows) {
  const PriorityCase& row = GetParam();
  const int base = CallingThreadNice();
  HANDLE applied = NewEvent();
  std::atomic<int> nice{0};
  {
    TestThread thread(
        [&] {
          if (row.whileRunning) {
            WaitForSingleObject(applied, kBound);
          }
          nice = CallingThreadNice();
          return DWORD{0};
        },
        CREATE_SUSPENDED);
    EXPECT_EQ(GetThreadPriority(thread.Handle()), THREAD_PRIORITY_NORMAL);
    if (row.whileRunning) {
      ResumeThread(thread.Handle());
    }
    ASSERT_TRUE(SetThreadPriority(thread.Handle(), row.priority));
    EXPECT_EQ(GetThreadPriority(thread.Handle()), row.priority);
    SetEvent(applied);
    ResumeThread(thread.Handle());
    ASSERT_TRUE(thread.Join());
  }
  const int expected = std::clamp(base + row.niceOffset, -20, 19);
  if (row.niceOffset < 0) {
    // Linux may refuse the raise to an unprivileged process; it never lowers instead.
    EXPECT_TRUE(nice == expected || nice == base) << nice.load();
  } else {
    EXPECT_EQ(nice, expected);
  }
  CloseHandle(applied);
}

INSTANTIATE_TEST_SUITE_P(Table, ThreadPriority,
                         ::testing::Values(PriorityCase{THREAD_PRIORITY_HIGHEST, -10, false},
                                           PriorityCase{THREAD_PRIORITY_ABOVE_NORMAL, -5, false},
                                           PriorityCase{THREAD_PRIORITY_ABOVE_NORMAL, -5, true},
                                           PriorityCase{THREAD_PRIORITY_NORMAL, 0, false},
                                           PriorityCase{THREAD_PRIORITY_BELOW_NORMAL, 5, true},
                                           PriorityCase{THREAD_PRIORITY_LOWEST, 10, false},
                                           PriorityCase{THREAD_PRIORITY_IDLE, 39, false},
                                           PriorityCase{THREAD_PRIORITY_TIME_CRITICAL, -20,
                                                        false}));

TEST_F(ThreadsTest, UnknownPriorityIsRefusedAndLeavesThePriority) {
  TestThread thread([] { return DWORD{0}; }, CREATE_SUSPENDED);
  ASSERT_TRUE(SetThreadPriority(thread.Handle(), THREAD_PRIORITY_HIGHEST));
  for (int priority : {3, -3, 14, 16, -16}) {
    SCOPED_TRACE(priority);
    SetLastError(0);
    EXPECT_FALSE(SetThreadPriority(thread.Handle(), priority));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(GetThreadPriority(thread.Handle()), THREAD_PRIORITY_HIGHEST);
  ResumeThread(thread.Handle());
}

TEST_F(ThreadsTest, ThreadIdsAreUniqueAndNonZeroForThreadsOfEveryOrigin) {
  std::set<DWORD> ids{GetCurrentThreadId()};
  EXPECT_EQ(GetCurrentThreadId(), *ids.begin()) << "the id of a thread changed";
  for (int i = 0; i < 3; ++i) {
    std::atomic<DWORD> inside{0};
    TestThread thread([&] {
      inside = GetCurrentThreadId();
      return DWORD{0};
    });
    ASSERT_TRUE(thread.Join());
    EXPECT_EQ(inside, thread.Id());
    EXPECT_EQ(GetThreadId(thread.Handle()), thread.Id());
    ids.insert(thread.Id());
    std::thread plain([&] { ids.insert(GetCurrentThreadId()); });
    plain.join();
  }
  EXPECT_EQ(ids.size(), 7u);
  EXPECT_FALSE(ids.contains(0));
}

TEST_F(ThreadsTest, CallsOnAHandleThatNamesNoThreadFail) {
  HANDLE event = NewEvent();
  HANDLE closed = NewEvent();
  CloseHandle(closed);
  for (HANDLE handle : {event, closed}) {
    SetLastError(0);
    EXPECT_EQ(ResumeThread(handle), 0xFFFFFFFFu);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetThreadPriority(handle, THREAD_PRIORITY_NORMAL));
    EXPECT_EQ(GetThreadPriority(handle), THREAD_PRIORITY_ERROR_RETURN);
    EXPECT_EQ(GetThreadId(handle), 0u);
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(handle, &code));
  }
  CloseHandle(event);
}

}  // namespace

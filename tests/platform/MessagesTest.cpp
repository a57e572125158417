#include <poll.h>

#include <cerrno>
#include <thread>

#include "platform/Errors.h"
#include "platform/Sys.h"
#include "tests/platform/PlatformTestSupport.h"

namespace {

using namespace platform_test;

using MessagesTest = PlatformTest;

constexpr UINT kRequest = WM_USER + 1;

bool Post(DWORD thread, WPARAM wParam = 0, LPARAM lParam = 0) {
  return PostThreadMessageA(thread, kRequest, wParam, lParam) != FALSE;
}

// Makes the calling thread's queue if needed and clears its new-input mark.
void Look() {
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
}

// A thread that first looks at its queue when told to, then waits until told to end.
template <typename Thread>
void PostsAreRefusedBeforeTheFirstLookAndAfterTheEnd() {
  HANDLE look = NewEvent();
  HANDLE looked = NewEvent();
  HANDLE end = NewEvent();
  std::atomic<DWORD> id{0};
  HANDLE started = NewEvent();
  {
    Thread thread([&] {
      id = GetCurrentThreadId();
      SetEvent(started);
      WaitForSingleObject(look, kBound);
      Look();
      SetEvent(looked);
      WaitForSingleObject(end, kBound);
      return DWORD{0};
    });
    ASSERT_TRUE(Signalled(started));
    SetLastError(0);
    EXPECT_FALSE(Post(id));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
    SetEvent(look);
    ASSERT_TRUE(Signalled(looked));
    EXPECT_TRUE(Post(id));
    SetEvent(end);
  }
  SetLastError(0);
  EXPECT_FALSE(Post(id)) << "the queue outlived its thread";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
  for (HANDLE event : {look, looked, end, started}) {
    CloseHandle(event);
  }
}

// A std::thread, joined at the end of the scope like TestThread.
struct PlainThread {
  explicit PlainThread(std::function<DWORD()> body) : thread([body] { body(); }) {}
  ~PlainThread() { thread.join(); }
  std::thread thread;
};

TEST_F(MessagesTest, PostsToAThreadMadeByCreateThreadNeedItsQueue) {
  PostsAreRefusedBeforeTheFirstLookAndAfterTheEnd<TestThread>();
}

TEST_F(MessagesTest, PostsToAThreadOfOtherOriginNeedItsQueue) {
  PostsAreRefusedBeforeTheFirstLookAndAfterTheEnd<PlainThread>();
}

TEST_F(MessagesTest, PostsFromTwoThreadsArriveInPostingOrder) {
  Look();
  const DWORD self = GetCurrentThreadId();
  constexpr int kRounds = 10;
  // The two posters take turns, handing over through auto-reset events.
  HANDLE turn[2] = {NewEvent(false), NewEvent(false)};
  auto poster = [&](int side) {
    return [&, side] {
      for (int i = side; i < 2 * kRounds; i += 2) {
        if (WaitForSingleObject(turn[side], kBound) != WAIT_OBJECT_0) {
          return DWORD{1};
        }
        Post(self, static_cast<WPARAM>(i));
        SetEvent(turn[1 - side]);
      }
      return DWORD{0};
    };
  };
  {
    TestThread a(poster(0));
    TestThread b(poster(1));
    SetEvent(turn[0]);
  }
  const auto messages = Drain();
  ASSERT_EQ(messages.size(), 2u * kRounds);
  for (std::size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i].wParam, i);
    EXPECT_EQ(messages[i].hwnd, nullptr);
  }
  CloseHandle(turn[0]);
  CloseHandle(turn[1]);
}

TEST_F(MessagesTest, ConcurrentPostersLoseNothingAndKeepTheirOwnOrder) {
  Look();
  const DWORD self = GetCurrentThreadId();
  constexpr WPARAM kEach = 500;
  auto poster = [&](LPARAM sender) {
    return [&, sender] {
      for (WPARAM i = 0; i < kEach; ++i) {
        EXPECT_TRUE(Post(self, i, sender));
      }
      return DWORD{0};
    };
  };
  {
    TestThread a(poster(0));
    TestThread b(poster(1));
  }
  WPARAM next[2] = {0, 0};
  for (const MSG& message : Drain()) {
    ASSERT_EQ(message.wParam, next[message.lParam]++) << "sender " << message.lParam;
  }
  EXPECT_EQ(next[0], kEach);
  EXPECT_EQ(next[1], kEach);
}

// The writer's idle pass: an empty look, then the wait. A post in between must end the wait.
TEST_F(MessagesTest, PostBetweenAnEmptyLookAndTheWaitEndsTheWait) {
  HANDLE stop = NewEvent();
  HANDLE looked = NewEvent();
  HANDLE posted = NewEvent();
  std::atomic<DWORD> result{WAIT_FAILED};
  std::atomic<UINT> taken{0};
  {
    TestThread waiter([&] {
      Look();
      SetEvent(looked);
      WaitForSingleObject(posted, kBound);
      result = MsgWaitForMultipleObjects(1, &stop, FALSE, kBound, 0xFF);
      MSG message;
      if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        taken = message.message;
      }
      return DWORD{0};
    });
    ASSERT_TRUE(Signalled(looked));
    EXPECT_TRUE(Post(waiter.Id()));
    SetEvent(posted);
  }
  EXPECT_EQ(result, WAIT_OBJECT_0 + 1);
  EXPECT_EQ(taken, kRequest);
  for (HANDLE event : {stop, looked, posted}) {
    CloseHandle(event);
  }
}

TEST_F(MessagesTest, PostDuringTheWaitEndsTheWait) {
  Look();
  const DWORD self = GetCurrentThreadId();
  HANDLE stop = NewEvent();
  std::thread poster([&] { Post(self); });
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &stop, FALSE, kBound, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
  poster.join();
  EXPECT_EQ(Drain().size(), 1u);
  CloseHandle(stop);
}

struct WaitCase {
  const char* name;
  bool setFirst;
  bool setSecond;
  bool post;
  bool lookAfterPost;  // a look that leaves the message queued takes away its newness
  DWORD wakeMask;
  DWORD expected;
};

TEST_F(MessagesTest, WaitReportsTheLowestSignalledHandleThenNewInput) {
  const WaitCase cases[] = {
      {"first handle", true, false, false, false, QS_ALLINPUT, WAIT_OBJECT_0},
      {"second handle", false, true, false, false, QS_ALLINPUT, WAIT_OBJECT_0 + 1},
      {"new input", false, false, true, false, QS_ALLINPUT, WAIT_OBJECT_0 + 2},
      {"handle before input", false, true, true, false, 0xFF, WAIT_OBJECT_0 + 1},
      {"input already looked at", false, false, true, true, QS_ALLINPUT, WAIT_TIMEOUT},
      {"queue not watched", false, false, true, false, 0, WAIT_TIMEOUT},
      {"nothing", false, false, false, false, QS_ALLINPUT, WAIT_TIMEOUT},
  };
  for (const WaitCase& row : cases) {
    SCOPED_TRACE(row.name);
    HANDLE events[2] = {NewEvent(), NewEvent()};
    Look();
    if (row.setFirst) {
      SetEvent(events[0]);
    }
    if (row.setSecond) {
      SetEvent(events[1]);
    }
    if (row.post) {
      Post(GetCurrentThreadId());
    }
    if (row.lookAfterPost) {
      MSG message;
      EXPECT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
    }
    EXPECT_EQ(MsgWaitForMultipleObjects(2, events, FALSE, 0, row.wakeMask), row.expected);
    Drain();
    CloseHandle(events[0]);
    CloseHandle(events[1]);
  }
}

TEST_F(MessagesTest, WaitFailsOnABadHandle) {
  HANDLE closed = NewEvent();
  CloseHandle(closed);
  SetLastError(0);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &closed, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

bool Readable(int descriptor) {
  pollfd entry{descriptor, POLLIN, 0};
  return poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

TEST_F(MessagesTest, DescriptorIsReadableExactlyWhileMessagesWait) {
  Look();
  const DWORD self = GetCurrentThreadId();
  const int descriptor = platform::MessageQueueDescriptor();
  ASSERT_GE(descriptor, 0);
  EXPECT_EQ(platform::MessageQueueDescriptor(), descriptor);
  EXPECT_FALSE(Readable(descriptor));
  Post(self, 1);
  Post(self, 2);
  EXPECT_TRUE(Readable(descriptor));
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_TRUE(Readable(descriptor));
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.wParam, 1u);
  EXPECT_TRUE(Readable(descriptor)) << "a message still waits";
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(Readable(descriptor));
  Post(self, 3);
  EXPECT_TRUE(Readable(descriptor));
  Drain();
  EXPECT_FALSE(Readable(descriptor));
}

TEST_F(MessagesTest, DescriptorMadeWhileMessagesWaitIsReadable) {
  HANDLE done = NewEvent();
  std::atomic<bool> readable{false};
  std::atomic<bool> drained{true};
  HANDLE looked = NewEvent();
  {
    TestThread thread([&] {
      Look();
      SetEvent(looked);
      WaitForSingleObject(done, kBound);
      const int descriptor = platform::MessageQueueDescriptor();
      readable = Readable(descriptor);
      Drain();
      drained = !Readable(descriptor);
      return DWORD{0};
    });
    ASSERT_TRUE(Signalled(looked));
    Post(thread.Id());
    SetEvent(done);
  }
  EXPECT_TRUE(readable);
  EXPECT_TRUE(drained);
  CloseHandle(done);
  CloseHandle(looked);
}

// The process has no descriptor left when the queue's is asked for: the caller learns why, the
// queue carries on without it, and the next request makes it, readable at once for what waits.
TEST_F(MessagesTest, DescriptorThatCannotBeMadeIsReportedAndMadeOnTheNextRequest) {
  TestThread thread([] {
    Look();
    const DWORD self = GetCurrentThreadId();
    {
      auto calls = platform::sys::RealCalls();
      calls.eventfd = [](unsigned, int) {
        errno = EMFILE;
        return -1;
      };
      const platform::sys::ScopedCalls noDescriptors{calls};
      SetLastError(0);
      int error = 0;
      EXPECT_EQ(platform::MessageQueueDescriptor(&error), -1);
      EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
      EXPECT_EQ(error, EMFILE) << "the system's reason, for the words a program shows";
      EXPECT_TRUE(Post(self, 7));
      MSG message;
      EXPECT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
      EXPECT_EQ(message.wParam, 7u);
    }
    const int descriptor = platform::MessageQueueDescriptor();
    EXPECT_GE(descriptor, 0);
    EXPECT_TRUE(Readable(descriptor)) << "the message posted meanwhile waits";
    EXPECT_EQ(Drain().size(), 1u);
    EXPECT_FALSE(Readable(descriptor));
    return DWORD{0};
  });
  EXPECT_TRUE(thread.Join());
}

// The writer's way out: retire the queue, then release the blocks of what waits in it.
TEST_F(MessagesTest, RetiredQueueRefusesPostsAndKeepsWhatWaits) {
  HANDLE looked = NewEvent();
  HANDLE retire = NewEvent();
  HANDLE retired = NewEvent();
  std::atomic<int> freed{0};
  {
    TestThread thread([&] {
      Look();
      SetEvent(looked);
      WaitForSingleObject(retire, kBound);
      platform::RetireMessageQueue();
      SetEvent(retired);
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (LocalFree(reinterpret_cast<HLOCAL>(message.lParam)) == nullptr) {
          ++freed;
        }
      }
      return DWORD{0};
    });
    ASSERT_TRUE(Signalled(looked));
    for (int i = 0; i < 3; ++i) {
      HLOCAL block = LocalAlloc(LPTR, 14);
      ASSERT_TRUE(Post(thread.Id(), 13, reinterpret_cast<LPARAM>(block)));
    }
    SetEvent(retire);
    ASSERT_TRUE(Signalled(retired));
    SetLastError(0);
    EXPECT_FALSE(Post(thread.Id()));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
  }
  EXPECT_EQ(freed, 3);
  for (HANDLE event : {looked, retire, retired}) {
    CloseHandle(event);
  }
}

TEST_F(MessagesTest, PumpGivesUpAtItsTimeout) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(platform::PumpMessagesUntil([] { return false; }, 50));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

}  // namespace

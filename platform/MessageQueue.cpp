#include "MessageQueue.h"

#include <sys/eventfd.h>

#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <unordered_map>

#include "Errors.h"
#include "Sys.h"
#include "Threads.h"

namespace platform {
namespace {

DWORD MonotonicMilliseconds() {
  using namespace std::chrono;
  return static_cast<DWORD>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool Matches(const MSG& message, HWND window, UINT filterMin, UINT filterMax) {
  if (window != nullptr && message.hwnd != window) {
    return false;
  }
  if (filterMin == 0 && filterMax == 0) {
    return true;
  }
  return message.message >= filterMin && message.message <= filterMax;
}

// The queue of every thread whose queue has not ended (retired ones included), by thread id.
std::unordered_map<DWORD, std::shared_ptr<MessageQueue>>& QueuesLocked() {
  static auto* queues = new std::unordered_map<DWORD, std::shared_ptr<MessageQueue>>;
  return *queues;
}

// Ends the queue at the exit of a thread that was not made by CreateThread (those end it before
// their handle is signalled, and this finds nothing left to do).
struct CallingThreadQueue {
  std::shared_ptr<MessageQueue> queue;
  bool ended = false;  // a thread's queue is not made again once it has ended
  ~CallingThreadQueue() {
    if (queue) {
      EndCallingThreadQueue();
    }
  }
};

thread_local CallingThreadQueue callingThreadQueue;

}  // namespace

MessageQueue::~MessageQueue() {
  if (descriptor_ >= 0) {
    sys::CloseQuietly(descriptor_);
  }
}

bool MessageQueue::PostLocked(MSG message) {
  if (!accepting_) {
    return false;
  }
  message.time = MonotonicMilliseconds();
  pending_.push_back(message);
  if (pending_.size() == 1) {
    SetDescriptorReadableLocked(true);
  }
  newInput_ = true;
  WakeWaitersLocked();
  return true;
}

bool MessageQueue::TakeLocked(MSG* out, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  newInput_ = false;
  for (auto it = pending_.begin(); it != pending_.end(); ++it) {
    if (!Matches(*it, window, filterMin, filterMax)) {
      continue;
    }
    *out = *it;
    if (remove) {
      pending_.erase(it);
      if (pending_.empty()) {
        SetDescriptorReadableLocked(false);
      }
    }
    return true;
  }
  return false;
}

void MessageQueue::EndLocked() {
  accepting_ = false;
  newInput_ = false;
  pending_.clear();
  if (descriptor_ >= 0) {
    sys::CloseQuietly(descriptor_);
    descriptor_ = -1;
  }
}

int MessageQueue::DescriptorLocked(int& systemError) {
  if (descriptor_ < 0) {
    auto made = sys::EventFd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!made.ok()) {
      SetLastErrorFromErrno(made.error);
      systemError = made.error;
      return -1;
    }
    descriptor_ = static_cast<int>(made.value);
    if (!pending_.empty()) {
      SetDescriptorReadableLocked(true);
    }
  }
  return descriptor_;
}

// The counter is 1 while messages wait and 0 otherwise; the transitions happen under the lock, so
// writes and reads alternate and neither can block.
void MessageQueue::SetDescriptorReadableLocked(bool readable) {
  if (descriptor_ < 0) {
    return;
  }
  std::uint64_t value = 1;
  sys::Result done{};
  do {
    done = readable ? sys::Write(descriptor_, &value, sizeof value)
                    : sys::Read(descriptor_, &value, sizeof value);
  } while (!done.ok() && done.error == EINTR);
  assert(done.ok());
}

std::shared_ptr<MessageQueue> CallingThreadQueueLocked() {
  auto& slot = callingThreadQueue;
  if (!slot.queue && !slot.ended) {
    const DWORD id = GetCurrentThreadId();
    slot.queue = std::make_shared<MessageQueue>(id);
    QueuesLocked()[id] = slot.queue;
  }
  return slot.queue;
}

std::shared_ptr<MessageQueue> ExistingCallingThreadQueueLocked() {
  return callingThreadQueue.queue;
}

std::shared_ptr<MessageQueue> AcceptingQueueOfThreadLocked(DWORD threadId) {
  auto& queues = QueuesLocked();
  auto it = queues.find(threadId);
  if (it == queues.end() || !it->second->AcceptingLocked()) {
    return nullptr;
  }
  return it->second;
}

void EndCallingThreadQueue() {
  auto& slot = callingThreadQueue;
  std::lock_guard guard(DispatcherLock());
  slot.ended = true;
  if (!slot.queue) {
    return;
  }
  QueuesLocked().erase(slot.queue->OwnerThreadId());
  DestroyWindowsOfQueueLocked(*slot.queue);
  slot.queue->EndLocked();
  slot.queue.reset();
}

}  // namespace platform

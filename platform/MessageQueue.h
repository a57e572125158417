// The per-thread message queue behind PeekMessageA, the posts and MsgWaitForMultipleObjects.
// Internal to the platform.
//
// All state of every queue, of the table of queues by thread id, and of the window table is
// guarded by the dispatcher lock: a post, a look at the queue and a wait on it are then atomic with
// respect to each other, so a post can never slip between a look and the wait that follows it.
#pragma once

#include <deque>
#include <memory>

#include "Handles.h"
#include "Types.h"

namespace platform {

class MessageQueue : public Waitable {
 public:
  explicit MessageQueue(DWORD ownerThreadId) : ownerThreadId_(ownerThreadId) {}
  ~MessageQueue() override;

  DWORD OwnerThreadId() const { return ownerThreadId_; }

  // Signalled while input has arrived that is new since the owner's last look (PeekMessageA).
  bool IsSignalledLocked() const override { return newInput_; }

  // Appends message, stamped with the current time; false once the queue is retired or ended.
  bool PostLocked(MSG message);

  // The first message that matches the filter, removed when remove is set; false when none does.
  // Every look clears the new-input mark.
  bool TakeLocked(MSG* out, HWND window, UINT filterMin, UINT filterMax, bool remove);

  // Refuses posts from now on; what is queued stays for TakeLocked.
  void RetireLocked() { accepting_ = false; }
  bool AcceptingLocked() const { return accepting_; }

  // The owner thread has ended: refuses posts, discards what is queued and closes the descriptor.
  void EndLocked();

  // The eventfd that polls readable exactly while messages wait. -1, with the reason in
  // GetLastError and the call's errno in systemError, when it cannot be made; a later call tries
  // again.
  int DescriptorLocked(int& systemError);

 private:
  void SetDescriptorReadableLocked(bool readable);

  const DWORD ownerThreadId_;
  std::deque<MSG> pending_;
  bool newInput_ = false;  // a post since the owner's last look
  bool accepting_ = true;  // false once retired or ended
  int descriptor_ = -1;    // made on the first request that succeeds
};

// The calling thread's queue, made (and registered for posts) on first use; null once the thread's
// queue has ended.
std::shared_ptr<MessageQueue> CallingThreadQueueLocked();

// The calling thread's queue if it has one; never makes one.
std::shared_ptr<MessageQueue> ExistingCallingThreadQueueLocked();

// The queue of thread threadId that accepts posts, or null.
std::shared_ptr<MessageQueue> AcceptingQueueOfThreadLocked(DWORD threadId);

// Ends the calling thread's queue and destroys its windows. Runs when a thread made by
// CreateThread returns, before its handle is signalled, and at thread exit for threads of any other
// origin. Takes the dispatcher lock.
void EndCallingThreadQueue();

// Destroys every window that belongs to queue (defined with the window table).
void DestroyWindowsOfQueueLocked(const MessageQueue& queue);

}  // namespace platform

// The reader and writer threads of TComm. Neither calls into the component nor raises: each
// reports by posting to the notification window, and on a failure posts a hang-up request and
// ends. Both end quietly on the stop event and on an invalid port handle.
#include <algorithm>
#include <cstring>

#include "platform/Handles.h"
#include "platform/Heap.h"
#include "platform/Messages.h"
#include "platform/Sync.h"
#include "serial/Brisko.h"

namespace brisko {

void TCommThread::PostHangup() {
  PostMessageA(NotifyWindow, MsgHangupRequest, 0, 0);
}

// ---- Reader ----------------------------------------------------------------------------------

// Only the operation that finished is armed again; the other stays pending. Every arming ends
// with its operation pending, so the events' initial signalled state and completions handled
// inside an arming loop never reach the main wait as finished operations.
void TReadThread::ReaderLoop() {
  DWORD byteCount = 0;
  DWORD eventMask = 0;
  BYTE readBuffer[ReadBufferSize];
  OVERLAPPED readRecord{};
  OVERLAPPED eventRecord{};
  readPending_ = false;
  eventWaitPending_ = false;

  readRecord.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  eventRecord.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (readRecord.hEvent == nullptr || eventRecord.hEvent == nullptr) {
    PostHangup();
    ExitSteps(readRecord, eventRecord);
    return;
  }
  // Lowest index wins: a stop goes before a port event, a port event before a finished read.
  const HANDLE waitList[3] = {StopEvent, eventRecord.hEvent, readRecord.hEvent};
  if (!SetCommMask(PortHandle, EventsAsked)) {
    PostHangup();
    ExitSteps(readRecord, eventRecord);
    return;
  }
  if (ArmEventWait(eventRecord, eventMask) &&
      ArmRead(readRecord, readBuffer, ReadBufferSize, byteCount)) {
    for (;;) {
      const DWORD woke = WaitForMultipleObjects(3, waitList, FALSE, INFINITE);
      if (woke == WAIT_OBJECT_0) {
        break;
      }
      if (woke == WAIT_OBJECT_0 + 1) {
        if (!ProcessCommEvent(&eventRecord, eventMask, true) ||
            !ArmEventWait(eventRecord, eventMask)) {
          break;
        }
      } else if (woke == WAIT_OBJECT_0 + 2) {
        if (!CompleteRead(readRecord, readBuffer, byteCount) ||
            !ArmRead(readRecord, readBuffer, ReadBufferSize, byteCount)) {
          break;
        }
      } else {
        PostHangup();
        break;
      }
    }
  }
  ExitSteps(readRecord, eventRecord);
}

// The receive purge ends a pending read; a pending event wait is ended by clearing the mask (a
// closed handle has ended both already). Both records and the mask live in ReaderLoop's frame, so
// the platform must be done with them before it returns.
void TReadThread::ExitSteps(OVERLAPPED& ReadRecord, OVERLAPPED& EventRecord) {
  PurgeComm(PortHandle, PURGE_RXABORT | PURGE_RXCLEAR);
  if (eventWaitPending_) {
    SetCommMask(PortHandle, 0);
  }
  if (readPending_) {
    WaitForSingleObject(ReadRecord.hEvent, INFINITE);
  }
  if (eventWaitPending_) {
    WaitForSingleObject(EventRecord.hEvent, INFINITE);
  }
  readPending_ = false;
  eventWaitPending_ = false;
  if (ReadRecord.hEvent != nullptr) {
    CloseHandle(ReadRecord.hEvent);
  }
  if (EventRecord.hEvent != nullptr) {
    CloseHandle(EventRecord.hEvent);
  }
}

bool TReadThread::ArmRead(OVERLAPPED& Record, BYTE* Buffer, DWORD Size, DWORD& ByteCount) {
  for (;;) {
    if (WaitForSingleObject(StopEvent, 0) != WAIT_TIMEOUT) {
      return false;
    }
    if (ReadFile(PortHandle, Buffer, Size, &ByteCount, &Record)) {
      // Delivered (copied into its block) before the buffer is read into again.
      if (!DeliverData(Buffer, ByteCount)) {
        return false;
      }
      continue;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
      readPending_ = true;
      return true;
    }
    if (error != ERROR_INVALID_HANDLE) {
      PostHangup();
    }
    return false;
  }
}

bool TReadThread::CompleteRead(OVERLAPPED& Record, BYTE* Buffer, DWORD& ByteCount) {
  readPending_ = false;
  if (GetOverlappedResult(PortHandle, &Record, &ByteCount, FALSE)) {
    return DeliverData(Buffer, ByteCount);
  }
  if (GetLastError() != ERROR_INVALID_HANDLE) {
    PostHangup();
  }
  return false;
}

// A read of zero bytes ends the reader without any notice; the stored timeouts never give one.
bool TReadThread::DeliverData(const BYTE* Buffer, DWORD Count) {
  if (Count == 0) {
    return false;
  }
  HLOCAL block = LocalAlloc(LPTR, std::size_t{Count} + 1);  // the zero byte comes with LPTR
  if (block == nullptr) {
    PostHangup();
    return false;
  }
  std::memcpy(block, Buffer, Count);
  if (!PostData(block, Count)) {
    LocalFree(block);
    return false;
  }
  return true;
}

bool TReadThread::ArmEventWait(OVERLAPPED& Record, DWORD& EventMask) {
  for (;;) {
    if (WaitForSingleObject(StopEvent, 0) != WAIT_TIMEOUT) {
      return false;
    }
    if (WaitCommEvent(PortHandle, &EventMask, &Record)) {
      if (!ProcessCommEvent(nullptr, EventMask, false)) {
        return false;
      }
      continue;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
      eventWaitPending_ = true;
      return true;
    }
    if (error != ERROR_INVALID_HANDLE) {
      PostHangup();
    }
    return false;
  }
}

// For one event the line error is posted before the modem event. A mask with none of the three
// events asked for (an empty one, say) means the port can no longer be watched: hang up.
bool TReadThread::ProcessCommEvent(OVERLAPPED* Record, DWORD& EventMask, bool ThroughTheWait) {
  bool result = false;
  if (ThroughTheWait) {
    eventWaitPending_ = false;
    DWORD unused = 0;
    if (!GetOverlappedResult(PortHandle, Record, &unused, FALSE)) {
      if (GetLastError() != ERROR_INVALID_HANDLE) {
        PostHangup();
      }
      return false;
    }
  }
  if (EventMask & EV_ERR) {
    DWORD errors = 0;
    if (!ClearCommError(PortHandle, &errors, nullptr)) {
      if (GetLastError() != ERROR_INVALID_HANDLE) {
        PostHangup();
      }
      return false;
    }
    if (!PostLineError(errors)) {
      return false;
    }
    result = true;
  }
  DWORD modem = 0;
  if (EventMask & EV_RLSD) {
    modem = ModemEventCarrier;
  }
  if (EventMask & EV_RING) {
    modem |= ModemEventRing;
  }
  if (modem != 0) {
    if (!PostModemEvent(modem)) {
      return false;
    }
    result = true;
  }
  if ((EventMask & EventsAsked) == 0) {
    PostHangup();
    return false;
  }
  return result;
}

bool TReadThread::PostData(HLOCAL Block, DWORD Count) {
  if (!PostMessageA(NotifyWindow, MsgDataReceived, Count, reinterpret_cast<LPARAM>(Block))) {
    PostHangup();
    return false;
  }
  return true;
}

bool TReadThread::PostLineError(DWORD Errors) {
  if (!PostMessageA(NotifyWindow, MsgLineError, 0, static_cast<LPARAM>(Errors))) {
    PostHangup();
    return false;
  }
  return true;
}

bool TReadThread::PostModemEvent(DWORD Value) {
  if (!PostMessageA(NotifyWindow, MsgModemEvent, 0, static_cast<LPARAM>(Value))) {
    PostHangup();
    return false;
  }
  return true;
}

// ---- Writer ----------------------------------------------------------------------------------

// The queue exists from the first look at it; until then SendData's posts are refused. JustSent
// means: announce the empty queue at the next idle pass.
void TWriteThread::WriterLoop() {
  MSG message{};
  OVERLAPPED record{};
  HLOCAL unwritten = nullptr;  // block of a failed write, freed once the exit purge has run
  bool looked = false;

  record.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (record.hEvent == nullptr) {
    PostHangup();
  } else {
    bool JustSent = true;
    looked = true;
    for (;;) {
      if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (JustSent && !PostMessageA(NotifyWindow, MsgSendQueueEmpty, 0, 0)) {
          PostHangup();
          break;
        }
        JustSent = false;
        const DWORD woke = MsgWaitForMultipleObjects(1, &StopEvent, FALSE, INFINITE, 0xFF);
        if (woke == WAIT_OBJECT_0) {
          break;
        }
        if (woke == WAIT_OBJECT_0 + 1) {
          continue;
        }
        PostHangup();
        break;
      }
      const bool isWriteRequest = message.hwnd == nullptr && message.message == MsgWriteRequest;
      if (WaitForSingleObject(StopEvent, 0) != WAIT_TIMEOUT) {
        if (isWriteRequest) {
          LocalFree(reinterpret_cast<HLOCAL>(message.lParam));
        }
        break;
      }
      if (message.hwnd != nullptr) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      } else if (isWriteRequest) {
        auto* block = reinterpret_cast<HLOCAL>(message.lParam);
        if (!WriteBlock(record, static_cast<const BYTE*>(block),
                        static_cast<DWORD>(message.wParam))) {
          unwritten = block;
          break;
        }
        LocalFree(block);
        JustSent = true;
      }
      // Any other thread message is dropped.
    }
  }

  PurgeComm(PortHandle, PURGE_TXABORT | PURGE_TXCLEAR);
  if (unwritten != nullptr) {
    LocalFree(unwritten);  // no write of it is pending any more
  }
  if (record.hEvent != nullptr) {
    CloseHandle(record.hEvent);
  }
  if (looked) {
    ReleaseQueuedRequests();
  }
}

// Requests never taken would be lost with the queue, their blocks with them. Once the queue is
// retired SendData's posts fail and it frees its own block, so the drain sees every last one.
void TWriteThread::ReleaseQueuedRequests() {
  platform::RetireMessageQueue();
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.hwnd == nullptr && message.message == MsgWriteRequest) {
      LocalFree(reinterpret_cast<HLOCAL>(message.lParam));
    }
  }
}

// A write that ends after part of the block (under non-zero write timeouts) is continued from the
// first byte not yet written. On a stop the pending write is left to the exit purge.
bool TWriteThread::WriteBlock(OVERLAPPED& Record, const BYTE* Buffer, DWORD Count) {
  const HANDLE waitList[2] = {StopEvent, Record.hEvent};
  DWORD offset = 0;
  DWORD remaining = Count;
  do {
    DWORD bytesWritten = 0;
    if (!WriteFile(PortHandle, Buffer + offset, remaining, &bytesWritten, &Record)) {
      const DWORD error = GetLastError();
      if (error == ERROR_INVALID_HANDLE) {
        return false;
      }
      if (error != ERROR_IO_PENDING) {
        PostHangup();
        return false;
      }
      const DWORD woke = WaitForMultipleObjects(2, waitList, FALSE, INFINITE);
      if (woke == WAIT_OBJECT_0) {
        return false;
      }
      if (woke != WAIT_OBJECT_0 + 1) {
        PostHangup();
        return false;
      }
      if (!GetOverlappedResult(PortHandle, &Record, &bytesWritten, TRUE)) {
        if (GetLastError() != ERROR_INVALID_HANDLE) {
          PostHangup();
        }
        return false;
      }
    }
    bytesWritten = std::min(bytesWritten, remaining);
    remaining -= bytesWritten;
    offset += bytesWritten;
  } while (remaining > 0);
  return true;
}

}  // namespace brisko

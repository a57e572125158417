// TComm: opening and closing the port, queuing writes, and turning the threads' notices into
// events. The threads themselves are in BriskoThreads.cpp.
#include "serial/Brisko.h"

#include <cstring>

#include "platform/Handles.h"
#include "platform/Heap.h"
#include "platform/Messages.h"
#include "platform/Sync.h"

namespace brisko {

namespace {

constexpr DWORD DriverQueueSize = 4096;
constexpr DWORD ThreadStopWaitMs = 10000;

DWORD DtrControlValue(TDtrControl value) {
  switch (value) {
    case TDtrControl::DtrEnable:
      return DTR_CONTROL_ENABLE;
    case TDtrControl::DtrHandshake:
      return DTR_CONTROL_HANDSHAKE;
    default:
      return DTR_CONTROL_DISABLE;
  }
}

DWORD RtsControlValue(TRtsControl value) {
  switch (value) {
    case TRtsControl::RtsEnable:
      return RTS_CONTROL_ENABLE;
    case TRtsControl::RtsHandshake:
      return RTS_CONTROL_HANDSHAKE;
    case TRtsControl::RtsTransmissionAvailable:
      return RTS_CONTROL_TOGGLE;
    default:
      return RTS_CONTROL_DISABLE;
  }
}

// Frees the block of a MsgDataReceived notice when the handler is done with it, also when the
// handler raises.
struct BlockRelease {
  LPARAM block;
  ~BlockRelease() { LocalFree(reinterpret_cast<HLOCAL>(block)); }
};

}  // namespace

TComm::TComm(TComponent* Owner) : TComponent(Owner) {
  notifyWindow_ =
      classlib::AllocateHWnd([this](classlib::TMessage& Message) { NotifyWindowProc(Message); });
}

TComm::~TComm() {
  ClosePort();
  // Notices still queued for the window would be dropped with it; data blocks among them are
  // ours to free.
  MSG message;
  while (PeekMessageA(&message, notifyWindow_, MsgDataReceived, MsgDataReceived, PM_REMOVE)) {
    LocalFree(reinterpret_cast<HLOCAL>(message.lParam));
  }
  classlib::DeallocateHWnd(notifyWindow_);
}

void TComm::OpenPort() {
  if (portHandle_ != nullptr) {
    throw ECommsError("This serial port already opened");
  }
  HANDLE device = CreateFileA(commName_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    throw ECommsError("Error opening serial port");
  }
  if (GetFileType(device) != FILE_TYPE_CHAR) {
    CloseHandle(device);
    throw ECommsError("File handle is not a comm handle ");
  }
  if (!SetupComm(device, DriverQueueSize, DriverQueueSize)) {
    CloseHandle(device);
    throw ECommsError("Cannot setup comm buffer");
  }
  portHandle_ = device;
  PurgeComm(portHandle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  ApplyTimeouts();
  ApplyLineSettings();

  stopEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (stopEvent_ == nullptr) {
    CloseHandle(portHandle_);
    portHandle_ = nullptr;
    throw ECommsError("Unable to create event");
  }

  try {
    readerThread_ = new TReadThread;
  } catch (...) {
    readerThread_ = nullptr;
    CloseHandle(stopEvent_);
    stopEvent_ = nullptr;
    CloseHandle(portHandle_);
    portHandle_ = nullptr;
    throw ECommsError("Unable to create read thread");
  }
  readerThread_->PortHandle = portHandle_;
  readerThread_->StopEvent = stopEvent_;
  readerThread_->NotifyWindow = notifyWindow_;
  readerThread_->SetPriority(THREAD_PRIORITY_HIGHEST);

  try {
    writerThread_ = new TWriteThread;
  } catch (...) {
    StopReader();
    writerThread_ = nullptr;
    CloseHandle(stopEvent_);
    stopEvent_ = nullptr;
    CloseHandle(portHandle_);
    portHandle_ = nullptr;
    throw ECommsError("Unable to create write thread");
  }
  writerThread_->PortHandle = portHandle_;
  writerThread_->StopEvent = stopEvent_;
  writerThread_->NotifyWindow = notifyWindow_;
  writerThread_->SetPriority(THREAD_PRIORITY_ABOVE_NORMAL);

  readerThread_->Resume();
  writerThread_->Resume();
}

void TComm::ClosePort() {
  if (portHandle_ == nullptr) {
    return;
  }
  StopReader();
  StopWriter();
  CloseHandle(stopEvent_);
  stopEvent_ = nullptr;
  CloseHandle(portHandle_);
  portHandle_ = nullptr;
}

// The stop event is set before the purge, so that a thread woken by its aborted operation finds it
// set and ends without a hang-up request. Neither thread body looks at the terminate mark.
void TComm::StopReader() {
  if (readerThread_ == nullptr) {
    return;
  }
  SetEvent(stopEvent_);
  PurgeComm(portHandle_, PURGE_RXABORT | PURGE_RXCLEAR);
  if (WaitForSingleObject(readerThread_->Handle(), ThreadStopWaitMs) == WAIT_TIMEOUT) {
    readerThread_->Terminate();
  }
  delete readerThread_;
  readerThread_ = nullptr;
}

void TComm::StopWriter() {
  if (writerThread_ == nullptr) {
    return;
  }
  SetEvent(stopEvent_);
  PurgeComm(portHandle_, PURGE_TXABORT | PURGE_TXCLEAR);
  if (WaitForSingleObject(writerThread_->Handle(), ThreadStopWaitMs) == WAIT_TIMEOUT) {
    writerThread_->Terminate();
  }
  delete writerThread_;
  writerThread_ = nullptr;
}

bool TComm::SendData(const void* Buffer, std::uint16_t Count) {
  if (writerThread_ == nullptr || Count == 0) {
    return false;
  }
  HLOCAL block = LocalAlloc(LPTR, std::size_t{Count} + 1);
  if (block == nullptr) {
    return false;
  }
  std::memcpy(block, Buffer, Count);
  if (!PostThreadMessageA(writerThread_->ThreadID(), MsgWriteRequest, Count,
                          reinterpret_cast<LPARAM>(block))) {
    LocalFree(block);
    return false;
  }
  return true;
}

void TComm::ApplyLineSettings() {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  GetCommState(portHandle_, &dcb);
  dcb.BaudRate = baudRate_;
  const struct {
    bool on;
    DWORD bit;
  } switches[] = {{parityCheck_, 0x2},       {outxCtsFlow_, 0x4},
                  {outxDsrFlow_, 0x8},       {dsrSensitivity_, 0x40},
                  {txContinueOnXoff_, 0x80}, {outxXonXoffFlow_, 0x100},
                  {inxXonXoffFlow_, 0x200},  {replaceWhenParityError_, 0x400},
                  {ignoreNullChar_, 0x800}};
  DWORD flags = 0x1;  // fBinary always; fAbortOnError and fDummy2 always 0
  for (const auto& s : switches) {
    if (s.on) {
      flags |= s.bit;
    }
  }
  flags |= DtrControlValue(dtrControl_) << 4 | RtsControlValue(rtsControl_) << 12;
  SetDcbFlags(dcb, flags);
  dcb.XonLim = xonLimit_;
  dcb.XoffLim = xoffLimit_;
  dcb.ByteSize = static_cast<BYTE>(static_cast<BYTE>(byteSize_) + 5);
  dcb.Parity = static_cast<BYTE>(parity_);
  dcb.StopBits = static_cast<BYTE>(stopBits_);
  dcb.XonChar = xonChar_;
  dcb.XoffChar = xoffChar_;
  dcb.ErrorChar = replacedChar_;
  SetCommState(portHandle_, &dcb);
}

void TComm::ApplyTimeouts() {
  COMMTIMEOUTS timeouts{readIntervalTimeout_, readTotalTimeoutMultiplier_,
                        readTotalTimeoutConstant_, writeTotalTimeoutMultiplier_,
                        writeTotalTimeoutConstant_};
  SetCommTimeouts(portHandle_, &timeouts);
}

// After a handler returns nothing of the component is touched: a handler may close the port.
void TComm::NotifyWindowProc(classlib::TMessage& Message) {
  switch (Message.Msg) {
    case MsgDataReceived: {
      BlockRelease release{Message.LParam};
      DoReceiveData(reinterpret_cast<const void*>(Message.LParam),
                    static_cast<std::uint16_t>(Message.WParam & 0xFFFF));
      break;
    }
    case MsgLineError:
      DoReceiveError(static_cast<DWORD>(Message.LParam));
      break;
    case MsgHangupRequest:
      DoRequestHangup();
      break;
    case MsgModemEvent:
      DoModemStateChange(static_cast<DWORD>(Message.LParam));
      break;
    case MsgSendQueueEmpty:
      DoSendDataEmpty();
      break;
    default:
      break;  // no event, no default processing; the reply stays 0
  }
}

// Each trigger calls a copy of its slot, since the handler may rebind the slot while it runs.
void TComm::DoReceiveData(const void* Buffer, std::uint16_t BufferLength) {
  if (auto handler = onReceiveData_) {
    handler(this, Buffer, BufferLength);
  }
}

void TComm::DoReceiveError(DWORD EventMask) {
  if (auto handler = onReceiveError_) {
    handler(this, EventMask);
  }
}

void TComm::DoModemStateChange(DWORD ModemEvent) {
  if (auto handler = onModemStateChange_) {
    handler(this, ModemEvent);
  }
}

void TComm::DoRequestHangup() {
  if (auto handler = onRequestHangup_) {
    handler(this);
  }
}

void TComm::DoSendDataEmpty() {
  if (auto handler = onSendDataEmpty_) {
    handler(this);
  }
}

}  // namespace brisko

// The serial-port component TComm: opens a named serial device for overlapped I/O, queues outgoing
// blocks to its writer thread and turns what its reader and writer threads report into events on
// the thread that owns it.
//
// Blocks cross threads in one layout only: a LocalAlloc(LPTR) block of count + 1 bytes, count
// bytes followed by a zero byte, owned by one thread at a time; ownership moves with the posted
// message that carries it and the consumer frees it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "classlib/Exception.h"
#include "classlib/Object.h"
#include "classlib/Thread.h"
#include "classlib/UtilWindow.h"
#include "platform/Serial.h"
#include "platform/Types.h"

namespace brisko {

using classlib::TComponent;
using classlib::TObject;

// Raised by OpenPort only, with one of its seven fixed messages.
class ECommsError : public classlib::Exception {
 public:
  using Exception::Exception;
};

// Ordinals differ from the platform's values where noted; ApplyLineSettings translates.
enum class TDtrControl : std::uint8_t { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl : std::uint8_t {
  RtsEnable,
  RtsDisable,
  RtsHandshake,
  RtsTransmissionAvailable
};
enum class TByteSize : std::uint8_t { _5, _6, _7, _8 };              // data bits = ordinal + 5
enum class TParity : std::uint8_t { None, Odd, Even, Mark, Space };  // = the platform's values
enum class TStopBits : std::uint8_t { _1, _1_5, _2 };                // = the platform's values

// Event types; Sender is always the component. Buffer is valid only during the call.
using TReceiveDataEvent =
    std::function<void(TObject* Sender, const void* Buffer, std::uint16_t BufferLength)>;
using TReceiveErrorEvent = std::function<void(TObject* Sender, DWORD EventMask)>;
using TModemStateChangeEvent = std::function<void(TObject* Sender, DWORD ModemEvent)>;
using TSendDataEmptyEvent = std::function<void(TObject* Sender)>;
using TNotifyEvent = std::function<void(TObject* Sender)>;

// Notices to the notification window (posted by the threads), and the write request (posted by
// SendData to the writer thread's own queue, never to a window).
inline constexpr UINT MsgDataReceived = WM_USER + 1;    // WParam count 1..2048, LParam block
inline constexpr UINT MsgLineError = WM_USER + 2;       // LParam CE_ flags
inline constexpr UINT MsgHangupRequest = WM_USER + 3;   // no payload
inline constexpr UINT MsgModemEvent = WM_USER + 4;      // LParam 4, 8 or 12
inline constexpr UINT MsgSendQueueEmpty = WM_USER + 5;  // no payload
inline constexpr UINT MsgWriteRequest = WM_USER + 1;    // WParam count 1..65535, LParam block

inline constexpr DWORD ModemEventRing = 4;
inline constexpr DWORD ModemEventCarrier = 8;

// What both threads are given by OpenPort before they are resumed, never changed afterwards.
class TCommThread : public classlib::TThread {
 public:
  TCommThread() = default;

  HANDLE PortHandle = nullptr;  // the open port, a copy of the owner's
  HANDLE StopEvent = nullptr;   // the owner's manual-reset stop event: once set, the thread ends
  HWND NotifyWindow = nullptr;  // the owner's notification window, target of every post

 protected:
  // Posts MsgHangupRequest; a failed post goes unnoticed.
  void PostHangup();
};

// Takes in received bytes, line errors and carrier/ring changes and posts each to NotifyWindow.
class TReadThread : public TCommThread {
 public:
  static constexpr DWORD ReadBufferSize = 2048;
  static constexpr DWORD EventsAsked = EV_RLSD | EV_ERR | EV_RING;  // 0x01A0

  ~TReadThread() override { EndThread(); }

 protected:
  void Execute() override { ReaderLoop(); }

 private:
  // Every Boolean result: true, go on; false, the reader ends (having posted what was due).
  void ReaderLoop();
  bool ArmRead(OVERLAPPED& Record, BYTE* Buffer, DWORD Size, DWORD& ByteCount);
  bool CompleteRead(OVERLAPPED& Record, BYTE* Buffer, DWORD& ByteCount);
  bool DeliverData(const BYTE* Buffer, DWORD Count);
  bool ArmEventWait(OVERLAPPED& Record, DWORD& EventMask);
  bool ProcessCommEvent(OVERLAPPED* Record, DWORD& EventMask, bool ThroughTheWait);
  bool PostData(HLOCAL Block, DWORD Count);
  bool PostLineError(DWORD Errors);
  bool PostModemEvent(DWORD Value);
  // Ends the pending operations so that the platform is done with both records before they go.
  void ExitSteps(OVERLAPPED& ReadRecord, OVERLAPPED& EventRecord);

  bool readPending_ = false;       // a read on the read record has not been collected
  bool eventWaitPending_ = false;  // an event wait on the event-wait record has not been collected
};

// Writes the blocks of the write requests in its queue, in posting order, and announces when the
// queue has run empty.
class TWriteThread : public TCommThread {
 public:
  ~TWriteThread() override { EndThread(); }

 protected:
  void Execute() override { WriterLoop(); }

 private:
  void WriterLoop();
  // True when all Count bytes have gone out; false on stop, invalid handle or failure (a hang-up
  // request has then been posted where one is due).
  bool WriteBlock(OVERLAPPED& Record, const BYTE* Buffer, DWORD Count);
  // Releases what is still queued once the thread no longer takes requests.
  void ReleaseQueuedRequests();
};

class TComm : public TComponent {
 public:
  explicit TComm(TComponent* Owner);
  // Closes an open port first, so that no thread outlives the component.
  ~TComm() override;

  // Raises ECommsError and leaves the component closed (or, when already open, as it was).
  void OpenPort();
  // Stops both threads and closes the device; does nothing while closed. Raises nothing.
  void ClosePort();
  // Queues a copy of Count bytes for the writer; true means queued, not written.
  bool SendData(const void* Buffer, std::uint16_t Count);

  const std::string& CommName() const { return commName_; }
  void SetCommName(const std::string& Value) { commName_ = Value; }

  // The 25 settings. A setter given the value it holds does nothing; a changed value is stored
  // and, on an open port, its whole group is applied once. Parity is only stored.
  DWORD BaudRate() const { return baudRate_; }
  void SetBaudRate(DWORD Value) { SetLine(baudRate_, Value); }
  bool ParityCheck() const { return parityCheck_; }
  void SetParityCheck(bool Value) { SetLine(parityCheck_, Value); }
  bool Outx_CtsFlow() const { return outxCtsFlow_; }
  void SetOutx_CtsFlow(bool Value) { SetLine(outxCtsFlow_, Value); }
  bool Outx_DsrFlow() const { return outxDsrFlow_; }
  void SetOutx_DsrFlow(bool Value) { SetLine(outxDsrFlow_, Value); }
  TDtrControl DtrControl() const { return dtrControl_; }
  void SetDtrControl(TDtrControl Value) { SetLine(dtrControl_, Value); }
  bool DsrSensitivity() const { return dsrSensitivity_; }
  void SetDsrSensitivity(bool Value) { SetLine(dsrSensitivity_, Value); }
  bool TxContinueOnXoff() const { return txContinueOnXoff_; }
  void SetTxContinueOnXoff(bool Value) { SetLine(txContinueOnXoff_, Value); }
  bool Outx_XonXoffFlow() const { return outxXonXoffFlow_; }
  void SetOutx_XonXoffFlow(bool Value) { SetLine(outxXonXoffFlow_, Value); }
  bool Inx_XonXoffFlow() const { return inxXonXoffFlow_; }
  void SetInx_XonXoffFlow(bool Value) { SetLine(inxXonXoffFlow_, Value); }
  bool ReplaceWhenParityError() const { return replaceWhenParityError_; }
  void SetReplaceWhenParityError(bool Value) { SetLine(replaceWhenParityError_, Value); }
  bool IgnoreNullChar() const { return ignoreNullChar_; }
  void SetIgnoreNullChar(bool Value) { SetLine(ignoreNullChar_, Value); }
  TRtsControl RtsControl() const { return rtsControl_; }
  void SetRtsControl(TRtsControl Value) { SetLine(rtsControl_, Value); }
  WORD XonLimit() const { return xonLimit_; }
  void SetXonLimit(WORD Value) { SetLine(xonLimit_, Value); }
  WORD XoffLimit() const { return xoffLimit_; }
  void SetXoffLimit(WORD Value) { SetLine(xoffLimit_, Value); }
  TByteSize ByteSize() const { return byteSize_; }
  void SetByteSize(TByteSize Value) { SetLine(byteSize_, Value); }
  TParity Parity() const { return parity_; }
  void SetParity(TParity Value) { parity_ = Value; }
  TStopBits StopBits() const { return stopBits_; }
  void SetStopBits(TStopBits Value) { SetLine(stopBits_, Value); }
  char XonChar() const { return xonChar_; }
  void SetXonChar(char Value) { SetLine(xonChar_, Value); }
  char XoffChar() const { return xoffChar_; }
  void SetXoffChar(char Value) { SetLine(xoffChar_, Value); }
  char ReplacedChar() const { return replacedChar_; }
  void SetReplacedChar(char Value) { SetLine(replacedChar_, Value); }
  DWORD ReadIntervalTimeout() const { return readIntervalTimeout_; }
  void SetReadIntervalTimeout(DWORD Value) { SetTimeout(readIntervalTimeout_, Value); }
  DWORD ReadTotalTimeoutMultiplier() const { return readTotalTimeoutMultiplier_; }
  void SetReadTotalTimeoutMultiplier(DWORD Value) {
    SetTimeout(readTotalTimeoutMultiplier_, Value);
  }
  DWORD ReadTotalTimeoutConstant() const { return readTotalTimeoutConstant_; }
  void SetReadTotalTimeoutConstant(DWORD Value) { SetTimeout(readTotalTimeoutConstant_, Value); }
  DWORD WriteTotalTimeoutMultiplier() const { return writeTotalTimeoutMultiplier_; }
  void SetWriteTotalTimeoutMultiplier(DWORD Value) {
    SetTimeout(writeTotalTimeoutMultiplier_, Value);
  }
  DWORD WriteTotalTimeoutConstant() const { return writeTotalTimeoutConstant_; }
  void SetWriteTotalTimeoutConstant(DWORD Value) { SetTimeout(writeTotalTimeoutConstant_, Value); }

  const TReceiveDataEvent& OnReceiveData() const { return onReceiveData_; }
  void SetOnReceiveData(TReceiveDataEvent Value) { onReceiveData_ = std::move(Value); }
  const TReceiveErrorEvent& OnReceiveError() const { return onReceiveError_; }
  void SetOnReceiveError(TReceiveErrorEvent Value) { onReceiveError_ = std::move(Value); }
  const TModemStateChangeEvent& OnModemStateChange() const { return onModemStateChange_; }
  void SetOnModemStateChange(TModemStateChangeEvent Value) {
    onModemStateChange_ = std::move(Value);
  }
  const TNotifyEvent& OnRequestHangup() const { return onRequestHangup_; }
  void SetOnRequestHangup(TNotifyEvent Value) { onRequestHangup_ = std::move(Value); }
  const TSendDataEmptyEvent& OnSendDataEmpty() const { return onSendDataEmpty_; }
  void SetOnSendDataEmpty(TSendDataEmptyEvent Value) { onSendDataEmpty_ = std::move(Value); }

  // Read-only views of the state, for tests.
  HANDLE PortHandle() const { return portHandle_; }
  HANDLE StopEvent() const { return stopEvent_; }
  HWND NotifyWindow() const { return notifyWindow_; }
  const TReadThread* ReaderThread() const { return readerThread_; }
  const TWriteThread* WriterThread() const { return writerThread_; }

 private:
  template <typename T>
  void SetLine(T& Field, T Value) {
    if (Field == Value) {
      return;
    }
    Field = Value;
    if (portHandle_ != nullptr) {
      ApplyLineSettings();
    }
  }
  void SetTimeout(DWORD& Field, DWORD Value) {
    if (Field == Value) {
      return;
    }
    Field = Value;
    if (portHandle_ != nullptr) {
      ApplyTimeouts();
    }
  }

  // Put the stored settings into force on the open port; refusals go unnoticed.
  void ApplyLineSettings();
  void ApplyTimeouts();

  void StopReader();
  void StopWriter();

  void NotifyWindowProc(classlib::TMessage& Message);
  void DoReceiveData(const void* Buffer, std::uint16_t BufferLength);
  void DoReceiveError(DWORD EventMask);
  void DoModemStateChange(DWORD ModemEvent);
  void DoRequestHangup();
  void DoSendDataEmpty();

  TReadThread* readerThread_ = nullptr;   // while open only
  TWriteThread* writerThread_ = nullptr;  // while open only; SendData tests it
  HANDLE portHandle_ = nullptr;           // the open device; null is the one mark of "closed"
  HANDLE stopEvent_ = nullptr;            // manual-reset; meaningful only while open
  HWND notifyWindow_ = nullptr;           // for the whole life of the component
  std::string commName_ = "COM2";

  DWORD baudRate_ = 9600;
  bool parityCheck_ = false;
  bool outxCtsFlow_ = false;
  bool outxDsrFlow_ = false;
  TDtrControl dtrControl_ = TDtrControl::DtrEnable;
  bool dsrSensitivity_ = false;
  bool txContinueOnXoff_ = true;
  bool outxXonXoffFlow_ = true;
  bool inxXonXoffFlow_ = true;
  bool replaceWhenParityError_ = false;
  bool ignoreNullChar_ = false;
  TRtsControl rtsControl_ = TRtsControl::RtsEnable;
  WORD xonLimit_ = 500;
  WORD xoffLimit_ = 500;
  TByteSize byteSize_ = TByteSize::_8;
  TParity parity_ = TParity::None;
  TStopBits stopBits_ = TStopBits::_1;
  char xonChar_ = 0x11;
  char xoffChar_ = 0x13;
  char replacedChar_ = 0x00;
  DWORD readIntervalTimeout_ = 100;
  DWORD readTotalTimeoutMultiplier_ = 0;
  DWORD readTotalTimeoutConstant_ = 0;
  DWORD writeTotalTimeoutMultiplier_ = 0;
  DWORD writeTotalTimeoutConstant_ = 0;

  TReceiveDataEvent onReceiveData_;
  TNotifyEvent onRequestHangup_;
  TReceiveErrorEvent onReceiveError_;
  TModemStateChangeEvent onModemStateChange_;
  TSendDataEmptyEvent onSendDataEmpty_;
};

}  // namespace brisko

// Serial devices with overlapped I/O, over termios (and, for tests, over their own devices).
//
// Names: "\\.\NAME" and "//./NAME" mean NAME. A NAME that a test's device opener knows opens
// that device (see SetDeviceOpener); else a NAME in the platform root's device map opens the mapped
// path; else "COMn" opens /dev/ttyS<n-1>; anything else is a path. Opening is exclusive: while a
// device is open here, opening it again fails, in this process or in another that locks the device
// or does not run as root. A program that opened the device earlier without locking it goes unseen.
//
// Overlapped ReadFile, WriteFile and WaitCommEvent reset the record's event when they start and
// set it when they complete; the result is left in the record for GetOverlappedResult. PurgeComm
// with an abort flag and CloseHandle complete pending operations with ERROR_OPERATION_ABORTED;
// after either returns, the platform no longer touches their records or buffers. WriteFile takes
// its own copy of the bytes when it starts.
#pragma once

#include "Types.h"

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080u;
inline constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;

inline constexpr DWORD FILE_TYPE_UNKNOWN = 0;
inline constexpr DWORD FILE_TYPE_DISK = 1;
inline constexpr DWORD FILE_TYPE_CHAR = 2;
inline constexpr DWORD FILE_TYPE_PIPE = 3;

inline constexpr DWORD PURGE_TXABORT = 0x0001;
inline constexpr DWORD PURGE_RXABORT = 0x0002;
inline constexpr DWORD PURGE_TXCLEAR = 0x0004;
inline constexpr DWORD PURGE_RXCLEAR = 0x0008;

inline constexpr DWORD EV_RXCHAR = 0x0001;
inline constexpr DWORD EV_RXFLAG = 0x0002;
inline constexpr DWORD EV_TXEMPTY = 0x0004;
inline constexpr DWORD EV_CTS = 0x0008;
inline constexpr DWORD EV_DSR = 0x0010;
inline constexpr DWORD EV_RLSD = 0x0020;
inline constexpr DWORD EV_BREAK = 0x0040;
inline constexpr DWORD EV_ERR = 0x0080;
inline constexpr DWORD EV_RING = 0x0100;

inline constexpr DWORD CE_RXOVER = 0x0001;
inline constexpr DWORD CE_OVERRUN = 0x0002;
inline constexpr DWORD CE_RXPARITY = 0x0004;
inline constexpr DWORD CE_FRAME = 0x0008;
inline constexpr DWORD CE_BREAK = 0x0010;

inline constexpr BYTE NOPARITY = 0;
inline constexpr BYTE ODDPARITY = 1;
inline constexpr BYTE EVENPARITY = 2;
inline constexpr BYTE MARKPARITY = 3;
inline constexpr BYTE SPACEPARITY = 4;

inline constexpr BYTE ONESTOPBIT = 0;
inline constexpr BYTE ONE5STOPBITS = 1;
inline constexpr BYTE TWOSTOPBITS = 2;

inline constexpr DWORD DTR_CONTROL_DISABLE = 0;
inline constexpr DWORD DTR_CONTROL_ENABLE = 1;
inline constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_DISABLE = 0;
inline constexpr DWORD RTS_CONTROL_ENABLE = 1;
inline constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_TOGGLE = 3;

// Line state. The bit fields from fBinary to fDummy2 make up one 32-bit flag word, bit 0 first;
// DcbFlags and SetDcbFlags read and write it whole.
struct DCB {
  DWORD DCBlength;
  DWORD BaudRate;
  DWORD fBinary : 1;
  DWORD fParity : 1;
  DWORD fOutxCtsFlow : 1;
  DWORD fOutxDsrFlow : 1;
  DWORD fDtrControl : 2;
  DWORD fDsrSensitivity : 1;
  DWORD fTXContinueOnXoff : 1;
  DWORD fOutX : 1;
  DWORD fInX : 1;
  DWORD fErrorChar : 1;
  DWORD fNull : 1;
  DWORD fRtsControl : 2;
  DWORD fAbortOnError : 1;
  DWORD fDummy2 : 17;
  WORD wReserved;
  WORD XonLim;
  WORD XoffLim;
  BYTE ByteSize;
  BYTE Parity;
  BYTE StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  WORD wReserved1;
};
using LPDCB = DCB*;

DWORD DcbFlags(const DCB& dcb);
void SetDcbFlags(DCB& dcb, DWORD flags);

struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS*;

struct COMSTAT {
  DWORD fCtsHold : 1;
  DWORD fDsrHold : 1;
  DWORD fRlsdHold : 1;
  DWORD fXoffHold : 1;
  DWORD fXoffSent : 1;
  DWORD fEof : 1;
  DWORD fTxim : 1;
  DWORD fReserved : 25;
  DWORD cbInQue;
  DWORD cbOutQue;
};
using LPCOMSTAT = COMSTAT*;

// Opens a device (or a regular file, so that GetFileType can tell them apart). Returns
// INVALID_HANDLE_VALUE on failure: no such device, empty name, no access, held by anyone.
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creation, DWORD flags, HANDLE templateFile);

DWORD GetFileType(HANDLE file);

// Fails on a character device that is no tty (ERROR_INVALID_FUNCTION), such as /dev/null.
BOOL SetupComm(HANDLE device, DWORD inQueue, DWORD outQueue);
BOOL PurgeComm(HANDLE device, DWORD flags);

BOOL GetCommState(HANDLE device, LPDCB dcb);
// Refuses (FALSE) what the driver cannot take, such as 1.5 stop bits, and changes nothing then.
// DTR and RTS are set once the rest is in force: a driver that refuses them leaves them as they
// were, and the call still succeeds and stores the new state.
BOOL SetCommState(HANDLE device, LPDCB dcb);
BOOL GetCommTimeouts(HANDLE device, LPCOMMTIMEOUTS timeouts);
BOOL SetCommTimeouts(HANDLE device, LPCOMMTIMEOUTS timeouts);

// Setting a mask while an event wait is pending completes that wait with mask 0.
BOOL SetCommMask(HANDLE device, DWORD mask);
BOOL GetCommMask(HANDLE device, LPDWORD mask);
BOOL WaitCommEvent(HANDLE device, LPDWORD eventMask, LPOVERLAPPED overlapped);

// Returns the line-error flags (CE_) gathered since the last call, and clears them.
BOOL ClearCommError(HANDLE device, LPDWORD errors, LPCOMSTAT status);

// Overlapped reads follow the stored timeouts: with an interval I and both totals 0, a read waits
// without limit for its first byte and completes when the buffer is full or the line has been
// quiet longer than I ms; with interval MAXDWORD and both totals 0 it returns at once with what is
// buffered, possibly nothing; non-zero totals bound the whole read.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped);
BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred, BOOL wait);

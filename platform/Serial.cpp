// The public serial calls: each finds the device behind its handle and lets the backend serve it.
#include "Serial.h"

#include "Errors.h"
#include "SerialDevice.h"

namespace {

using platform::SerialDevice;

// Runs call on the device of handle; FALSE with the last error set when there is no such device
// or the call fails.
template <typename Call>
BOOL OnDevice(HANDLE handle, Call call) {
  auto device = platform::LookupHandleAs<SerialDevice>(handle);
  if (!device) {
    return FALSE;
  }
  const DWORD error = call(*device);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

// Starts an overlapped operation; without a record, waits for it to end (a blocking call).
template <typename Start>
BOOL Overlapped(HANDLE handle, LPDWORD bytes, LPOVERLAPPED record, Start start) {
  if (bytes != nullptr) {
    *bytes = 0;
  }
  return OnDevice(handle, [&](SerialDevice& device) -> DWORD {
    OVERLAPPED local{};
    OVERLAPPED& used = record != nullptr ? *record : local;
    DWORD error = start(device, used);
    DWORD done = 0;
    if (error == ERROR_SUCCESS) {
      done = static_cast<DWORD>(used.InternalHigh);  // ended at once: nobody else writes it
    } else if (error == ERROR_IO_PENDING && record == nullptr) {
      error = device.Result(used, true, done);
    }
    if (error == ERROR_SUCCESS && bytes != nullptr) {
      *bytes = done;
    }
    return error;
  });
}

}  // namespace

DWORD GetFileType(HANDLE file) {
  DWORD type = FILE_TYPE_UNKNOWN;
  const BOOL ok = OnDevice(file, [&](SerialDevice& device) { return device.FileType(type); });
  if (ok) {
    SetLastError(ERROR_SUCCESS);
  }
  return type;
}

BOOL SetupComm(HANDLE device, DWORD inQueue, DWORD outQueue) {
  return OnDevice(device, [&](SerialDevice& d) { return d.Setup(inQueue, outQueue); });
}

BOOL PurgeComm(HANDLE device, DWORD flags) {
  return OnDevice(device, [&](SerialDevice& d) { return d.Purge(flags); });
}

BOOL GetCommState(HANDLE device, LPDCB dcb) {
  return OnDevice(device, [&](SerialDevice& d) {
    return dcb == nullptr ? ERROR_INVALID_PARAMETER : d.GetState(*dcb);
  });
}

BOOL SetCommState(HANDLE device, LPDCB dcb) {
  return OnDevice(device, [&](SerialDevice& d) {
    return dcb == nullptr ? ERROR_INVALID_PARAMETER : d.SetState(*dcb);
  });
}

BOOL GetCommTimeouts(HANDLE device, LPCOMMTIMEOUTS timeouts) {
  return OnDevice(device, [&](SerialDevice& d) {
    return timeouts == nullptr ? ERROR_INVALID_PARAMETER : d.GetTimeouts(*timeouts);
  });
}

BOOL SetCommTimeouts(HANDLE device, LPCOMMTIMEOUTS timeouts) {
  return OnDevice(device, [&](SerialDevice& d) {
    return timeouts == nullptr ? ERROR_INVALID_PARAMETER : d.SetTimeouts(*timeouts);
  });
}

BOOL SetCommMask(HANDLE device, DWORD mask) {
  return OnDevice(device, [&](SerialDevice& d) { return d.SetMask(mask); });
}

BOOL GetCommMask(HANDLE device, LPDWORD mask) {
  return OnDevice(device, [&](SerialDevice& d) {
    return mask == nullptr ? ERROR_INVALID_PARAMETER : d.GetMask(*mask);
  });
}

BOOL WaitCommEvent(HANDLE device, LPDWORD eventMask, LPOVERLAPPED overlapped) {
  return Overlapped(device, nullptr, overlapped, [&](SerialDevice& d, OVERLAPPED& record) {
    return eventMask == nullptr ? ERROR_INVALID_PARAMETER : d.WaitEvent(eventMask, record);
  });
}

BOOL ClearCommError(HANDLE device, LPDWORD errors, LPCOMSTAT status) {
  return OnDevice(device, [&](SerialDevice& d) {
    DWORD gathered = 0;
    const DWORD error = d.ClearError(gathered, status);
    if (error == ERROR_SUCCESS && errors != nullptr) {
      *errors = gathered;
    }
    return error;
  });
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPOVERLAPPED overlapped) {
  return Overlapped(file, bytesRead, overlapped, [&](SerialDevice& d, OVERLAPPED& record) {
    return buffer == nullptr && bytesToRead > 0 ? ERROR_INVALID_PARAMETER
                                                : d.Read(buffer, bytesToRead, record);
  });
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped) {
  return Overlapped(file, bytesWritten, overlapped, [&](SerialDevice& d, OVERLAPPED& record) {
    return buffer == nullptr && bytesToWrite > 0 ? ERROR_INVALID_PARAMETER
                                                 : d.Write(buffer, bytesToWrite, record);
  });
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred,
                         BOOL wait) {
  if (bytesTransferred != nullptr) {
    *bytesTransferred = 0;
  }
  return OnDevice(file, [&](SerialDevice& d) {
    if (overlapped == nullptr) {
      return static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    }
    DWORD bytes = 0;
    const DWORD error = d.Result(*overlapped, wait != FALSE, bytes);
    if (bytesTransferred != nullptr) {
      *bytesTransferred = bytes;
    }
    return error;
  });
}

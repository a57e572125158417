#include "SerialDevice.h"

namespace platform {

DWORD SerialDevice::Setup(DWORD, DWORD) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::Purge(DWORD) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::GetState(DCB&) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::SetState(const DCB&) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::GetTimeouts(COMMTIMEOUTS&) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::SetTimeouts(const COMMTIMEOUTS&) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::SetMask(DWORD) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::GetMask(DWORD&) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::ClearError(DWORD&, COMSTAT*) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::Read(void*, DWORD, OVERLAPPED&) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::Write(const void*, DWORD, OVERLAPPED&) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::WaitEvent(DWORD*, OVERLAPPED&) {
  return ERROR_INVALID_FUNCTION;
}
DWORD SerialDevice::Result(OVERLAPPED&, bool, DWORD& bytes) {
  bytes = 0;
  return ERROR_INVALID_FUNCTION;
}

}  // namespace platform

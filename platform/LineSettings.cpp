#include "LineSettings.h"

#include <sys/ioctl.h>

#include <iterator>

namespace {

struct Speed {
  DWORD baud;
  speed_t constant;
};

constexpr Speed speeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedConstant(DWORD baud, speed_t& constant) {
  for (const auto& speed : speeds) {
    if (speed.baud == baud) {
      constant = speed.constant;
      return true;
    }
  }
  return false;
}

DWORD BaudOf(speed_t constant) {
  for (const auto& speed : speeds) {
    if (speed.constant == constant) {
      return speed.baud;
    }
  }
  return 9600;
}

}  // namespace

DWORD DcbFlags(const DCB& dcb) {
  auto bits = [](DWORD field, int shift) { return field << shift; };
  return bits(dcb.fBinary, 0) | bits(dcb.fParity, 1) | bits(dcb.fOutxCtsFlow, 2) |
         bits(dcb.fOutxDsrFlow, 3) | bits(dcb.fDtrControl, 4) | bits(dcb.fDsrSensitivity, 6) |
         bits(dcb.fTXContinueOnXoff, 7) | bits(dcb.fOutX, 8) | bits(dcb.fInX, 9) |
         bits(dcb.fErrorChar, 10) | bits(dcb.fNull, 11) | bits(dcb.fRtsControl, 12) |
         bits(dcb.fAbortOnError, 14) | bits(dcb.fDummy2, 15);
}

void SetDcbFlags(DCB& dcb, DWORD flags) {
  dcb.fBinary = flags & 1;
  dcb.fParity = flags >> 1 & 1;
  dcb.fOutxCtsFlow = flags >> 2 & 1;
  dcb.fOutxDsrFlow = flags >> 3 & 1;
  dcb.fDtrControl = flags >> 4 & 3;
  dcb.fDsrSensitivity = flags >> 6 & 1;
  dcb.fTXContinueOnXoff = flags >> 7 & 1;
  dcb.fOutX = flags >> 8 & 1;
  dcb.fInX = flags >> 9 & 1;
  dcb.fErrorChar = flags >> 10 & 1;
  dcb.fNull = flags >> 11 & 1;
  dcb.fRtsControl = flags >> 12 & 3;
  dcb.fAbortOnError = flags >> 14 & 1;
  dcb.fDummy2 = flags >> 15;
}

namespace platform {

void MakeRaw(termios& attributes) {
  attributes.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                          IXANY | IMAXBEL | IUCLC);
  attributes.c_oflag &= ~OPOST;
  attributes.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  attributes.c_cflag |= CLOCAL | CREAD;
  attributes.c_cc[VMIN] = 0;
  attributes.c_cc[VTIME] = 0;
}

bool TermiosFromDcb(const DCB& dcb, termios& attributes) {
  speed_t speed;
  if (!SpeedConstant(dcb.BaudRate, speed) || dcb.ByteSize < 5 || dcb.ByteSize > 8 ||
      dcb.Parity > SPACEPARITY || (dcb.StopBits != ONESTOPBIT && dcb.StopBits != TWOSTOPBITS)) {
    return false;
  }
  termios result = attributes;
  MakeRaw(result);
  constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
  result.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  result.c_cflag |= sizes[dcb.ByteSize - 5];
  switch (dcb.Parity) {
    case ODDPARITY:
      result.c_cflag |= PARENB | PARODD;
      break;
    case EVENPARITY:
      result.c_cflag |= PARENB;
      break;
    case MARKPARITY:
      result.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case SPACEPARITY:
      result.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (dcb.StopBits == TWOSTOPBITS) {
    result.c_cflag |= CSTOPB;
  }
  // The driver has one switch for both directions of hardware flow control.
  if (dcb.fOutxCtsFlow && dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
    result.c_cflag |= CRTSCTS;
  }
  result.c_iflag &= ~INPCK;
  if (dcb.fParity && dcb.Parity != NOPARITY) {
    result.c_iflag |= INPCK;
  }
  if (dcb.fOutX) {
    result.c_iflag |= IXON;
  }
  if (dcb.fInX) {
    result.c_iflag |= IXOFF;
  }
  result.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  result.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  // DSR flow control, DSR sensitivity, null stripping and the error character have no termios
  // counterpart; they are kept in the DCB only.
  cfsetispeed(&result, speed);
  cfsetospeed(&result, speed);
  attributes = result;
  return true;
}

DCB DcbFromTermios(const termios& attributes) {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = BaudOf(cfgetospeed(&attributes));
  dcb.fBinary = 1;
  const tcflag_t cflag = attributes.c_cflag;
  switch (cflag & CSIZE) {
    case CS5:
      dcb.ByteSize = 5;
      break;
    case CS6:
      dcb.ByteSize = 6;
      break;
    case CS7:
      dcb.ByteSize = 7;
      break;
    default:
      dcb.ByteSize = 8;
      break;
  }
  if (cflag & PARENB) {
    if (cflag & CMSPAR) {
      dcb.Parity = (cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    } else {
      dcb.Parity = (cflag & PARODD) ? ODDPARITY : EVENPARITY;
    }
  }
  dcb.StopBits = (cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
  dcb.fParity = (attributes.c_iflag & INPCK) ? 1 : 0;
  const bool hardwareFlow = (cflag & CRTSCTS) != 0;
  dcb.fOutxCtsFlow = hardwareFlow ? 1 : 0;
  dcb.fRtsControl = hardwareFlow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fOutX = (attributes.c_iflag & IXON) ? 1 : 0;
  dcb.fInX = (attributes.c_iflag & IXOFF) ? 1 : 0;
  dcb.XonChar = static_cast<char>(attributes.c_cc[VSTART]);
  dcb.XoffChar = static_cast<char>(attributes.c_cc[VSTOP]);
  return dcb;
}

ModemLines ModemLinesFromDcb(const DCB& dcb) {
  ModemLines lines{0, 0};
  // DTR_CONTROL_HANDSHAKE (DTR dropped while the input buffer is nearly full) has no Linux
  // counterpart: DTR is held asserted, as with DTR_CONTROL_ENABLE.
  (dcb.fDtrControl == DTR_CONTROL_DISABLE ? lines.clear : lines.set) |= TIOCM_DTR;
  switch (dcb.fRtsControl) {
    case RTS_CONTROL_DISABLE:
      lines.clear |= TIOCM_RTS;
      break;
    case RTS_CONTROL_HANDSHAKE:
      break;  // CRTSCTS drives RTS when in force; otherwise left as it is
    default:
      // RTS_CONTROL_TOGGLE (RTS only while sending) has no counterpart either: held asserted.
      lines.set |= TIOCM_RTS;
      break;
  }
  return lines;
}

}  // namespace platform

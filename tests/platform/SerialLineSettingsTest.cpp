#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include "platform/LineSettings.h"

namespace {

DCB Dcb(BYTE size, BYTE parity, BYTE stop, DWORD flags) {
  DCB dcb{};
  dcb.BaudRate = 9600;
  dcb.ByteSize = size;
  dcb.Parity = parity;
  dcb.StopBits = stop;
  SetDcbFlags(dcb, flags);
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  return dcb;
}

struct MappingCase {
  const char* name;
  DCB dcb;
  tcflag_t cflagSet;    // bits that must be set
  tcflag_t cflagClear;  // bits that must be clear
  tcflag_t iflagSet;
  tcflag_t iflagClear;
};

TEST(LineSettings, DcbMapsOntoTermios) {
  const tcflag_t parityBits = PARENB | PARODD | CMSPAR;
  const MappingCase cases[] = {
      {"8N1 stored", Dcb(8, NOPARITY, ONESTOPBIT, 0x21), CS8, parityBits | CSTOPB | CRTSCTS, 0,
       IXON | IXOFF | INPCK},
      {"5 data bits", Dcb(5, NOPARITY, ONESTOPBIT, 0x1), CS5, CS8 & ~CS5, 0, 0},
      {"7 data bits", Dcb(7, NOPARITY, ONESTOPBIT, 0x1), CS7, CS8 & ~CS7, 0, 0},
      {"odd", Dcb(8, ODDPARITY, ONESTOPBIT, 0x3), PARENB | PARODD, CMSPAR, INPCK, 0},
      {"even", Dcb(8, EVENPARITY, ONESTOPBIT, 0x1), PARENB, PARODD | CMSPAR, 0, INPCK},
      {"mark", Dcb(8, MARKPARITY, ONESTOPBIT, 0x1), PARENB | PARODD | CMSPAR, 0, 0, 0},
      {"space", Dcb(8, SPACEPARITY, ONESTOPBIT, 0x1), PARENB | CMSPAR, PARODD, 0, 0},
      {"two stop bits", Dcb(8, NOPARITY, TWOSTOPBITS, 0x1), CSTOPB, 0, 0, 0},
      {"cts with rts handshake", Dcb(8, NOPARITY, ONESTOPBIT, 0x2005), CRTSCTS, 0, 0, 0},
      {"cts without rts handshake", Dcb(8, NOPARITY, ONESTOPBIT, 0x1005), 0, CRTSCTS, 0, 0},
      {"xon/xoff both ways (defaults)", Dcb(8, NOPARITY, ONESTOPBIT, 0x1391), 0, CRTSCTS,
       IXON | IXOFF, 0},
      {"parity check without parity", Dcb(8, NOPARITY, ONESTOPBIT, 0x3), 0, PARENB, 0, INPCK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    termios attributes{};
    attributes.c_iflag = ICRNL | IXON | INPCK;
    attributes.c_oflag = OPOST | ONLCR;
    attributes.c_lflag = ICANON | ECHO | ISIG;
    attributes.c_cflag = CS8 | PARENB | CSTOPB | CRTSCTS;
    ASSERT_TRUE(platform::TermiosFromDcb(c.dcb, attributes));
    EXPECT_EQ(attributes.c_cflag & c.cflagSet, c.cflagSet);
    EXPECT_EQ(attributes.c_cflag & c.cflagClear, 0u);
    EXPECT_EQ(attributes.c_iflag & c.iflagSet, c.iflagSet);
    EXPECT_EQ(attributes.c_iflag & c.iflagClear, 0u);
    // Always raw, whatever came before.
    EXPECT_EQ(attributes.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(attributes.c_oflag & OPOST, 0u);
    EXPECT_EQ(attributes.c_iflag & ICRNL, 0u);
    EXPECT_EQ(attributes.c_cc[VMIN], 0);
    EXPECT_EQ(attributes.c_cc[VTIME], 0);
    EXPECT_EQ(attributes.c_cc[VSTART], 0x11);
    EXPECT_EQ(cfgetospeed(&attributes), B9600);
  }
}

TEST(LineSettings, RefusesWhatNoTtyTakesAndLeavesTheAttributesAlone) {
  struct Refused {
    const char* name;
    DCB dcb;
  } cases[] = {
      {"1.5 stop bits", Dcb(8, NOPARITY, ONE5STOPBITS, 0x1)},
      {"unknown stop bits", Dcb(8, NOPARITY, 3, 0x1)},
      {"4 data bits", Dcb(4, NOPARITY, ONESTOPBIT, 0x1)},
      {"9 data bits", Dcb(9, NOPARITY, ONESTOPBIT, 0x1)},
      {"unknown parity", Dcb(8, 5, ONESTOPBIT, 0x1)},
      {"odd speed",
       [] {
         DCB dcb = Dcb(8, NOPARITY, ONESTOPBIT, 0x1);
         dcb.BaudRate = 12345;
         return dcb;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    termios attributes{};
    attributes.c_lflag = ICANON;
    EXPECT_FALSE(platform::TermiosFromDcb(c.dcb, attributes));
    EXPECT_EQ(attributes.c_lflag, static_cast<tcflag_t>(ICANON));
  }
}

TEST(LineSettings, FlagWordRoundTripsThroughTheBitFields) {
  for (DWORD flags : {0x0u, 0x21u, 0x1391u, 0x3FFFu, 0xFFFFFFFFu, 0x80000001u}) {
    SCOPED_TRACE(flags);
    DCB dcb{};
    SetDcbFlags(dcb, flags);
    EXPECT_EQ(DcbFlags(dcb), flags);
  }
  DCB dcb{};
  SetDcbFlags(dcb, 0x1391);
  EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_ENABLE);
  EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_ENABLE);
  EXPECT_EQ(dcb.fOutX, 1u);
  EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
}

TEST(LineSettings, ModemLinesHoldDtrUnderHandshakeAndFollowRts) {
  struct Lines {
    DWORD flags;
    int set;
    int clear;
  } cases[] = {
      {0x21, TIOCM_DTR, TIOCM_RTS},        // DTR handshake, RTS disabled (stored settings)
      {0x1011, TIOCM_DTR | TIOCM_RTS, 0},  // both enabled
      {0x0001, 0, TIOCM_DTR | TIOCM_RTS},  // both disabled
      {0x2011, TIOCM_DTR, 0},              // RTS under handshake is the driver's
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    DCB dcb{};
    SetDcbFlags(dcb, c.flags);
    const auto lines = platform::ModemLinesFromDcb(dcb);
    EXPECT_EQ(lines.set, c.set);
    EXPECT_EQ(lines.clear, c.clear);
  }
}

TEST(LineSettings, StateReadFromTermiosDescribesTheLine) {
  termios attributes{};
  attributes.c_cflag = CS7 | PARENB | PARODD | CMSPAR | CSTOPB;
  cfsetospeed(&attributes, B19200);
  const DCB dcb = platform::DcbFromTermios(attributes);
  EXPECT_EQ(dcb.BaudRate, 19200u);
  EXPECT_EQ(dcb.ByteSize, 7);
  EXPECT_EQ(dcb.Parity, MARKPARITY);
  EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
  EXPECT_EQ(dcb.fBinary, 1u);
}

}  // namespace

// The 25 line and timeout settings: defaults, the setters' rule, and what reaches the port.
#include <algorithm>
#include <cstring>

#include "tests/serial/SerialTestSupport.h"

namespace {

using namespace serial_test;
using namespace brisko;
using platform::SerialCall;

// The values stored with the main window's Comm1.
void ApplyStoredSettings(TComm& comm) {
  comm.SetCommName(kScriptedName);
  comm.SetBaudRate(9600);
  comm.SetDtrControl(TDtrControl::DtrHandshake);
  comm.SetTxContinueOnXoff(false);
  comm.SetOutx_XonXoffFlow(false);
  comm.SetInx_XonXoffFlow(false);
  comm.SetRtsControl(TRtsControl::RtsDisable);
  comm.SetXonChar('0');
  comm.SetXoffChar('0');
}

class SettingsTest : public ScriptedCommTest {
 protected:
  int StateWrites() const { return device->Calls(SerialCall::SetCommState); }
  int TimeoutWrites() const { return device->Calls(SerialCall::SetCommTimeouts); }
};

TEST_F(SettingsTest, ConstructorDefaults) {
  TComm fresh(nullptr);
  EXPECT_EQ(fresh.CommName(), "COM2");
  EXPECT_EQ(fresh.BaudRate(), 9600u);
  EXPECT_FALSE(fresh.ParityCheck());
  EXPECT_FALSE(fresh.Outx_CtsFlow());
  EXPECT_FALSE(fresh.Outx_DsrFlow());
  EXPECT_EQ(fresh.DtrControl(), TDtrControl::DtrEnable);
  EXPECT_FALSE(fresh.DsrSensitivity());
  EXPECT_TRUE(fresh.TxContinueOnXoff());
  EXPECT_TRUE(fresh.Outx_XonXoffFlow());
  EXPECT_TRUE(fresh.Inx_XonXoffFlow());
  EXPECT_FALSE(fresh.ReplaceWhenParityError());
  EXPECT_FALSE(fresh.IgnoreNullChar());
  EXPECT_EQ(fresh.RtsControl(), TRtsControl::RtsEnable);
  EXPECT_EQ(fresh.XonLimit(), 500);
  EXPECT_EQ(fresh.XoffLimit(), 500);
  EXPECT_EQ(fresh.ByteSize(), TByteSize::_8);
  EXPECT_EQ(fresh.Parity(), TParity::None);
  EXPECT_EQ(fresh.StopBits(), TStopBits::_1);
  EXPECT_EQ(fresh.XonChar(), 0x11);
  EXPECT_EQ(fresh.XoffChar(), 0x13);
  EXPECT_EQ(fresh.ReplacedChar(), 0);
  EXPECT_EQ(fresh.ReadIntervalTimeout(), 100u);
  EXPECT_EQ(fresh.ReadTotalTimeoutMultiplier() + fresh.ReadTotalTimeoutConstant() +
                fresh.WriteTotalTimeoutMultiplier() + fresh.WriteTotalTimeoutConstant(),
            0u);
  EXPECT_FALSE(fresh.OnReceiveData() || fresh.OnReceiveError() || fresh.OnModemStateChange() ||
               fresh.OnRequestHangup() || fresh.OnSendDataEmpty());
}

TEST_F(SettingsTest, OpenSetsQueuesPurgesThenAppliesTimeoutsThenLineState) {
  OpenAndSettle();
  EXPECT_EQ(device->Setups(), (std::vector<std::pair<DWORD, DWORD>>{{4096, 4096}}));
  const auto calls = device->CallLog();
  const auto at = [&](SerialCall call) {
    return std::find(calls.begin(), calls.end(), call) - calls.begin();
  };
  EXPECT_LT(at(SerialCall::SetupComm), at(SerialCall::PurgeComm));
  EXPECT_LT(at(SerialCall::PurgeComm), at(SerialCall::SetCommTimeouts));
  EXPECT_LT(at(SerialCall::SetCommTimeouts), at(SerialCall::GetCommState));
  EXPECT_LT(at(SerialCall::GetCommState), at(SerialCall::SetCommState));
  EXPECT_LT(at(SerialCall::SetCommState), at(SerialCall::SetCommMask));  // before the threads
  ASSERT_EQ(device->Timeouts().size(), 1u);
  const COMMTIMEOUTS t = device->Timeouts()[0];
  EXPECT_EQ(t.ReadIntervalTimeout, 100u);
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier + t.ReadTotalTimeoutConstant +
                t.WriteTotalTimeoutMultiplier + t.WriteTotalTimeoutConstant,
            0u);
  EXPECT_EQ(device->Masks().at(0), 0x01A0u);
}

struct LineStateCase {
  const char* name;
  bool stored;  // the stored settings of Comm1, else the constructor's defaults
  DWORD flags;
  char xon, xoff;
};

TEST_F(SettingsTest, LineStateIsBuiltFromZeroKeepingWhatThePortHad) {
  // The port's own state as a previous user left it: odd flags, its own EofChar and EvtChar.
  HANDLE other = CreateFileA(kScriptedName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  DCB before{};
  before.DCBlength = sizeof(DCB);
  GetCommState(other, &before);
  SetDcbFlags(before, 0xFFFFFFFFu);
  before.EofChar = 0x1A;
  before.EvtChar = 0x7E;
  SetCommState(other, &before);
  CloseHandle(other);

  const LineStateCase cases[] = {{"defaults", false, 0x1391, 0x11, 0x13},
                                 {"stored", true, 0x21, 0x30, 0x30}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TComm port(nullptr);
    port.SetCommName(kScriptedName);
    if (c.stored) {
      ApplyStoredSettings(port);
    }
    const std::size_t states = device->States().size();
    port.OpenPort();
    port.ClosePort();
    ASSERT_EQ(device->States().size(), states + 1);
    const DCB dcb = device->States().back();
    EXPECT_EQ(DcbFlags(dcb), c.flags);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.XonLim, 500);
    EXPECT_EQ(dcb.XoffLim, 500);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.XonChar, c.xon);
    EXPECT_EQ(dcb.XoffChar, c.xoff);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(dcb.EvtChar, 0x7E);
  }
}

// One setter each: a changed value, and which group it brings to the port.
struct SetterCase {
  const char* name;
  std::function<void(TComm&)> change;
  enum { Line, Timeout } group;
};

const SetterCase kSetters[] = {
    {"BaudRate", [](TComm& c) { c.SetBaudRate(19200); }, SetterCase::Line},
    {"ParityCheck", [](TComm& c) { c.SetParityCheck(true); }, SetterCase::Line},
    {"Outx_CtsFlow", [](TComm& c) { c.SetOutx_CtsFlow(true); }, SetterCase::Line},
    {"Outx_DsrFlow", [](TComm& c) { c.SetOutx_DsrFlow(true); }, SetterCase::Line},
    {"DtrControl", [](TComm& c) { c.SetDtrControl(TDtrControl::DtrDisable); }, SetterCase::Line},
    {"DsrSensitivity", [](TComm& c) { c.SetDsrSensitivity(true); }, SetterCase::Line},
    {"TxContinueOnXoff", [](TComm& c) { c.SetTxContinueOnXoff(false); }, SetterCase::Line},
    {"Outx_XonXoffFlow", [](TComm& c) { c.SetOutx_XonXoffFlow(false); }, SetterCase::Line},
    {"Inx_XonXoffFlow", [](TComm& c) { c.SetInx_XonXoffFlow(false); }, SetterCase::Line},
    {"ReplaceWhenParityError", [](TComm& c) { c.SetReplaceWhenParityError(true); },
     SetterCase::Line},
    {"IgnoreNullChar", [](TComm& c) { c.SetIgnoreNullChar(true); }, SetterCase::Line},
    {"RtsControl", [](TComm& c) { c.SetRtsControl(TRtsControl::RtsHandshake); }, SetterCase::Line},
    {"XonLimit", [](TComm& c) { c.SetXonLimit(600); }, SetterCase::Line},
    {"XoffLimit", [](TComm& c) { c.SetXoffLimit(700); }, SetterCase::Line},
    {"ByteSize", [](TComm& c) { c.SetByteSize(TByteSize::_7); }, SetterCase::Line},
    {"StopBits", [](TComm& c) { c.SetStopBits(TStopBits::_2); }, SetterCase::Line},
    {"XonChar", [](TComm& c) { c.SetXonChar('A'); }, SetterCase::Line},
    {"XoffChar", [](TComm& c) { c.SetXoffChar('B'); }, SetterCase::Line},
    {"ReplacedChar", [](TComm& c) { c.SetReplacedChar('?'); }, SetterCase::Line},
    {"ReadIntervalTimeout", [](TComm& c) { c.SetReadIntervalTimeout(50); }, SetterCase::Timeout},
    {"ReadTotalTimeoutMultiplier", [](TComm& c) { c.SetReadTotalTimeoutMultiplier(1); },
     SetterCase::Timeout},
    {"ReadTotalTimeoutConstant", [](TComm& c) { c.SetReadTotalTimeoutConstant(2); },
     SetterCase::Timeout},
    {"WriteTotalTimeoutMultiplier", [](TComm& c) { c.SetWriteTotalTimeoutMultiplier(3); },
     SetterCase::Timeout},
    {"WriteTotalTimeoutConstant", [](TComm& c) { c.SetWriteTotalTimeoutConstant(4); },
     SetterCase::Timeout},
};

bool SameState(const DCB& a, const DCB& b) {
  return std::memcmp(&a, &b, sizeof(DCB)) == 0;
}
bool SameTimeouts(const COMMTIMEOUTS& a, const COMMTIMEOUTS& b) {
  return std::memcmp(&a, &b, sizeof(COMMTIMEOUTS)) == 0;
}

// A value written on a closed port reaches the port at the next open; the same value written on
// an open port re-applies its whole group once, and equal values make no platform call.
TEST_F(SettingsTest, SetterStoresOnAClosedPortAndReappliesItsGroupOnAnOpenOne) {
  for (const SetterCase& s : kSetters) {
    SCOPED_TRACE(s.name);
    DCB openedState;
    COMMTIMEOUTS openedTimeouts;
    {
      TComm port(nullptr);
      port.SetCommName(kScriptedName);
      const auto calls = device->CallLog().size();
      s.change(port);
      EXPECT_EQ(device->CallLog().size(), calls);
      port.OpenPort();
      openedState = device->States().back();
      openedTimeouts = device->Timeouts().back();
      port.ClosePort();
    }
    TComm port(nullptr);
    port.SetCommName(kScriptedName);
    port.OpenPort();
    const DCB defaultState = device->States().back();
    const COMMTIMEOUTS defaultTimeouts = device->Timeouts().back();
    EXPECT_NE(SameState(openedState, defaultState) && SameTimeouts(openedTimeouts, defaultTimeouts),
              true)
        << "the change did not reach the port";
    const int gets = device->Calls(SerialCall::GetCommState);
    const int states = StateWrites(), timeouts = TimeoutWrites();
    s.change(port);
    const bool line = s.group == SetterCase::Line;
    EXPECT_EQ(device->Calls(SerialCall::GetCommState), gets + (line ? 1 : 0));
    EXPECT_EQ(StateWrites(), states + (line ? 1 : 0));
    EXPECT_EQ(TimeoutWrites(), timeouts + (line ? 0 : 1));
    EXPECT_TRUE(SameState(device->States().back(), openedState));
    EXPECT_TRUE(SameTimeouts(device->Timeouts().back(), openedTimeouts));
    s.change(port);  // unchanged now
    EXPECT_EQ(StateWrites() + TimeoutWrites(), states + timeouts + 1);
    port.ClosePort();
  }
}

TEST_F(SettingsTest, ParityIsOnlyStoredUntilTheLineStateIsNextApplied) {
  OpenAndSettle();
  const int states = StateWrites();
  comm->SetParity(TParity::Even);
  EXPECT_EQ(comm->Parity(), TParity::Even);
  comm->SetReadIntervalTimeout(200);
  EXPECT_EQ(StateWrites(), states);
  comm->SetXonLimit(100);
  ASSERT_EQ(StateWrites(), states + 1);
  EXPECT_EQ(device->States().back().Parity, EVENPARITY);
  comm->SetParity(TParity::Mark);
  comm->ClosePort();
  comm->OpenPort();
  EXPECT_EQ(device->States().back().Parity, MARKPARITY);
  comm->ClosePort();
}

// The enumerations' ordinals against the values in the line state.
TEST_F(SettingsTest, EnumerationsAreTranslatedIntoTheLineState) {
  const struct {
    const char* name;
    std::function<void(TComm&)> set;
    std::function<DWORD(const DCB&)> field;
    DWORD expected;
  } cases[] = {
      {"DtrDisable", [](TComm& c) { c.SetDtrControl(TDtrControl::DtrDisable); },
       [](const DCB& d) { return DWORD{d.fDtrControl}; }, DTR_CONTROL_DISABLE},
      {"DtrHandshake", [](TComm& c) { c.SetDtrControl(TDtrControl::DtrHandshake); },
       [](const DCB& d) { return DWORD{d.fDtrControl}; }, DTR_CONTROL_HANDSHAKE},
      {"DtrEnable", [](TComm& c) { c.SetDtrControl(TDtrControl::DtrEnable); },
       [](const DCB& d) { return DWORD{d.fDtrControl}; }, DTR_CONTROL_ENABLE},
      {"RtsDisable", [](TComm& c) { c.SetRtsControl(TRtsControl::RtsDisable); },
       [](const DCB& d) { return DWORD{d.fRtsControl}; }, RTS_CONTROL_DISABLE},
      {"RtsHandshake", [](TComm& c) { c.SetRtsControl(TRtsControl::RtsHandshake); },
       [](const DCB& d) { return DWORD{d.fRtsControl}; }, RTS_CONTROL_HANDSHAKE},
      {"RtsTransmissionAvailable",
       [](TComm& c) { c.SetRtsControl(TRtsControl::RtsTransmissionAvailable); },
       [](const DCB& d) { return DWORD{d.fRtsControl}; }, RTS_CONTROL_TOGGLE},
      {"RtsEnable", [](TComm& c) { c.SetRtsControl(TRtsControl::RtsEnable); },
       [](const DCB& d) { return DWORD{d.fRtsControl}; }, RTS_CONTROL_ENABLE},
      {"_5", [](TComm& c) { c.SetByteSize(TByteSize::_5); },
       [](const DCB& d) { return DWORD{d.ByteSize}; }, 5},
      {"_8", [](TComm& c) { c.SetByteSize(TByteSize::_8); },
       [](const DCB& d) { return DWORD{d.ByteSize}; }, 8},
      {"_1_5", [](TComm& c) { c.SetStopBits(TStopBits::_1_5); },
       [](const DCB& d) { return DWORD{d.StopBits}; }, ONE5STOPBITS},
      {"Space",
       [](TComm& c) {
         c.SetParity(TParity::Space);
         c.SetBaudRate(4800);
       },
       [](const DCB& d) { return DWORD{d.Parity}; }, SPACEPARITY},
  };
  OpenAndSettle();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t states = device->States().size();
    c.set(*comm);
    ASSERT_EQ(device->States().size(), states + 1);
    const DCB dcb = device->States().back();
    EXPECT_EQ(c.field(dcb), c.expected);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fAbortOnError, 0u);
  }
  comm->ClosePort();
}

}  // namespace

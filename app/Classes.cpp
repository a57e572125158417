#include "app/Classes.h"

#include <string>

#include "classlib/ADOQuery.h"
#include "serial/Brisko.h"

namespace app {

namespace {

using brisko::TComm;
using classlib::TClassInfo;
using classlib::TReadContext;
using classlib::TValue;

// A setting of TComm of type T, from an integer or Boolean value of the description.
template <class T>
void Setting(TClassInfo& info, const char* name, void (TComm::*set)(T),
             T (*convert)(const TValue&)) {
  info.Property<TComm>(name, [set, convert](TComm& comm, const TValue& value, const TReadContext&) {
    (comm.*set)(convert(value));
  });
}

bool ToBoolean(const TValue& value) {
  return classlib::AsBoolean(value);
}

// Unsigned settings refuse negative values rather than wrapping them.
template <class T>
T ToUnsigned(const TValue& value) {
  const int number = classlib::AsInteger(value);
  if (number < 0 || static_cast<unsigned>(number) > static_cast<T>(~T{0})) {
    throw classlib::Exception(std::to_string(number) + " is out of range for this setting");
  }
  return static_cast<T>(number);
}

// A character setting is stored as a text of one character ('0', #0).
char ToChar(const TValue& value) {
  const std::string& text = classlib::AsString(value);
  if (text.size() != 1) {
    throw classlib::Exception("a character setting needs a text of one character");
  }
  return text[0];
}

brisko::TDtrControl ToDtrControl(const TValue& value) {
  using enum brisko::TDtrControl;
  return classlib::AsEnum<brisko::TDtrControl>(
      value,
      {{"DtrEnable", DtrEnable}, {"DtrDisable", DtrDisable}, {"DtrHandshake", DtrHandshake}});
}

brisko::TRtsControl ToRtsControl(const TValue& value) {
  using enum brisko::TRtsControl;
  return classlib::AsEnum<brisko::TRtsControl>(
      value, {{"RtsEnable", RtsEnable},
              {"RtsDisable", RtsDisable},
              {"RtsHandshake", RtsHandshake},
              {"RtsTransmissionAvailable", RtsTransmissionAvailable}});
}

brisko::TByteSize ToByteSize(const TValue& value) {
  using enum brisko::TByteSize;
  return classlib::AsEnum<brisko::TByteSize>(value,
                                             {{"_5", _5}, {"_6", _6}, {"_7", _7}, {"_8", _8}});
}

brisko::TParity ToParity(const TValue& value) {
  using enum brisko::TParity;
  return classlib::AsEnum<brisko::TParity>(
      value, {{"None", None}, {"Odd", Odd}, {"Even", Even}, {"Mark", Mark}, {"Space", Space}});
}

brisko::TStopBits ToStopBits(const TValue& value) {
  using enum brisko::TStopBits;
  return classlib::AsEnum<brisko::TStopBits>(value, {{"_1", _1}, {"_1_5", _1_5}, {"_2", _2}});
}

template <class E>
void CommEvent(TClassInfo& info, const char* name, void (TComm::*set)(E)) {
  info.Property<TComm>(name, [set](TComm& comm, const TValue& value, const TReadContext& context) {
    (comm.*set)(context.Handler<E>(value));
  });
}

void RegisterComm(classlib::TClassRegistry& classes) {
  TClassInfo& comm = classes.Register<TComm>("TComm", "TComponent");
  comm.Property<TComm>("CommName", [](TComm& target, const TValue& value, const TReadContext&) {
    target.SetCommName(classlib::AsString(value));
  });
  Setting<DWORD>(comm, "BaudRate", &TComm::SetBaudRate, ToUnsigned<DWORD>);
  Setting<bool>(comm, "ParityCheck", &TComm::SetParityCheck, ToBoolean);
  Setting<bool>(comm, "Outx_CtsFlow", &TComm::SetOutx_CtsFlow, ToBoolean);
  Setting<bool>(comm, "Outx_DsrFlow", &TComm::SetOutx_DsrFlow, ToBoolean);
  Setting<brisko::TDtrControl>(comm, "DtrControl", &TComm::SetDtrControl, ToDtrControl);
  Setting<bool>(comm, "DsrSensitivity", &TComm::SetDsrSensitivity, ToBoolean);
  Setting<bool>(comm, "TxContinueOnXoff", &TComm::SetTxContinueOnXoff, ToBoolean);
  Setting<bool>(comm, "Outx_XonXoffFlow", &TComm::SetOutx_XonXoffFlow, ToBoolean);
  Setting<bool>(comm, "Inx_XonXoffFlow", &TComm::SetInx_XonXoffFlow, ToBoolean);
  Setting<bool>(comm, "ReplaceWhenParityError", &TComm::SetReplaceWhenParityError, ToBoolean);
  Setting<bool>(comm, "IgnoreNullChar", &TComm::SetIgnoreNullChar, ToBoolean);
  Setting<brisko::TRtsControl>(comm, "RtsControl", &TComm::SetRtsControl, ToRtsControl);
  Setting<WORD>(comm, "XonLimit", &TComm::SetXonLimit, ToUnsigned<WORD>);
  Setting<WORD>(comm, "XoffLimit", &TComm::SetXoffLimit, ToUnsigned<WORD>);
  Setting<brisko::TByteSize>(comm, "ByteSize", &TComm::SetByteSize, ToByteSize);
  Setting<brisko::TParity>(comm, "Parity", &TComm::SetParity, ToParity);
  Setting<brisko::TStopBits>(comm, "StopBits", &TComm::SetStopBits, ToStopBits);
  Setting<char>(comm, "XonChar", &TComm::SetXonChar, ToChar);
  Setting<char>(comm, "XoffChar", &TComm::SetXoffChar, ToChar);
  Setting<char>(comm, "ReplacedChar", &TComm::SetReplacedChar, ToChar);
  Setting<DWORD>(comm, "ReadIntervalTimeout", &TComm::SetReadIntervalTimeout, ToUnsigned<DWORD>);
  Setting<DWORD>(comm, "ReadTotalTimeoutMultiplier", &TComm::SetReadTotalTimeoutMultiplier,
                 ToUnsigned<DWORD>);
  Setting<DWORD>(comm, "ReadTotalTimeoutConstant", &TComm::SetReadTotalTimeoutConstant,
                 ToUnsigned<DWORD>);
  Setting<DWORD>(comm, "WriteTotalTimeoutMultiplier", &TComm::SetWriteTotalTimeoutMultiplier,
                 ToUnsigned<DWORD>);
  Setting<DWORD>(comm, "WriteTotalTimeoutConstant", &TComm::SetWriteTotalTimeoutConstant,
                 ToUnsigned<DWORD>);
  CommEvent<brisko::TReceiveDataEvent>(comm, "OnReceiveData", &TComm::SetOnReceiveData);
  CommEvent<brisko::TReceiveErrorEvent>(comm, "OnReceiveError", &TComm::SetOnReceiveError);
  CommEvent<brisko::TModemStateChangeEvent>(comm, "OnModemStateChange",
                                            &TComm::SetOnModemStateChange);
  CommEvent<brisko::TNotifyEvent>(comm, "OnRequestHangup", &TComm::SetOnRequestHangup);
  CommEvent<brisko::TSendDataEmptyEvent>(comm, "OnSendDataEmpty", &TComm::SetOnSendDataEmpty);
}

}  // namespace

void RegisterAppClasses(classlib::TClassRegistry& Classes) {
  if (Classes.Find("TComm") != nullptr) {
    return;
  }
  RegisterComm(Classes);
  // The query keeps its own cursor settings; every operation sets its connection and SQL text.
  Classes.Register<classlib::TADOQuery>("TADOQuery", "TComponent");
}

}  // namespace app

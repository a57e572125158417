// The windows of one edition with Comm1 open on a scripted device, for driving the sequencer and
// the reply decoder by hand: ticks and received blocks are calls, and Sent() returns the frames
// that went out since the last look.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "WindowFixture.h"
#include "app/Frames.h"
#include "tests/support/ScriptedDevice.h"

namespace app_test {

// A frame or block as the bytes of a string.
template <class Range>
std::string AsText(const Range& Bytes) {
  return std::string(Bytes.begin(), Bytes.end());
}
inline std::string Hex(std::initializer_list<int> Bytes) {
  std::string text;
  for (int b : Bytes) {
    text.push_back(static_cast<char>(b));
  }
  return text;
}

inline const std::string kAccepted = Hex({0xAA, 0x20, 0x00, 0xEE});
inline const std::string kRefused = Hex({0xAA, 0x21, 0x00, 0xEE});
inline const std::string kEndOfData = Hex({0xAA, 0x24, 0x00, 0xEE});

class DeviceWindows : public EditionWindows {
 protected:
  static constexpr const char* kPortName = "TAVDEV";

  void SetUp() override {
    EditionWindows::SetUp();
    app::NextSlot = 0;
    device_ = platform::ScriptedDevice::Register(kPortName);
    OpenPort();
  }
  void TearDown() override {
    Form().Comm1->ClosePort();
    device_.reset();
    app::PortOpened = FALSE;
    EditionWindows::TearDown();
  }

  // Opens Comm1 on the scripted device, as a command does, and waits until the writer takes
  // frames.
  void OpenPort() {
    brisko::TComm& comm = *Form().Comm1;
    bool writerReady = false;
    comm.SetOnSendDataEmpty([&writerReady](brisko::TObject*) { writerReady = true; });
    comm.SetCommName(kPortName);
    ASSERT_NO_THROW(comm.OpenPort());
    ASSERT_TRUE(PumpUntil([&] { return writerReady; })) << "the writer never started";
    comm.SetOnSendDataEmpty(nullptr);
    app::PortOpened = TRUE;
  }

  void Tick() { Form().Timer1Timer(nullptr); }
  void Ticks(int Count) {
    for (int i = 0; i < Count; ++i) {
      Tick();
    }
  }
  void Receive(const std::string& Block) {
    Form().Comm1ReceiveData(Form().Comm1, Block.data(), static_cast<std::uint16_t>(Block.size()));
  }
  // As if the sequencer held a new frame and had sent it once: the controller owes one answer,
  // which counts for that frame.
  void OweAnswer() {
    Form().AnswersOwed.HoldNewFrame();
    Form().AnswersOwed.Transmitted();
  }
  std::string Status() { return Form().StatusBar1->Panel(0).Text(); }
  // Clicks Button as the user would; Timer1 is then switched off again, so that only the test's
  // own Tick() calls advance the operation.
  void Click(classlib::TBitBtn* Button) {
    Button->Click();
    Form().Timer1->SetEnabled(false);
  }

  // The frames handed to the writer since the last call, in order. A marker sent behind them
  // shows when the writer has written everything sent before it.
  std::vector<std::string> Sent() {
    static const std::string marker = "\x7F--sent--\x7F";
    EXPECT_TRUE(Form().Comm1->SendData(marker.data(), static_cast<std::uint16_t>(marker.size())));
    EXPECT_TRUE(device_->WaitUntil([&] {
      const std::vector<std::string> writes = device_->Writes();
      return writes.size() > seen_ && writes.back() == marker;
    })) << "the writer did not write the marker";
    std::vector<std::string> writes = device_->Writes();
    std::vector<std::string> fresh(writes.begin() + static_cast<std::ptrdiff_t>(seen_),
                                   writes.end() - 1);
    seen_ = writes.size();
    return fresh;
  }

  void SetNumber(int Slot, const std::string& Number) {
    Form().StringGrid1->SetCells(1, Slot, Number);
  }

 private:
  std::unique_ptr<platform::ScriptedDevice> device_;
  std::size_t seen_ = 0;
};

using Frames = std::vector<std::string>;

}  // namespace app_test

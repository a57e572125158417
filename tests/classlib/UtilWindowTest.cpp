#include <gtest/gtest.h>

#include <vector>

#include "classlib/UtilWindow.h"
#include "platform/Messages.h"
#include "tests/platform/PlatformTestSupport.h"

namespace {

using classlib::TMessage;
using platform_test::kBound;

using UtilWindowTest = platform_test::PlatformTest;

LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const MSG record{window, message, wParam, lParam, 0, {}};
  return DispatchMessageA(&record);
}

TEST_F(UtilWindowTest, MethodSeesEachMessageAsARecordAndItsResultIsTheReply) {
  std::vector<TMessage> seen;
  HWND window = classlib::AllocateHWnd([&](TMessage& message) {
    seen.push_back(message);
    if (message.Msg == WM_USER + 7) {
      message.Result = 99;
    }
  });
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(Dispatch(window, WM_USER + 7, 1, 2), 99);
  EXPECT_EQ(Dispatch(window, WM_USER + 8, 3, 4), 0);  // the preset reply
  ASSERT_TRUE(PostMessageA(window, WM_USER + 9, 5, -6));
  ASSERT_TRUE(platform::PumpMessagesUntil([&] { return seen.size() == 3; }, kBound));
  const TMessage expected[] = {
      {WM_USER + 7, 1, 2, 0}, {WM_USER + 8, 3, 4, 0}, {WM_USER + 9, 5, -6, 0}};
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].Msg, expected[i].Msg);
    EXPECT_EQ(seen[i].WParam, expected[i].WParam);
    EXPECT_EQ(seen[i].LParam, expected[i].LParam);
    EXPECT_EQ(seen[i].Result, 0);
  }
  classlib::DeallocateHWnd(window);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
}

TEST_F(UtilWindowTest, WindowMayBeReleasedFromInsideItsOwnMethod) {
  HWND window = nullptr;
  int calls = 0;
  window = classlib::AllocateHWnd([&](TMessage&) {
    ++calls;
    classlib::DeallocateHWnd(window);
  });
  EXPECT_EQ(Dispatch(window, WM_USER, 0, 0), 0);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace

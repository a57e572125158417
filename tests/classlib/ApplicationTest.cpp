#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "WindowTestSupport.h"
#include "classlib/Buttons.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/StdCtrls.h"
#include "platform/Messages.h"
#include "platform/Sys.h"

namespace {

using namespace classlib;
using classlib_test::PumpFor;
using classlib_test::PumpUntil;
using classlib_test::WindowTest;

class ErrorBox : public WindowTest {};

TEST_F(ErrorBox, ShowsTheMessageUnderTheTitleWithAFinalDotWhenItSortsAfterTheDot) {
  struct Case {
    std::string message;
    std::string shown;
  } cases[] = {
      {"'' is not a valid integer value", "'' is not a valid integer value."},
      {"Already ends.", "Already ends."},
      {"Ends with a bang!", "Ends with a bang!"},  // '!' sorts before '.'
      {"Ends with a digit 7", "Ends with a digit 7."},
      {"Ends with a question?", "Ends with a question?."},
      {"Latin-1 \xe9", "Latin-1 \xe9."},  // bytes compare unsigned
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    dialogs_.Boxes.clear();
    Protect([&] { throw Exception(c.message); });
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    EXPECT_EQ(dialogs_.Boxes[0].Text, c.shown);
    EXPECT_EQ(dialogs_.Boxes[0].Caption, "Test Title");
    EXPECT_EQ(dialogs_.Boxes[0].Flags, MB_OK | MB_ICONERROR);
  }
}

TEST_F(ErrorBox, ProtectReportsWhetherTheActionRanThrough) {
  EXPECT_TRUE(Protect([] {}));
  EXPECT_FALSE(Protect([] { Abort(); }));
  EXPECT_FALSE(Protect([] { throw std::runtime_error("std failure"); }));
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);  // the silent cancel shows nothing
  EXPECT_EQ(dialogs_.Boxes[0].Text, "std failure.");
}

// A platform window whose procedure runs what the test put in its user data.
struct PlatformWindow {
  using Handler = std::function<void(UINT)>;
  static LRESULT Procedure(HWND window, UINT message, WPARAM, LPARAM) {
    auto* self = reinterpret_cast<PlatformWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr && message >= WM_USER) {
      self->handler(message);
    }
    return 0;
  }
  explicit PlatformWindow(Handler h) : handler(std::move(h)) {
    hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, "TestWindow", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                           nullptr, nullptr, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
  }
  ~PlatformWindow() { DestroyWindow(hwnd); }
  Handler handler;
  HWND hwnd;
};

// Every place where Qt calls the class library: what the handler raises stays there. The silent
// cancel shows nothing, anything else shows the error box, and the loop goes on.
class Boundary : public WindowTest {
 protected:
  enum Raise { kAbort, kError };
  void Check(const std::function<void(const std::function<void()>& raise)>& fire) {
    for (Raise raise : {kAbort, kError}) {
      SCOPED_TRACE(raise == kAbort ? "silent cancel" : "error");
      dialogs_.Boxes.clear();
      bool ran = false;
      fire([&] {
        ran = true;
        if (raise == kAbort) {
          Abort();
        }
        throw Exception("Handler failed");
      });
      EXPECT_TRUE(ran);
      if (raise == kAbort) {
        EXPECT_TRUE(dialogs_.Boxes.empty());
      } else {
        ASSERT_EQ(dialogs_.Boxes.size(), 1u);
        EXPECT_EQ(dialogs_.Boxes[0].Text, "Handler failed.");
      }
    }
  }
};

TEST_F(Boundary, KeyHandler) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  Check([&](const std::function<void()>& raise) {
    edit->OnKeyPress = [&](TObject*, char&) { raise(); };
    QTest::keyClick(edit->Widget(), 'a');
    EXPECT_EQ(edit->Text(), "");  // the key went with the exception
  });
}

TEST_F(Boundary, ButtonClick) {
  TForm form(nullptr);
  auto* button = new TBitBtn(&form);
  button->SetParent(&form);
  button->SetBounds(0, 0, 80, 25);
  form.Show();
  Check([&](const std::function<void()>& raise) {
    button->OnClick = [&](TObject*) { raise(); };
    QTest::mouseClick(button->Widget(), Qt::LeftButton);
  });
}

TEST_F(Boundary, TimerTick) {
  TTimer timer(nullptr);
  timer.SetInterval(1);
  Check([&](const std::function<void()>& raise) {
    bool ticked = false;
    timer.SetOnTimer([&](TObject*) {
      timer.SetEnabled(false);
      ticked = true;
      raise();
    });
    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return ticked; })) << "no tick";
  });
}

TEST_F(Boundary, PlatformMessageDispatch) {
  Check([&](const std::function<void()>& raise) {
    int delivered = 0;
    PlatformWindow window([&](UINT message) {
      ++delivered;
      if (message == WM_USER + 1) {
        raise();
      }
    });
    ASSERT_TRUE(PostMessageA(window.hwnd, WM_USER + 1, 0, 0));
    ASSERT_TRUE(PostMessageA(window.hwnd, WM_USER + 2, 0, 0));
    ASSERT_TRUE(PumpUntil([&] { return delivered == 2; }))
        << "the message after the failing one was not delivered";
  });
}

// A queue whose descriptor cannot be made would leave every posted message undelivered: the
// application refuses to start rather than run deaf, saying why in words a person can act on. A
// thread of its own, so the queue is new.
TEST(Application, InitializeRaisesWhenThePlatformQueueCannotBeWatched) {
  std::string message;
  std::thread([&] {
    auto calls = platform::sys::RealCalls();
    calls.eventfd = [](unsigned, int) {
      errno = EMFILE;
      return -1;
    };
    const platform::sys::ScopedCalls noDescriptors{calls};
    TApplication application;
    try {
      application.Initialize();
    } catch (const Exception& e) {
      message = e.Message();
    }
  }).join();
  EXPECT_EQ(message, std::string("Message queue error: ") + std::strerror(EMFILE));
}

TEST_F(WindowTest, PlatformMessagesAndTimersGoOnWhileABoxIsOpen) {
  std::vector<UINT> received;
  PlatformWindow window([&](UINT message) { received.push_back(message); });
  TTimer timer(nullptr);
  timer.SetInterval(5);
  int ticks = 0;
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  bool sawBoth = false;
  dialogs_.WhileOpen = [&](const TScriptedDialogs::Box&) {
    const int before = ticks;
    PostMessageA(window.hwnd, WM_USER + 7, 0, 0);
    sawBoth = PumpUntil([&] { return ticks > before + 1 && received.size() == 1; });
  };
  dialogs_.Answers.push_back(IDYES);
  EXPECT_EQ(Application->MessageBox("save data", "Message", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_TRUE(sawBoth) << "timer ticks or the posted message did not arrive inside the box";
  EXPECT_EQ(received, std::vector<UINT>{WM_USER + 7});
  EXPECT_EQ(dialogs_.Boxes.at(0).Flags, 0x24u);
}

TEST_F(WindowTest, ModalFormRunsANestedLoopUntilItCloses) {
  TForm dialog(nullptr);
  std::vector<UINT> received;
  PlatformWindow window([&](UINT message) { received.push_back(message); });
  TTimer timer(nullptr);
  timer.SetInterval(5);
  int ticks = 0;
  timer.SetOnTimer([&](TObject*) {
    if (++ticks == 1) {
      PostMessageA(window.hwnd, WM_USER + 3, 0, 0);
    } else if (!received.empty()) {
      timer.SetEnabled(false);
      dialog.Close();
    }
  });
  int closes = 0;
  dialog.OnClose = [&](TObject*, TCloseAction&) { ++closes; };
  bool shownDuring = false;
  dialog.OnShow = [&](TObject*) { shownDuring = true; };

  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_TRUE(shownDuring);
  EXPECT_EQ(closes, 1);
  EXPECT_GE(ticks, 2);
  EXPECT_EQ(received, std::vector<UINT>{WM_USER + 3});
  EXPECT_FALSE(dialog.Widget()->isVisible());
}

TEST_F(WindowTest, ModalCloseRefusedByTheHandlerKeepsTheFormOpen) {
  TForm dialog(nullptr);
  int attempts = 0;
  dialog.OnClose = [&](TObject*, TCloseAction& action) {
    if (++attempts == 1) {
      action = caNone;
    } else if (attempts == 2) {
      throw Exception("Cannot close yet");
    }
  };
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] { dialog.SetModalResult(mrOk); });
  closer.start(1);
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(attempts, 3);
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  EXPECT_EQ(dialogs_.Boxes[0].Text, "Cannot close yet.");
}

// Measures from switching a timer on; the timer is switched on again halfway through.
TEST(Timer, SwitchingOnAgainKeepsThePeriodWhileSwitchingOffAndOnRestartsIt) {
  constexpr int kPeriod = 300;
  for (bool offFirst : {false, true}) {
    SCOPED_TRACE(offFirst ? "off and on" : "on again");
    TTimer timer(nullptr);
    timer.SetEnabled(false);
    timer.SetInterval(kPeriod);
    QElapsedTimer clock;
    qint64 firstTick = -1;
    timer.SetOnTimer([&](TObject*) {
      if (firstTick < 0) {
        firstTick = clock.elapsed();
      }
    });
    clock.start();
    timer.SetEnabled(true);
    PumpFor(kPeriod / 2);
    if (offFirst) {
      timer.SetEnabled(false);
    }
    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return firstTick >= 0; })) << "no tick";
    if (offFirst) {
      EXPECT_GE(firstTick, kPeriod * 3 / 2 - 10);
    } else {
      EXPECT_LT(firstTick, kPeriod * 3 / 2 - 10);
    }
  }
}

TEST(Timer, RunsOnlyWithAHandlerAnIntervalAndEnabled) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(0);
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  PumpFor(30);
  EXPECT_EQ(ticks, 0);
  timer.SetInterval(1);
  ASSERT_TRUE(PumpUntil([&] { return ticks > 0; }));
  timer.SetEnabled(false);
  const int stopped = ticks;
  PumpFor(30);
  EXPECT_EQ(ticks, stopped);
}

class MainForm : public WindowTest {};

TEST_F(MainForm, RunShowsTheFirstFormAndEndsWhenItClosesUnlessOnCloseRefuses) {
  TForm* first = nullptr;
  TForm* second = nullptr;
  Application->CreateForm(first);
  Application->CreateForm(second);
  EXPECT_EQ(Application->MainForm(), first);
  int shows = 0;
  first->OnShow = [&](TObject*) { ++shows; };
  int closes = 0;
  first->OnClose = [&](TObject*, TCloseAction&) {
    if (++closes == 1) {
      throw Exception("Save failed");  // an exception cancels the close
    }
  };
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] { first->Close(); });
  closer.start(1);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { Application->Terminate(); });
  guard.start(5000);
  Application->Run();
  EXPECT_TRUE(guard.isActive()) << "the loop did not end with the main form";
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(closes, 2);
  EXPECT_EQ(dialogs_.Boxes.size(), 1u);
  delete second;
  delete first;
  EXPECT_EQ(Application->MainForm(), nullptr);
}

}  // namespace

namespace {

TEST_F(WindowTest, FileDialogsAskTheServiceAndKeepTheChosenPath) {
  classlib::TForm form(nullptr);
  auto* open = new classlib::TOpenDialog(&form);
  open->SetFilter("*.mdb|*.mdb");
  open->SetInitialDir("/home/user/data");
  auto* save = new classlib::TSaveDialog(&form);
  dialogs_.FileAnswers = {std::string("/home/user/data/plan.mdb"), std::nullopt};
  EXPECT_TRUE(open->Execute());
  EXPECT_EQ(open->FileName(), "/home/user/data/plan.mdb");
  save->SetFileName("old");
  EXPECT_FALSE(save->Execute());
  EXPECT_EQ(save->FileName(), "old") << "a cancelled dialog keeps the name";
  ASSERT_EQ(dialogs_.FileRequests.size(), 2u);
  EXPECT_EQ(dialogs_.FileRequests[0].Kind, classlib::TFileDialogKind::Open);
  EXPECT_EQ(dialogs_.FileRequests[0].Filter, "*.mdb|*.mdb");
  EXPECT_EQ(dialogs_.FileRequests[0].InitialDir, "/home/user/data");
  EXPECT_EQ(dialogs_.FileRequests[0].Owner, &form);
  EXPECT_EQ(dialogs_.FileRequests[1].Kind, classlib::TFileDialogKind::Save);
}

}  // namespace

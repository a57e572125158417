// Shared by the window tests: a fixture whose application answers boxes from a script, a bounded
// pump of the event loop, a driver for the real modal boxes and a look at what a widget paints.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <functional>
#include <vector>

#include "classlib/Application.h"
#include "classlib/Forms.h"
#include "tests/support/QtPump.h"
#include "tests/support/ScriptedDialogs.h"

namespace classlib_test {

using qtpump::PumpUntil;

// Handles events for at least Ms milliseconds.
inline void PumpFor(int Ms) {
  QTimer wake;
  wake.setSingleShot(true);
  wake.start(Ms);
  PumpUntil([&] { return !wake.isActive(); }, Ms + 1000);
}

// Drives the real modal boxes and dialogs that the code under test opens, from inside their nested
// loops: each step runs on the modal widget active at a timer tick, the next step at a later tick,
// once the events of the one before have been handled. Whatever is still modal after TimeoutMs is
// ended with done(0), so that no test hangs; Finished() then tells that steps were left, and
// TimedOut() that a modal widget had to be ended.
class ModalDriver {
 public:
  using Step = std::function<void(QDialog&)>;
  explicit ModalDriver(std::vector<Step> Steps, int TimeoutMs = 5000)
      : steps_(std::move(Steps)), timeoutMs_(TimeoutMs) {
    clock_.start();
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start(5);
  }
  bool Finished() const { return next_ == steps_.size(); }
  bool TimedOut() const { return timedOut_; }

 private:
  void Tick() {
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (clock_.elapsed() > timeoutMs_) {
      if (modal != nullptr) {
        timedOut_ = true;
        modal->done(0);
      }
      return;
    }
    if (modal == nullptr || !modal->isVisible() || Finished()) {
      return;
    }
    steps_[next_++](*modal);
  }

  std::vector<Step> steps_;
  size_t next_ = 0;
  int timeoutMs_;
  bool timedOut_ = false;
  QElapsedTimer clock_;
  QTimer timer_;
};

// Steps on a box: a key pressed where the keyboard's focus is, a button clicked, the box closed
// from the program and from the window system (its title bar's close box).
inline void PressKey(QDialog& Box, Qt::Key Key) {
  QWidget* focus = Box.focusWidget();
  QTest::keyClick(focus != nullptr ? focus : &Box, Key);
}
inline void ClickButton(QDialog& Box, QMessageBox::StandardButton Button) {
  auto* box = qobject_cast<QMessageBox*>(&Box);
  ASSERT_NE(box, nullptr) << "not a message box";
  ASSERT_NE(box->button(Button), nullptr) << "no such button";
  QTest::mouseClick(box->button(Button), Qt::LeftButton);
}
inline void CloseBox(QDialog& Box) {
  Box.close();
}
inline void CloseFromWindowSystem(QDialog& Box) {
  ASSERT_NE(Box.windowHandle(), nullptr);
  Box.windowHandle()->close();
}

// Whether Widget paints Area (in its own coordinates) in one colour, its children left out: no
// line or caption of a frame runs through it. Shades that a style gives the inside of a frame
// (a few levels apart) count as one colour.
inline bool PlainArea(QWidget& Widget, const QRect& Area) {
  QImage image(Widget.size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  Widget.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
  if (Area.isEmpty() || !image.rect().contains(Area)) {
    return false;
  }
  constexpr int kShade = 8;
  const QColor middle = image.pixelColor(Area.center());
  for (int y = Area.top(); y <= Area.bottom(); ++y) {
    for (int x = Area.left(); x <= Area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - middle.red()) > kShade ||
          std::abs(c.green() - middle.green()) > kShade ||
          std::abs(c.blue() - middle.blue()) > kShade) {
        return false;
      }
    }
  }
  return true;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    classlib::Application->Initialize();
    classlib::Application->SetDialogs(&dialogs_);
    classlib::Application->SetTitle("Test Title");
  }
  void TearDown() override { classlib::Application->SetDialogs(nullptr); }

  // Shows Form and waits until it is the active window, so focus changes send their events.
  void ShowActive(classlib::TForm& Form) {
    Form.Show();
    ASSERT_TRUE(PumpUntil([&] { return QApplication::activeWindow() == Form.Widget(); }))
        << "the form never became active";
  }

  classlib::TScriptedDialogs dialogs_;
};

}  // namespace classlib_test

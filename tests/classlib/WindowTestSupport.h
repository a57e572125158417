// Shared by the window tests: a fixture whose application answers boxes from a script, and a
// bounded pump of the event loop.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

#include "classlib/Application.h"
#include "classlib/Forms.h"
#include "classlib/ScriptedDialogs.h"
#include "tests/support/QtPump.h"

namespace classlib_test {

using qtpump::PumpUntil;

// Handles events for at least Ms milliseconds.
inline void PumpFor(int Ms) {
  QTimer wake;
  wake.setSingleShot(true);
  wake.start(Ms);
  PumpUntil([&] { return !wake.isActive(); }, Ms + 1000);
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

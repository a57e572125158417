#include "classlib/Application.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QSocketNotifier>
#include <cstring>

#include "classlib/ClassRegistry.h"
#include "classlib/Forms.h"
#include "platform/Messages.h"

namespace classlib {

namespace {

TApplication theApplication;

// Messages dispatched per activation of the queue's descriptor; the rest wait for the next.
constexpr int kDrainBatch = 256;

int qtArgc = 1;
char qtArgv0[] = "tavkel";
char* qtArgv[] = {qtArgv0, nullptr};

}  // namespace

TApplication* const Application = &theApplication;

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
  Finalize();
}

void TApplication::Finalize() {
  while (ComponentCount() > 0) {
    delete Component(ComponentCount() - 1);
  }
  if (drain_ != nullptr && QCoreApplication::instance() != nullptr) {
    delete drain_;
  }
  ownApp_.reset();
}

void TApplication::Initialize() {
  if (QCoreApplication::instance() == nullptr) {
    ownApp_ = std::make_unique<QApplication>(qtArgc, qtArgv);
  }
  QApplication::setQuitOnLastWindowClosed(false);
  if (drain_ == nullptr) {
    // Without the descriptor no posted message, the serial port's events among them, would ever
    // be dispatched: the program must not start deaf.
    int error = 0;
    const int descriptor = platform::MessageQueueDescriptor(&error);
    if (descriptor < 0) {
      throw Exception(std::string("Message queue error: ") + std::strerror(error));
    }
    drain_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(drain_, &QSocketNotifier::activated, drain_, [this] { DrainPlatformQueue(); });
    QObject::connect(drain_, &QObject::destroyed, [this] { drain_ = nullptr; });
  }
}

void TApplication::DrainPlatformQueue() {
  MSG message;
  for (int taken = 0; taken < kDrainBatch; ++taken) {
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      return;
    }
    Protect([&] {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    });
  }
}

void TApplication::FormCreated(TForm* Form) {
  if (mainForm_ == nullptr) {
    mainForm_ = Form;
  }
}

void TApplication::FormDestroyed(TForm* Form) {
  if (mainForm_ == Form) {
    mainForm_ = nullptr;
  }
}

void TApplication::Run() {
  Initialize();
  if (mainForm_ != nullptr) {
    mainForm_->Show();
  }
  if (terminated_) {
    terminated_ = false;
    return;
  }
  QEventLoop loop;
  runLoop_ = &loop;
  loop.exec();
  runLoop_ = nullptr;
  terminated_ = false;  // a later Run (tests run several) starts afresh
}

void TApplication::Terminate() {
  terminated_ = true;
  if (runLoop_ != nullptr) {
    runLoop_->exit(0);
  }
}

void TApplication::ProcessMessages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::HandleException() noexcept {
  try {
    try {
      throw;
    } catch (const EAbort&) {
    } catch (const Exception& e) {
      ShowException(e);
    } catch (const std::exception& e) {
      ShowException(Exception(e.what()));
    } catch (...) {
      ShowException(Exception("Unknown exception"));
    }
  } catch (...) {
    // The box itself failed; there is nobody left to tell.
  }
}

void TApplication::ShowException(const Exception& E) {
  std::string text = E.Message();
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
    text += '.';
  }
  MessageBox(text, title_, MB_OK | MB_ICONERROR);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, UINT Flags) {
  return Dialogs().MessageBox(mainForm_, Text, Caption, Flags);
}

TDialogService& TApplication::Dialogs() {
  return dialogs_ != nullptr ? *dialogs_ : static_cast<TDialogService&>(qtDialogs_);
}

TClassRegistry& TApplication::Classes() {
  if (!classes_) {
    classes_ = std::make_unique<TClassRegistry>();
    RegisterStandardClasses(*classes_);
  }
  return *classes_;
}

}  // namespace classlib

// The application object: title, main form, message loop (Qt's), the error box for exceptions that
// leave event handlers, the dialog service, the class registry that window descriptions are read
// with, and the drain of the platform's user-interface message queue.
#pragma once

#include <memory>
#include <string>

#include "classlib/Dialogs.h"
#include "classlib/Exception.h"
#include "classlib/Object.h"

class QEventLoop;
class QApplication;
class QSocketNotifier;

namespace classlib {

class TClassRegistry;
class TForm;

class TApplication : public TComponent {
 public:
  // Touches no Qt object: the global one exists before main runs.
  TApplication();
  // Finalize, for a program that has not called it.
  ~TApplication() override;

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& Title) { title_ = Title; }

  // Makes sure a Qt application runs (creating one when none exists), keeps Qt from ending the
  // loop when a window closes, and starts draining the calling thread's platform message queue
  // inside every Qt event loop. Idempotent. Raises Exception, with the system's reason in words,
  // when the queue cannot be watched.
  void Initialize();

  // Creates a form of class T owned by the application; the first becomes the main form.
  template <class T>
  void CreateForm(T*& Reference) {
    Reference = new T(this);
    FormCreated(Reference);
  }
  TForm* MainForm() const { return mainForm_; }
  // Called by a form's destructor.
  void FormDestroyed(TForm* Form);

  // Shows the main form (firing its OnShow) and runs the message loop until the main form closes
  // or Terminate is called.
  void Run();
  // Ends the program's use of the class library while it is all still alive: destroys the forms
  // with their components, then the Qt application this object made. A program block calls it
  // after Run; left to the static destructor, Qt's own globals may already be gone.
  void Finalize();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles the events that are waiting, then returns.
  void ProcessMessages();

  // Reports the exception being handled; call only inside a catch block. The silent cancel is
  // discarded, anything else is shown by ShowException. Never throws.
  void HandleException() noexcept;
  // The error box: caption Title, error icon, the message with "." added when its last character
  // sorts after ".".
  void ShowException(const Exception& E);
  // A box owned by the main form, through the dialog service.
  int MessageBox(const std::string& Text, const std::string& Caption, UINT Flags);

  // The current dialog service: the Qt one unless a test has put its own.
  TDialogService& Dialogs();
  // Service stays owned by the caller; null goes back to the Qt service.
  void SetDialogs(TDialogService* Service) { dialogs_ = Service; }

  // Classes that window descriptions may name; made with the standard ones registered.
  TClassRegistry& Classes();

  // Takes every message waiting in the calling thread's platform queue and dispatches it, each
  // under the exception guard. Bounded per call so that a message that posts another cannot
  // starve Qt's events.
  void DrainPlatformQueue();

 private:
  void FormCreated(TForm* Form);

  std::string title_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  QEventLoop* runLoop_ = nullptr;
  std::unique_ptr<QApplication> ownApp_;
  TQtDialogs qtDialogs_;
  TDialogService* dialogs_ = nullptr;
  std::unique_ptr<TClassRegistry> classes_;
  QSocketNotifier* drain_ = nullptr;  // a child of the Qt application, freed with it
};

// The application object.
extern TApplication* const Application;

// Runs Action where Qt has called the class library: nothing it raises passes into Qt. Returns
// false when it raised; the exception has then been handled (the silent cancel without a word).
template <class F>
bool Protect(F&& Action) noexcept {
  try {
    Action();
    return true;
  } catch (...) {
    Application->HandleException();
    return false;
  }
}

}  // namespace classlib

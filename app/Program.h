// A program block's parts, for edition E: its start-up (everything before the message loop runs)
// and its whole life, whose exit status main returns.
#pragma once

#include "app/Edition.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/Unit3.h"
#include "classlib/Application.h"

namespace app {

// Sets the application's title, initialises it and creates the three windows hidden, owned by the
// application, the main window first. The title comes first so that the box of a start that fails
// has its caption. There is no COM to initialise here: the data file is opened by the class
// library's query directly.
template <const TEdition& E>
void StartUp() {
  // The same title in both editions; it names the taskbar button and captions the error box.
  classlib::Application->SetTitle("Tavkel V.1.3");
  classlib::Application->Initialize();
  CreateForm<E>(Form1);
  CreateForm<E>(Form2);
  CreateForm<E>(Form3);
}

// Runs StartUp, then the message loop until the main window closes, then ends the program's use
// of the class library. Returns the exit status: 0, or 1 when StartUp raised; the reason is then
// on standard error after Name and in the error box, and the loop never runs.
int RunProgram(const char* Name, void (*StartUp)());

// The life of the program of edition E; its exit status.
template <const TEdition& E>
int Run() {
  return RunProgram(E.Name, &StartUp<E>);
}

}  // namespace app

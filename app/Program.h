// The start-up of a program block, for edition E: everything before the message loop runs.
#pragma once

#include "app/Edition.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/Unit3.h"
#include "classlib/Application.h"

namespace app {

// Initialises the application, sets its title and creates the three windows hidden, owned by the
// application, the main window first. There is no COM to initialise here: the data file is opened
// by the class library's query directly.
template <const TEdition& E>
void StartUp() {
  classlib::Application->Initialize();
  // The same title in both editions; it names the taskbar button and captions the error box.
  classlib::Application->SetTitle("Tavkel V.1.3");
  CreateForm<E>(Form1);
  CreateForm<E>(Form2);
  CreateForm<E>(Form3);
}

}  // namespace app

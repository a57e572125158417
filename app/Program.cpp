#include "app/Program.h"

#include <cstdio>
#include <exception>

namespace app {

namespace {

// The message of the exception being handled; call only inside a catch block.
const char* CurrentMessage() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

}  // namespace

int RunProgram(const char* Name, void (*StartUp)()) {
  try {
    StartUp();
  } catch (...) {
    // Standard error first: it is all that a start from a terminal or a script shows, and the box
    // may not be seen. The Qt application exists by now (Initialize makes it before anything that
    // raises), so the box can be shown; it never raises.
    std::fprintf(stderr, "%s: %s\n", Name, CurrentMessage());
    classlib::Application->HandleException();
    classlib::Application->Finalize();
    return 1;
  }
  classlib::Application->Run();
  classlib::Application->Finalize();
  return 0;
}

}  // namespace app

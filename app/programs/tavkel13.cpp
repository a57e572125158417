// The program block of edition 1.3.
#include "app/Program.h"

int main() {
  app::StartUp<app::Tavkel13>();
  classlib::Application->Run();
  classlib::Application->Finalize();
  return 0;
}

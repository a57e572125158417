// The program block of edition 1.4.
#include "app/Program.h"

int main() {
  app::StartUp<app::Tavkel14>();
  classlib::Application->Run();
  classlib::Application->Finalize();
  return 0;
}

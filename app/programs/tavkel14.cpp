// The program block of edition 1.4.
#include "app/Program.h"

int main() {
  return app::Run<app::Tavkel14>();
}

// The program block of edition 1.3.
#include "app/Program.h"

int main() {
  return app::Run<app::Tavkel13>();
}

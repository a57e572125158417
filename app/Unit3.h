// TForm3: an empty window, created at start-up and never shown.
#pragma once

#include "app/Edition.h"
#include "classlib/Forms.h"

namespace app {

class TForm3 : public classlib::TForm {
 public:
  TForm3(classlib::TComponent* Owner, const TEdition& Edition);
};

// Set by the program block.
extern TForm3* Form3;

}  // namespace app

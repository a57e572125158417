#include "app/Unit3.h"

namespace app {

TForm3* Form3 = nullptr;

TForm3::TForm3(classlib::TComponent* Owner, const TEdition& Edition) : TForm(Owner) {
  Load(*Edition.Form3Description);
}

}  // namespace app

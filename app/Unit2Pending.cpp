// Handlers of the port dialog that do nothing yet; the port selection defines them in place of
// these.
#include "app/Unit2.h"

namespace app {

void TForm2::BitBtn1Click(TObject*) {}
void TForm2::FormCreate(TObject*) {}
void TForm2::BitBtn2Click(TObject*) {}

}  // namespace app

// Handlers and operations of the main window that do nothing yet. Each concern that defines one
// removes it here and defines it in its own source file.
#include "app/Unit1.h"

namespace app {

// Device operations.
void TForm1::BitBtn3Click(TObject*) {}
void TForm1::BitBtn4Click(TObject*) {}
void TForm1::BitBtn7Click(TObject*) {}
void TForm1::BitBtn8Click(TObject*) {}
void TForm1::Timer1Timer(TObject*) {}
void TForm1::Comm1ReceiveData(TObject*, const void*, std::uint16_t) {}

// Port search.
void TForm1::Timer2Timer(TObject*) {}
void TForm1::SpeedButton1Click(TObject*) {}
void TForm1::TryNextPort() {}

}  // namespace app

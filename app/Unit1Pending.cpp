// Handlers and operations of the main window that do nothing yet. Each concern that defines one
// removes it here and defines it in its own source file.
#include "app/Unit1.h"

namespace app {

// Data file.
void TForm1::FormClose(TObject*, classlib::TCloseAction&) {}
void TForm1::BitBtn1Click(TObject*) {}
void TForm1::BitBtn2Click(TObject*) {}
void TForm1::SaveDataFile() {}

// Port search.
void TForm1::Timer2Timer(TObject*) {}
void TForm1::SpeedButton1Click(TObject*) {}
void TForm1::TryNextPort() {}

}  // namespace app

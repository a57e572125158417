// Handlers and operations of the main window that do nothing yet. Each concern that defines one
// removes it here and defines it in its own source file.
#include "app/Unit1.h"

namespace app {

// Data file.
void TForm1::FormClose(TObject*, classlib::TCloseAction&) {}
void TForm1::BitBtn1Click(TObject*) {}
void TForm1::BitBtn2Click(TObject*) {}
void TForm1::SaveDataFile() {}

// Device operations.
void TForm1::BitBtn3Click(TObject*) {}
void TForm1::BitBtn4Click(TObject*) {}
void TForm1::BitBtn7Click(TObject*) {}
void TForm1::BitBtn8Click(TObject*) {}
void TForm1::Timer1Timer(TObject*) {}
void TForm1::Comm1ReceiveData(TObject*, const void*, std::uint16_t) {}

}  // namespace app

// The main window's side of the port choice: the first filling of the detected-port list, the
// reopen before each device operation with its failure box, "Configure Port..." and the hang-up.
#include "app/Operation.h"
#include "app/PortList.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "classlib/Application.h"

namespace app {

void TForm1::FillPortList() {
  ListSerialPorts(*Form2->ComboBox1, true);
}

// The open port stays in use while PortOpened holds, whatever the detected-port list shows now.
// The name goes to the open call verbatim: only the port search of edition 1.4 adds a prefix.
void TForm1::EnsurePortOpen() {
  if (PortOpened) {
    return;
  }
  ClosePortAndForgetAnswers();
  PortOpened = FALSE;
  Comm1->SetCommName(Form2->ComboBox1->Text());
  Comm1->OpenPort();
  PortOpened = TRUE;
}

void TForm1::ClosePortAndForgetAnswers() {
  Comm1->ClosePort();
  AnswersOwed.Forget();
}

// The device commands show this for any failure of their protected block; the text is read now,
// so it names what EnsurePortOpen tried ("Can not open " alone when no entry is selected).
void TForm1::ShowPortOpenFailure() {
  classlib::Application->Dialogs().MessageBox(this, "Can not open " + Form2->ComboBox1->Text(),
                                              "Message", MB_OK | MB_ICONERROR);
}

// The dialog's result is not used: its confirm button does all there is to do.
void TForm1::BitBtn6Click(TObject*) {
  Form2->ShowModal();
}

// A running operation or search is left to go on; the next device operation reopens the port.
void TForm1::Comm1RequestHangup(TObject*) {
  ClosePortAndForgetAnswers();
  PortOpened = FALSE;
  ShowStatus(*StatusBar1, "Serial error.");
}

}  // namespace app

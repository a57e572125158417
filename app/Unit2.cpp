#include "app/Unit2.h"

#include "app/Classes.h"
#include "app/PortList.h"
#include "app/Unit1.h"
#include "classlib/Application.h"
#include "classlib/Registry.h"

namespace app {

TForm2* Form2 = nullptr;

namespace {

// The index of the list entry last confirmed; the value keeps its name whatever index it holds.
constexpr char kSettingsKey[] = "\\Software\\Tav\\TavCOM";
constexpr char kIndexValue[] = "COM1";

// Edition 1.4 opens the typed or picked name at once. A failure is expected (an empty or unknown
// name) and harmless: the next device operation reopens the detected-port list's entry.
void ConnectAtOnce(const std::string& Name) {
  try {
    Form1->ClosePortAndForgetAnswers();
    Form1->Comm1->SetCommName(Name);
    Form1->Comm1->OpenPort();
  } catch (...) {
  }
}

// -1 when no entry is selected. Nothing is written when the key can be neither opened nor made; a
// failed write raises.
void SaveIndex(int Index) {
  classlib::TRegistry registry;
  if (registry.OpenKey(kSettingsKey, true)) {
    registry.WriteInteger(kIndexValue, Index);
    registry.CloseKey();
  }
}

}  // namespace

TForm2::TForm2(classlib::TComponent* Owner, const TEdition& Edition)
    : TForm(Owner), edition_(Edition) {
  using classlib::TNotifyEvent;
  RegisterHandler<TNotifyEvent>("BitBtn1Click", [this](TObject* Sender) { BitBtn1Click(Sender); });
  RegisterHandler<TNotifyEvent>("FormCreate", [this](TObject* Sender) { FormCreate(Sender); });
  RegisterHandler<TNotifyEvent>("BitBtn2Click", [this](TObject* Sender) { BitBtn2Click(Sender); });
  RegisterAppClasses(classlib::Application->Classes());
  Load(*edition_.Form2Description, [this] {
    GroupBox1 = Field<classlib::TGroupBox>("GroupBox1");
    Label1 = Field<classlib::TLabel>("Label1");
    ComboBox1 = Field<classlib::TComboBox>("ComboBox1");
    BitBtn1 = Field<classlib::TBitBtn>("BitBtn1");
    BitBtn2 = Field<classlib::TBitBtn>("BitBtn2");
    if (edition_.PortDialog == TPortDialogKind::FixedList) {
      ComboBox2 = Field<classlib::TComboBox>("ComboBox2");
    }
  });
}

// The detected-port list is still empty here, so the saved index selects nothing; it is read all
// the same, and a value that cannot be read reaches the error box.
void TForm2::FormCreate(TObject*) {
  classlib::TRegistry registry;
  if (!registry.OpenKey(kSettingsKey, false)) {
    return;
  }
  ComboBox1->SetItemIndex(registry.ReadInteger(kIndexValue));
  registry.CloseKey();
}

// "Refresh": also the port search's first step, called as a plain operation.
void TForm2::BitBtn2Click(TObject*) {
  ListSerialPorts(*ComboBox1, false);
}

// "CONNECT" (1.4) or "OK" (1.3). Either way the next device operation reopens the port from the
// detected-port list; the dialog closes and the flag is cleared also when the index was not saved.
void TForm2::BitBtn1Click(TObject*) {
  const classlib::TComboBox* chosen = ComboBox1;
  if (edition_.PortDialog == TPortDialogKind::FixedList) {
    chosen = ComboBox2;
    ConnectAtOnce(ComboBox2->Text());
  }
  auto finish = [this] {
    Close();
    PortOpened = FALSE;
  };
  try {
    SaveIndex(chosen->ItemIndex());
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

}  // namespace app

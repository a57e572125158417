#include "app/Unit2.h"

#include "app/Classes.h"
#include "classlib/Application.h"

namespace app {

TForm2* Form2 = nullptr;

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

}  // namespace app

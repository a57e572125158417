// The port dialog, shown modally by "Configure Port...". Its detected-port list, ComboBox1, names
// the port of every device operation in both editions; edition 1.4 keeps it hidden and shows the
// fixed list ComboBox2 with "CONNECT" instead.
#pragma once

#include "app/Edition.h"
#include "classlib/Buttons.h"
#include "classlib/Controls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"

namespace app {

using classlib::TObject;

class TForm2 : public classlib::TForm {
 public:
  // Builds the dialog hidden from the edition's description, then runs FormCreate.
  TForm2(classlib::TComponent* Owner, const TEdition& Edition);

  const TEdition& Edition() const { return edition_; }

  // Components, in the order of the dialog's declaration.
  classlib::TGroupBox* GroupBox1 = nullptr;
  classlib::TLabel* Label1 = nullptr;
  classlib::TComboBox* ComboBox1 = nullptr;  // detected-port list; its text is the port in use
  classlib::TBitBtn* BitBtn1 = nullptr;      // "CONNECT" (1.4) or "OK" (1.3)
  classlib::TBitBtn* BitBtn2 = nullptr;      // "Refresh"
  classlib::TComboBox* ComboBox2 = nullptr;  // edition 1.4 only: "COM1".."COM21", editable

  void BitBtn1Click(TObject* Sender);
  void FormCreate(TObject* Sender);
  void BitBtn2Click(TObject* Sender);

 private:
  const TEdition& edition_;
};

// The port dialog, set by the program block.
extern TForm2* Form2;

}  // namespace app

// The main window's frame: building it from its description, the creation-time reset, the first
// showing, the key rules of its fields and "Crear All".
#include "app/Unit1.h"

#include "app/Classes.h"
#include "classlib/Application.h"
#include "classlib/SysUtils.h"

namespace app {

TForm1* Form1 = nullptr;
std::int32_t NextSlot = 0;
BOOL PortOpened = FALSE;

namespace {

using classlib::Abort;

constexpr char kBackspace = 8;
constexpr char kEnter = 13;
// A phone record of the controller carries at most this many characters of a number.
constexpr std::size_t kPhoneDigits = 13;
constexpr int kMinRelayTimeout = 1000;
constexpr int kMaxRelayTimeout = 59999;
constexpr std::size_t kPasswordDigits = 4;

bool IsDigit(char Key) {
  return Key >= '0' && Key <= '9';
}

}  // namespace

TForm1::TForm1(classlib::TComponent* Owner, const TEdition& Edition)
    : TForm(Owner), edition_(Edition) {
  RegisterHandlers();
  RegisterAppClasses(classlib::Application->Classes());
  Load(*edition_.Form1Description, [this] { WireFields(); });
  // The work file's path, as the file system names it.
  Label3->SetShowsFileName(true);
}

void TForm1::RegisterHandlers() {
  auto bind = [this](auto Method) {
    return [this, Method](auto&&... Args) { (this->*Method)(Args...); };
  };
  using classlib::TKeyPressEvent;
  using classlib::TNotifyEvent;
  RegisterHandler<TNotifyEvent>("FormCreate", bind(&TForm1::FormCreate));
  RegisterHandler<TNotifyEvent>("FormShow", bind(&TForm1::FormShow));
  RegisterHandler<classlib::TCloseEvent>("FormClose", bind(&TForm1::FormClose));
  RegisterHandler<TNotifyEvent>("BitBtn1Click", bind(&TForm1::BitBtn1Click));
  RegisterHandler<TNotifyEvent>("BitBtn2Click", bind(&TForm1::BitBtn2Click));
  RegisterHandler<TNotifyEvent>("BitBtn3Click", bind(&TForm1::BitBtn3Click));
  RegisterHandler<TNotifyEvent>("BitBtn4Click", bind(&TForm1::BitBtn4Click));
  RegisterHandler<TNotifyEvent>("BitBtn5Click", bind(&TForm1::BitBtn5Click));
  RegisterHandler<TNotifyEvent>("BitBtn6Click", bind(&TForm1::BitBtn6Click));
  RegisterHandler<TNotifyEvent>("BitBtn7Click", bind(&TForm1::BitBtn7Click));
  RegisterHandler<TNotifyEvent>("BitBtn8Click", bind(&TForm1::BitBtn8Click));
  RegisterHandler<TKeyPressEvent>("Edit1KeyPress", bind(&TForm1::Edit1KeyPress));
  RegisterHandler<TNotifyEvent>("Edit1Exit", bind(&TForm1::Edit1Exit));
  RegisterHandler<TKeyPressEvent>("Edit2KeyPress", bind(&TForm1::Edit2KeyPress));
  RegisterHandler<TKeyPressEvent>("StringGrid1KeyPress", bind(&TForm1::StringGrid1KeyPress));
  RegisterHandler<classlib::TSetEditEvent>("StringGrid1SetEditText",
                                           bind(&TForm1::StringGrid1SetEditText));
  RegisterHandler<TNotifyEvent>("Timer1Timer", bind(&TForm1::Timer1Timer));
  RegisterHandler<TNotifyEvent>("Timer2Timer", bind(&TForm1::Timer2Timer));
  RegisterHandler<TNotifyEvent>("SpeedButton1Click", bind(&TForm1::SpeedButton1Click));
  RegisterHandler<brisko::TReceiveDataEvent>("Comm1ReceiveData", bind(&TForm1::Comm1ReceiveData));
  RegisterHandler<brisko::TNotifyEvent>("Comm1RequestHangup", bind(&TForm1::Comm1RequestHangup));
}

void TForm1::WireFields() {
  using namespace classlib;
  Comm1 = Field<brisko::TComm>("Comm1");
  GroupBox1 = Field<TGroupBox>("GroupBox1");
  GroupBox2 = Field<TGroupBox>("GroupBox2");
  Label1 = Field<TLabel>("Label1");
  Label2 = Field<TLabel>("Label2");
  Edit1 = Field<TEdit>("Edit1");
  CheckBox1 = Field<TCheckBox>("CheckBox1");
  GroupBox3 = Field<TGroupBox>("GroupBox3");
  BitBtn1 = Field<TBitBtn>("BitBtn1");
  BitBtn2 = Field<TBitBtn>("BitBtn2");
  BitBtn3 = Field<TBitBtn>("BitBtn3");
  BitBtn4 = Field<TBitBtn>("BitBtn4");
  BitBtn5 = Field<TBitBtn>("BitBtn5");
  BitBtn6 = Field<TBitBtn>("BitBtn6");
  StringGrid1 = Field<TStringGrid>("StringGrid1");
  Label3 = Field<TLabel>("Label3");
  OpenDialog1 = Field<TOpenDialog>("OpenDialog1");
  SaveDialog1 = Field<TSaveDialog>("SaveDialog1");
  ADOQuery1 = Field<TADOQuery>("ADOQuery1");
  Timer1 = Field<TTimer>("Timer1");
  StatusBar1 = Field<TStatusBar>("StatusBar1");
  GroupBox4 = Field<TGroupBox>("GroupBox4");
  Edit2 = Field<TEdit>("Edit2");
  Label4 = Field<TLabel>("Label4");
  BitBtn7 = Field<TBitBtn>("BitBtn7");
  BitBtn8 = Field<TBitBtn>("BitBtn8");
  Timer2 = Field<TTimer>("Timer2");
  SpeedButton1 = Field<TSpeedButton>("SpeedButton1");
}

void TForm1::FormCreate(TObject*) {
  PhonesExpected = 0;
  Phase = PhaseIdle;
  TriesLeft = 0;
  PortOpened = FALSE;
  DeviceAnswered = FALSE;
}

void TForm1::FormShow(TObject*) {
  StringGrid1->SetCells(0, 0, "Nr.");
  StringGrid1->SetCells(1, 0, "Phone Number");
  for (int slot = 1; slot <= edition_.LastSlot; ++slot) {
    StringGrid1->SetCells(0, slot, classlib::IntToStr(slot));
  }
  FillPortList();
}

void TForm1::Edit1KeyPress(TObject*, char& Key) {
  if (Key != kBackspace && !IsDigit(Key)) {
    Abort();
  }
}

// A text that does not convert becomes "1000" before the conversion error reaches the error box.
void TForm1::Edit1Exit(TObject*) {
  int value = 0;
  try {
    value = classlib::StrToInt(classlib::Trim(Edit1->Text()));
  } catch (const classlib::EConvertError&) {
    Edit1->SetText("1000");
    throw;
  }
  if (value > kMaxRelayTimeout || value < kMinRelayTimeout) {
    Edit1->SetText("1000");
  }
}

// The length is tested first: a full field refuses a digit even when it would replace a selection.
void TForm1::Edit2KeyPress(TObject*, char& Key) {
  if (Edit2->Text().size() >= kPasswordDigits && Key != kBackspace) {
    Abort();
  }
  if (Key != kBackspace && !IsDigit(Key)) {
    Abort();
  }
}

// Enter moves down a row; the editor itself never acts on it.
void TForm1::StringGrid1KeyPress(TObject*, char& Key) {
  if (Key == kEnter && StringGrid1->Row() < edition_.LastSlot) {
    StringGrid1->SetRow(StringGrid1->Row() + 1);
  }
  if (Key != kBackspace && Key != '+' && !IsDigit(Key)) {
    Abort();
  }
}

// A number longer than a phone record holds stays in its cell; typing on moves to the next row.
void TForm1::StringGrid1SetEditText(TObject*, int, int ARow, const std::string& Value) {
  if (Value.size() <= kPhoneDigits) {
    return;
  }
  if (ARow < edition_.LastSlot) {
    StringGrid1->SetRow(ARow + 1);
  }
  Abort();
}

// "Crear All": leaves the work file, the port, the operation and the status text alone.
void TForm1::BitBtn5Click(TObject*) {
  for (int slot = 1; slot <= edition_.LastSlot; ++slot) {
    StringGrid1->SetCells(1, slot, "");
  }
  Edit1->SetText("0");
  CheckBox1->SetChecked(false);
  Edit2->SetText("7391");
}

}  // namespace app

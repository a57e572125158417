#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QWidget>

#include "SampleFormText.h"
#include "WindowTestSupport.h"
#include "classlib/Buttons.h"
#include "classlib/ClassRegistry.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Grids.h"
#include "classlib/StdCtrls.h"

namespace {

using namespace classlib;
using classlib_test::WindowTest;

// A form class as the app layer writes them: handlers registered by name, fields wired in one
// place after loading, OnCreate last.
class TSampleForm : public TForm {
 public:
  explicit TSampleForm(TComponent* Owner, std::string_view description = SampleFormText)
      : TForm(Owner) {
    RegisterHandler<TNotifyEvent>("FormCreate", [this](TObject*) { createdWithEdit = Edit1; });
    RegisterHandler<TNotifyEvent>("FormShow", [this](TObject*) { log.push_back("show"); });
    RegisterHandler<TNotifyEvent>("Edit1Exit", [this](TObject*) { log.push_back("exit"); });
    RegisterHandler<TKeyPressEvent>(
        "Edit1KeyPress", [this](TObject*, char& key) { log.push_back(std::string("key ") + key); });
    RegisterHandler<TSetEditEvent>(
        "StringGrid1SetEditText", [this](TObject*, int col, int row, const std::string& value) {
          log.push_back("set " + std::to_string(col) + "," + std::to_string(row) + " " + value);
        });
    RegisterHandler<TNotifyEvent>("SpeedButton1Click",
                                  [this](TObject*) { log.push_back("search"); });
    RegisterHandler<TNotifyEvent>("Timer1Timer", [this](TObject*) { log.push_back("tick"); });
    Load(description, [this] { Edit1 = Field<TEdit>("Edit1"); });
  }
  TEdit* Edit1 = nullptr;
  TEdit* createdWithEdit = nullptr;
  std::vector<std::string> log;
};

class Reader : public WindowTest {};

TEST_F(Reader, BuildsTheComponentsWithTheirPropertiesParentsAndEvents) {
  TSampleForm form(nullptr);
  EXPECT_EQ(form.Name(), "Form9");
  EXPECT_EQ(form.Caption(), "Tavkel V.1.4");
  EXPECT_EQ(form.Width(), 387);
  EXPECT_EQ(form.Position(), poScreenCenter);
  EXPECT_EQ(form.BorderIcons(), biSystemMenu | biMinimize);
  EXPECT_EQ(form.Widget()->font().pixelSize(), 11);
  EXPECT_NE(form.createdWithEdit, nullptr) << "OnCreate must run after the wiring";
  EXPECT_EQ(form.ComponentCount(), 10);

  auto* group = form.Field<TGroupBox>("GroupBox2");
  auto* label = form.Field<TLabel>("Label1");
  auto* check = form.Field<TCheckBox>("CheckBox1");
  EXPECT_EQ(group->Parent(), &form);
  EXPECT_EQ(label->Parent(), group);
  EXPECT_EQ(form.Edit1->Parent(), group);
  EXPECT_EQ(form.Edit1->Owner(), &form);
  EXPECT_EQ(form.Edit1->Widget()->parentWidget(), group->Widget());
  EXPECT_EQ(form.Edit1->Widget()->geometry(), QRect(168, 24, 57, 21));
  EXPECT_EQ(label->Caption(), "Relay TimeOut(ms):");
  EXPECT_GE(label->Width(),
            QFontMetrics(label->Widget()->font()).horizontalAdvance("Relay TimeOut(ms):"))
      << "an auto-sized label must not cut its caption";
  EXPECT_EQ(form.Edit1->Text(), "1000");
  EXPECT_FALSE(check->Enabled());

  auto* combo = form.Field<TComboBox>("ComboBox2");
  ASSERT_EQ(combo->Items().Count(), 3);
  EXPECT_EQ(combo->Items()[2], "It's #3");
  EXPECT_EQ(combo->ItemIndex(), -1);

  auto* grid = form.Field<TStringGrid>("StringGrid1");
  EXPECT_EQ(grid->RowCount(), 11);
  EXPECT_EQ(grid->ColWidth(0), 40);
  EXPECT_EQ(grid->ColWidth(1), 235);

  auto* speed = form.Field<TSpeedButton>("SpeedButton1");
  EXPECT_EQ(speed->Widget()->toolTip().toStdString(), "Connected device");
  EXPECT_EQ(form.Field<TStatusBar>("StatusBar1")->Shown(), "Status bar .....");
  auto* timer = form.Field<TTimer>("Timer1");
  EXPECT_EQ(timer->Interval(), 500);
  EXPECT_FALSE(timer->Enabled());
  EXPECT_EQ(form.Field<TOpenDialog>("OpenDialog1")->Filter(), "*.mdb|*.mdb");

  char key = '7';
  form.Edit1->OnKeyPress(form.Edit1, key);
  form.Edit1->OnExit(form.Edit1);
  grid->OnSetEditText(grid, 1, 2, "5");
  speed->OnClick(speed);
  timer->OnTimer()(timer);
  EXPECT_EQ(form.log, (std::vector<std::string>{"key 7", "exit", "set 1,2 5", "search", "tick"}));
  EXPECT_THROW(form.Field<TEdit>("ComboBox2"), Exception);
}

TEST_F(Reader, ShowingTheLoadedFormFiresOnShowAndTheStatusBarSitsAtTheBottom) {
  TSampleForm form(nullptr);
  form.Show();
  EXPECT_EQ(form.log, std::vector<std::string>{"show"});
  auto* bar = form.Field<TStatusBar>("StatusBar1");
  EXPECT_EQ(bar->Top() + bar->Height(), form.ClientHeight());
  EXPECT_EQ(bar->Width(), form.ClientWidth());
}

// A class from outside the class library, registered the way the app layer registers its own.
class TCounter : public TComponent {
 public:
  using TComponent::TComponent;
  int Count = 0;
  TNotifyEvent OnCount;
};

TEST_F(Reader, ClassesFromOtherLayersRegisterTheirOwnProperties) {
  TClassRegistry classes;
  RegisterStandardClasses(classes);
  classes.Register<TCounter>("TCounter", "TComponent")
      .Property<TCounter>("Count", [](TCounter& c, const TValue& v,
                                      const TReadContext&) { c.Count = AsInteger(v); })
      .Event("OnCount", &TCounter::OnCount);
  TForm form(nullptr);
  bool counted = false;
  form.RegisterHandler<TNotifyEvent>("Counted", [&](TObject*) { counted = true; });
  form.Load(
      "object F: TF\n  object C1: TCounter\n    Count = $10\n    OnCount = Counted\n"
      "  end\nend\n",
      classes);
  auto* counter = form.Field<TCounter>("C1");
  EXPECT_EQ(counter->Count, 16);
  counter->OnCount(counter);
  EXPECT_TRUE(counted);
}

TEST_F(Reader, FaultsAreReportedWithTheirLine) {
  struct Case {
    const char* name;
    const char* text;
    const char* message;  // part of the error
  } cases[] = {
      {"unknown class", "object F: TF\n  object X: TNoSuch\n  end\nend", "Line 2: class TNoSuch"},
      {"unknown property", "object F: TF\n  object E: TEdit\n    Colour = 3\n  end\nend",
       "Line 3: class TEdit has no property Colour"},
      {"unknown handler", "object F: TF\n  OnShow = Missing\nend",
       "Line 2: F.OnShow: the form has no handler Missing"},
      {"wrong handler type", "object F: TF\n  object E: TEdit\n    OnKeyPress = Shown\n  end\nend",
       "Line 3: E.OnKeyPress: handler Shown has the wrong type"},
      {"wrong value kind", "object F: TF\n  Caption = 12\nend",
       "Line 2: F.Caption: a quoted string"},
      {"bad enumeration", "object F: TF\n  Position = poNowhere\nend",
       "'poNowhere' is not a valid"},
      {"refused value",
       "object F: TF\n  object G: TStringGrid\n    RowCount = 3\n    FixedRows = 3\n"
       "  end\nend",
       "Line 4: G.FixedRows: Fixed row count"},
      {"duplicate name", "object F: TF\n  object E: TEdit\n  end\n  object E: TLabel\n  end\nend",
       "Line 4: a component named E exists already"},
      {"abstract class", "object F: TF\n  object C: TControl\n  end\nend", "cannot be created"},
      {"control in a timer",
       "object F: TF\n  object T: TTimer\n    object E: TEdit\n    end\n"
       "  end\nend",
       "inside a component that is no control"},
      {"missing end", "object F: TF\n  object E: TEdit\n  end\n", "Line 4: end expected for F"},
      {"unterminated string", "object F: TF\n  Caption = 'open\nend", "Line 2: unterminated"},
      {"text after end", "object F: TF\nend\nend", "Line 3: text after the final end"},
      {"missing equals", "object F: TF\n  Caption 'x'\nend", "Line 2: '=' is expected"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TForm form(nullptr);
    form.RegisterHandler<TNotifyEvent>("Shown", [](TObject*) {});
    try {
      form.Load(c.text);
      ADD_FAILURE() << "loaded";
    } catch (const EReadError& e) {
      EXPECT_NE(e.Message().find(c.message), std::string::npos) << e.Message();
    }
  }
}

TEST_F(Reader, StringsKeepEightBitBytesQuotesAndCharacterCodes) {
  TForm form(nullptr);
  form.Load("object F: TF\n  Caption = 'a''b'#13#10'\xe9' // comment\nend");
  EXPECT_EQ(form.Caption(), "a'b\r\n\xe9");
}

}  // namespace

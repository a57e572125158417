// The main window as built from each edition's description: its table, fields, components and
// the settings of Comm1.
#include <gtest/gtest.h>

#include "WindowFixture.h"
#include "classlib/SysUtils.h"

namespace {

using app_test::EditionWindows;

class MainWindow : public EditionWindows {};

TEST_P(MainWindow, TableHasAHeaderAndOneNumberedRowPerSlot) {
  classlib::TStringGrid& grid = *Form().StringGrid1;
  ASSERT_EQ(grid.RowCount(), LastSlot() + 1);
  EXPECT_EQ(grid.ColCount(), 2);
  EXPECT_EQ(grid.FixedRows(), 1);
  EXPECT_EQ(grid.FixedCols(), 1);
  EXPECT_EQ(grid.ColWidth(0), 40);
  EXPECT_EQ(grid.ColWidth(1), 235);
  EXPECT_EQ(grid.DefaultRowHeight(), 20);
  EXPECT_EQ(grid.Cells(0, 0), "Nr.");
  EXPECT_EQ(grid.Cells(1, 0), "Phone Number");
  for (int slot = 1; slot <= LastSlot(); ++slot) {
    ASSERT_EQ(grid.Cells(0, slot), classlib::IntToStr(slot)) << "row " << slot;
    ASSERT_EQ(grid.Cells(1, slot), "") << "row " << slot;
  }
}

TEST_P(MainWindow, FieldsStartAtTheirStoredDefaults) {
  app::TForm1& form = Form();
  EXPECT_EQ(form.Caption(), Edition().MainCaption);
  EXPECT_EQ(form.Width(), 387);
  EXPECT_EQ(form.Height(), 693);
  EXPECT_EQ(form.Position(), classlib::poDesktopCenter);
  EXPECT_EQ(form.BorderIcons(), classlib::biSystemMenu | classlib::biMinimize);
  EXPECT_EQ(form.Edit1->Text(), "1000");
  EXPECT_FALSE(form.CheckBox1->Checked());
  EXPECT_FALSE(form.CheckBox1->Enabled());
  EXPECT_EQ(form.Edit2->Text(), "7391");
  EXPECT_EQ(form.Label3->Caption(), "");
  EXPECT_EQ(form.Label3->Parent(), form.GroupBox1);
  EXPECT_EQ(form.StatusBar1->Shown(), "Status bar .....");
  EXPECT_EQ(form.StatusBar1->Height(), 19);

  struct Button {
    classlib::TBitBtn* button;
    const char* caption;
    classlib::TControl* parent;
  };
  for (const Button& b :
       {Button{form.BitBtn1, "Load From File...", &form},
        Button{form.BitBtn2, "Write To File...", &form},
        Button{form.BitBtn3, "Load From Device", &form},
        Button{form.BitBtn4, "Write To Device", &form}, Button{form.BitBtn5, "Crear All", &form},
        Button{form.BitBtn6, "Configure Port...", &form},
        Button{form.BitBtn7, "SET", form.GroupBox4}, Button{form.BitBtn8, "GET", form.GroupBox4}}) {
    SCOPED_TRACE(b.caption);
    EXPECT_EQ(b.button->Caption(), b.caption);
    EXPECT_EQ(b.button->Parent(), b.parent);
  }
  EXPECT_EQ(form.SpeedButton1->Hint(), "Connected device");
  EXPECT_TRUE(form.SpeedButton1->ShowHint());
  EXPECT_EQ(form.SpeedButton1->Glyph(), "computer");
  EXPECT_EQ(form.OpenDialog1->Filter(), "*.mdb|*.mdb");
  EXPECT_EQ(form.SaveDialog1->Filter(), "*.mdb|*.mdb");
  EXPECT_NE(form.ADOQuery1, nullptr);
  EXPECT_FALSE(form.Timer1->Enabled());
  EXPECT_EQ(form.Timer1->Interval(), 500);
  EXPECT_TRUE(form.Timer1->OnTimer());
  EXPECT_FALSE(form.Timer2->Enabled());
  EXPECT_EQ(form.Timer2->Interval(), 200);
  EXPECT_TRUE(form.Timer2->OnTimer());
}

// The work file's path fills the inside of the "Current work file" frame as the style draws it;
// so would a child filling any other group box of the windows.
TEST_P(MainWindow, GroupBoxesKeepTheirInsideClearOfTheirFrame) {
  app::TForm1& form = Form();
  form.Label3->SetCaption("/home/user/relay/plan.mdb");
  const QRect path = form.Label3->Widget()->geometry();
  EXPECT_TRUE(form.GroupBox1->Widget()->contentsRect().contains(path));
  EXPECT_TRUE(classlib_test::PlainArea(*form.GroupBox1->Widget(), path));
  EXPECT_LE(form.Label3->Widget()->sizeHint().height(), path.height())
      << "the path's line does not fit inside the frame";
  for (classlib::TGroupBox* box :
       {form.GroupBox2, form.GroupBox3, form.GroupBox4, app::Form2->GroupBox1}) {
    SCOPED_TRACE(box->Caption());
    classlib::TLabel filler(nullptr);
    filler.SetParent(box);
    filler.SetAlign(classlib::alClient);
    const QRect inside = filler.Widget()->geometry();
    EXPECT_TRUE(box->Widget()->contentsRect().contains(inside));
    EXPECT_TRUE(classlib_test::PlainArea(*box->Widget(), inside));
  }
}

TEST_P(MainWindow, Comm1HoldsTheStoredSettingsAndItsTwoEvents) {
  const brisko::TComm& comm = *Form().Comm1;
  EXPECT_EQ(comm.CommName(), "COM1");
  EXPECT_EQ(comm.BaudRate(), 9600u);
  EXPECT_FALSE(comm.ParityCheck());
  EXPECT_FALSE(comm.Outx_CtsFlow());
  EXPECT_FALSE(comm.Outx_DsrFlow());
  EXPECT_EQ(comm.DtrControl(), brisko::TDtrControl::DtrHandshake);
  EXPECT_FALSE(comm.DsrSensitivity());
  // These three differ from the component's defaults, so the description must have set them.
  EXPECT_FALSE(comm.TxContinueOnXoff());
  EXPECT_FALSE(comm.Outx_XonXoffFlow());
  EXPECT_FALSE(comm.Inx_XonXoffFlow());
  EXPECT_FALSE(comm.ReplaceWhenParityError());
  EXPECT_FALSE(comm.IgnoreNullChar());
  EXPECT_EQ(comm.RtsControl(), brisko::TRtsControl::RtsDisable);
  EXPECT_EQ(comm.XonLimit(), 500);
  EXPECT_EQ(comm.XoffLimit(), 500);
  EXPECT_EQ(comm.ByteSize(), brisko::TByteSize::_8);
  EXPECT_EQ(comm.Parity(), brisko::TParity::None);
  EXPECT_EQ(comm.StopBits(), brisko::TStopBits::_1);
  EXPECT_EQ(comm.XonChar(), '0');
  EXPECT_EQ(comm.XoffChar(), '0');
  EXPECT_EQ(comm.ReplacedChar(), '\0');
  EXPECT_EQ(comm.ReadIntervalTimeout(), 100u);
  EXPECT_EQ(comm.ReadTotalTimeoutMultiplier(), 0u);
  EXPECT_EQ(comm.ReadTotalTimeoutConstant(), 0u);
  EXPECT_EQ(comm.WriteTotalTimeoutMultiplier(), 0u);
  EXPECT_EQ(comm.WriteTotalTimeoutConstant(), 0u);
  EXPECT_TRUE(comm.OnReceiveData());
  EXPECT_TRUE(comm.OnRequestHangup());
  EXPECT_FALSE(comm.OnReceiveError());
  EXPECT_FALSE(comm.OnModemStateChange());
  EXPECT_FALSE(comm.OnSendDataEmpty());
  EXPECT_EQ(comm.PortHandle(), nullptr) << "the port opens only for a device operation";
}

TEST_P(MainWindow, CreationResetsTheOperationStateAndThePortFlag) {
  app::PortOpened = TRUE;
  app::TForm1 form(nullptr, Edition());
  EXPECT_EQ(app::PortOpened, FALSE);
  EXPECT_EQ(form.PhonesExpected, 0);
  EXPECT_EQ(form.ReplyKind, app::ReplyOther);
  EXPECT_EQ(form.Phase, app::PhaseIdle);
  EXPECT_EQ(form.TriesLeft, 0);
  EXPECT_EQ(form.SendLength, 0);
  EXPECT_EQ(std::count(std::begin(form.SendBuffer), std::end(form.SendBuffer), 0), 500);
  EXPECT_EQ(form.PhonesReceived, 0);
  EXPECT_EQ(form.PhonesSent, 0);
  EXPECT_EQ(form.SearchState, app::SearchIdle);
  EXPECT_EQ(form.SearchIndex, 0);
  EXPECT_EQ(form.DeviceAnswered, FALSE);
  EXPECT_FALSE(form.Visible());
}

// Tab visits the fields in their order; the disabled check box is skipped until it is enabled.
TEST_P(MainWindow, TabOrder) {
  app::TForm1& form = Form();
  auto walk = [&](int steps) {
    std::vector<std::string> visited;
    for (int i = 0; i < steps; ++i) {
      if (form.StringGrid1->Focused()) {
        form.StringGrid1->SetRow(LastSlot());  // Tab leaves the grid after its last cell
      }
      TypeCode('\t');
      for (classlib::TControl* control : std::initializer_list<classlib::TControl*>{
               form.Edit1, form.CheckBox1, form.StringGrid1, form.BitBtn1, form.BitBtn2,
               form.BitBtn3, form.BitBtn4, form.BitBtn5, form.BitBtn6, form.Edit2, form.BitBtn7,
               form.BitBtn8}) {
        if (control->Focused()) {
          visited.push_back(control->Name());
        }
      }
    }
    return visited;
  };
  Focus(*form.Edit1);
  EXPECT_EQ(walk(12), (std::vector<std::string>{"StringGrid1", "BitBtn1", "BitBtn2", "BitBtn3",
                                                "BitBtn4", "BitBtn5", "BitBtn6", "Edit2", "BitBtn7",
                                                "BitBtn8", "Edit1", "StringGrid1"}));
  form.CheckBox1->SetEnabled(true);
  Focus(*form.Edit1);
  EXPECT_EQ(walk(2), (std::vector<std::string>{"CheckBox1", "StringGrid1"}));
}

INSTANTIATE_TEST_SUITE_P(Editions, MainWindow, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         app_test::EditionName);

}  // namespace

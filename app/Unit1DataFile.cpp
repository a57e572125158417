// The data file of the main window: "Load From File...", "Write To File...", the save they share
// and the question on closing. The work file is the caption of Label3 and is kept nowhere else;
// ADOQuery1 holds no connection between operations. Paths keep the file system's own bytes from
// the dialogs to the database, the template copy and Label3.
#include <cstdint>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "classlib/Application.h"
#include "classlib/SysUtils.h"
#include "platform/Files.h"

namespace app {
namespace {

using classlib::TADOQuery;

std::string ConnectionStringFor(const std::string& Path) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + Path + ";Persist Security Info=False";
}

// The process's current directory; empty (the dialog's own choice) when it cannot be had.
std::string CurrentDirectory() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) {
      return {};
    }
    if (length < buffer.size()) {
      return std::string(buffer.data(), length);
    }
    buffer.resize(length);
  }
}

// A box owned by Owner, the main window.
int Box(classlib::TForm* Owner, const std::string& Text, const std::string& Caption, UINT Flags) {
  return classlib::Application->Dialogs().MessageBox(Owner, Text, Caption, Flags);
}

// Ends the query's transaction, if any, without its writes and closes the query. Never throws:
// it runs while another failure is on its way out.
void Discard(TADOQuery& Query) noexcept {
  try {
    if (Query.Connection().InTransaction()) {
      Query.Connection().RollbackTrans();
    }
  } catch (...) {
    // Closing below rolls back as well.
  }
  try {
    Query.Close();
  } catch (...) {
    // Nothing is held that a later operation would trip over: it sets its own connection.
  }
}

// The row of the phone table that a phone row's id puts its number into: the slot, or the header
// row for 0 and for no value; -1 for an id above LastSlot, however large, which a load skips and a
// save keeps. The one test of which rows the window holds, so that a save replaces exactly the
// rows a load took. Raises as the load ends: the database layer's message for an id that is no
// whole number, "List index out of bounds" for a negative one.
int PhoneTableRow(const classlib::TField& Id, int LastSlot) {
  const std::int64_t id = Id.AsLargeInt();
  if (id > LastSlot) {
    return -1;
  }
  // No row of the table lies below the header; reported as the list index it is.
  if (id < 0) {
    throw classlib::Exception("List index out of bounds (" + std::to_string(id) + ")");
  }
  return static_cast<int>(id);
}

}  // namespace

// "Load From File...": after the dialog, clears the window and makes the chosen file the work
// file before reading it, so a load that fails half-way leaves both the table as far as it got and
// the new work file, which saves then refuse. Failures reach the error box with the database's
// message.
void TForm1::BitBtn1Click(TObject* Sender) {
  OpenDialog1->SetInitialDir(CurrentDirectory());
  if (!OpenDialog1->Execute()) {
    return;
  }
  BitBtn5Click(Sender);
  const std::string path = OpenDialog1->FileName();
  Label3->SetCaption(path);
  WorkFileLoadIncomplete = true;
  ADOQuery1->SetConnectionString(ConnectionStringFor(path));
  try {
    ADOQuery1->SetSQL("select * from phone");
    ADOQuery1->Open();
    for (; !ADOQuery1->Eof(); ADOQuery1->Next()) {
      const int row = PhoneTableRow(ADOQuery1->FieldByName("id"), edition_.LastSlot);
      if (row >= 0) {
        StringGrid1->SetCells(1, row, ADOQuery1->FieldByName("phone").AsString());
      }
    }
    ADOQuery1->SetSQL("select * from pcong");
    ADOQuery1->Open();
    if (!ADOQuery1->Eof()) {
      Edit1->SetText(ADOQuery1->FieldByName("time").AsString());
      if (ADOQuery1->FieldByName("rec").AsInteger() > 0) {
        CheckBox1->SetChecked(true);
      }
    }
  } catch (...) {
    Discard(*ADOQuery1);
    throw;
  }
  ADOQuery1->Close();
  WorkFileLoadIncomplete = false;
}

// "Write To File...": into the work file when one is set; else into a new copy of the template,
// which becomes the work file only once the save into it has succeeded.
void TForm1::BitBtn2Click(TObject*) {
  if (!Label3->Caption().empty()) {
    SaveDataFile(Label3->Caption());
    Box(this, "Saved successfully", "message", MB_OK);
    return;
  }
  if (!SaveDialog1->Execute()) {
    return;
  }
  // Appended every time: plan.mdb gives plan.mdb.mdb.
  const std::string target = SaveDialog1->FileName() + ".mdb";
  const std::string templateName = platform::TemplateDatabaseName();
  if (!CopyFileA(templateName.c_str(), target.c_str(), TRUE)) {
    Box(this, "Important file is missing, please heavy install software.", "message", MB_OK);
    return;
  }
  SaveDataFile(target);
  Box(this, "Saved successfully", "message", MB_OK);
  Label3->SetCaption(target);
}

// One transaction from the deletion of the old rows to the settings row: the file changes only
// when every step has succeeded. Only the rows the window holds are replaced: a row a load skips
// (slots of a larger edition) stays as it was, and a row a load fails on fails the save. The
// timeout text is converted as it stands, untrimmed.
bool TForm1::SaveDataFile(const std::string& Path) {
  if (WorkFileLoadIncomplete && Path == Label3->Caption()) {
    classlib::Abort();
  }
  try {
    ADOQuery1->SetConnectionString(ConnectionStringFor(Path));
    ADOQuery1->Connection().BeginTrans();
    ADOQuery1->SetSQL("select * from phone");
    ADOQuery1->Open();
    while (!ADOQuery1->Eof()) {
      if (PhoneTableRow(ADOQuery1->FieldByName("id"), edition_.LastSlot) >= 0) {
        ADOQuery1->Delete();
      } else {
        ADOQuery1->Next();
      }
    }
    for (int row = 1; row <= edition_.LastSlot; ++row) {
      const std::string number = StringGrid1->Cells(1, row);
      if (number.empty()) {
        continue;
      }
      ADOQuery1->Append();
      ADOQuery1->FieldByName("id").SetAsInteger(classlib::StrToInt(StringGrid1->Cells(0, row)));
      ADOQuery1->FieldByName("phone").SetAsString(number);
      ADOQuery1->Post();
    }
    ADOQuery1->SetSQL("select * from pcong");
    ADOQuery1->Open();
    ADOQuery1->Edit();
    ADOQuery1->FieldByName("rec").SetAsInteger(CheckBox1->Checked() ? 1 : 0);
    ADOQuery1->FieldByName("time").SetAsInteger(classlib::StrToInt(Edit1->Text()));
    ADOQuery1->Post();
    ADOQuery1->Connection().CommitTrans();
    ADOQuery1->Close();
  } catch (...) {
    Discard(*ADOQuery1);
    classlib::Abort();
  }
  return true;
}

// Never changes Action: a failed save stops the close only through its silent cancel.
void TForm1::FormClose(TObject*, classlib::TCloseAction&) {
  if (Label3->Caption().empty()) {
    return;
  }
  if (Box(this, "save data", "Message", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  SaveDataFile(Label3->Caption());
  Box(this, "Data saved successfully", "message", MB_OK);
}

}  // namespace app

// "Load From File..." and "Write To File..." of both editions through Qt's own file dialogs,
// driven as a user drives them, in a folder whose name holds characters beyond ASCII: the file
// lands under exactly the name typed, loads back, and Label3 shows its path readably.
#include <gtest/gtest.h>

#include <QLabel>
#include <filesystem>

#include "DataFileFixture.h"
#include "tests/classlib/FileDialogDriver.h"

namespace {

using app_test::DataFileWindow;
using app_test::FileContents;
using classlib_test::FileDialogDriver;

// Qt's file dialogs; boxes are answered from the fixture's script.
class QtFileDialogsScriptedBoxes final : public classlib::TDialogService {
 public:
  explicit QtFileDialogsScriptedBoxes(classlib::TScriptedDialogs& Boxes) : boxes_(Boxes) {}
  int MessageBox(classlib::TForm* Owner, const std::string& Text, const std::string& Caption,
                 UINT Flags) override {
    return boxes_.MessageBox(Owner, Text, Caption, Flags);
  }
  std::optional<std::string> FileName(const classlib::TFileDialogRequest& Request) override {
    return qt_.FileName(Request);
  }

 private:
  classlib::TScriptedDialogs& boxes_;
  classlib::TQtDialogs qt_;
};

// Names in this test are UTF-8, as the file system holds them and as QString::fromStdString
// takes them.
class DataFileQtDialogs : public DataFileWindow {
 protected:
  void SetUp() override {
    DataFileWindow::SetUp();
    classlib::Application->SetDialogs(&service_);
    std::filesystem::create_directory(folder_);
    // The template, too, lies in a folder whose name goes beyond ASCII.
    const std::string windows = files_ / "Programme für Tavkel";
    std::filesystem::create_directory(windows);
    std::filesystem::copy_file(windowsDir_ + "/tav.mdb", windows + "/tav.mdb");
    ::setenv("TAVKEL_WINDOWS_DIR", windows.c_str(), 1);
  }

  // Clicks Button and answers the file dialog it opens with Act.
  static void ClickAnswering(classlib::TBitBtn& Button, FileDialogDriver::Action Act,
                             QString* StartDirectory = nullptr) {
    FileDialogDriver driver(std::move(Act));
    Button.Click();
    driver.ExpectAnswered();
    if (StartDirectory != nullptr) {
      *StartDirectory = driver.StartDirectory();
    }
  }
  static FileDialogDriver::Action Choose(const std::string& Folder, const std::string& Name) {
    return FileDialogDriver::Choose(QString::fromStdString(Folder), QString::fromStdString(Name));
  }
  QString Label3Shows() { return static_cast<QLabel*>(Form().Label3->Widget())->text(); }

  QtFileDialogsScriptedBoxes service_{dialogs_};
  const std::string folder_ = files_ / "Données план";
};

TEST_P(DataFileQtDialogs, SavedAndLoadedUnderTheNameTyped) {
  const struct {
    const char* typed;
    const char* file;
  } cases[] = {{"plän", "plän.mdb"}, {"дан", "дан.mdb"}, {"plan.mdb", "plan.mdb.mdb"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    Form().Label3->SetCaption("");
    const FileContents saved{{{1, "+7900"}, {LastSlot(), c.typed}}, {{"2500", "1"}}};
    Fill(saved.phones);
    Form().Edit1->SetText("2500");
    Form().CheckBox1->SetChecked(true);
    dialogs_.Boxes.clear();
    ClickAnswering(*Form().BitBtn2, Choose(folder_, c.typed));
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    ExpectBox(0, "Saved successfully", "message", MB_OK);
    const std::string path = folder_ + "/" + c.file;
    EXPECT_EQ(Form().Label3->Caption(), path);
    EXPECT_EQ(Label3Shows(), QString::fromStdString(path));
    ASSERT_TRUE(std::filesystem::is_regular_file(path));
    EXPECT_EQ(Read(path), saved);

    Form().BitBtn5->Click();
    Form().Label3->SetCaption("");
    ClickAnswering(*Form().BitBtn1, Choose(folder_, c.file));
    EXPECT_EQ(dialogs_.Boxes.size(), 1u) << dialogs_.Boxes.back().Text;
    EXPECT_EQ(Numbers(), saved.phones);
    EXPECT_EQ(Form().Edit1->Text(), "2500");
    EXPECT_TRUE(Form().CheckBox1->Checked());
    EXPECT_EQ(Form().Label3->Caption(), path);
    EXPECT_EQ(Label3Shows(), QString::fromStdString(path));
  }
  std::vector<std::string> made;
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    made.push_back(entry.path().filename().string());
  }
  std::sort(made.begin(), made.end());
  EXPECT_EQ(made, (std::vector<std::string>{"plan.mdb.mdb", "plän.mdb", "дан.mdb"}));
}

// Quotes in a typed name are part of it: Qt's dialog alone would read them as a list of names and
// give back the file "plan", here a data file of its own.
TEST_P(DataFileQtDialogs, QuotesInATypedNameAreKeptAsTyped) {
  const std::string decoy = folder_ + "/plan";
  const FileContents decoyHolds{{{5, "decoy"}}, {{"1000", "0"}}};
  ASSERT_TRUE(CopyFileA((windowsDir_ + "/tav.mdb").c_str(), decoy.c_str(), TRUE));
  Exec(decoy, {"insert into phone values (5, 'decoy')", "insert into pcong values (1000, 0)"});
  const FileContents saved{{{1, "+7900"}, {LastSlot(), "999"}}, {{"2500", "1"}}};
  Fill(saved.phones);
  Form().Edit1->SetText("2500");
  Form().CheckBox1->SetChecked(true);
  ClickAnswering(*Form().BitBtn2, Choose(folder_, "my \"plan\""));
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  ExpectBox(0, "Saved successfully", "message", MB_OK);
  const std::string path = folder_ + "/my \"plan\".mdb";
  EXPECT_EQ(Form().Label3->Caption(), path);
  EXPECT_EQ(Read(path), saved);

  Form().BitBtn5->Click();
  Form().Label3->SetCaption("");
  ClickAnswering(*Form().BitBtn1, Choose(folder_, "my \"plan\".mdb"));
  EXPECT_EQ(dialogs_.Boxes.size(), 1u) << dialogs_.Boxes.back().Text;
  EXPECT_EQ(Form().Label3->Caption(), path);
  EXPECT_EQ(Numbers(), saved.phones);
  EXPECT_EQ(Form().Edit1->Text(), "2500");
  EXPECT_EQ(Read(decoy), decoyHolds);
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/plan.mdb"));
}

// The open dialog takes only a file that is there: a name that is not, typed as users of other
// dialogs type names, is refused inside the dialog, and the window and its work file stay as they
// were. Quotes are part of a name here too, also when a piece of it names a data file. A file that
// is there but is no data file still ends the load in the error box.
TEST_P(DataFileQtDialogs, TheOpenDialogRefusesANameThatIsNotThere) {
  const std::string work = folder_ + "/plan.mdb";
  const FileContents holds{{{1, "+7900"}, {LastSlot(), "999"}}, {{"2500", "1"}}};
  ASSERT_TRUE(CopyFileA((windowsDir_ + "/tav.mdb").c_str(), work.c_str(), TRUE));
  Exec(work, {"insert into phone values (1, '+7900')",
              "insert into phone values (" + std::to_string(LastSlot()) + ", '999')",
              "insert into pcong values (2500, 1)"});
  ASSERT_TRUE(CopyFileA(work.c_str(), (folder_ + "/a.mdb").c_str(), TRUE));
  ClickAnswering(*Form().BitBtn1, Choose(folder_, "plan.mdb"));
  ASSERT_EQ(Numbers(), holds.phones);

  const char* const names[] = {"nothere.mdb", "*", "*.mdb", "\"a.mdb\"", "plän"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    classlib_test::RefusedNameDriver driver(QString::fromStdString(folder_),
                                            QString::fromStdString(name));
    Form().BitBtn1->Click();
    driver.ExpectRefused();
    EXPECT_EQ(driver.BoxText().section('\n', 0, 0).toStdString(), name);
    EXPECT_EQ(Numbers(), holds.phones);
    EXPECT_EQ(Form().Edit1->Text(), "2500");
    EXPECT_TRUE(Form().CheckBox1->Checked());
    EXPECT_EQ(Form().Label3->Caption(), work);
    EXPECT_TRUE(dialogs_.Boxes.empty()) << dialogs_.Boxes.front().Text;
    ExpectQueryClosed();
  }
  EXPECT_EQ(Read(work), holds);

  const std::string notes = folder_ + "/notes.mdb";
  testsupport::WriteBytes(notes, "notes, no data file");
  ClickAnswering(*Form().BitBtn1, Choose(folder_, "notes.mdb"));
  ExpectErrorBox({"file is not a database."});
  EXPECT_EQ(Form().Label3->Caption(), notes);
  EXPECT_EQ(Numbers(), (std::vector<std::pair<int, std::string>>{}));
}

// The load's dialog starts in the current directory, not where the last dialog was left.
TEST_P(DataFileQtDialogs, TheOpenDialogStartsInTheCurrentDirectoryAsNamed) {
  const std::string elsewhere = files_ / "elsewhere";
  std::filesystem::create_directory(elsewhere);
  ClickAnswering(*Form().BitBtn2, Choose(elsewhere, "plan"));
  ExpectBox(0, "Saved successfully", "message", MB_OK);

  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder_);
  QString start;
  ClickAnswering(*Form().BitBtn1, FileDialogDriver::Cancel(), &start);
  std::filesystem::current_path(before);
  EXPECT_EQ(start.toStdString(), folder_);
}

INSTANTIATE_TEST_SUITE_P(Editions, DataFileQtDialogs,
                         testing::Values(&app::Tavkel14, &app::Tavkel13), app_test::EditionName);

}  // namespace

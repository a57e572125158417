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

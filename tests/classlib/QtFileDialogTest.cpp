// Qt's own file dialogs, driven as a user drives them, and labels that show file names: a name
// with characters beyond ASCII keeps the file system's bytes from the dialog to its caller, back
// into the dialog as its start directory, and onto the screen.
#include <gtest/gtest.h>

#include <QLabel>
#include <filesystem>
#include <string>

#include "FileDialogDriver.h"
#include "WindowTestSupport.h"
#include "classlib/Controls.h"
#include "classlib/Dialogs.h"
#include "tests/support/TempDir.h"

namespace {

using namespace classlib;
using classlib_test::FileDialogDriver;
using classlib_test::WindowTest;

// As the file system holds it: UTF-8, which QString::fromStdString takes it for.
const std::string kFolder = "Données план";

class QtFileDialogs : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    std::filesystem::create_directory(temp_.Path() / kFolder);
  }
  static TFileDialogRequest Request(TFileDialogKind Kind, const std::string& InitialDir = "") {
    TFileDialogRequest request;
    request.Kind = Kind;
    request.Filter = "*.mdb|*.mdb";
    request.InitialDir = InitialDir;
    return request;
  }
  static std::optional<std::string> Show(const TFileDialogRequest& Request,
                                         FileDialogDriver& Driver) {
    std::optional<std::string> chosen = TQtDialogs().FileName(Request);
    Driver.ExpectAnswered();
    return chosen;
  }

  testsupport::TempDir temp_;
  const std::string folder_ = temp_ / kFolder;
};

// Each name typed comes back as the file system would hold it; a proposed name shows in the name
// field as a file manager shows it, and another name can be typed over it.
TEST_F(QtFileDialogs, ChosenNamesKeepTheFileSystemsBytes) {
  testsupport::WriteBytes(folder_ + "/plan.mdb", "");
  const struct {
    TFileDialogKind kind;
    std::string typed;
    std::string proposed = "";
  } cases[] = {
      {TFileDialogKind::Save, "дан"},      {TFileDialogKind::Save, "plän"},
      {TFileDialogKind::Save, "plan.mdb"}, {TFileDialogKind::Save, "дан", "plän"},
      {TFileDialogKind::Open, "plan.mdb"}, {TFileDialogKind::Open, "plän.mdb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed + " over " + c.proposed);
    TFileDialogRequest request = Request(c.kind);
    if (!c.proposed.empty()) {
      request.FileName = folder_ + "/" + c.proposed;
    }
    FileDialogDriver driver(
        FileDialogDriver::Choose(QString::fromStdString(folder_), QString::fromStdString(c.typed)));
    EXPECT_EQ(Show(request, driver), folder_ + "/" + c.typed);
    EXPECT_EQ(driver.StartName().toStdString(), c.proposed);
  }
}

TEST_F(QtFileDialogs, TheStartDirectoryIsTheNameTheFileSystemHolds) {
  for (TFileDialogKind kind : {TFileDialogKind::Open, TFileDialogKind::Save}) {
    SCOPED_TRACE(kind == TFileDialogKind::Open ? "open" : "save");
    FileDialogDriver driver(FileDialogDriver::Cancel());
    EXPECT_EQ(Show(Request(kind, folder_), driver), std::nullopt);
    EXPECT_EQ(driver.StartDirectory().toStdString(), folder_);
  }
}

TEST_F(WindowTest, AFileNameLabelShowsTheNameAFileManagerShowsAndKeepsItsBytes) {
  TForm form(nullptr);
  auto* label = new TLabel(&form);
  auto* shown = static_cast<QLabel*>(label->Widget());
  const std::string path = "/tmp/" + kFolder + "/дан.mdb";
  label->SetShowsFileName(true);
  label->SetCaption(path);
  EXPECT_EQ(label->Caption(), path);
  EXPECT_EQ(shown->text(), QString::fromStdString(path));
  // Bytes that are no UTF-8 still come back as they were.
  label->SetCaption("/tmp/\xe9t\xe9.mdb");
  EXPECT_EQ(label->Caption(), "/tmp/\xe9t\xe9.mdb");

  // Any other label shows each byte as its Latin-1 character.
  label->SetShowsFileName(false);
  label->SetCaption("1\xe9");
  EXPECT_EQ(shown->text(), QString::fromLatin1("1\xe9"));
  EXPECT_EQ(label->Caption(), "1\xe9");
}

}  // namespace

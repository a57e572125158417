// Qt's own file dialogs, driven as a user drives them, and labels that show file names: a name
// with characters beyond ASCII keeps the file system's bytes from the dialog to its caller, back
// into the dialog as its start directory, and onto the screen.
#include <gtest/gtest.h>
#include <link.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <cstdlib>
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

// Whether the shared object File is loaded into this process.
bool Loaded(const std::filesystem::path& File) {
  struct Search {
    const std::filesystem::path& file;
    bool found = false;
  } search{File};
  dl_iterate_phdr(
      [](dl_phdr_info* Info, size_t, void* Data) {
        auto& s = *static_cast<Search*>(Data);
        std::error_code ec;
        s.found =
            *Info->dlpi_name != '\0' && std::filesystem::equivalent(Info->dlpi_name, s.file, ec);
        return s.found ? 1 : 0;
      },
      &search);
  return search.found;
}

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

// WithXvfbTheme.sh names the plugin of the platform theme it asks Qt for: the dialogs here ran
// under that theme only if the plugin is loaded, as Qt falls back to its own theme without a word.
TEST_F(QtFileDialogs, RunUnderThePlatformThemeAskedFor) {
  const char* plugin = std::getenv("TAVKEL_TEST_THEME_PLUGIN");
  if (plugin == nullptr) {
    GTEST_SKIP() << "no platform theme asked for";
  }
  EXPECT_EQ(QGuiApplication::platformName(), "xcb");
  EXPECT_TRUE(Loaded(plugin)) << plugin;
}

// Each name typed comes back as the file system would hold it; a proposed name shows in the name
// field as a file manager shows it, and another name can be typed over it.
TEST_F(QtFileDialogs, ChosenNamesKeepTheFileSystemsBytes) {
  testsupport::WriteBytes(folder_ + "/plan.mdb", "");
  testsupport::WriteBytes(folder_ + "/plän.mdb", "");
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

// Qt reads a name box holding '"' as a list of quoted names; the dialogs take it as the one name
// typed or proposed, even when a piece of it names a file that is there (Qt then also selects
// that file in the list). Qt's own list syntax is no exception.
TEST_F(QtFileDialogs, ANameHoldingQuotesIsTheOneFileTyped) {
  testsupport::WriteBytes(folder_ + "/plan", "");
  testsupport::WriteBytes(folder_ + "/plan.mdb", "");
  testsupport::WriteBytes(folder_ + "/my \"plan\".mdb", "");
  const std::string elsewhere = temp_ / "";
  const struct {
    TFileDialogKind kind;
    std::string in;
    std::string typed;
    std::string chosen;
  } cases[] = {
      {TFileDialogKind::Open, folder_, "my \"plan\".mdb", folder_ + "/my \"plan\".mdb"},
      {TFileDialogKind::Open, elsewhere, folder_ + "/my \"plan\".mdb",
       folder_ + "/my \"plan\".mdb"},
      {TFileDialogKind::Save, folder_, "my \"plan\" v2", folder_ + "/my \"plan\" v2"},
      {TFileDialogKind::Save, folder_, "my \"plan.mdb\" v2", folder_ + "/my \"plan.mdb\" v2"},
      {TFileDialogKind::Save, folder_, "\"plan.mdb\" \"plan\"", folder_ + "/\"plan.mdb\" \"plan\""},
      {TFileDialogKind::Save, folder_, "~/my \"plan\"",
       QDir::home().absoluteFilePath("my \"plan\"").toStdString()},
  };
  for (const auto& c : cases) {
    for (const bool keyByKey : {false, true}) {
      SCOPED_TRACE(c.typed + (keyByKey ? ", key by key" : ""));
      FileDialogDriver driver(FileDialogDriver::Choose(QString::fromStdString(c.in),
                                                       QString::fromStdString(c.typed), keyByKey));
      EXPECT_EQ(Show(Request(c.kind), driver), c.chosen);
    }
  }

  // A name proposed with quotes and taken with Enter, as it stands.
  TFileDialogRequest request = Request(TFileDialogKind::Save);
  request.FileName = folder_ + "/my \"plan.mdb\" v3";
  FileDialogDriver driver([](QFileDialog& Dialog) {
    QTest::keyClick(Dialog.findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
  });
  EXPECT_EQ(Show(request, driver), request.FileName);
  EXPECT_EQ(driver.StartName().toStdString(), "my \"plan.mdb\" v3");
}

// The open dialog's button follows the name as typed, quotes and all: a name that is there can be
// clicked open, one that is not cannot, whatever its quoted pieces name.
TEST_F(QtFileDialogs, TheOpenButtonTakesANameWithQuotesThatIsThere) {
  testsupport::WriteBytes(folder_ + "/my \"plan\".mdb", "");
  testsupport::WriteBytes(folder_ + "/plan.mdb", "");
  const struct {
    std::string typed;
    bool there;
  } cases[] = {{"my \"plan\".mdb", true}, {"my \"plan.mdb\"", false}, {"\"plan.mdb\"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    bool enabled = false;
    FileDialogDriver driver([&](QFileDialog& Dialog) {
      FileDialogDriver::Type(Dialog, QString::fromStdString(folder_),
                             QString::fromStdString(c.typed), true);
      QPushButton* open =
          Dialog.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open);
      enabled = open->isEnabled();
      if (enabled) {
        // Posted: a box refusing the name then runs its loop outside this step, where the
        // driver's bound ends it.
        QMetaObject::invokeMethod(
            open, [open] { QTest::mouseClick(open, Qt::LeftButton); }, Qt::QueuedConnection);
      } else {
        QTest::keyClick(&Dialog, Qt::Key_Escape);
      }
    });
    const std::optional<std::string> chosen = Show(Request(TFileDialogKind::Open), driver);
    EXPECT_EQ(enabled, c.there);
    EXPECT_EQ(chosen, c.there ? std::optional(folder_ + "/" + c.typed) : std::nullopt);
  }
}

// A folder typed with quotes is entered, as Qt enters any folder typed; the dialog stays open.
TEST_F(QtFileDialogs, AFolderTypedWithQuotesIsEntered) {
  const std::string docs = folder_ + "/my \"docs\"";
  std::filesystem::create_directory(docs);
  testsupport::WriteBytes(docs + "/plan", "");
  for (TFileDialogKind kind : {TFileDialogKind::Open, TFileDialogKind::Save}) {
    SCOPED_TRACE(kind == TFileDialogKind::Open ? "open" : "save");
    QString entered;
    FileDialogDriver driver([&](QFileDialog& Dialog) {
      FileDialogDriver::Choose(QString::fromStdString(folder_), "my \"docs\"")(Dialog);
      entered = Dialog.directory().absolutePath();
      FileDialogDriver::Choose(entered, "plan")(Dialog);
    });
    EXPECT_EQ(Show(Request(kind), driver), docs + "/plan");
    EXPECT_EQ(entered.toStdString(), docs);
  }
}

// A file clicked in the list comes back as it is, quotes and all, also when a quoted piece of its
// name is another file there (which Qt then selects as well).
TEST_F(QtFileDialogs, AFileClickedInTheListComesBackAsItIs) {
  const std::string name = "my \"plan.mdb\" v2.mdb";
  testsupport::WriteBytes(folder_ + "/" + name, "");
  testsupport::WriteBytes(folder_ + "/plan.mdb", "");
  enum class Then { Enter, DoubleClick, Button };
  const struct {
    Then then;
    const char* what;
  } ways[] = {{Then::Enter, "click and Enter"},
              {Then::DoubleClick, "double click"},
              {Then::Button, "click and the dialog's button"}};
  for (TFileDialogKind kind : {TFileDialogKind::Open, TFileDialogKind::Save}) {
    for (const auto& [then, what] : ways) {
      SCOPED_TRACE(std::string(kind == TFileDialogKind::Open ? "open, " : "save, ") + what);
      FileDialogDriver driver([&](QFileDialog& Dialog) {
        Dialog.setDirectory(QString::fromStdString(folder_));
        auto* list = Dialog.findChild<QListView*>("listView");
        ASSERT_NE(list, nullptr);
        QModelIndex file;
        ASSERT_TRUE(classlib_test::PumpUntil([&] {
          const QModelIndex root = list->rootIndex();
          for (int row = 0; row < list->model()->rowCount(root); ++row) {
            if (list->model()->index(row, 0, root).data().toString().toStdString() == name) {
              file = list->model()->index(row, 0, root);
            }
          }
          return file.isValid();
        })) << "the file is not listed";
        const QPoint at = list->visualRect(file).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (then == Then::DoubleClick) {
          QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        } else if (then == Then::Enter) {
          QTest::keyClick(list, Qt::Key_Return);
        } else {
          auto* buttons = Dialog.findChild<QDialogButtonBox*>("buttonBox");
          QPushButton* button = buttons->button(
              kind == TFileDialogKind::Open ? QDialogButtonBox::Open : QDialogButtonBox::Save);
          ASSERT_TRUE(button->isEnabled());
          QTest::mouseClick(button, Qt::LeftButton);
        }
      });
      EXPECT_EQ(Show(Request(kind), driver), folder_ + "/" + name);
    }
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

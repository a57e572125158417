// "Write To File..." of both editions: the save and its round trip through a load, the copy of the
// template for a new file, and saves that fail, which stay silent and leave the file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "DataFileFixture.h"
#include "tests/support/FifoWatchdog.h"

namespace {

using app_test::DataFileWindow;
using app_test::FileContents;
using app_test::kCopyFailed;
using Numbers = std::vector<std::pair<int, std::string>>;

class DataFileSave : public DataFileWindow {
 protected:
  // A work file with rows of its own, loaded into the window.
  std::string LoadWorkFile() {
    const std::string path = MakeFile(
        "work.mdb", {"insert into phone values (1, '111')", "insert into phone values (9, '999')",
                     "insert into pcong values (2500, 1)"});
    LoadFrom(path);
    EXPECT_TRUE(dialogs_.Boxes.empty());
    dialogs_.FileRequests.clear();
    return path;
  }
};

TEST_P(DataFileSave, ANewFileRestoresEverySlotTheTimeoutAndTheFlag) {
  // Every 8-bit character comes back as it was.
  const ::Numbers numbers{{1, "+79001234567"}, {2, "\xe9\xff\x01 7"}, {LastSlot(), "999"}};
  Fill(numbers);
  Form().Edit1->SetText("5000");
  Form().CheckBox1->SetChecked(true);
  Form().Edit2->SetText("1234");
  std::string workFileWhileBoxOpen = "unset";
  dialogs_.WhileOpen = [&](const classlib::TScriptedDialogs::Box&) {
    workFileWhileBoxOpen = Form().Label3->Caption();
  };
  WriteTo(files_ / "plan");
  dialogs_.WhileOpen = nullptr;

  ASSERT_EQ(dialogs_.FileRequests.size(), 1u);
  const classlib::TFileDialogRequest& request = dialogs_.FileRequests[0];
  EXPECT_EQ(request.Kind, classlib::TFileDialogKind::Save);
  EXPECT_EQ(request.Owner, &Form());
  EXPECT_EQ(request.Filter, "*.mdb|*.mdb");
  EXPECT_EQ(request.InitialDir, "");
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  ExpectBox(0, "Saved successfully", "message", MB_OK);
  EXPECT_EQ(workFileWhileBoxOpen, "") << "the work file is set only once the box has closed";
  const std::string path = files_ / "plan.mdb";
  EXPECT_EQ(Form().Label3->Caption(), path);
  ExpectQueryClosed();
  // Ascending slots, ids from column 0, no header row, no password.
  EXPECT_EQ(Read(path), (FileContents{numbers, {{"5000", "1"}}}));

  Form().BitBtn5->Click();
  LoadFrom(path);
  EXPECT_EQ(dialogs_.Boxes.size(), 1u);
  EXPECT_EQ(Numbers(), numbers);
  EXPECT_EQ(Form().Edit1->Text(), "5000");
  EXPECT_TRUE(Form().CheckBox1->Checked());
  EXPECT_EQ(Form().Edit2->Text(), "7391");
}

TEST_P(DataFileSave, TheExtensionIsAppendedEveryTime) {
  const struct {
    const char* typed;
    const char* file;
  } cases[] = {{"plan", "plan.mdb"}, {"plan.mdb", "plan.mdb.mdb"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    // A fresh window each time would be slower; the work file is what keeps the dialog away.
    Form().Label3->SetCaption("");
    WriteTo(files_ / c.typed);
    EXPECT_EQ(Form().Label3->Caption(), files_ / c.file);
    EXPECT_TRUE(std::filesystem::is_regular_file(files_ / c.file));
  }
  EXPECT_FALSE(std::filesystem::exists(files_ / "plan.mdb.mdb.mdb"));
}

// With a work file set there is no dialog; the save replaces every phone row and only the first
// settings row.
TEST_P(DataFileSave, TheWorkFileIsWrittenWithoutADialog) {
  const std::string path =
      MakeFile("two.mdb", {"insert into phone values (3, '333')", "insert into pcong values (1, 1)",
                           "insert into pcong values (2, 1)"});
  LoadFrom(path);
  Fill({{4, "44"}, {2, "22"}});
  Form().Edit1->SetText("3000");
  Form().CheckBox1->SetChecked(false);
  dialogs_.FileRequests.clear();
  WriteToWorkFile();
  EXPECT_TRUE(dialogs_.FileRequests.empty());
  ExpectBox(0, "Saved successfully", "message", MB_OK);
  EXPECT_EQ(Read(path), (FileContents{{{2, "22"}, {4, "44"}}, {{"3000", "0"}, {"2", "1"}}}));

  // Right after Crear All: no phone rows, and the settings row still written.
  Form().BitBtn5->Click();
  WriteToWorkFile();
  EXPECT_EQ(Read(path), (FileContents{{}, {{"0", "0"}, {"2", "1"}}}));
  EXPECT_EQ(Form().Label3->Caption(), path);
  ExpectQueryClosed();
}

// Each failure rolls the whole save back, the deletion of the old rows included, and says nothing.
TEST_P(DataFileSave, AFailedSaveLeavesTheFileByteForByteAsItWas) {
  const struct {
    const char* what;
    std::function<void(app::TForm1&)> spoil;
  } cases[] = {
      {"timeout text with a trailing blank", [](app::TForm1& f) { f.Edit1->SetText("5000 "); }},
      {"empty timeout text", [](app::TForm1& f) { f.Edit1->SetText(""); }},
      {"failure in the middle of the phone rows",
       [](app::TForm1&) { platform::FailNextCall(platform::FaultPoint::DatabasePost, 2); }},
      {"failure at the settings row",
       [](app::TForm1&) { platform::FailNextCall(platform::FaultPoint::DatabasePost, 5); }},
  };
  const std::string path = LoadWorkFile();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fill({{1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {LastSlot(), "5"}});
    Form().Edit1->SetText("4000");
    c.spoil(Form());
    const std::string before = testsupport::ReadBytes(path);
    WriteToWorkFile();
    EXPECT_TRUE(dialogs_.Boxes.empty()) << dialogs_.Boxes[0].Text;
    EXPECT_TRUE(Unchanged(path, before)) << "the file changed";
    EXPECT_EQ(Read(path), (FileContents{{{1, "111"}, {9, "999"}}, {{"2500", "1"}}}));
    EXPECT_EQ(Form().Label3->Caption(), path);
    ExpectQueryClosed();
  }
  // The next save goes through: nothing of a failed one lingers on the query.
  Form().Edit1->SetText("4000");
  WriteToWorkFile();
  ExpectBox(0, "Saved successfully", "message", MB_OK);
  EXPECT_EQ(Read(path).settings, (std::vector<std::pair<std::string, std::string>>{{"4000", "1"}}));
}

// The copy stays on disk and the work file unset; the same name is then refused by the copy.
TEST_P(DataFileSave, AFailedSaveIntoANewCopyKeepsTheCopyAndNoWorkFile) {
  Fill({{1, "1"}});
  Form().Edit1->SetText("abc");
  WriteTo(files_ / "new");
  EXPECT_TRUE(dialogs_.Boxes.empty());
  EXPECT_EQ(Form().Label3->Caption(), "");
  const std::string copy = files_ / "new.mdb";
  EXPECT_TRUE(Unchanged(copy, testsupport::ReadBytes(windowsDir_ + "/tav.mdb")))
      << "the copy is no longer the template";

  Form().Edit1->SetText("1000");
  WriteTo(files_ / "new");
  ExpectBox(0, kCopyFailed, "message", MB_OK);
  EXPECT_EQ(Form().Label3->Caption(), "");
  EXPECT_EQ(Read(copy), FileContents{});
}

TEST_P(DataFileSave, EveryFailedCopyGivesOneMessageAndNoSave) {
  const std::string longDir = windowsDir_ + "/" + std::string(200, 'w') + "/" +
                              std::string(60, 'w');  // more than 256 characters in all
  std::filesystem::create_directories(longDir);
  ASSERT_TRUE(CopyFileA((windowsDir_ + "/tav.mdb").c_str(), (longDir + "/tav.mdb").c_str(), TRUE));
  std::filesystem::create_directory(files_ / "empty");
  std::filesystem::create_directory(files_ / "locked");
  testsupport::WriteBytes(files_ / "taken.mdb", "keep me");
  // A template that is a FIFO must not leave the window waiting for a writer.
  std::filesystem::create_directory(files_ / "fifo");
  ASSERT_EQ(::mkfifo((files_ / "fifo/tav.mdb").c_str(), 0644), 0);
  const testsupport::FifoWatchdog watchdog(files_ / "fifo/tav.mdb", 1000);
  struct Case {
    const char* what;
    std::string windowsDir;
    std::string typed;
  };
  std::vector<Case> cases = {
      {"missing template", files_ / "empty", files_ / "a"},
      {"windows directory too long for the buffer", longDir, files_ / "b"},
      {"existing target", windowsDir_, files_ / "taken"},
      {"missing folder", windowsDir_, files_ / "nowhere/c"},
      {"template is a FIFO", files_ / "fifo", files_ / "e"},
      {"name too long with the extension", windowsDir_, files_ / std::string(252, 'n')},
  };
  // The superuser writes into any folder.
  if (::geteuid() != 0) {
    std::filesystem::permissions(
        files_ / "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    cases.push_back({"folder not writable", windowsDir_, files_ / "locked/d"});
  } else {
    std::printf("running as root: the unwritable folder is not tried\n");
  }
  Fill({{1, "1"}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::setenv("TAVKEL_WINDOWS_DIR", c.windowsDir.c_str(), 1);
    dialogs_.Boxes.clear();
    WriteTo(c.typed);
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    ExpectBox(0, kCopyFailed, "message", MB_OK);
    EXPECT_EQ(Form().Label3->Caption(), "");
  }
  EXPECT_FALSE(watchdog.Fired()) << "the copy waited for a writer of the FIFO template";
  std::filesystem::permissions(files_ / "locked", std::filesystem::perms::owner_all);
  EXPECT_EQ(testsupport::ReadBytes(files_ / "taken.mdb"), "keep me");
  for (const char* name : {"a.mdb", "b.mdb", "nowhere", "locked/d.mdb", "e.mdb"}) {
    EXPECT_FALSE(std::filesystem::exists(files_ / name)) << name;
  }
}

// The longest name whose file still fits its folder with ".mdb": its journal, which would not,
// takes a shorter name, so saves into it commit and roll back like any other.
TEST_P(DataFileSave, TheLongestNameSavesLoadsBackAndRollsBack) {
  const std::string typed = files_ / std::string(251, 'n');
  const std::string path = typed + ".mdb";
  const ::Numbers numbers{{1, "+7900"}, {LastSlot(), "999"}};
  Fill(numbers);
  Form().Edit1->SetText("2500");
  WriteTo(typed);
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  ExpectBox(0, "Saved successfully", "message", MB_OK);
  EXPECT_EQ(Form().Label3->Caption(), path);
  EXPECT_EQ(Read(path), (FileContents{numbers, {{"2500", "0"}}}));

  Form().BitBtn5->Click();
  LoadFrom(path);
  EXPECT_EQ(Numbers(), numbers);
  EXPECT_EQ(Form().Edit1->Text(), "2500");

  const std::string before = testsupport::ReadBytes(path);
  Fill({{2, "2"}, {3, "3"}});
  platform::FailNextCall(platform::FaultPoint::DatabasePost, 1);
  dialogs_.Boxes.clear();
  WriteToWorkFile();
  EXPECT_TRUE(dialogs_.Boxes.empty());
  EXPECT_TRUE(Unchanged(path, before)) << "the failed save was not rolled back";
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(files_.Path())) {
    if (entry.is_regular_file()) {
      left.push_back(entry.path().string());
    }
  }
  EXPECT_EQ(left, std::vector<std::string>{path}) << "a journal was left behind";
}

INSTANTIATE_TEST_SUITE_P(Editions, DataFileSave, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         app_test::EditionName);

}  // namespace

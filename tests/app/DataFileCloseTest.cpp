// Closing the main window of both editions: the question "save data" while a work file is set, and
// a failing save that keeps the window open without a word.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <filesystem>

#include "DataFileFixture.h"

namespace {

using app_test::DataFileWindow;
using app_test::FileContents;

constexpr UINT kQuestion = 0x24;  // Yes and No with the question icon

class DataFileClose : public DataFileWindow {
 protected:
  std::string LoadWorkFile() {
    const std::string path = MakeFile(
        "work.mdb", {"insert into phone values (1, '111')", "insert into pcong values (2500, 0)"});
    LoadFrom(path);
    EXPECT_TRUE(dialogs_.Boxes.empty());
    return path;
  }
  void Close(std::initializer_list<int> Answers) {
    dialogs_.Boxes.clear();
    dialogs_.Answers = Answers;
    Form().Close();
  }
};

TEST_P(DataFileClose, WithoutAWorkFileNothingIsAsked) {
  Fill({{1, "1"}});
  Close({});
  EXPECT_TRUE(dialogs_.Boxes.empty());
  EXPECT_FALSE(Form().Visible());
}

TEST_P(DataFileClose, AnswersDecideWhetherTheWorkFileIsSaved) {
  const std::string path = LoadWorkFile();

  // Right after the load, with nothing changed, the question comes all the same.
  const std::string loaded = testsupport::ReadBytes(path);
  Close({IDNO});
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  ExpectBox(0, "save data", "Message", kQuestion);
  EXPECT_FALSE(Form().Visible());
  EXPECT_TRUE(Unchanged(path, loaded)) << "the file changed";

  Form().Show();
  Fill({{2, "22"}});
  Close({IDYES});
  ASSERT_EQ(dialogs_.Boxes.size(), 2u);
  ExpectBox(0, "save data", "Message", kQuestion);
  ExpectBox(1, "Data saved successfully", "message", MB_OK);
  EXPECT_FALSE(Form().Visible());
  EXPECT_EQ(Read(path), (FileContents{{{2, "22"}}, {{"2500", "0"}}}));
  ExpectQueryClosed();
}

TEST_P(DataFileClose, AFailingSaveKeepsTheWindowOpenSilently) {
  const std::string path = LoadWorkFile();
  const std::string before = testsupport::ReadBytes(path);
  Fill({{2, "22"}});
  Form().Edit1->SetText("");
  Close({IDYES});
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  ExpectBox(0, "save data", "Message", kQuestion);
  EXPECT_TRUE(Form().Visible());
  EXPECT_TRUE(Unchanged(path, before)) << "the file changed";

  Close({IDNO});
  ExpectBox(0, "save data", "Message", kQuestion);
  EXPECT_FALSE(Form().Visible());
}

// A load that failed part way leaves its file as the work file, but no save may write the part it
// read over the file: until a load completes, Yes keeps the window open and "Write To File..."
// ends silently, both leaving the file byte for byte as it was.
TEST_P(DataFileClose, AfterAFailedLoadSavesLeaveTheWorkFileAlone) {
  const struct {
    const char* what;
    std::vector<std::string> sql;
  } cases[] = {
      {"negative id",
       {"insert into phone values (2, '22')", "insert into phone values (-3, '33')",
        "insert into phone values (4, '44')", "insert into pcong values (5000, 1)"}},
      {"id that is text",
       {"insert into phone values (2, '22')", "insert into phone values ('abc', 'x')",
        "insert into pcong values (5000, 1)"}},
      {"rec that is text",
       {"insert into phone values (2, '22')", "insert into pcong values (5000, 'yes')"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = MakeFile("failing" + std::to_string(++n) + ".mdb", c.sql);
    const std::string before = testsupport::ReadBytes(path);
    dialogs_.Boxes.clear();
    LoadFrom(path);
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    EXPECT_EQ(dialogs_.Boxes[0].Caption, "Test Title") << "no error box";
    ASSERT_EQ(Form().Label3->Caption(), path);

    Close({IDYES});
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    ExpectBox(0, "save data", "Message", kQuestion);
    EXPECT_TRUE(Form().Visible());
    dialogs_.Boxes.clear();
    dialogs_.FileRequests.clear();
    WriteToWorkFile();
    LoadFrom(std::nullopt);  // a cancelled load completes nothing
    WriteToWorkFile();
    EXPECT_TRUE(dialogs_.Boxes.empty());
    EXPECT_EQ(dialogs_.FileRequests.size(), 1u) << "Write To File... asked for a name";
    EXPECT_TRUE(Unchanged(path, before)) << "the file changed";
    ExpectQueryClosed();

    // Any load that completes, here of another file, ends the refusal.
    const std::string other = LoadWorkFile();
    Fill({{3, "33"}});
    WriteToWorkFile();
    ExpectBox(0, "Saved successfully", "message", MB_OK);
    EXPECT_EQ(Read(other), (FileContents{{{3, "33"}}, {{"2500", "0"}}}));
    std::filesystem::remove(other);
  }
}

// The same file, once mended, loads and saves again.
TEST_P(DataFileClose, AFailedLoadsFileSavesAgainOnceItLoads) {
  const std::string path = MakeFile(
      "mended.mdb", {"insert into phone values (2, '22')", "insert into phone values (-3, '33')"});
  LoadFrom(path);
  Exec(path, {"delete from phone where id < 0"});
  LoadFrom(path);
  Fill({{5, "55"}});
  Close({IDYES});
  ASSERT_EQ(dialogs_.Boxes.size(), 2u);
  ExpectBox(1, "Data saved successfully", "message", MB_OK);
  EXPECT_FALSE(Form().Visible());
  EXPECT_EQ(Read(path), (FileContents{{{5, "55"}}, {{"0", "0"}}}));
}

// The real boxes: Escape and the close box leave "save data" open, the window with it and the file
// untouched; only Yes and No answer it.
TEST_P(DataFileClose, OnlyYesOrNoAnswerTheRealQuestion) {
  using classlib_test::ModalDriver;
  const std::string path = LoadWorkFile();
  const std::string loaded = testsupport::ReadBytes(path);
  Fill({{2, "22"}});
  classlib::Application->SetDialogs(nullptr);
  std::vector<std::string> texts;
  bool untouched = true;
  auto asking = [&](QDialog& box, void (*step)(QDialog&)) {
    texts.push_back(qobject_cast<QMessageBox*>(&box)->text().toStdString());
    untouched = untouched && Form().Visible() && Unchanged(path, loaded);
    step(box);
  };
  {
    ModalDriver driver({
        [&](QDialog& box) {
          asking(box, [](QDialog& b) { classlib_test::PressKey(b, Qt::Key_Escape); });
        },
        [&](QDialog& box) { asking(box, classlib_test::CloseBox); },
        [&](QDialog& box) { asking(box, classlib_test::CloseFromWindowSystem); },
        [&](QDialog& box) {
          asking(box, [](QDialog& b) { classlib_test::ClickButton(b, QMessageBox::Yes); });
        },
        [&](QDialog& box) {
          texts.push_back(qobject_cast<QMessageBox*>(&box)->text().toStdString());
          classlib_test::ClickButton(box, QMessageBox::Ok);
        },
    });
    Form().Close();
    EXPECT_TRUE(driver.Finished());
  }
  EXPECT_TRUE(untouched) << "the window closed or the file changed before Yes";
  EXPECT_EQ(texts, (std::vector<std::string>{"save data", "save data", "save data", "save data",
                                             "Data saved successfully"}));
  EXPECT_FALSE(Form().Visible());
  EXPECT_EQ(Read(path), (FileContents{{{2, "22"}}, {{"2500", "0"}}}));

  Form().Show();
  Fill({{3, "33"}});
  const std::string saved = testsupport::ReadBytes(path);
  {
    ModalDriver driver({[](QDialog& box) { classlib_test::ClickButton(box, QMessageBox::No); }});
    Form().Close();
    EXPECT_TRUE(driver.Finished());
  }
  EXPECT_FALSE(Form().Visible());
  EXPECT_TRUE(Unchanged(path, saved)) << "No saved";
}

// The handler leaves the close action alone; only the silent cancel stops a close.
TEST_P(DataFileClose, TheCloseActionIsNeverChanged) {
  LoadWorkFile();
  for (int answer : {IDYES, IDNO}) {
    SCOPED_TRACE(answer);
    dialogs_.Answers = {answer};
    classlib::TCloseAction action = classlib::caMinimize;
    Form().FormClose(&Form(), action);
    EXPECT_EQ(action, classlib::caMinimize);
  }
  Form().Edit1->SetText("x");
  dialogs_.Answers = {IDYES};
  classlib::TCloseAction action = classlib::caHide;
  EXPECT_THROW(Form().FormClose(&Form(), action), classlib::EAbort);
  EXPECT_EQ(action, classlib::caHide);
}

INSTANTIATE_TEST_SUITE_P(Editions, DataFileClose, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         app_test::EditionName);

}  // namespace

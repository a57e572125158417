// Closing the main window of both editions: the question "save data" while a work file is set, and
// a failing save that keeps the window open without a word.
#include <gtest/gtest.h>

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

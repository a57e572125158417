// "Load From File..." of both editions: what a data file puts into the window, and loads that
// fail, each ending in the error box with the window as far as the load got.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "DataFileFixture.h"

namespace {

using app_test::DataFileWindow;
using Numbers = std::vector<std::pair<int, std::string>>;

class DataFileLoad : public DataFileWindow {
 protected:
  // What "Crear All" must replace, and a header title in place.
  void Dirty() {
    Form().StringGrid1->SetCells(1, 0, "Phone Number");
    Fill({{2, "999"}, {LastSlot(), "888"}});
    Form().Edit1->SetText("4321");
    Form().CheckBox1->SetChecked(true);
    Form().Edit2->SetText("1111");
    dialogs_.Boxes.clear();
    dialogs_.FileRequests.clear();
  }
};

TEST_P(DataFileLoad, CancellingTheDialogChangesNothing) {
  Dirty();
  LoadFrom(std::nullopt);
  ASSERT_EQ(dialogs_.FileRequests.size(), 1u);
  const classlib::TFileDialogRequest& request = dialogs_.FileRequests[0];
  EXPECT_EQ(request.Kind, classlib::TFileDialogKind::Open);
  EXPECT_EQ(request.Owner, &Form());
  EXPECT_EQ(request.Filter, "*.mdb|*.mdb");
  EXPECT_EQ(request.InitialDir, std::filesystem::current_path().string());
  EXPECT_EQ(Numbers(), (::Numbers{{2, "999"}, {LastSlot(), "888"}}));
  EXPECT_EQ(Form().Edit1->Text(), "4321");
  EXPECT_TRUE(Form().CheckBox1->Checked());
  EXPECT_EQ(Form().Edit2->Text(), "1111");
  EXPECT_EQ(Form().Label3->Caption(), "");
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

// The open dialog starts in the current directory of the moment, not of start-up.
TEST_P(DataFileLoad, TheDialogStartsInTheCurrentDirectoryOfEachLoad) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::create_directory(files_.Path() / "elsewhere");
  std::filesystem::current_path(files_.Path() / "elsewhere");
  LoadFrom(std::nullopt);
  std::filesystem::current_path(before);
  ASSERT_EQ(dialogs_.FileRequests.size(), 1u);
  EXPECT_EQ(dialogs_.FileRequests[0].InitialDir, (files_.Path() / "elsewhere").string());
}

TEST_P(DataFileLoad, FillsTheWindowAfterCrearAll) {
  struct Case {
    const char* what;
    std::vector<std::string> sql;
    ::Numbers numbers;
    std::string time;
    bool flag;
  };
  const Case cases[] = {
      {"numbers and settings",
       {"insert into phone values (3, '123')", "insert into phone values (1, '+7900')",
        "insert into phone values (7, '')", "insert into pcong values (5000, 1)"},
       {{1, "+7900"}, {3, "123"}},
       "5000",
       true},
      {"of two rows with one id the later wins",
       {"insert into phone values (4, '111')", "insert into phone values (4, '222')"},
       {{4, "222"}},
       "0",
       false},
      {"id 0 and a missing id write into the header",
       {"insert into phone values (0, '55')", "insert into phone (phone) values ('66')"},
       {{0, "66"}},
       "0",
       false},
      {"an id beyond every edition's slots is skipped",
       {"insert into phone values (1001, '1')", "insert into phone values (5, '5')"},
       {{5, "5"}},
       "0",
       false},
      {"rec 2 sets the flag", {"insert into pcong values (1500, 2)"}, {}, "1500", true},
      {"rec 0 leaves it cleared", {"insert into pcong values (1500, 0)"}, {}, "1500", false},
      {"a negative rec leaves it cleared",
       {"insert into pcong values (1500, -1)"},
       {},
       "1500",
       false},
      {"no rec leaves it cleared", {"insert into pcong (time) values (1500)"}, {}, "1500", false},
      {"a time above 59999 comes unchanged",
       {"insert into pcong values (70000, 0)"},
       {},
       "70000",
       false},
      {"no time empties the field", {"insert into pcong (rec) values (1)"}, {}, "", true},
      {"no settings row leaves Crear All's", {}, {}, "0", false},
      {"only the first settings row counts",
       {"insert into pcong values (1200, 0)", "insert into pcong values (3000, 1)"},
       {},
       "1200",
       false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = MakeFile("case" + std::to_string(++n) + ".mdb", c.sql);
    Dirty();
    LoadFrom(path);
    EXPECT_TRUE(dialogs_.Boxes.empty()) << dialogs_.Boxes[0].Text;
    EXPECT_EQ(Numbers(), c.numbers);
    EXPECT_EQ(Form().Edit1->Text(), c.time);
    EXPECT_EQ(Form().CheckBox1->Checked(), c.flag);
    EXPECT_EQ(Form().Edit2->Text(), "7391");
    EXPECT_EQ(Form().Label3->Caption(), path);
    ExpectQueryClosed();
  }
}

TEST_P(DataFileLoad, TakesSlotsUpToTheEditionsLast) {
  const std::string path = MakeFile(
      "slots.mdb", {"insert into phone values (1000, 'c')", "insert into phone values (501, 'b')",
                    "insert into phone values (500, 'a')"});
  LoadFrom(path);
  EXPECT_TRUE(dialogs_.Boxes.empty());
  const ::Numbers expected =
      LastSlot() == 1000 ? ::Numbers{{500, "a"}, {501, "b"}, {1000, "c"}} : ::Numbers{{500, "a"}};
  EXPECT_EQ(Numbers(), expected);
}

TEST_P(DataFileLoad, AnotherLoadReplacesTheWorkFileWithoutAsking) {
  const std::string first = MakeFile(
      "first.mdb", {"insert into phone values (1, '1')", "insert into pcong values (2000, 1)"});
  const std::string second = MakeFile("second.mdb", {"insert into phone values (2, '2')"});
  LoadFrom(first);
  LoadFrom(second);
  EXPECT_TRUE(dialogs_.Boxes.empty());
  EXPECT_EQ(Numbers(), (::Numbers{{2, "2"}}));
  EXPECT_EQ(Form().Edit1->Text(), "0");
  EXPECT_FALSE(Form().CheckBox1->Checked());
  EXPECT_EQ(Form().Label3->Caption(), second);
}

// A failed load shows the database's message (or the list's, for a negative id) in the error box
// and keeps what it did: Crear All, the work file, the numbers read so far.
TEST_P(DataFileLoad, AFailureEndsInTheErrorBoxKeepingWhatWasRead) {
  struct Case {
    const char* what;
    std::function<std::string()> make;  // gives the file's path
    std::vector<std::string> messages;  // any of these
    ::Numbers numbers;
    std::string time = "0";
  };
  const Case cases[] = {
      {"negative id",
       [&] {
         return MakeFile(
             "negative.mdb",
             {"insert into phone values (2, '22')", "insert into phone values (-3, '33')",
              "insert into phone values (4, '44')", "insert into pcong values (5000, 1)"});
       },
       {"List index out of bounds (-3)"},
       {{2, "22"}}},
      {"id that is text",
       [&] {
         return MakeFile("textid.mdb", {"insert into phone values (2, '22')",
                                        "insert into phone values ('abc', 'x')"});
       },
       {"Field 'id' value 'abc' is not an integer."},
       {{2, "22"}}},
      {"rec that is text",
       [&] { return MakeFile("textrec.mdb", {"insert into pcong values (5000, 'yes')"}); },
       {"Field 'rec' value 'yes' is not an integer."},
       {},
       "5000"},
      {"no settings table",
       [&] {
         return MakeFile("nopcong.mdb", {"insert into phone values (9, '9')", "drop table pcong"});
       },
       {"no such table: pcong."},
       {{9, "9"}}},
      {"missing file",
       [&] { return files_ / "missing.mdb"; },
       {"unable to open database file."},
       {}},
      {"text file",
       [&] {
         testsupport::WriteBytes(files_ / "notes.mdb", std::string(5000, 'x'));
         return files_ / "notes.mdb";
       },
       {"file is not a database."},
       {}},
      {"corrupt database",
       [&] {
         std::string bytes = testsupport::ReadBytes(windowsDir_ + "/tav.mdb");
         for (size_t i = 16; i < bytes.size(); i += 7) {
           bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);  // keep the magic, spoil the rest
         }
         testsupport::WriteBytes(files_ / "corrupt.mdb", bytes);
         return files_ / "corrupt.mdb";
       },
       {"file is not a database.", "database disk image is malformed."},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = c.make();
    Dirty();
    LoadFrom(path);
    ExpectErrorBox(c.messages);
    EXPECT_EQ(Numbers(), c.numbers);
    EXPECT_EQ(Form().Edit1->Text(), c.time);
    EXPECT_FALSE(Form().CheckBox1->Checked());
    EXPECT_EQ(Form().Edit2->Text(), "7391");
    EXPECT_EQ(Form().Label3->Caption(), path);
    ExpectQueryClosed();
  }
  EXPECT_FALSE(std::filesystem::exists(files_ / "missing.mdb"));
}

INSTANTIATE_TEST_SUITE_P(Editions, DataFileLoad, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         app_test::EditionName);

}  // namespace

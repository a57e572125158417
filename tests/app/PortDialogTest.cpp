// The port dialog of each edition, shown modally by "Configure Port...": its confirm button saves
// the index and clears PortOpened whatever happens to the registry; edition 1.3's "OK" only
// records the choice, edition 1.4's "CONNECT" opens its own name at once.
#include <gtest/gtest.h>

#include "tests/app/PortFixture.h"

namespace app_test {
namespace {

using Strings = std::vector<std::string>;

class PortDialog : public PortWindows {
 protected:
  // The list whose index the confirm button saves.
  classlib::TComboBox& Chosen() {
    return Edition().PortDialog == app::TPortDialogKind::FixedList ? *Dialog().ComboBox2
                                                                   : *Dialog().ComboBox1;
  }
  void Confirm() { Dialog().BitBtn1->Click(); }
};

TEST_P(PortDialog, ConfirmSavesTheIndexClearsTheFlagAndClosesTheDialog) {
  AddDevice("TESTA");
  AddDevice("TESTB");
  Start();
  PortStep();
  ASSERT_TRUE(app::PortOpened);
  InDialog([&] {
    Chosen().SetItemIndex(1);
    Confirm();
  });
  EXPECT_EQ(SavedIndex(), 1);
  EXPECT_FALSE(app::PortOpened);
  EXPECT_TRUE(dialogs_.Boxes.empty());

  // Shown again, nothing selected: the index saved is -1.
  InDialog([&] {
    Chosen().SetItemIndex(-1);
    Confirm();
  });
  EXPECT_EQ(SavedIndex(), -1);
}

TEST_P(PortDialog, CloseBoxWritesNothingAndKeepsTheFlag) {
  AddDevice("TESTA");
  Start();
  PortStep();
  ASSERT_TRUE(app::PortOpened);
  InDialog([&] { Dialog().Close(); });
  EXPECT_TRUE(app::PortOpened);
  EXPECT_FALSE(SettingsKeyExists());
}

TEST_P(PortDialog, FailedWriteOfTheIndexReachesTheErrorBoxAndTheDialogClosesAllTheSame) {
  AddDevice("TESTA");
  StoreIndex(5);
  Start();
  PortStep();
  ASSERT_TRUE(app::PortOpened);
  InDialog([&] {
    platform::FailNextCall(platform::FaultPoint::RegistryFileWrite);
    Confirm();
  });
  ASSERT_EQ(BoxTexts(), Strings{"Failed to set data for 'COM1'"});
  EXPECT_EQ(dialogs_.Boxes[0].Caption, classlib::Application->Title());
  EXPECT_EQ(dialogs_.Boxes[0].Flags, MB_OK | MB_ICONERROR);
  EXPECT_FALSE(app::PortOpened);
  EXPECT_EQ(SavedIndex(), 5);
}

TEST_P(PortDialog, KeyThatCannotBeMadeWritesAndReportsNothing) {
  Start();
  app::PortOpened = TRUE;
  InDialog([&] {
    platform::FailNextCall(platform::FaultPoint::RegOpenKeyExA);
    Confirm();
  });
  EXPECT_TRUE(dialogs_.Boxes.empty());
  EXPECT_FALSE(SettingsKeyExists());
  EXPECT_FALSE(app::PortOpened);
}

INSTANTIATE_TEST_SUITE_P(Editions, PortDialog, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         EditionName);

// Edition 1.3: "OK" touches no port; the next device operation opens the entry chosen.
class DetectedListDialog : public PortDialog {};

TEST_P(DetectedListDialog, OkRecordsTheChoiceForTheNextReopen) {
  platform::ScriptedDevice& first = AddDevice("TESTA");
  platform::ScriptedDevice& last = AddDevice("TESTB");
  Start();
  PortStep();
  ASSERT_TRUE(last.IsOpen());
  InDialog([&] {
    Dialog().ComboBox1->SetItemIndex(0);
    Confirm();
  });
  EXPECT_EQ(SavedIndex(), 0);
  EXPECT_TRUE(last.IsOpen()) << "OK opened or closed a port";
  EXPECT_FALSE(first.IsOpen());

  PortStep();
  EXPECT_TRUE(last.WaitForClosed());
  EXPECT_TRUE(first.IsOpen());
  EXPECT_EQ(Form().Comm1->CommName(), "TESTA");
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

TEST_P(DetectedListDialog, OkAfterRefreshSavesMinusOneAndTheNextReopenFails) {
  AddDevice("TESTA");
  Start();
  InDialog([&] {
    Dialog().BitBtn2->Click();
    EXPECT_EQ(Dialog().ComboBox1->ItemIndex(), -1);
    Confirm();
  });
  EXPECT_EQ(SavedIndex(), -1);
  PortStep();
  EXPECT_EQ(BoxTexts(), Strings{"Can not open "});
  EXPECT_FALSE(app::PortOpened);
}

INSTANTIATE_TEST_SUITE_P(Tavkel13, DetectedListDialog, testing::Values(&app::Tavkel13),
                         EditionName);

// Edition 1.4: "CONNECT" opens the fixed list's text at once, failing silently; the next device
// operation reopens the detected-port list's entry instead.
class FixedListDialog : public PortDialog {};

struct ConnectCase {
  const char* name;
  int pick;            // entry of the fixed list picked, or -1
  const char* typed;   // text typed instead, or nullptr
  const char* device;  // the scripted device that answers to the name, or nullptr
  int saved;
};

const ConnectCase kConnectCases[] = {
    {"PickedCom5", 4, nullptr, "COM5", 4},
    {"PickedCom10Verbatim", 9, nullptr, "COM10", 9},
    {"TypedNameTheListLacks", -1, "TESTX", "TESTX", -1},
    {"TypedNameThePlatformLacks", -1, "NOSUCH", nullptr, -1},
    {"Empty", -1, "", nullptr, -1},
};

TEST_P(FixedListDialog, ConnectOpensItsNameAtOnceUntilTheNextReopen) {
  platform::ScriptedDevice& listed = AddDevice("TESTA");
  for (const ConnectCase& row : kConnectCases) {
    SCOPED_TRACE(row.name);
    platform::ScriptedDevice* chosen = row.device ? &AddDevice(row.device, false) : nullptr;
    Start();
    PortStep();
    ASSERT_TRUE(listed.IsOpen());
    InDialog([&] {
      if (row.typed != nullptr) {
        Dialog().ComboBox2->SetText(row.typed);
      } else {
        Dialog().ComboBox2->SetItemIndex(row.pick);
      }
      Confirm();
    });
    EXPECT_TRUE(listed.WaitForClosed()) << "CONNECT kept the old port";
    EXPECT_EQ(Form().Comm1->CommName(), row.typed != nullptr ? row.typed : row.device);
    if (chosen != nullptr) {
      EXPECT_TRUE(chosen->IsOpen());
    } else {
      EXPECT_EQ(Form().Comm1->PortHandle(), nullptr);
    }
    EXPECT_TRUE(dialogs_.Boxes.empty());
    EXPECT_EQ(SavedIndex(), row.saved);
    EXPECT_FALSE(app::PortOpened);

    PortStep();
    EXPECT_TRUE(listed.IsOpen());
    EXPECT_EQ(Form().Comm1->CommName(), "TESTA");
    if (chosen != nullptr) {
      EXPECT_TRUE(chosen->WaitForClosed());
    }
    Stop();
  }
}

INSTANTIATE_TEST_SUITE_P(Tavkel14, FixedListDialog, testing::Values(&app::Tavkel14), EditionName);

}  // namespace
}  // namespace app_test

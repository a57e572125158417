// The main window's side of the port choice in both editions: what the platform lists and which
// entry start-up and "Refresh" leave selected, the reopen before a device operation with its
// failure box, the hang-up, and the registry errors that reach the error box at start-up.
#include <gtest/gtest.h>

#include "classlib/Registry.h"
#include "platform/Serial.h"
#include "tests/app/PortFixture.h"
#include "tests/platform/SerialTestSupport.h"
#include "tests/support/SerialCommTestValues.h"

namespace app_test {
namespace {

using Strings = std::vector<std::string>;

class PortSelection : public PortWindows {};

constexpr UINT kErrorBox = MB_OK | MB_ICONERROR;

// sysfs ports first (only ttyS ports with a UART), each kind in numeric order, then the device map.
TEST_P(PortSelection, StartUpSelectsTheLastListedPortWhateverTheSavedIndex) {
  AddTty("ttyS1", 4);
  AddTty("ttyS0", 4);
  AddTty("ttyS2", 0);
  AddTty("ttyACM1");
  AddTty("ttyUSB0");
  Publish("TESTA");
  Publish("TESTB");
  const Strings listed = {"COM1", "COM2", "/dev/ttyUSB0", "/dev/ttyACM1", "TESTA", "TESTB"};
  struct Saved {
    const char* name;
    std::optional<int> index;  // nothing: no value stored
  };
  for (const Saved& saved : {Saved{"None", std::nullopt}, Saved{"First", 0}, Saved{"Second", 1},
                             Saved{"NoneSelected", -1}, Saved{"BeyondTheList", 9}}) {
    SCOPED_TRACE(saved.name);
    if (saved.index) {
      StoreIndex(*saved.index);
    }
    Start();
    EXPECT_EQ(Entries(Detected()), listed);
    EXPECT_EQ(Detected().ItemIndex(), 5);
    EXPECT_EQ(Detected().Text(), "TESTB");
    EXPECT_TRUE(dialogs_.Boxes.empty());
    Stop();
  }
}

// Device-map entries whose path is no tty that is there now (left behind by a program that ended
// without removing them, or written by mistake) are not listed, so start-up selects the live
// port though it was published first, and the first device command opens it.
TEST_P(PortSelection, StartUpListsAndSelectsOnlyTheDeviceMapEntryOfALiveTty) {
  serialtest::Pty live;
  ASSERT_TRUE(live.Ok());
  std::filesystem::create_directories(Root() / "directory");
  std::ofstream(Root() / "file") << "COM9\n";
  Publish("LIVE", live.SlavePath());
  Publish("MISSING", (Root() / "missing").string());
  Publish("FILE", (Root() / "file").string());
  Publish("DIRECTORY", (Root() / "directory").string());
  Publish("NOTTY", "/dev/null");
  Start();
  EXPECT_EQ(Entries(Detected()), Strings{"LIVE"});
  EXPECT_EQ(Detected().ItemIndex(), 0);
  PortStep();
  EXPECT_TRUE(dialogs_.Boxes.empty()) << testing::PrintToString(BoxTexts());
  EXPECT_TRUE(app::PortOpened);
  EXPECT_EQ(Form().Comm1->CommName(), "LIVE");
  EXPECT_NE(Form().Comm1->PortHandle(), nullptr);
}

TEST_P(PortSelection, NoPortListedLeavesTheListEmptyAndTheFailureBoxNamesNothing) {
  Start();
  EXPECT_EQ(Detected().Items().Count(), 0);
  EXPECT_EQ(Detected().ItemIndex(), -1);
  PortStep();
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  EXPECT_EQ(dialogs_.Boxes[0].Text, "Can not open ");
  EXPECT_EQ(dialogs_.Boxes[0].Caption, "Message");
  EXPECT_EQ(dialogs_.Boxes[0].Flags, kErrorBox);
  EXPECT_EQ(dialogs_.Boxes[0].Owner, &Form());
  EXPECT_FALSE(app::PortOpened);
}

TEST_P(PortSelection, RefreshReplacesTheListOnlyWhenPortsAreListed) {
  Publish("TESTA");
  Publish("TESTB");
  Start();
  ASSERT_EQ(Detected().ItemIndex(), 1);
  const Strings before = {"TESTA", "TESTB"};

  Unpublish("TESTA");
  Unpublish("TESTB");
  Dialog().BitBtn2Click(nullptr);
  EXPECT_EQ(Entries(Detected()), before);
  EXPECT_EQ(Detected().ItemIndex(), 1);

  Publish("TESTE");
  Publish("TESTC");
  Publish("TESTD");
  platform::FailNextCall(platform::FaultPoint::RegOpenKeyExA);
  Dialog().BitBtn2Click(nullptr);
  EXPECT_EQ(Entries(Detected()), before) << "a refused key lists nothing";
  EXPECT_EQ(Detected().ItemIndex(), 1);

  Dialog().BitBtn2Click(nullptr);
  EXPECT_EQ(Entries(Detected()), (Strings{"TESTE", "TESTC", "TESTD"}));
  EXPECT_EQ(Detected().ItemIndex(), -1);
  PortStep();
  EXPECT_EQ(BoxTexts(), Strings{"Can not open "});
}

TEST_P(PortSelection, ReopenUsesTheSelectedEntryVerbatimAndOnlyWhileTheFlagIsClear) {
  platform::ScriptedDevice& com10 = AddDevice("COM10");
  platform::ScriptedDevice& other = AddDevice("TESTA");
  Start();
  Detected().SetItemIndex(0);
  PortStep();
  EXPECT_EQ(Form().Comm1->CommName(), "COM10");
  EXPECT_TRUE(com10.IsOpen());
  EXPECT_TRUE(app::PortOpened);

  // The open port stays in use whatever the list now selects.
  Detected().SetItemIndex(1);
  PortStep();
  EXPECT_TRUE(com10.IsOpen());
  EXPECT_EQ(com10.OpenCount(), 1);
  EXPECT_FALSE(other.IsOpen());

  app::PortOpened = FALSE;
  PortStep();
  EXPECT_TRUE(com10.WaitForClosed());
  EXPECT_TRUE(other.IsOpen());
  EXPECT_EQ(Form().Comm1->CommName(), "TESTA");
  EXPECT_TRUE(app::PortOpened);
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

TEST_P(PortSelection, PortHeldByAnotherOpenShowsItsNameInTheFailureBox) {
  serialtest::Pty pty;
  ASSERT_TRUE(pty.Ok());
  Publish("COM3", pty.SlavePath());
  Start();
  HANDLE holder = CreateFileA("COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);

  PortStep();
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  EXPECT_EQ(dialogs_.Boxes[0].Text, "Can not open COM3");
  EXPECT_EQ(dialogs_.Boxes[0].Caption, "Message");
  EXPECT_EQ(dialogs_.Boxes[0].Flags, kErrorBox);
  EXPECT_EQ(dialogs_.Boxes[0].Owner, &Form());
  EXPECT_FALSE(app::PortOpened);
  EXPECT_EQ(Form().Comm1->PortHandle(), nullptr);

  CloseHandle(holder);
  PortStep();
  EXPECT_EQ(dialogs_.Boxes.size(), 1u);
  EXPECT_TRUE(app::PortOpened);
  EXPECT_NE(Form().Comm1->PortHandle(), nullptr);
}

TEST_P(PortSelection, HangupShowsSerialErrorAndTheNextOperationReopens) {
  platform::ScriptedDevice& device = AddDevice("TESTA");
  Start();
  PortStep();
  ASSERT_TRUE(app::PortOpened);
  Form().Phase = app::PhaseWritePhones;
  Form().SearchState = app::SearchOpenNext;

  ASSERT_TRUE(device.WaitForPendingEvent());
  ASSERT_TRUE(device.CompleteEvent(0));  // an empty event mask ends the reader with a hang-up
  ASSERT_TRUE(PumpUntil([&] { return Form().StatusBar1->Panel(0).Text() == "Serial error."; }))
      << "no hang-up reached the window";
  EXPECT_FALSE(app::PortOpened);
  EXPECT_TRUE(device.WaitForClosed());
  EXPECT_EQ(Form().Phase, app::PhaseWritePhones);
  EXPECT_EQ(Form().SearchState, app::SearchOpenNext);

  PortStep();
  EXPECT_TRUE(app::PortOpened);
  EXPECT_TRUE(device.IsOpen());
  EXPECT_EQ(device.OpenCount(), 2);
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

// The saved index is read when the dialog is made; an unreadable value reaches the error box and
// start-up goes on.
TEST_P(PortSelection, SavedIndexThatCannotBeReadReachesTheErrorBox) {
  Publish("TESTA");
  struct Row {
    const char* name;
    std::function<void()> store;
    const char* box;  // nullptr: none
  };
  const Row rows[] = {
      {"NoKey", [] {}, nullptr},
      {"KeyWithoutValue",
       [] {
         StoreIndex(0);
         HKEY key = nullptr;
         ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key),
                   ERROR_SUCCESS);
         ASSERT_EQ(RegDeleteValueA(key, kIndexValue), ERROR_SUCCESS);
         RegCloseKey(key);
       },
       "Failed to get data for 'COM1'"},
      {"LongerThanFourBytes",
       [] {
         StoreIndexValue(REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0});
       },
       "Failed to get data for 'COM1'"},
      {"Text",
       [] {
         StoreIndexValue(REG_SZ, {'1', 0});
       },
       "Invalid data type for 'COM1'"},
      {"Integer", [] { StoreIndex(0); }, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    dialogs_.Boxes.clear();
    row.store();
    Start();
    if (row.box == nullptr) {
      EXPECT_TRUE(dialogs_.Boxes.empty());
    } else {
      ASSERT_EQ(dialogs_.Boxes.size(), 1u);
      EXPECT_EQ(dialogs_.Boxes[0].Text, row.box);
      EXPECT_EQ(dialogs_.Boxes[0].Caption, classlib::Application->Title());
      EXPECT_EQ(dialogs_.Boxes[0].Flags, kErrorBox);
    }
    EXPECT_EQ(Entries(Detected()), Strings{"TESTA"});
    EXPECT_EQ(Detected().ItemIndex(), 0);
    Stop();
  }
}

// A listed value whose data is not text ends the listing: what was read stays, nothing selected.
TEST_P(PortSelection, PortValueThatIsNoTextStopsTheListingAndReachesTheErrorBox) {
  Publish("TESTA");
  Publish("TESTB");
  platform::AddSerialCommTestValue("Odd", REG_DWORD, {1, 0, 0, 0});
  Start();
  EXPECT_EQ(BoxTexts(), Strings{"Invalid data type for 'Odd'"});
  EXPECT_EQ(dialogs_.Boxes[0].Caption, classlib::Application->Title());
  EXPECT_EQ(Entries(Detected()), (Strings{"TESTA", "TESTB"}));
  EXPECT_EQ(Detected().ItemIndex(), -1);

  Unpublish("TESTB");
  Detected().SetItemIndex(0);
  EXPECT_THROW(Dialog().BitBtn2Click(nullptr), classlib::ERegistryException)
      << "Refresh raises to its caller";
  EXPECT_EQ(Entries(Detected()), Strings{"TESTA"});
  EXPECT_EQ(Detected().ItemIndex(), -1);
}

INSTANTIATE_TEST_SUITE_P(Editions, PortSelection, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         EditionName);

}  // namespace
}  // namespace app_test

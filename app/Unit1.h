// The main window: the phone table, the relay and password settings, the status bar, and the
// device operations, the port search and the data file that run in it. Every handler of the window
// is declared here; each concern defines its own in a source file of its own (Unit1*.cpp).
#pragma once

#include <cstdint>
#include <string>

#include "app/AnswerLedger.h"
#include "app/Edition.h"
#include "app/Operation.h"
#include "classlib/ADOQuery.h"
#include "classlib/Buttons.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/Events.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/Grids.h"
#include "classlib/StdCtrls.h"
#include "platform/Types.h"
#include "serial/Brisko.h"

namespace app {

using classlib::TObject;

class TForm1 : public classlib::TForm {
 public:
  // Builds the window hidden from the edition's description, then runs FormCreate.
  TForm1(classlib::TComponent* Owner, const TEdition& Edition);

  const TEdition& Edition() const { return edition_; }

  // Components, in the order of the window's declaration; owned by the window.
  brisko::TComm* Comm1 = nullptr;
  classlib::TGroupBox* GroupBox1 = nullptr;
  classlib::TGroupBox* GroupBox2 = nullptr;
  classlib::TLabel* Label1 = nullptr;
  classlib::TLabel* Label2 = nullptr;
  classlib::TEdit* Edit1 = nullptr;  // relay timeout in ms, as text
  // External disconnection. Disabled: only the loads and "Crear All" change it.
  classlib::TCheckBox* CheckBox1 = nullptr;
  classlib::TGroupBox* GroupBox3 = nullptr;
  classlib::TBitBtn* BitBtn1 = nullptr;          // "Load From File..."
  classlib::TBitBtn* BitBtn2 = nullptr;          // "Write To File..."
  classlib::TBitBtn* BitBtn3 = nullptr;          // "Load From Device"
  classlib::TBitBtn* BitBtn4 = nullptr;          // "Write To Device"
  classlib::TBitBtn* BitBtn5 = nullptr;          // "Crear All"
  classlib::TBitBtn* BitBtn6 = nullptr;          // "Configure Port..."
  classlib::TStringGrid* StringGrid1 = nullptr;  // row s, column 1: the number of slot s
  classlib::TLabel* Label3 = nullptr;            // path of the work file; empty: none
  classlib::TOpenDialog* OpenDialog1 = nullptr;
  classlib::TSaveDialog* SaveDialog1 = nullptr;
  classlib::TADOQuery* ADOQuery1 = nullptr;
  classlib::TTimer* Timer1 = nullptr;  // operation sequencer, 500 ms
  classlib::TStatusBar* StatusBar1 = nullptr;
  classlib::TGroupBox* GroupBox4 = nullptr;
  classlib::TEdit* Edit2 = nullptr;  // password, at most four digits typed
  classlib::TLabel* Label4 = nullptr;
  classlib::TBitBtn* BitBtn7 = nullptr;            // "SET"
  classlib::TBitBtn* BitBtn8 = nullptr;            // "GET"
  classlib::TTimer* Timer2 = nullptr;              // port search, 200 ms
  classlib::TSpeedButton* SpeedButton1 = nullptr;  // starts the port search

  // Operation state; all zero when the window is made.
  // Numbers the controller still announces during a load; a value above the last slot is an
  // announcement beyond the table, which bounds nothing.
  std::uint16_t PhonesExpected = 0;
  TReplyKind ReplyKind = ReplyOther;  // the last block received that bears on the held frame
  TPhase Phase = PhaseIdle;           // the operation that Timer1 carries out
  std::int32_t TriesLeft = 0;         // transmissions still allowed for the current frame
  std::int32_t SendLength = 0;        // length of the frame in SendBuffer, for resends
  BYTE SendBuffer[500] = {};          // the sequencer's last frame
  std::int32_t PhonesReceived = 0;    // records stored during the current load
  std::int32_t PhonesSent = 0;        // records packed during the current write
  // Ticks the phone write has waited on a Refused or EndOfData since its frame last went out; the
  // wait is bounded like an unanswered frame.
  std::int32_t TicksWaited = 0;
  // The answers the controller owes for the sequencer's transmissions; an Accepted or Refused
  // counts for the frame now held only as the answer to one of its own.
  TAnswerLedger AnswersOwed;

  // Port search state.
  TSearchState SearchState = SearchIdle;  // the step of Timer2's next tick
  std::int32_t SearchIndex = 0;           // next entry of the detected-port list to try

  BOOL DeviceAnswered = FALSE;  // an Accepted reply came since the search's last probe

  // Set from the moment a load makes its file the work file until that load completes, so it
  // stays set after a load that failed: saves into the work file are refused meanwhile, and the
  // part that was read never replaces what the file holds.
  bool WorkFileLoadIncomplete = false;

  // Handlers, bound by name by the window description.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, classlib::TCloseAction& Action);
  void BitBtn1Click(TObject* Sender);
  void BitBtn2Click(TObject* Sender);
  void BitBtn3Click(TObject* Sender);
  void BitBtn4Click(TObject* Sender);
  void BitBtn5Click(TObject* Sender);
  void BitBtn6Click(TObject* Sender);
  void BitBtn7Click(TObject* Sender);
  void BitBtn8Click(TObject* Sender);
  void Edit1KeyPress(TObject* Sender, char& Key);
  void Edit1Exit(TObject* Sender);
  void Edit2KeyPress(TObject* Sender, char& Key);
  void StringGrid1KeyPress(TObject* Sender, char& Key);
  void StringGrid1SetEditText(TObject* Sender, int ACol, int ARow, const std::string& Value);
  void Timer1Timer(TObject* Sender);
  void Timer2Timer(TObject* Sender);
  void SpeedButton1Click(TObject* Sender);
  // Decodes one block as one frame, from a zero-filled 500-byte copy local to the call.
  void Comm1ReceiveData(TObject* Sender, const void* Buffer, std::uint16_t BufferLength);
  void Comm1RequestHangup(TObject* Sender);

  // Fills the port dialog's detected-port list from the platform's serial ports and selects the
  // last entry.
  void FillPortList();
  // Reopens Comm1 on the detected-port list's selected entry while PortOpened is false; raises
  // what OpenPort raises, leaving PortOpened false.
  void EnsurePortOpen();
  // Closes Comm1 and forgets every answer owed: no answer to what went out on the closed port can
  // be told from the answers on the next one. Every close of the window's port goes through here.
  void ClosePortAndForgetAnswers();
  // Writes the phone table, the relay timeout and the flag into the data file at Path, in one
  // transaction. Returns true after a complete save; on any failure the file is left as it was
  // and the silent cancel is raised, so it never returns false. Path being the work file of a
  // load that did not complete is such a failure, raised before the file is opened.
  bool SaveDataFile(const std::string& Path);
  // Step 2 of the port search; discards every exception raised inside it.
  void TryNextPort();
  // The box "Can not open " + the detected-port list's text, caption "Message", error icon.
  void ShowPortOpenFailure();

 private:
  void RegisterHandlers();
  void WireFields();

  const TEdition& edition_;
};

// The main window, set by the program block.
extern TForm1* Form1;
// The next slot, that is grid row, that the write scan examines; 1-based.
extern std::int32_t NextSlot;
// Comm1 was opened for the detected-port list's selected entry and may be used without reopening.
extern BOOL PortOpened;

}  // namespace app

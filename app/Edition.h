// The edition a window is made for. Both programs are built from the same windows; what differs
// between them is this value, handed to each window's constructor, and the window descriptions it
// names.
#pragma once

#include <string_view>

#include "classlib/Application.h"
#include "classlib/Object.h"

namespace app {

// Which port dialog the edition has.
enum class TPortDialogKind {
  FixedList,     // editable list "COM1".."COM21" with "CONNECT", which opens the port at once
  DetectedList,  // the detected-port list with "Refresh" and "OK", which only records the choice
};

struct TEdition {
  const char* Name;         // the program's name
  int LastSlot;             // N: slot rows 1..N of the phone table
  const char* MainCaption;  // caption of the main window (the description holds it too)
  TPortDialogKind PortDialog;
  // The port search opens names longer than four characters as "//./" + name.
  bool SearchPrefixesLongNames;
  // The window descriptions of TForm1, TForm2 and TForm3.
  const std::string_view* Form1Description;
  const std::string_view* Form2Description;
  const std::string_view* Form3Description;
};

extern const TEdition Tavkel14;  // 1000 slots, "Tavkel V.1.4", fixed-list dialog
extern const TEdition Tavkel13;  // 500 slots, "Tavkel V.1.3", detected-list dialog

// A window class of edition E that the application can create from the owner alone, as its
// CreateForm requires.
template <class TWindow, const TEdition& E>
class TEditionWindow final : public TWindow {
 public:
  explicit TEditionWindow(classlib::TComponent* Owner) : TWindow(Owner, E) {}
};

// Application->CreateForm for a window of edition E: owned by the application, the first one made
// becomes the main window.
template <const TEdition& E, class TWindow>
void CreateForm(TWindow*& Reference) {
  TEditionWindow<TWindow, E>* window = nullptr;
  classlib::Application->CreateForm(window);
  Reference = window;
}

}  // namespace app

// A dialog service for tests: records every message box and file dialog and answers them from
// queues. With WhileOpen set, each box runs a nested event loop while it is "open", as a real
// modal box does, and calls WhileOpen inside it, so a test can watch timers and posted messages
// go on meanwhile.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "classlib/Dialogs.h"

namespace classlib {

class TScriptedDialogs final : public TDialogService {
 public:
  struct Box {
    TForm* Owner;
    std::string Text;
    std::string Caption;
    UINT Flags;
  };

  // Answers of the next boxes, first to last. Without one, a box answers IDOK, or IDNO when it
  // asks Yes or No.
  std::deque<int> Answers;
  // Chosen paths of the next file dialogs; nothing (or an empty queue) cancels.
  std::deque<std::optional<std::string>> FileAnswers;
  // Runs inside the nested loop of every box; the box closes when it returns.
  std::function<void(const Box&)> WhileOpen;

  std::vector<Box> Boxes;
  std::vector<TFileDialogRequest> FileRequests;

  int MessageBox(TForm* Owner, const std::string& Text, const std::string& Caption,
                 UINT Flags) override;
  std::optional<std::string> FileName(const TFileDialogRequest& Request) override;
};

}  // namespace classlib

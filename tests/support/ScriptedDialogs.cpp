#include "tests/support/ScriptedDialogs.h"

#include <QEventLoop>
#include <QTimer>

namespace classlib {

int TScriptedDialogs::MessageBox(TForm* Owner, const std::string& Text, const std::string& Caption,
                                 UINT Flags) {
  Boxes.push_back({Owner, Text, Caption, Flags});
  const Box box = Boxes.back();
  if (WhileOpen) {
    // Copied: the callback may replace WhileOpen or show another box.
    std::function<void(const Box&)> whileOpen = WhileOpen;
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
      whileOpen(box);
      loop.quit();
    });
    loop.exec();
  }
  if (!Answers.empty()) {
    const int answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  return (Flags & 0x0F) == MB_YESNO ? IDNO : IDOK;
}

std::optional<std::string> TScriptedDialogs::FileName(const TFileDialogRequest& Request) {
  FileRequests.push_back(Request);
  if (FileAnswers.empty()) {
    return std::nullopt;
  }
  std::optional<std::string> answer = FileAnswers.front();
  FileAnswers.pop_front();
  return answer;
}

}  // namespace classlib

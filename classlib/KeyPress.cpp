#include "classlib/KeyPress.h"

#include "classlib/Application.h"

namespace classlib {

namespace {

constexpr int kNone = -1;
constexpr int kUnrepresentable = -2;

int TypedCode(const QKeyEvent& event) {
  const Qt::KeyboardModifiers mods = event.modifiers();
  const int key = event.key();
  // Ctrl with Alt is AltGr on some layouts and types an ordinary character.
  if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && key >= Qt::Key_A &&
      key <= Qt::Key_Z) {
    return key - Qt::Key_A + 1;
  }
  switch (key) {
    case Qt::Key_Backspace:
      return (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) ? 127 : 8;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Delete:
      return kNone;
    default:
      break;
  }
  const QString text = event.text();
  if (text.isEmpty()) {
    return kNone;
  }
  const char16_t c = text.at(0).unicode();
  if (c > 0xFF) {
    return kUnrepresentable;
  }
  if (c < 32 || c == 127) {
    return kNone;
  }
  return c;
}

// The key press that types code.
std::unique_ptr<QKeyEvent> EventFor(unsigned char code, bool autoRepeat) {
  int key = Qt::Key_unknown;
  Qt::KeyboardModifiers mods = Qt::NoModifier;
  if (code == 8) {
    key = Qt::Key_Backspace;
  } else if (code == 127) {
    key = Qt::Key_Backspace;
    mods = Qt::ControlModifier;
  } else if (code == 9) {
    key = Qt::Key_Tab;
  } else if (code == 13) {
    key = Qt::Key_Return;
  } else if (code == 27) {
    key = Qt::Key_Escape;
  } else if (code >= 1 && code <= 26) {
    key = Qt::Key_A + code - 1;
    mods = Qt::ControlModifier;
  }
  return std::make_unique<QKeyEvent>(QEvent::KeyPress, key, mods,
                                     QString(QChar(static_cast<char16_t>(code))), autoRepeat);
}

}  // namespace

bool OfferKeyPress(const TKeyPressEvent& Handler, TObject* Sender, QKeyEvent& Event,
                   std::unique_ptr<QKeyEvent>& Replacement) {
  Replacement.reset();
  const int code = TypedCode(Event);
  if (code == kUnrepresentable) {
    return false;
  }
  if (code == kNone || !Handler) {
    return true;
  }
  char key = static_cast<char>(code);
  if (!Protect([&] { Handler(Sender, key); }) || key == 0) {
    return false;
  }
  if (static_cast<unsigned char>(key) != code) {
    Replacement = EventFor(static_cast<unsigned char>(key), Event.isAutoRepeat());
  }
  return true;
}

void RouteInputMethodEvent(const TKeyPressEvent& Handler, QInputMethodEvent& Event,
                           const std::function<void(QKeyEvent&)>& Type,
                           const std::function<void(QInputMethodEvent&)>& Pass) {
  if (!Handler) {
    Pass(Event);
    return;
  }
  Event.accept();
  for (const QChar c : Event.commitString()) {
    const char16_t code = c.unicode();
    std::unique_ptr<QKeyEvent> key =
        code <= 0xFF ? EventFor(static_cast<unsigned char>(code), false)
                     : std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_unknown,
                                                   Qt::NoModifier, QString(c));
    Type(*key);
  }
}

}  // namespace classlib

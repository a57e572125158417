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
      return 8;
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

std::unique_ptr<QKeyEvent> EventFor(unsigned char code, const QKeyEvent& original) {
  int key = Qt::Key_unknown;
  Qt::KeyboardModifiers mods = Qt::NoModifier;
  if (code == 8) {
    key = Qt::Key_Backspace;
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
                                     QString(QChar(static_cast<char16_t>(code))),
                                     original.isAutoRepeat());
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
    Replacement = EventFor(static_cast<unsigned char>(key), Event);
  }
  return true;
}

}  // namespace classlib

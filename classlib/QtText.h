// Inside the class library only: texts cross the Qt boundary as Latin-1, one byte to one
// character, so that no 8-bit text is ever altered on its way through a widget.
#pragma once

#include <QString>
#include <QValidator>
#include <string>

namespace classlib {

inline QString ToQt(const std::string& Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

inline std::string FromQt(const QString& Text) {
  return Text.toLatin1().toStdString();
}

// Refuses input (typed, pasted or dropped) holding characters beyond Latin-1, which an 8-bit text
// cannot hold.
class Latin1Validator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    for (QChar c : input) {
      if (c.unicode() > 0xFF) {
        return Invalid;
      }
    }
    return Acceptable;
  }
};

}  // namespace classlib

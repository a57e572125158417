#include "classlib/Buttons.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>

#include "classlib/Application.h"
#include "classlib/QtText.h"

namespace classlib {

namespace {

constexpr int kGlyphSize = 16;

// A desktop computer: a monitor with a screen, on a stand over a base unit.
QPixmap ComputerPicture() {
  QPixmap picture(kGlyphSize, kGlyphSize);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setPen(Qt::black);
  painter.setBrush(QColor(192, 192, 192));
  painter.drawRect(2, 1, 11, 8);  // monitor
  painter.setBrush(QColor(0, 128, 128));
  painter.drawRect(4, 3, 7, 4);              // screen
  painter.fillRect(7, 10, 2, 2, Qt::black);  // stand
  painter.setBrush(QColor(192, 192, 192));
  painter.drawRect(1, 12, 13, 3);                     // base unit
  painter.fillRect(10, 13, 2, 1, QColor(0, 160, 0));  // power light
  return picture;
}

// The disabled image: the picture in light grey tones.
QPixmap Greyed(const QPixmap& picture) {
  QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor color = image.pixelColor(x, y);
      if (color.alpha() == 0) {
        continue;
      }
      const int grey = 128 + qGray(color.rgb()) / 2;
      image.setPixelColor(x, y, QColor(grey, grey, grey, color.alpha()));
    }
  }
  return QPixmap::fromImage(image);
}

}  // namespace

TBitBtn::TBitBtn(TComponent* Owner) : TControl(Owner, new QPushButton, true) {
  auto* button = static_cast<QPushButton*>(Widget());
  button->setFocusPolicy(Qt::StrongFocus);
  button->setAutoDefault(false);
  QObject::connect(button, &QPushButton::clicked, button, [this] {
    if (OnClick) {
      Protect([this] { OnClick(this); });
    }
  });
}

std::string TBitBtn::Caption() const {
  return FromQt(static_cast<QPushButton*>(Widget())->text());
}

void TBitBtn::SetCaption(const std::string& Caption) {
  static_cast<QPushButton*>(Widget())->setText(ToQt(Caption));
}

void TBitBtn::Click() {
  static_cast<QPushButton*>(Widget())->click();
}

TSpeedButton::TSpeedButton(TComponent* Owner) : TControl(Owner, new QToolButton, false) {
  auto* button = static_cast<QToolButton*>(Widget());
  button->setFocusPolicy(Qt::NoFocus);
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setIconSize(QSize(kGlyphSize, kGlyphSize));
  QObject::connect(button, &QToolButton::clicked, button, [this] {
    if (OnClick) {
      Protect([this] { OnClick(this); });
    }
  });
}

std::string TSpeedButton::Caption() const {
  return FromQt(static_cast<QToolButton*>(Widget())->text());
}

void TSpeedButton::SetCaption(const std::string& Caption) {
  auto* button = static_cast<QToolButton*>(Widget());
  button->setText(ToQt(Caption));
  button->setToolButtonStyle(Caption.empty() ? Qt::ToolButtonIconOnly
                                             : Qt::ToolButtonTextUnderIcon);
}

void TSpeedButton::SetGlyph(const std::string& Name) {
  QIcon icon;
  if (Name == "computer") {
    const QPixmap picture = ComputerPicture();
    icon.addPixmap(picture, QIcon::Normal);
    icon.addPixmap(Greyed(picture), QIcon::Disabled);
  } else if (!Name.empty()) {
    throw Exception("No picture named '" + Name + "'");
  }
  glyph_ = Name;
  static_cast<QToolButton*>(Widget())->setIcon(icon);
}

void TSpeedButton::Click() {
  static_cast<QToolButton*>(Widget())->click();
}

}  // namespace classlib

#include "classlib/ComCtrls.h"

#include <QLabel>
#include <QStatusBar>

#include "classlib/Exception.h"
#include "classlib/QtText.h"

namespace classlib {

namespace {
constexpr int kStatusBarHeight = 19;
}

void TStatusPanel::SetText(const std::string& Text) {
  text_ = Text;
  bar_->Refresh();
}

TStatusBar::TStatusBar(TComponent* Owner) : TControl(Owner, new QStatusBar, false) {
  auto* bar = static_cast<QStatusBar*>(Widget());
  bar->setSizeGripEnabled(true);
  label_ = new QLabel;
  label_->setTextFormat(Qt::PlainText);
  bar->addWidget(label_, 1);
  SetHeight(kStatusBarHeight);
  SetAlign(alBottom);
}

void TStatusBar::SetSimplePanel(bool Simple) {
  simplePanel_ = Simple;
  Refresh();
}

void TStatusBar::SetSimpleText(const std::string& Text) {
  simpleText_ = Text;
  Refresh();
}

TStatusPanel& TStatusBar::Panel(int Index) {
  if (Index < 0 || Index >= PanelCount()) {
    throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
  }
  return panels_[Index];
}

void TStatusBar::SetPanels(const std::vector<std::string>& Texts) {
  panels_.clear();
  for (const std::string& text : Texts) {
    panels_.push_back(TStatusPanel(this, text));
  }
  Refresh();
}

std::string TStatusBar::Shown() const {
  return FromQt(label_->text());
}

void TStatusBar::Refresh() {
  if (simplePanel_) {
    label_->setText(ToQt(simpleText_));
  } else {
    label_->setText(panels_.empty() ? QString() : ToQt(panels_.front().text_));
  }
}

}  // namespace classlib

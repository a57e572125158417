// The status bar: along the bottom edge of its form, with a size grip, one panel across it.
#pragma once

#include <string>
#include <vector>

#include "classlib/Controls.h"

class QLabel;

namespace classlib {

class TStatusBar;

class TStatusPanel {
 public:
  const std::string& Text() const { return text_; }
  void SetText(const std::string& Text);

 private:
  TStatusPanel(TStatusBar* Bar, std::string Text) : bar_(Bar), text_(std::move(Text)) {}
  TStatusBar* bar_;
  std::string text_;
  friend class TStatusBar;
};

class TStatusBar : public TControl {
 public:
  explicit TStatusBar(TComponent* Owner);

  // While SimplePanel is set the bar shows SimpleText, else its first panel.
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool Simple);
  const std::string& SimpleText() const { return simpleText_; }
  void SetSimpleText(const std::string& Text);

  int PanelCount() const { return static_cast<int>(panels_.size()); }
  TStatusPanel& Panel(int Index);
  // Replaces the panels by one per text.
  void SetPanels(const std::vector<std::string>& Texts);

  // The text the bar shows now.
  std::string Shown() const;

 private:
  void Refresh();
  bool simplePanel_ = false;
  std::string simpleText_;
  std::vector<TStatusPanel> panels_;
  QLabel* label_;
  friend class TStatusPanel;
};

}  // namespace classlib

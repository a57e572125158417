#include "classlib/Forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFont>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

#include "classlib/Application.h"
#include "classlib/ClassRegistry.h"
#include "classlib/FormReader.h"
#include "classlib/QtText.h"

namespace classlib {

namespace {

// The outer size of a form includes a standard sizeable frame: 4-pixel borders and a 19-pixel
// caption. Qt sizes the client area, so the frame is taken off.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 27;

void CollectTabChain(const TControl* parent, std::vector<TControl*>& chain) {
  std::vector<TControl*> children;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    children.push_back(parent->Control(i));
  }
  std::stable_sort(children.begin(), children.end(),
                   [](TControl* a, TControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (TControl* child : children) {
    if (child->TabStop()) {
      chain.push_back(child);
    }
    CollectTabChain(child, chain);
  }
}

}  // namespace

class FormWidget : public QWidget {
 public:
  explicit FormWidget(TForm* form) : QWidget(nullptr, Qt::Window), form_(form) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    // The form decides, and hides itself when it agrees.
    event->ignore();
    form_->Close();
  }
  void showEvent(QShowEvent* event) override {
    QWidget::showEvent(event);
    if (!event->spontaneous() && form_->OnShow) {
      Protect([this] { form_->OnShow(form_); });
    }
  }
  bool focusNextPrevChild(bool next) override {
    form_->SelectNext(next);
    return true;
  }

 private:
  TForm* form_;
};

QWidget* TForm::NewWidget(TForm* Form) {
  return new FormWidget(Form);
}

TForm::TForm(TComponent* Owner) : TControl(Owner, NewWidget(this), false) {
  visible_ = false;
  ApplyWindowFlags();
}

TForm::~TForm() {
  Application->FormDestroyed(this);
  while (ComponentCount() > 0) {
    delete Component(ComponentCount() - 1);
  }
}

std::string TForm::Caption() const {
  return FromQt(Widget()->windowTitle());
}

void TForm::SetCaption(const std::string& Caption) {
  Widget()->setWindowTitle(ToQt(Caption));
}

void TForm::SetBorderIcons(int Icons) {
  borderIcons_ = Icons;
  ApplyWindowFlags();
}

void TForm::SetBorderStyle(TBorderStyle Style) {
  borderStyle_ = Style;
  ApplyWindowFlags();
}

void TForm::ApplyWindowFlags() {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if ((borderIcons_ & biSystemMenu) != 0) {
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    // A dialog frame has no minimise or maximise box.
    if (borderStyle_ != bsDialog) {
      if ((borderIcons_ & biMinimize) != 0) {
        flags |= Qt::WindowMinimizeButtonHint;
      }
      if ((borderIcons_ & biMaximize) != 0) {
        flags |= Qt::WindowMaximizeButtonHint;
      }
    }
  }
  const bool wasVisible = Widget()->isVisible();
  Widget()->setWindowFlags(flags);
  if (wasVisible) {
    Widget()->show();
  }
}

void TForm::SetFontName(const std::string& Name) {
  // The stored windows name the classic small sans-serif face; stand in metric-alike faces, or the
  // wide default face makes captions run into their neighbours.
  static const bool substituted = [] {
    QFont::insertSubstitutions("MS Sans Serif",
                               {"Liberation Sans", "Arimo", "Nimbus Sans", "DejaVu Sans Condensed"});
    return true;
  }();
  (void)substituted;
  QFont font = Widget()->font();
  font.setFamily(ToQt(Name));
  Widget()->setFont(font);
}

void TForm::SetFontHeight(int Height) {
  QFont font = Widget()->font();
  font.setPixelSize(std::max(1, std::abs(Height)));
  Widget()->setFont(font);
}

void TForm::SetBounds(int Left, int Top, int Width, int Height) {
  left_ = Left;
  top_ = Top;
  width_ = Width;
  height_ = Height;
  Widget()->move(Left, Top);
  Widget()->resize(std::max(Width - kFrameWidth, 0), std::max(Height - kFrameHeight, 0));
}

int TForm::ClientWidth() const {
  return Widget()->width();
}
int TForm::ClientHeight() const {
  return Widget()->height();
}
void TForm::SetClientWidth(int Width) {
  SetWidth(Width + kFrameWidth);
}
void TForm::SetClientHeight(int Height) {
  SetHeight(Height + kFrameHeight);
}

void TForm::Show() {
  QWidget* widget = Widget();
  if (position_ == poScreenCenter || position_ == poDesktopCenter ||
      (position_ == poMainFormCenter && Application->MainForm() == nullptr)) {
    QScreen* screen =
        widget->screen() != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
      const QRect area = screen->availableGeometry();
      widget->move(area.x() + (area.width() - width_) / 2,
                   area.y() + (area.height() - height_) / 2);
    }
  }
  if (borderStyle_ == bsDialog || borderStyle_ == bsSingle) {
    widget->setFixedSize(widget->size());
  }
  visible_ = true;
  widget->show();
  widget->raise();
  widget->activateWindow();
}

void TForm::Hide() {
  visible_ = false;
  Widget()->hide();
  if (modalLoop_ != nullptr) {
    if (modalResult_ == mrNone) {
      modalResult_ = mrCancel;
    }
    modalLoop_->quit();
  }
}

void TForm::SetVisible(bool Visible) {
  if (Visible) {
    Show();
  } else {
    Hide();
  }
}

void TForm::Close() {
  if (modalLoop_ != nullptr) {
    SetModalResult(mrCancel);
    return;
  }
  TCloseAction action = caHide;
  if (OnClose && !Protect([&] { OnClose(this, action); })) {
    action = caNone;
  }
  if (action == caNone) {
    return;
  }
  if (Application->MainForm() == this) {
    Hide();
    Application->Terminate();
    return;
  }
  switch (action) {
    case caMinimize:
      Widget()->showMinimized();
      break;
    case caFree: {
      Hide();
      // Freed once the handler that closed it has returned.
      QPointer<QWidget> alive = Widget();
      QTimer::singleShot(0, [this, alive] {
        if (alive) {
          delete this;
        }
      });
      break;
    }
    default:
      Hide();
      break;
  }
}

void TForm::SetModalResult(int Result) {
  modalResult_ = Result;
  if (modalLoop_ != nullptr && Result != mrNone) {
    CloseModal();
  }
}

void TForm::CloseModal() {
  TCloseAction action = caHide;
  if (OnClose && !Protect([&] { OnClose(this, action); })) {
    action = caNone;
  }
  if (action == caNone) {
    modalResult_ = mrNone;
    return;
  }
  modalLoop_->quit();
}

int TForm::ShowModal() {
  QWidget* widget = Widget();
  if (modalLoop_ != nullptr || widget->isVisible()) {
    throw Exception("Cannot make a visible window modal");
  }
  modalResult_ = mrNone;
  widget->setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  modalLoop_ = &loop;
  Show();
  if (modalResult_ == mrNone && widget->isVisible()) {
    loop.exec();
  }
  modalLoop_ = nullptr;
  visible_ = false;
  widget->hide();
  widget->setWindowModality(Qt::NonModal);
  return modalResult_;
}

const std::any* TForm::FindHandler(const std::string& Name) const {
  auto found = handlers_.find(Name);
  return found != handlers_.end() ? &found->second : nullptr;
}

void TForm::Load(std::string_view Description, const std::function<void()>& Wire) {
  Load(Description, Application->Classes(), Wire);
}

void TForm::Load(std::string_view Description, const TClassRegistry& Classes,
                 const std::function<void()>& Wire) {
  ReadComponents(*this, Description, Classes);
  Realign();
  if (Wire) {
    Wire();
  }
  if (OnCreate) {
    Protect([this] { OnCreate(this); });
  }
}

void TForm::SelectNext(bool Forward) {
  std::vector<TControl*> chain;
  CollectTabChain(this, chain);
  if (chain.empty()) {
    return;
  }
  const int count = static_cast<int>(chain.size());
  int current = -1;
  for (int i = 0; i < count; ++i) {
    if (chain[i]->Focused()) {
      current = i;  // the innermost control holding the focus comes last
    }
  }
  for (int step = 1; step <= count; ++step) {
    int index = current < 0 ? (Forward ? step - 1 : count - step)
                            : (current + (Forward ? step : count - step)) % count;
    TControl* candidate = chain[index];
    if (candidate->CanFocus()) {
      candidate->Widget()->setFocus(Forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return;
    }
  }
}

}  // namespace classlib

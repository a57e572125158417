#include "classlib/Grids.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableView>

#include "classlib/Application.h"
#include "classlib/Forms.h"
#include "classlib/KeyPress.h"
#include "classlib/QtText.h"

namespace classlib {

// Presents the grid's cells to the view, the fixed row and column as the view's headers (so they
// stay in place while the rest scrolls) and the corner cell in a label over the corner. Model
// indices are grid cells less the fixed ones; the grid owns the texts.
class GridModel : public QAbstractTableModel {
 public:
  explicit GridModel(TStringGrid* grid, QObject* parent)
      : QAbstractTableModel(parent), grid_(grid) {}
  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : grid_->RowCount() - grid_->fixedRows_;
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : grid_->ColCount() - grid_->fixedCols_;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || role != Qt::DisplayRole) {
      return {};
    }
    return ToQt(grid_->cells_[index.row() + grid_->fixedRows_][index.column() + grid_->fixedCols_]);
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role == Qt::TextAlignmentRole) {
      return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    }
    if (role != Qt::DisplayRole) {
      return {};
    }
    if (orientation == Qt::Horizontal) {
      return grid_->fixedRows_ > 0 ? ToQt(grid_->cells_[0][section + grid_->fixedCols_])
                                   : QVariant();
    }
    return grid_->fixedCols_ > 0 ? ToQt(grid_->cells_[section + grid_->fixedRows_][0]) : QVariant();
  }
  Qt::ItemFlags flags(const QModelIndex&) const override { return Qt::ItemIsEnabled; }
  void Reset() {
    beginResetModel();
    endResetModel();
  }
  void Changed(int row, int col) {
    const int fixedRows = grid_->fixedRows_;
    const int fixedCols = grid_->fixedCols_;
    if (row < fixedRows && col < fixedCols) {
      return;  // the corner label
    }
    if (row < fixedRows) {
      emit headerDataChanged(Qt::Horizontal, col - fixedCols, col - fixedCols);
    } else if (col < fixedCols) {
      emit headerDataChanged(Qt::Vertical, row - fixedRows, row - fixedRows);
    } else {
      const QModelIndex cell = index(row - fixedRows, col - fixedCols);
      emit dataChanged(cell, cell);
    }
  }
  // The model index of an editable cell.
  QModelIndex Cell(int col, int row) const {
    return index(row - grid_->fixedRows_, col - grid_->fixedCols_);
  }

 private:
  TStringGrid* grid_;
};

// The cell editor. Keys go to the grid's OnKeyPress first; Tab and the row keys move the cell.
class GridEditor : public QLineEdit {
 public:
  GridEditor(TStringGrid* grid, QWidget* parent) : QLineEdit(parent), grid_(grid) {
    setFrame(false);
    setValidator(new Latin1Validator(this));
    hide();
  }

 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
        grid_->TabMove(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
        return true;
      }
    }
    return QLineEdit::event(event);
  }
  void keyPressEvent(QKeyEvent* event) override {
    int rowStep = 0;
    switch (event->key()) {
      case Qt::Key_Up:
        rowStep = -1;
        break;
      case Qt::Key_Down:
        rowStep = 1;
        break;
      case Qt::Key_PageUp:
        rowStep = -VisibleRows();
        break;
      case Qt::Key_PageDown:
        rowStep = VisibleRows();
        break;
      default:
        break;
    }
    if (rowStep != 0) {
      const int row = std::clamp(grid_->row_ + rowStep, grid_->fixedRows_, grid_->RowCount() - 1);
      grid_->MoveTo(grid_->col_, row);
      return;
    }
    std::unique_ptr<QKeyEvent> replacement;
    if (!OfferKeyPress(grid_->OnKeyPress, grid_, *event, replacement)) {
      event->accept();
      return;
    }
    QKeyEvent* act = replacement ? replacement.get() : event;
    // Enter and Escape have done their part in the handler.
    if (act->key() == Qt::Key_Return || act->key() == Qt::Key_Enter ||
        act->key() == Qt::Key_Escape) {
      return;
    }
    QLineEdit::keyPressEvent(act);
  }
  void inputMethodEvent(QInputMethodEvent* event) override {
    RouteInputMethodEvent(
        grid_->OnKeyPress, *event, [this](QKeyEvent& key) { keyPressEvent(&key); },
        [this](QInputMethodEvent& whole) { QLineEdit::inputMethodEvent(&whole); });
  }
  void focusOutEvent(QFocusEvent* event) override {
    QLineEdit::focusOutEvent(event);
    QWidget* focus = QApplication::focusWidget();
    const bool left = event->reason() != Qt::ActiveWindowFocusReason &&
                      event->reason() != Qt::PopupFocusReason &&
                      (focus == nullptr || !grid_->Widget()->isAncestorOf(focus));
    if (left) {
      grid_->HideEditor();
    }
  }

 private:
  int VisibleRows() const {
    return std::max(1, grid_->Widget()->height() / std::max(1, grid_->rowHeight_) - 1);
  }
  TStringGrid* grid_;
};

class GridView : public QTableView {
 public:
  explicit GridView(TStringGrid* grid) : grid_(grid) {
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
      header->setMinimumSectionSize(1);
      header->setSectionResizeMode(QHeaderView::Fixed);
      header->setSectionsClickable(false);
      header->setHighlightSections(false);
    }
    corner_ = new QLabel(this);
    corner_->setObjectName("corner");
    corner_->setTextFormat(Qt::PlainText);
    corner_->setIndent(2);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this] { grid_->PlaceEditor(); });
  }

 protected:
  void focusInEvent(QFocusEvent* event) override {
    QTableView::focusInEvent(event);
    grid_->ShowEditor(true);
  }
  void mousePressEvent(QMouseEvent* event) override {
    const QModelIndex cell = indexAt(event->position().toPoint());
    if (cell.isValid()) {
      grid_->MoveTo(cell.column() + grid_->fixedCols_, cell.row() + grid_->fixedRows_);
    }
    grid_->ShowEditor(true);
    event->accept();
  }
  void scrollContentsBy(int dx, int dy) override {
    QTableView::scrollContentsBy(dx, dy);
    if (ready) {
      grid_->PlaceEditor();
    }
  }
  void updateGeometries() override {
    QTableView::updateGeometries();
    PlaceCorner();
    if (ready) {
      grid_->PlaceEditor();
    }
  }

 public:
  // Set once the grid is made: until then the view's own layout must not reach into it.
  bool ready = false;

  // Shows the fixed row and column (at most one each) as headers, the corner cell over them.
  void ApplyFixed() {
    const bool fixedRow = grid_->fixedRows_ > 0;
    const bool fixedCol = grid_->fixedCols_ > 0;
    horizontalHeader()->setVisible(fixedRow);
    verticalHeader()->setVisible(fixedCol);
    horizontalHeader()->setFixedHeight(grid_->rowHeight_);
    verticalHeader()->setFixedWidth(grid_->colWidths_.empty() ? 0 : grid_->colWidths_[0]);
    corner_->setVisible(fixedRow && fixedCol);
    corner_->setText(fixedRow && fixedCol ? ToQt(grid_->cells_[0][0]) : QString());
    PlaceCorner();
  }

 private:
  void PlaceCorner() {
    if (corner_ == nullptr) {
      return;  // still being made
    }
    corner_->setGeometry(frameWidth(), frameWidth(), verticalHeader()->width(),
                         horizontalHeader()->height());
    corner_->raise();
  }
  TStringGrid* grid_;
  QLabel* corner_ = nullptr;
};

QWidget* TStringGrid::NewWidget(TStringGrid* Grid) {
  return new GridView(Grid);
}

TStringGrid::TStringGrid(TComponent* Owner) : TControl(Owner, NewWidget(this), true) {
  auto* view = static_cast<GridView*>(Widget());
  cells_.assign(5, std::vector<std::string>(colCount_));
  colWidths_.assign(colCount_, defaultColWidth_);
  model_ = new GridModel(this, view);
  view->setModel(model_);
  editor_ = new GridEditor(this, view->viewport());
  QObject::connect(editor_, &QLineEdit::textEdited, editor_, [this] { StoreEditor(); });
  view->verticalHeader()->setDefaultSectionSize(rowHeight_);
  static_cast<GridView*>(view)->ready = true;
  CellsReshaped();
}

void TStringGrid::CheckCell(int ACol, int ARow) const {
  if (ACol < 0 || ACol >= colCount_ || ARow < 0 || ARow >= RowCount()) {
    throw Exception("Grid index out of range");
  }
}

void TStringGrid::SetRowCount(int Count) {
  if (Count < 1) {
    throw Exception("Grid index out of range");
  }
  if (Count <= fixedRows_) {
    fixedRows_ = Count - 1;
  }
  cells_.resize(Count, std::vector<std::string>(colCount_));
  CellsReshaped();
}

void TStringGrid::SetColCount(int Count) {
  if (Count < 1) {
    throw Exception("Grid index out of range");
  }
  if (Count <= fixedCols_) {
    fixedCols_ = Count - 1;
  }
  colCount_ = Count;
  for (auto& row : cells_) {
    row.resize(Count);
  }
  colWidths_.resize(Count, defaultColWidth_);
  CellsReshaped();
}

void TStringGrid::SetFixedRows(int Count) {
  if (Count < 0 || Count >= RowCount()) {
    throw Exception("Fixed row count must be less than row count");
  }
  if (Count > 1) {
    throw Exception("At most one fixed row");
  }
  fixedRows_ = Count;
  CellsReshaped();
}

void TStringGrid::SetFixedCols(int Count) {
  if (Count < 0 || Count >= colCount_) {
    throw Exception("Fixed column count must be less than column count");
  }
  if (Count > 1) {
    throw Exception("At most one fixed column");
  }
  fixedCols_ = Count;
  CellsReshaped();
}

void TStringGrid::CellsReshaped() {
  row_ = std::clamp(row_, fixedRows_, RowCount() - 1);
  col_ = std::clamp(col_, fixedCols_, colCount_ - 1);
  model_->Reset();
  ApplyColWidths();
  static_cast<GridView*>(Widget())->ApplyFixed();
  editor_->setText(ToQt(cells_[row_][col_]));
  PlaceEditor();
}

void TStringGrid::SetDefaultRowHeight(int Height) {
  rowHeight_ = Height;
  static_cast<QTableView*>(Widget())->verticalHeader()->setDefaultSectionSize(Height);
  static_cast<GridView*>(Widget())->ApplyFixed();
  PlaceEditor();
}

void TStringGrid::SetDefaultColWidth(int Width) {
  defaultColWidth_ = Width;
  colWidths_.assign(colCount_, Width);
  ApplyColWidths();
}

int TStringGrid::ColWidth(int ACol) const {
  CheckCell(ACol, 0);
  return colWidths_[ACol];
}

void TStringGrid::SetColWidth(int ACol, int Width) {
  CheckCell(ACol, 0);
  colWidths_[ACol] = Width;
  ApplyColWidths();
}

void TStringGrid::ApplyColWidths() {
  auto* view = static_cast<GridView*>(Widget());
  for (int col = fixedCols_; col < colCount_; ++col) {
    view->setColumnWidth(col - fixedCols_, colWidths_[col]);
  }
  view->ApplyFixed();
}

std::string TStringGrid::Cells(int ACol, int ARow) const {
  CheckCell(ACol, ARow);
  return cells_[ARow][ACol];
}

void TStringGrid::SetCells(int ACol, int ARow, const std::string& Value) {
  CheckCell(ACol, ARow);
  cells_[ARow][ACol] = Value;
  CellChanged(ACol, ARow);
  if (ACol == col_ && ARow == row_) {
    editor_->setText(ToQt(Value));
  }
}

void TStringGrid::CellChanged(int ACol, int ARow) {
  model_->Changed(ARow, ACol);
  if (ARow < fixedRows_ && ACol < fixedCols_) {
    static_cast<GridView*>(Widget())->ApplyFixed();
  }
}

std::string TStringGrid::EditorText() const {
  return FromQt(editor_->text());
}

bool TStringGrid::EditorShown() const {
  return editor_->isVisibleTo(Widget());
}

void TStringGrid::MoveTo(int ACol, int ARow) {
  if (ACol < fixedCols_ || ACol >= colCount_ || ARow < fixedRows_ || ARow >= RowCount()) {
    throw Exception("Grid index out of range");
  }
  if (ACol == col_ && ARow == row_) {
    return;
  }
  if (!firing_ && EditorShown()) {
    const unsigned before = moves_;
    StoreEditor();
    if (moves_ != before) {
      return;  // the handler chose the current cell itself
    }
  }
  ++moves_;
  col_ = ACol;
  row_ = ARow;
  editor_->setText(ToQt(cells_[row_][col_]));
  static_cast<QTableView*>(Widget())->scrollTo(model_->Cell(col_, row_));
  PlaceEditor();
}

void TStringGrid::StoreEditor() {
  const int col = col_;
  const int row = row_;
  const std::string text = FromQt(editor_->text());
  cells_[row][col] = text;
  CellChanged(col, row);
  if (OnSetEditText && !firing_) {
    firing_ = true;
    Protect([&] { OnSetEditText(this, col, row, text); });
    firing_ = false;
  }
}

void TStringGrid::ShowEditor(bool Focus) {
  PlaceEditor();
  editor_->show();
  if (Focus && !editor_->hasFocus()) {
    editor_->setFocus(Qt::OtherFocusReason);
  }
}

void TStringGrid::HideEditor() {
  editor_->hide();
}

void TStringGrid::PlaceEditor() {
  auto* view = static_cast<QTableView*>(Widget());
  const QRect cell = view->visualRect(model_->Cell(col_, row_));
  editor_->setGeometry(cell.adjusted(0, 0, -1, -1));
}

void TStringGrid::TabMove(bool Forward) {
  int col = col_ + (Forward ? 1 : -1);
  int row = row_;
  if (col >= colCount_) {
    col = fixedCols_;
    ++row;
  } else if (col < fixedCols_) {
    col = colCount_ - 1;
    --row;
  }
  if (row < fixedRows_ || row >= RowCount()) {
    // Past the last (or first) cell the focus leaves the grid.
    if (TForm* form = ParentForm()) {
      form->SelectNext(Forward);
    }
    return;
  }
  MoveTo(col, row);
}

}  // namespace classlib

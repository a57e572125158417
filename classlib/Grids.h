// The string grid: a table of text cells with fixed (shaded, read-only) leading rows and columns
// and an editor that is always shown on the current cell while the grid has the focus.
#pragma once

#include <string>
#include <vector>

#include "classlib/Controls.h"
#include "classlib/Events.h"

namespace classlib {

class TStringGrid : public TControl {
 public:
  explicit TStringGrid(TComponent* Owner);

  int RowCount() const { return static_cast<int>(cells_.size()); }
  // Below 1 raises "Grid index out of range"; fixed rows give way so that one row stays editable,
  // and the current row stays inside. SetColCount likewise for columns.
  void SetRowCount(int Count);
  int ColCount() const { return colCount_; }
  void SetColCount(int Count);
  // Fixed rows and columns stay in place while the grid scrolls; there is at most one of each.
  int FixedRows() const { return fixedRows_; }
  // At least one row stays editable: raises when Count is not below RowCount, or above 1.
  void SetFixedRows(int Count);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int Count);

  int DefaultRowHeight() const { return rowHeight_; }
  void SetDefaultRowHeight(int Height);
  int DefaultColWidth() const { return defaultColWidth_; }
  // Sets every column's width.
  void SetDefaultColWidth(int Width);
  int ColWidth(int ACol) const;
  void SetColWidth(int ACol, int Width);

  // Cells[ACol][ARow]; out of range raises "Grid index out of range". Writing fires nothing; the
  // current cell's editor shows what is written.
  std::string Cells(int ACol, int ARow) const;
  void SetCells(int ACol, int ARow, const std::string& Value);

  // The current cell, always an editable (not fixed) one.
  int Row() const { return row_; }
  int Col() const { return col_; }
  // Moves the current cell and its editor to ARow in the same column and scrolls it into view;
  // nothing happens for the current row, and a fixed or missing row raises. A shown editor
  // leaving its cell stores its text there once more (and fires OnSetEditText) unless that
  // handler is running already; when that handler moves the current cell, its move stands.
  void SetRow(int ARow) { MoveTo(col_, ARow); }
  void SetCol(int ACol) { MoveTo(ACol, row_); }

  // The editor's text and whether it shows, for tests.
  std::string EditorText() const;
  bool EditorShown() const;

  // Keys typed into the editor, Enter (13) included, and each character an input method commits
  // to it; a refused key does nothing.
  TKeyPressEvent OnKeyPress;
  // After every store of the editor into a cell: each change the user makes, and once more when
  // the shown editor leaves the cell. The text is in the cell before the handler runs and stays
  // there whatever it raises.
  TSetEditEvent OnSetEditText;

 private:
  static QWidget* NewWidget(TStringGrid* Grid);
  void MoveTo(int ACol, int ARow);
  // Stores the editor's text into the current cell and fires OnSetEditText.
  void StoreEditor();
  void ShowEditor(bool Focus);
  void HideEditor();
  void PlaceEditor();
  void TabMove(bool Forward);
  void CheckCell(int ACol, int ARow) const;
  void CellsReshaped();
  void CellChanged(int ACol, int ARow);
  void ApplyColWidths();
  friend class GridView;
  friend class GridModel;
  friend class GridEditor;

  std::vector<std::vector<std::string>> cells_;  // [row][col]
  int colCount_ = 5;
  int fixedRows_ = 1;
  int fixedCols_ = 1;
  int rowHeight_ = 24;
  int defaultColWidth_ = 64;
  std::vector<int> colWidths_;
  int row_ = 1;
  int col_ = 1;
  bool firing_ = false;  // OnSetEditText is running
  unsigned moves_ = 0;   // counts moves of the current cell
  class GridModel* model_;
  class GridEditor* editor_;
};

}  // namespace classlib

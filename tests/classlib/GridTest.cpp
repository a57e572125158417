#include <gtest/gtest.h>

#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "WindowTestSupport.h"
#include "classlib/Grids.h"
#include "classlib/StdCtrls.h"

namespace {

using namespace classlib;
using classlib_test::PumpUntil;
using classlib_test::WindowTest;

struct Store {
  int col;
  int row;
  std::string value;
  std::string cellAtCall;  // what the cell held when the handler ran
  bool operator==(const Store&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Store& s) {
  return out << "(" << s.col << "," << s.row << ",'" << s.value << "','" << s.cellAtCall << "')";
}

// A phone-table-like grid (header row, number column) with the focus in its editor.
class Grid : public WindowTest {
 protected:
  static constexpr int kLastRow = 100;

  void SetUp() override {
    WindowTest::SetUp();
    form_.SetBounds(0, 0, 400, 300);
    other_ = new TEdit(&form_);
    other_->SetParent(&form_);
    other_->SetBounds(330, 8, 50, 21);
    grid_ = new TStringGrid(&form_);
    grid_->SetParent(&form_);
    grid_->SetBounds(8, 8, 313, 200);
    grid_->SetColCount(2);
    grid_->SetRowCount(kLastRow + 1);
    grid_->SetColWidth(0, 40);
    grid_->SetColWidth(1, 235);
    grid_->SetDefaultRowHeight(20);
    grid_->OnSetEditText = [this](TObject*, int col, int row, const std::string& value) {
      stores_.push_back({col, row, value, grid_->Cells(col, row)});
      onStore_(col, row, value);
    };
    grid_->OnKeyPress = [this](TObject*, char& key) {
      keys_ += key;
      onKey_(key);
    };
    ShowActive(form_);
    grid_->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return grid_->Focused() && grid_->EditorShown(); }))
        << "the editor did not show with the focus";
  }
  QTableView* View() const { return static_cast<QTableView*>(grid_->Widget()); }
  // Where an editable cell shows (the fixed row and column are the view's headers).
  QRect CellRect(int col, int row) const {
    return View()->visualRect(View()->model()->index(row - 1, col - 1));
  }
  QWidget* Editor() const { return QApplication::focusWidget(); }
  void Type(const char* text) { QTest::keyClicks(Editor(), text); }
  void Key(Qt::Key key) { QTest::keyClick(Editor(), key); }

  TForm form_{nullptr};
  TStringGrid* grid_ = nullptr;
  TEdit* other_ = nullptr;
  std::vector<Store> stores_;
  std::string keys_;
  std::function<void(int, int, const std::string&)> onStore_ = [](int, int, const std::string&) {};
  std::function<void(char&)> onKey_ = [](char&) {};
};

TEST_F(Grid, EveryEditIsStoredBeforeOnSetEditTextAndOnceMoreWhenTheEditorLeaves) {
  EXPECT_EQ(grid_->Row(), 1);
  EXPECT_EQ(grid_->Col(), 1);
  Type("12");
  Key(Qt::Key_Backspace);
  EXPECT_EQ(grid_->Cells(1, 1), "1");
  Key(Qt::Key_Down);
  EXPECT_EQ(grid_->Row(), 2);
  EXPECT_EQ(stores_,
            (std::vector<Store>{
                {1, 1, "1", "1"}, {1, 1, "12", "12"}, {1, 1, "1", "1"}, {1, 1, "1", "1"}}));
  EXPECT_EQ(keys_, "12\b");
}

TEST_F(Grid, TextsTheProgramWritesFireNothingAndShowInTheEditor) {
  grid_->SetCells(1, 1, "555");
  grid_->SetCells(1, 7, "777");
  grid_->SetCells(0, 3, "3");
  EXPECT_TRUE(stores_.empty());
  EXPECT_EQ(grid_->EditorText(), "555");
  Type("6");
  EXPECT_EQ(grid_->Cells(1, 1), "5556");
  EXPECT_EQ(grid_->Cells(1, 7), "777");
}

TEST_F(Grid, ASilentCancelFromTheHandlerDoesNotUndoTheStore) {
  onStore_ = [](int, int, const std::string&) { Abort(); };
  Type("+49");
  EXPECT_EQ(grid_->Cells(1, 1), "+49");
  EXPECT_EQ(stores_.size(), 3u);
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

TEST_F(Grid, EnterReachesOnKeyPressAndARefusedKeyChangesNothing) {
  onKey_ = [this](char& key) {
    if (key == 13 && grid_->Row() < kLastRow) {
      grid_->SetRow(grid_->Row() + 1);
    }
    if (key != 8 && key != '+' && (key < '0' || key > '9')) {
      Abort();
    }
  };
  Type("1a*");
  Key(Qt::Key_Return);
  EXPECT_EQ(keys_, "1a*\r");
  EXPECT_EQ(grid_->Cells(1, 1), "1");
  EXPECT_EQ(grid_->Row(), 2);
  EXPECT_EQ(grid_->EditorText(), "");
}

// Committed input-method text and Ctrl+Backspace reach OnKeyPress like typed keys; each
// character taken is stored like a typed one.
TEST_F(Grid, CommittedTextAndCtrlBackspaceReachOnKeyPress) {
  onKey_ = [](char& key) {
    if (key != 8 && (key < '0' || key > '9')) {
      Abort();
    }
  };
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("4\u00e99\u0436"));
  QCoreApplication::sendEvent(Editor(), &commit);
  QTest::keyClick(Editor(), Qt::Key_Backspace, Qt::ControlModifier);
  EXPECT_EQ(keys_,
            "4\xe9"
            "9\x7f");
  EXPECT_EQ(grid_->Cells(1, 1), "49");
  EXPECT_EQ(stores_, (std::vector<Store>{{1, 1, "4", "4"}, {1, 1, "49", "49"}}));
}

TEST_F(Grid, SettingTheRowMovesTheEditorAndScrollsItIntoView) {
  grid_->SetRow(90);
  EXPECT_EQ(grid_->Row(), 90);
  EXPECT_EQ(grid_->Col(), 1);
  EXPECT_GT(View()->verticalScrollBar()->value(), 0);
  const QRect cell = CellRect(1, 90);
  EXPECT_TRUE(View()->viewport()->rect().contains(cell)) << "row 90 is not in view";
  EXPECT_TRUE(cell.contains(Editor()->geometry().center())) << "the editor did not follow";
  Type("9");
  EXPECT_EQ(grid_->Cells(1, 90), "9");
  const std::size_t stores = stores_.size();
  grid_->SetRow(90);
  EXPECT_EQ(stores_.size(), stores) << "setting the current row again must do nothing";
  EXPECT_THROW(grid_->SetRow(0), Exception);  // fixed rows never become current
  EXPECT_THROW(grid_->SetRow(kLastRow + 1), Exception);
}

// The rule of a handler that moves the current row down for long texts and then cancels.
TEST_F(Grid, AHandlerThatMovesTheRowWinsOverTheMoveInProgress) {
  onStore_ = [this](int, int row, const std::string& value) {
    if (value.size() > 3) {
      if (row < kLastRow) {
        grid_->SetRow(row + 1);
      }
      Abort();
    }
  };
  Type("1234");
  EXPECT_EQ(grid_->Cells(1, 1), "1234");
  EXPECT_EQ(grid_->Row(), 2);
  EXPECT_EQ(grid_->EditorText(), "");

  grid_->SetCells(1, 10, "123456789012345");  // as a file load would
  grid_->SetRow(10);
  stores_.clear();
  Key(Qt::Key_Up);  // leaving upwards still lands below
  EXPECT_EQ(grid_->Row(), 11);
  EXPECT_EQ(stores_.size(), 1u);

  grid_->SetRow(kLastRow);
  Type("1234");
  Key(Qt::Key_Up);  // on the last row the handler moves nothing; the user's move goes on
  EXPECT_EQ(grid_->Cells(1, kLastRow), "1234");
  EXPECT_EQ(grid_->Row(), kLastRow - 1);
}

TEST_F(Grid, TabMovesFromCellToCellAndLeavesAfterTheLast) {
  grid_->SetColCount(3);
  Key(Qt::Key_Tab);
  EXPECT_EQ(grid_->Col(), 2);
  Key(Qt::Key_Tab);
  EXPECT_EQ(grid_->Col(), 1);
  EXPECT_EQ(grid_->Row(), 2);
  Key(Qt::Key_Backtab);
  EXPECT_EQ(grid_->Col(), 2);
  EXPECT_EQ(grid_->Row(), 1);
  grid_->SetCol(2);
  grid_->SetRow(kLastRow);
  Key(Qt::Key_Tab);
  EXPECT_TRUE(other_->Focused());
  EXPECT_FALSE(grid_->EditorShown());
}

TEST_F(Grid, ClickingACellMovesTheCurrentCellThereButNotOntoFixedCells) {
  QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, CellRect(1, 4).center());
  EXPECT_EQ(grid_->Row(), 4);
  QHeaderView* numbers = View()->verticalHeader();
  QTest::mouseClick(numbers->viewport(), Qt::LeftButton, {},
                    QPoint(5, numbers->sectionViewportPosition(5) + 5));
  EXPECT_EQ(grid_->Row(), 4);
}

TEST_F(Grid, TheFixedRowAndColumnStayInPlaceWhileTheGridScrolls) {
  grid_->SetCells(0, 0, "Nr.");
  grid_->SetCells(1, 0, "Phone Number");
  for (int row = 1; row <= kLastRow; ++row) {
    grid_->SetCells(0, row, std::to_string(row));
  }
  EXPECT_TRUE(stores_.empty());
  grid_->SetRow(90);
  ASSERT_GT(View()->verticalScrollBar()->value(), 0);
  EXPECT_TRUE(View()->horizontalHeader()->isVisible());
  EXPECT_EQ(View()->model()->headerData(0, Qt::Horizontal).toString(), "Phone Number");
  const int shownRow = View()->rowAt(CellRect(1, 90).center().y());
  EXPECT_EQ(View()->model()->headerData(shownRow, Qt::Vertical).toString(), "90");
  auto* corner = View()->findChild<QLabel*>("corner");
  ASSERT_NE(corner, nullptr);
  EXPECT_EQ(corner->text(), "Nr.");
  EXPECT_EQ(View()->verticalHeader()->width(), 40);
  EXPECT_EQ(View()->horizontalHeader()->height(), 20);
}

TEST_F(Grid, ShapeSettersKeepAnEditableCurrentCell) {
  grid_->SetRow(50);
  grid_->SetRowCount(10);
  EXPECT_EQ(grid_->Row(), 9);
  EXPECT_THROW(grid_->SetFixedRows(10), Exception);
  EXPECT_THROW(grid_->Cells(2, 0), Exception);
  EXPECT_EQ(grid_->ColWidth(1), 235);
}

}  // namespace

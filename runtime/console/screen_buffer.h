// The screen model: a grid of cells (byte, colour) with a cursor, the one
// source of truth for what the screen shows, whichever back end mirrors it.
#ifndef RUNTIME_CONSOLE_SCREEN_BUFFER_H_
#define RUNTIME_CONSOLE_SCREEN_BUFFER_H_

#include <string>
#include <string_view>
#include <vector>

#include "runtime/api/console.h"

namespace rt::console {

struct Cell {
  char ch = ' ';
  Attr attr = MakeAttr(7, 0);
  friend bool operator==(const Cell&, const Cell&) = default;
};

class ScreenBuffer {
 public:
  // REQUIRES: rows >= 1 and cols >= 1.
  ScreenBuffer(int rows, int cols, Attr fill);

  int rows() const { return rows_; }
  int cols() const { return cols_; }

  // Cell at a position; REQUIRES: Contains(row, col).
  const Cell& at(int row, int col) const { return cells_[Index(row, col)]; }
  bool Contains(int row, int col) const {
    return row >= 0 && row < rows_ && col >= 0 && col < cols_;
  }

  // Writes bytes from (row, col) rightwards, clipped at both edges.
  void Write(int row, int col, std::string_view text, Attr attr);

  // Scrolls the rectangle [top..bottom] x [left..right] (inclusive, clipped)
  // up by `down` rows (negative: down) and left by `right_shift` columns
  // (negative: right); uncovered cells become blanks in `fill`.  A shift at
  // least as large as the rectangle clears it.
  void Scroll(int top, int left, int bottom, int right, int vertical,
              int horizontal, Attr fill);

  // The rectangle as two bytes per cell (character, colour), row by row.
  std::string Save(int top, int left, int bottom, int right) const;
  // Writes back what Save produced for a rectangle of the same shape; a
  // shorter string restores the cells it covers, extra bytes are ignored.
  void Restore(int top, int left, int bottom, int right, std::string_view data);

  // Makes the grid rows x cols, keeping the top-left contents; new cells are
  // blanks in `fill`.  The cursor is clamped.
  void Resize(int rows, int cols, Attr fill);

  // Cursor.  The column may be one past the right edge (after a write that
  // reached it); it is shown on the last column.
  int cursor_row() const { return cursor_row_; }
  int cursor_col() const { return cursor_col_; }
  void SetCursor(int row, int col);

  // Rows changed since the last TakeDirtyRows (for back ends that repaint).
  std::vector<bool> TakeDirtyRows();
  void MarkAllDirty();

  // Grows by one with every change of the cells (writes, scrolls, restores,
  // resizes), so callers can tell whether anything was drawn in between.
  unsigned long generation() const { return generation_; }

  // The bytes of a row, full width.
  std::string RowBytes(int row) const;

 private:
  size_t Index(int row, int col) const {
    return static_cast<size_t>(row) * static_cast<size_t>(cols_) +
           static_cast<size_t>(col);
  }
  // Clips a rectangle to the grid; false when nothing is left.
  bool Clip(int* top, int* left, int* bottom, int* right) const;

  int rows_;
  int cols_;
  std::vector<Cell> cells_;
  std::vector<bool> dirty_;
  int cursor_row_ = 0;
  int cursor_col_ = 0;
  unsigned long generation_ = 0;
};

}  // namespace rt::console

#endif  // RUNTIME_CONSOLE_SCREEN_BUFFER_H_

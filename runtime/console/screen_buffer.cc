// The screen grid.
#include "runtime/console/screen_buffer.h"

#include <algorithm>

namespace rt::console {

ScreenBuffer::ScreenBuffer(int rows, int cols, Attr fill)
    : rows_(rows),
      cols_(cols),
      cells_(static_cast<size_t>(rows) * static_cast<size_t>(cols), Cell{' ', fill}),
      dirty_(static_cast<size_t>(rows), true) {}

void ScreenBuffer::Write(int row, int col, std::string_view text, Attr attr) {
  if (row < 0 || row >= rows_) return;
  for (size_t i = 0; i < text.size(); ++i) {
    const long c = static_cast<long>(col) + static_cast<long>(i);
    if (c < 0) continue;
    if (c >= cols_) break;
    cells_[Index(row, static_cast<int>(c))] = Cell{text[i], attr};
  }
  dirty_[static_cast<size_t>(row)] = true;
  ++generation_;
}

bool ScreenBuffer::Clip(int* top, int* left, int* bottom, int* right) const {
  *top = std::max(*top, 0);
  *left = std::max(*left, 0);
  *bottom = std::min(*bottom, rows_ - 1);
  *right = std::min(*right, cols_ - 1);
  return *top <= *bottom && *left <= *right;
}

void ScreenBuffer::Scroll(int top, int left, int bottom, int right,
                          int vertical, int horizontal, Attr fill) {
  if (!Clip(&top, &left, &bottom, &right)) return;
  const int height = bottom - top + 1;
  const int width = right - left + 1;
  const Cell blank{' ', fill};
  // Copy from a snapshot so the direction of the shift does not matter.
  std::vector<Cell> old;
  old.reserve(static_cast<size_t>(height) * static_cast<size_t>(width));
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) old.push_back(at(r, c));
  }
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      const long sr = static_cast<long>(r) + vertical;
      const long sc = static_cast<long>(c) + horizontal;
      const bool inside = sr >= 0 && sr < height && sc >= 0 && sc < width;
      cells_[Index(top + r, left + c)] =
          inside ? old[static_cast<size_t>(sr * width + sc)] : blank;
    }
    dirty_[static_cast<size_t>(top + r)] = true;
  }
  ++generation_;
}

std::string ScreenBuffer::Save(int top, int left, int bottom, int right) const {
  std::string out;
  if (!Clip(&top, &left, &bottom, &right)) return out;
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      out.push_back(at(r, c).ch);
      out.push_back(static_cast<char>(at(r, c).attr));
    }
  }
  return out;
}

void ScreenBuffer::Restore(int top, int left, int bottom, int right,
                           std::string_view data) {
  // The data was saved row by row over the rectangle as given; clipping
  // must skip the cells that fall off the screen, not shift the rest.
  size_t i = 0;
  for (int r = top; r <= bottom && i + 1 < data.size(); ++r) {
    for (int c = left; c <= right && i + 1 < data.size(); ++c, i += 2) {
      if (!Contains(r, c)) continue;
      cells_[Index(r, c)] = Cell{data[i], static_cast<Attr>(data[i + 1])};
      dirty_[static_cast<size_t>(r)] = true;
    }
  }
  ++generation_;
}

void ScreenBuffer::Resize(int rows, int cols, Attr fill) {
  std::vector<Cell> cells(static_cast<size_t>(rows) * static_cast<size_t>(cols),
                          Cell{' ', fill});
  for (int r = 0; r < std::min(rows, rows_); ++r) {
    for (int c = 0; c < std::min(cols, cols_); ++c) {
      cells[static_cast<size_t>(r) * static_cast<size_t>(cols) +
            static_cast<size_t>(c)] = at(r, c);
    }
  }
  rows_ = rows;
  cols_ = cols;
  cells_ = std::move(cells);
  dirty_.assign(static_cast<size_t>(rows), true);
  ++generation_;
  SetCursor(cursor_row_, cursor_col_);
}

void ScreenBuffer::SetCursor(int row, int col) {
  cursor_row_ = std::clamp(row, 0, rows_ - 1);
  cursor_col_ = std::clamp(col, 0, cols_);
}

std::vector<bool> ScreenBuffer::TakeDirtyRows() {
  std::vector<bool> out(static_cast<size_t>(rows_), false);
  out.swap(dirty_);
  return out;
}

void ScreenBuffer::MarkAllDirty() { dirty_.assign(static_cast<size_t>(rows_), true); }

std::string ScreenBuffer::RowBytes(int row) const {
  std::string out;
  if (row < 0 || row >= rows_) return out;
  out.reserve(static_cast<size_t>(cols_));
  for (int c = 0; c < cols_; ++c) out.push_back(at(row, c).ch);
  return out;
}

}  // namespace rt::console

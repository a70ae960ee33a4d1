// The sink for a screen of cells: places text by the console's rules (runs,
// CR, LF, BS, BEL, wrap past the last column, scrolling below the last row)
// and keeps its own cursor, so it never asks the screen where it is.
#pragma once

#include <string>

#include "console/screen.h"
#include "console/sink.h"

namespace kelmora::console {

struct CursorPosition {
  int x = 0, y = 0;
};

class ScreenSink : public ConsoleSink {
 public:
  // `screen` must outlive the sink. A size below 1 counts as 1; a cursor
  // outside the screen is moved to its nearest cell.
  ScreenSink(Screen& screen, int width, int height, CursorPosition cursor);

  // Places `bytes` from the cursor on and, at the end, moves the screen's
  // cursor to where placing stopped.
  void Write(std::string_view bytes, std::uint8_t attribute) override;

  CursorPosition cursor() const { return cursor_; }
  // Cells from the cursor to the end of its row.
  int columns_left() const { return width_ - cursor_.x; }

 private:
  void PlaceRun(std::uint8_t attribute);
  void LineFeed(std::uint8_t attribute);

  Screen& screen_;
  int width_, height_;
  CursorPosition cursor_;
  // Bytes collected for one run and the cell where it begins.
  std::string run_;
  CursorPosition run_start_;
};

}  // namespace kelmora::console

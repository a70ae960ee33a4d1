// A screen of character cells as the placement rules see it. The Windows
// console is one; tests use a fake that keeps its cells in memory.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelmora::console {

class Screen {
 public:
  virtual ~Screen() = default;
  // Puts `chars` on row y from column x, one cell each, in `attribute`; the
  // run never passes the last column.
  virtual void PutCells(int x, int y, std::string_view chars, std::uint8_t attribute) = 0;
  // Moves every row up by one; the top row is lost and the last row becomes
  // spaces in `fill_attribute`.
  virtual void ScrollUp(std::uint8_t fill_attribute) = 0;
  // The system's default alert sound.
  virtual void Alert() = 0;
  // Where the cursor is to show once a write has ended.
  virtual void MoveCursor(int x, int y) = 0;
};

}  // namespace kelmora::console

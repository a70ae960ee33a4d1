// The Windows console as a screen of cells, through the platform layer.
#pragma once

#include "console/screen.h"

namespace kelmora::console {

class PlatformScreen : public Screen {
 public:
  void PutCells(int x, int y, std::string_view chars, std::uint8_t attribute) override;
  void ScrollUp(std::uint8_t fill_attribute) override;
  void Alert() override;
  // Records the position for the cursor follower thread, which moves the
  // visible cursor.
  void MoveCursor(int x, int y) override;
};

}  // namespace kelmora::console

#include "console/platform_screen.h"

#include "platform/platform.h"

namespace kelmora::console {

void PlatformScreen::PutCells(int x, int y, std::string_view chars, std::uint8_t attribute) {
  platform::WriteCells(x, y, chars.data(), chars.size(), attribute);
}

void PlatformScreen::ScrollUp(std::uint8_t fill_attribute) { platform::ScrollUp(fill_attribute); }

void PlatformScreen::Alert() { platform::AlertSound(); }

void PlatformScreen::MoveCursor(int x, int y) { platform::RecordCursor(x, y); }

}  // namespace kelmora::console

#include "console/screen_sink.h"

#include <algorithm>

namespace kelmora::console {
namespace {

constexpr char kBackspace = 8;
constexpr char kBell = 7;
constexpr char kLineFeed = 10;
constexpr char kCarriageReturn = 13;

}  // namespace

ScreenSink::ScreenSink(Screen& screen, int width, int height, CursorPosition cursor)
    : screen_(screen), width_(std::max(width, 1)), height_(std::max(height, 1)) {
  cursor_.x = std::clamp(cursor.x, 0, width_ - 1);
  cursor_.y = std::clamp(cursor.y, 0, height_ - 1);
}

void ScreenSink::Write(std::string_view bytes, std::uint8_t attribute) {
  for (char c : bytes) {
    switch (c) {
      case kCarriageReturn:
        PlaceRun(attribute);
        cursor_.x = 0;
        break;
      case kLineFeed:
        PlaceRun(attribute);
        LineFeed(attribute);
        break;
      case kBackspace:
        PlaceRun(attribute);
        if (cursor_.x > 0) --cursor_.x;
        break;
      case kBell:
        // Places nothing and does not move the cursor, so the run goes on.
        screen_.Alert();
        break;
      default:
        if (run_.empty()) run_start_ = cursor_;
        run_ += c;
        if (++cursor_.x == width_) {
          PlaceRun(attribute);
          cursor_.x = 0;
          LineFeed(attribute);
        }
    }
  }
  PlaceRun(attribute);
  screen_.MoveCursor(cursor_.x, cursor_.y);
}

void ScreenSink::PlaceRun(std::uint8_t attribute) {
  if (run_.empty()) return;
  screen_.PutCells(run_start_.x, run_start_.y, run_, attribute);
  run_.clear();
}

void ScreenSink::LineFeed(std::uint8_t attribute) {
  if (cursor_.y + 1 < height_) {
    ++cursor_.y;
  } else {
    screen_.ScrollUp(attribute);
  }
}

}  // namespace kelmora::console

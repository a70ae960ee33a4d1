#include "store/line_source.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kelmora::store {
namespace {

// More than LineSplitter keeps back when it needs more of the text: a
// piece and the bytes a cut looks at, or a line and its line end.
constexpr std::size_t kLeastSpare = 16;

}  // namespace

LineSource::LineSource(PieceReader read, std::size_t piece_limit, std::size_t window)
    : read_(std::move(read)),
      window_(std::max(window, piece_limit + kLeastSpare), '\0'),
      text_(window_.data(), 0),
      lines_(text_, piece_limit, true),
      limit_(piece_limit),
      ended_(false) {}

bool LineSource::Next(std::string_view& line) {
  for (;;) {
    if (lines_.Next(line)) {
      line_end_ = static_cast<std::size_t>(line.data() - text_.data()) + line.size();
      return true;
    }
    if (ended_ || error_ != 0) return false;
    Refill();
  }
}

// Keeps the bytes not yet split, which are less than a piece and a line
// end, and fills the window up behind them.
void LineSource::Refill() {
  const std::size_t kept_from = lines_.consumed();
  std::size_t size = text_.size() - kept_from;
  std::memmove(window_.data(), text_.data() + kept_from, size);
  base_ += kept_from;
  while (size < window_.size()) {
    std::size_t got = 0;
    if ((error_ = read_(window_.data() + size, window_.size() - size, &got)) != 0) break;
    if (got == 0) {
      ended_ = true;
      break;
    }
    size += got;
  }
  text_ = std::string_view(window_.data(), size);
  line_end_ = 0;
  lines_ = LineSplitter(text_, limit_, !ended_);
}

}  // namespace kelmora::store

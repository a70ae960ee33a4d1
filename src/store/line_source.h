// The lines of a text (LineSplitter's rule) from a text held whole, or from
// one read in pieces through a window of fixed size, so that a text of any
// length is split in the same memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "store/line_reader.h"

namespace kelmora::store {

// Reads the next bytes of a text into `into`, at most `room`; *got is 0
// at the end of the text.
using PieceReader =
    std::function<platform::ErrorCode(char* into, std::size_t room, std::size_t* got)>;

class LineSource {
 public:
  LineSource(std::string_view whole, std::size_t piece_limit)
      : text_(whole), lines_(whole, piece_limit), limit_(piece_limit), ended_(true) {}
  // A window smaller than a piece, a line end and the bytes a cut looks at
  // is made that large. Throws std::bad_alloc without memory for it.
  LineSource(PieceReader read, std::size_t piece_limit, std::size_t window);

  // The next line, a view valid until the next call; false at the end of
  // the text, or when a read failed (error()).
  bool Next(std::string_view& line);
  // Where in the text the last line handed out ends (before its line end).
  std::uint64_t line_end() const { return base_ + line_end_; }
  // The text after that line, as far as it is at hand.
  std::string_view Ahead() const { return text_.substr(line_end_); }
  platform::ErrorCode error() const { return error_; }

 private:
  void Refill();

  PieceReader read_;
  std::string window_;
  std::string_view text_;  // the text at hand: all of it, or the window's part
  LineSplitter lines_;
  std::size_t limit_;
  bool ended_;                // text_ runs to the end of the text
  std::uint64_t base_ = 0;    // where text_ begins in the text
  std::size_t line_end_ = 0;  // in text_
  platform::ErrorCode error_ = 0;
};

}  // namespace kelmora::store

// Lines of a settings file read from a stream as short strings.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "store/stream.h"
#include "text/bounded_string.h"

namespace kelmora::config {

// Reads the next line of `stream`, without its line end (CR LF, LF CR, CR or
// LF; CR CR and LF LF are two line ends). Only the first 255 bytes are
// kept, cut between characters; the rest of the physical line is passed
// over, never carried into the next line. Reading past the end is not a failure: the status is reset and
// the stream moved to its end, so a last line without a line end is still
// returned and Position() == Size() afterwards. Any other failure stays in
// the stream's status for the caller.
template <store::ByteStream Stream>
text::ShortString ReadStreamLine(Stream& stream) {
  // A character that straddles the 255th byte has at most three more bytes;
  // with them kept, the cut can fall before it.
  std::array<char, text::ShortString::kCapacity + 3> kept;
  std::size_t count = 0;
  char c = 0;
  for (;;) {
    stream.Read(&c, 1);
    if (stream.status() != store::StreamStatus::Ok || c == '\r' || c == '\n') break;
    if (count < kept.size()) kept[count++] = c;  // the rest is dropped
  }
  text::ShortString line(std::string_view(kept.data(), count));
  if (stream.status() == store::StreamStatus::Ok) {
    const char first = c;
    stream.Read(&c, 1);
    const bool paired = (first == '\r' && c == '\n') || (first == '\n' && c == '\r');
    if (stream.status() == store::StreamStatus::Ok && !paired)
      stream.Seek(stream.Position() - 1);
  }
  if (stream.status() == store::StreamStatus::PastEnd) {
    stream.Reset();
    stream.Seek(stream.Size());
  }
  return line;
}

}  // namespace kelmora::config

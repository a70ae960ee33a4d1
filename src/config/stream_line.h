// Lines of a settings file read from a stream as short strings.
#pragma once

#include "store/stream.h"
#include "text/bounded_string.h"

namespace kelmora::config {

// Reads the next line of `stream`, without its line end (CR LF, LF CR, CR or
// LF; CR CR and LF LF are two line ends). Only the first 255 characters are
// kept; the rest of the physical line is passed over, never carried into the
// next line. Reading past the end is not a failure: the status is reset and
// the stream moved to its end, so a last line without a line end is still
// returned and Position() == Size() afterwards. Any other failure stays in
// the stream's status for the caller.
template <store::ByteStream Stream>
text::ShortString ReadStreamLine(Stream& stream) {
  text::ShortString line;
  char c = 0;
  for (;;) {
    stream.Read(&c, 1);
    if (stream.status() != store::StreamStatus::Ok || c == '\r' || c == '\n') break;
    line.Append(c);  // beyond the capacity the character is dropped
  }
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

// Lines of a stream as long lines: reading accepts every kind of line end,
// writing ends each line with the suffix the caller gives.
#pragma once

#include <string_view>

#include "store/stream.h"
#include "text/bounded_string.h"

namespace kelmora::templating {

namespace line_io_detail {

// CR LF and LF CR are one line end each; CR CR and LF LF are two.
inline bool IsPairedLineEnd(char first, char second) {
  return (first == '\r' && second == '\n') || (first == '\n' && second == '\r');
}

// Reads the byte after a line end's first byte and gives it back unless the
// two form one line end.
template <store::ByteStream Stream>
void ConsumeLineEnd(Stream& stream, char first) {
  char second = 0;
  stream.Read(&second, 1);
  if (stream.status() == store::StreamStatus::Ok && !IsPairedLineEnd(first, second))
    stream.Seek(stream.Position() - 1);
}

}  // namespace line_io_detail

// Reads the next line of `stream` into `line`, without its line end (CR LF,
// LF CR, CR or LF). A line longer than the capacity comes out in pieces of
// the capacity, the last piece taking the line end; no byte is lost. NUL
// bytes are kept. When a read fails (normally at the end of the stream) the
// status is reset and the stream moved to its end; what was read before the
// failure is the line.
template <store::ByteStream Stream>
void ReadLongLine(Stream& stream, text::LongLine& line) {
  line.clear();
  char c = 0;
  bool at_line_end = false;
  for (;;) {
    stream.Read(&c, 1);
    if (stream.status() != store::StreamStatus::Ok) break;
    at_line_end = c == '\r' || c == '\n';
    if (at_line_end) break;
    line.Append(c);
    if (line.size() == text::LongLine::kCapacity) {
      // A line end right after a full piece ends that piece; any other byte
      // begins the next piece.
      stream.Read(&c, 1);
      if (stream.status() != store::StreamStatus::Ok) break;
      at_line_end = c == '\r' || c == '\n';
      if (!at_line_end) stream.Seek(stream.Position() - 1);
      break;
    }
  }
  if (at_line_end) line_io_detail::ConsumeLineEnd(stream, c);
  if (stream.status() != store::StreamStatus::Ok) {
    stream.Reset();
    stream.Seek(stream.Size());
  }
}

// Writes the characters of `line`, then `suffix`.
template <store::ByteStream Stream>
void WriteLongLine(Stream& stream, const text::LongLine& line, std::string_view suffix) {
  stream.Write(line.data(), line.size());
  stream.Write(suffix.data(), suffix.size());
}

}  // namespace kelmora::templating

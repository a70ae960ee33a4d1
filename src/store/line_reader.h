// Lines of text, one rule for the settings file and the template: a line
// ends at CR LF, LF CR, CR or LF (CR CR and LF LF are two line ends), and a
// line end at the very end of the text is not followed by an empty line.
// The names file keeps a rule of its own (store/text_file.h); both cut a
// line for a short string alike (ShortLine).
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "store/stream.h"
#include "text/bounded_string.h"
#include "text/text_rules.h"

namespace kelmora::store {

inline bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// CR LF and LF CR are one line end each.
inline bool IsPairedLineEnd(char first, char second) {
  return (first == '\r' && second == '\n') || (first == '\n' && second == '\r');
}

// The lines of a text held whole in memory. A line longer than the piece
// limit comes out in pieces of at most that many bytes, cut where a
// character ends, the last piece taking the line end; no byte is lost.
// NUL bytes are ordinary bytes.
//
// With `more_follows`, the text is the start of a longer one: a line is
// handed out only once the bytes that decide it are at hand (its line end
// and the byte after it, or enough of a long line to cut its next piece),
// so the lines come out as from the whole text; consumed() tells where
// the rest is to be read on.
class LineSplitter {
 public:
  LineSplitter(std::string_view text, std::size_t piece_limit, bool more_follows = false)
      : text_(text),
        limit_(piece_limit),
        more_follows_(more_follows),
        next_cr_(Find('\r')),
        next_lf_(Find('\n')) {}

  // The next line, without its line end; false when the text is used up
  // (or, with more_follows, when the next line needs more of it).
  bool Next(std::string_view& line) {
    if (at_ >= text_.size()) return false;
    std::size_t end = NextLineEnd();
    std::string_view rest = text_.substr(at_, end - at_);
    if (rest.size() > limit_) {
      // A cut between characters looks a few bytes past the limit.
      if (more_follows_ && end == text_.size() && rest.size() <= limit_ + kCutLookahead)
        return false;
      std::size_t piece = text::WholeCharPrefix(rest, limit_);
      if (piece == 0) piece = limit_;
      line = rest.substr(0, piece);
      at_ += piece;
      return true;
    }
    // CR and LF pair up only with the byte after them at hand.
    if (more_follows_ && end + 1 >= text_.size()) return false;
    line = rest;
    at_ = end;
    if (at_ < text_.size()) {
      char first = text_[at_++];
      if (at_ < text_.size() && IsPairedLineEnd(first, text_[at_])) ++at_;
    }
    return true;
  }

  // Where the lines handed out so far end, their line ends included.
  std::size_t consumed() const { return at_; }

 private:
  static constexpr std::size_t kCutLookahead = 8;

  // Where the first CR or LF at or after at_ stands, or the text's size.
  std::size_t NextLineEnd() {
    if (next_cr_ < at_) next_cr_ = Find('\r');
    if (next_lf_ < at_) next_lf_ = Find('\n');
    return next_cr_ < next_lf_ ? next_cr_ : next_lf_;
  }
  std::size_t Find(char c) const {
    if (at_ >= text_.size()) return text_.size();  // memchr takes no null text
    const void* found = std::memchr(text_.data() + at_, c, text_.size() - at_);
    return found == nullptr
               ? text_.size()
               : static_cast<std::size_t>(static_cast<const char*>(found) - text_.data());
  }

  std::string_view text_;
  std::size_t limit_;
  bool more_follows_;
  std::size_t at_ = 0;
  // Cached results of Find; valid while not below at_.
  std::size_t next_cr_;
  std::size_t next_lf_;
};

// The bytes of one line as a short string keeps them: the first 255, cut
// between characters; the rest of the physical line is passed over, never
// carried into the next line. Every reader of lines into short strings
// gathers them here.
class ShortLine {
 public:
  void Add(char c) {
    if (count_ < kept_.size()) kept_[count_++] = c;  // the rest is dropped
  }
  void Clear() { count_ = 0; }
  text::ShortString text() const { return std::string_view(kept_.data(), count_); }

 private:
  // A character that straddles the 255th byte has at most three more bytes;
  // with them kept, the cut can fall before it.
  std::array<char, text::ShortString::kCapacity + 3> kept_;
  std::size_t count_ = 0;
};

// Reads the next line of `stream` into a short string (see ShortLine),
// without its line end. Reading past the end is not a failure: the status
// is reset and the stream moved to its end, so a last line without a line
// end is still returned and Position() == Size() afterwards. Any other
// failure stays in the stream's status for the caller.
template <ByteStream Stream>
text::ShortString ReadStreamLine(Stream& stream) {
  ShortLine kept;
  char c = 0;
  for (;;) {
    stream.Read(&c, 1);
    if (stream.status() != StreamStatus::Ok || IsLineEnd(c)) break;
    kept.Add(c);
  }
  text::ShortString line = kept.text();
  if (stream.status() == StreamStatus::Ok) {
    const char first = c;
    stream.Read(&c, 1);
    if (stream.status() == StreamStatus::Ok && !IsPairedLineEnd(first, c))
      stream.Seek(stream.Position() - 1);
  }
  if (stream.status() == StreamStatus::PastEnd) {
    stream.Reset();
    stream.Seek(stream.Size());
  }
  return line;
}

}  // namespace kelmora::store

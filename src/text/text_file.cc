#include "text/text_file.h"

namespace kelmora::text {
namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr char kEndOfText = '\x1A';

}  // namespace

platform::ErrorCode TextFileReader::Open(const std::string& path) {
  Close();
  error_ = platform::OpenExistingFile(path, platform::FileAccess::Read,
                                      platform::FileShare::ReadWrite, &file_);
  return error_;
}

void TextFileReader::Close() {
  platform::CloseFile(file_);
  file_ = platform::kNoFile;
  next_ = end_ = 0;
}

bool TextFileReader::Fill() {
  if (next_ < end_) return true;
  if (file_ == platform::kNoFile || error_ != 0) return false;
  std::size_t got = 0;
  error_ = platform::ReadFromFile(file_, buffer_.data(), buffer_.size(), &got);
  next_ = 0;
  end_ = error_ == 0 ? got : 0;
  return end_ > 0;
}

platform::ErrorCode TextFileReader::ReadLine(ShortString* line) {
  // A character that straddles the 255th byte has at most three more bytes;
  // with them kept, the cut can fall before it.
  std::array<char, ShortString::kCapacity + 3> kept;
  std::size_t count = 0;
  bool ended = false;  // by a line end or Ctrl+Z, not by the end of the file
  while (!ended && Fill()) {
    char c = buffer_[next_];
    if (c == kEndOfText) break;  // stays unread: the text has ended
    ++next_;
    if (c == kCarriageReturn) {
      if (Fill() && buffer_[next_] == kLineFeed) ++next_;
      ended = true;
    } else if (c == kLineFeed && lone_line_feed_ends_line_) {
      ended = true;
    } else if (count < kept.size()) {
      kept[count++] = c;  // the rest of a long line is passed over
    }
  }
  if (!ended && error_ != 0) count = 0;
  line->Assign(std::string_view(kept.data(), count));
  return error_;
}

bool TextFileReader::AtEnd() {
  return !Fill() || buffer_[next_] == kEndOfText;
}

}  // namespace kelmora::text

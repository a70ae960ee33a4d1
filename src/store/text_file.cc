#include "store/text_file.h"

#include "store/line_reader.h"

namespace kelmora::store {
namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr char kEndOfText = '\x1A';

}  // namespace

platform::ErrorCode TextFileReader::Open(const std::string& path) {
  Close();
  error_ = ops_->open(path, platform::FileAccess::Read, platform::FileShare::ReadWrite, &file_);
  return error_;
}

void TextFileReader::Close() {
  if (file_ != platform::kNoFile) ops_->close(file_);
  file_ = platform::kNoFile;
  next_ = end_ = 0;
}

bool TextFileReader::Fill() {
  if (next_ < end_) return true;
  if (file_ == platform::kNoFile || error_ != 0) return false;
  std::size_t got = 0;
  error_ = ops_->read(file_, buffer_.data(), buffer_.size(), &got);
  next_ = 0;
  end_ = error_ == 0 ? got : 0;
  return end_ > 0;
}

platform::ErrorCode TextFileReader::ReadLine(text::ShortString* line) {
  ShortLine kept;
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
    } else {
      kept.Add(c);
    }
  }
  if (!ended && error_ != 0) kept.Clear();
  *line = kept.text();
  return error_;
}

bool TextFileReader::AtEnd() { return !Fill() || buffer_[next_] == kEndOfText; }

}  // namespace kelmora::store

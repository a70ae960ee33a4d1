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
  line->clear();
  while (Fill()) {
    char c = buffer_[next_];
    if (c == kEndOfText) return error_;  // stays unread: the text has ended
    ++next_;
    if (c == kCarriageReturn) {
      if (Fill() && buffer_[next_] == kLineFeed) ++next_;
      return error_;
    }
    line->Append(c);  // beyond 255 characters, the rest is passed over
  }
  if (error_ != 0) line->clear();
  return error_;
}

bool TextFileReader::AtEnd() {
  return !Fill() || buffer_[next_] == kEndOfText;
}

}  // namespace kelmora::text

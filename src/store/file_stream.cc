#include "store/file_stream.h"

#include <algorithm>
#include <cstring>

namespace kelmora::store {
namespace {

platform::FileAccess AccessOf(std::uint16_t mode) {
  switch (mode & 3) {
    case 0: return platform::FileAccess::Read;
    case 1: return platform::FileAccess::Write;
    default: return platform::FileAccess::ReadWrite;
  }
}

platform::FileShare ShareOf(std::uint16_t mode) {
  switch ((mode >> 4) & 0xF) {
    case 2: return platform::FileShare::Read;
    case 3: return platform::FileShare::Write;
    case 4: return platform::FileShare::ReadWrite;
    default: return platform::FileShare::None;
  }
}

}  // namespace

FileStream::FileStream(const std::string& path, std::uint16_t mode, std::size_t buffer_size,
                       const FileOps& ops)
    : path_(path), ops_(&ops), buffer_(std::max<std::size_t>(buffer_size, 1)) {
  platform::FileHandle file = platform::kNoFile;
  platform::ErrorCode error = ops_->open(path, AccessOf(mode), ShareOf(mode), &file);
  if (error != 0 || file == platform::kNoFile) {
    open_error_ = error;
    Fail(StreamStatus::OpenFailed, error);
    return;
  }
  file_ = file;
}

FileStream::~FileStream() {
  if (status_ == StreamStatus::Ok) WritePending();
  if (file_ != platform::kNoFile) ops_->close(file_);
}

void FileStream::Read(void* into, std::size_t count) {
  if (status_ != StreamStatus::Ok || !HasFile() || !WritePending()) {
    std::memset(into, 0, count);
    return;
  }
  char* out = static_cast<char*>(into);
  std::size_t left = count;
  while (left > 0) {
    bool buffer_used_up = buffered_ != Buffered::ReadAhead || buffer_next_ == buffer_used_;
    if (buffer_used_up && left >= buffer_.size()) {
      if (!ReadDirect(out, left)) std::memset(into, 0, count);
      return;
    }
    if (buffer_used_up) {
      if (!FillBuffer()) {
        std::memset(into, 0, count);
        return;
      }
    }
    std::size_t n = std::min(left, buffer_used_ - buffer_next_);
    std::memcpy(out, buffer_.data() + buffer_next_, n);
    buffer_next_ += n;
    out += n;
    left -= n;
  }
}

void FileStream::Write(const void* from, std::size_t count) {
  if (status_ != StreamStatus::Ok || !HasFile() || !GiveBackReadAhead()) return;
  const char* in = static_cast<const char*>(from);
  if (count >= buffer_.size()) {
    if (WritePending()) WriteDirect(in, count);
    return;
  }
  while (count > 0) {
    if (buffered_ == Buffered::Nothing) {
      buffered_ = Buffered::Pending;
      buffer_start_ = os_position_;
      buffer_used_ = 0;
    }
    std::size_t n = std::min(count, buffer_.size() - buffer_used_);
    std::memcpy(buffer_.data() + buffer_used_, in, n);
    buffer_used_ += n;
    in += n;
    count -= n;
    if (buffer_used_ == buffer_.size() && !WritePending()) return;
  }
}

std::int64_t FileStream::Position() {
  if (status_ != StreamStatus::Ok || !HasFile()) return -1;
  switch (buffered_) {
    case Buffered::ReadAhead: return buffer_start_ + static_cast<std::int64_t>(buffer_next_);
    case Buffered::Pending: return buffer_start_ + static_cast<std::int64_t>(buffer_used_);
    case Buffered::Nothing: break;
  }
  return os_position_;
}

std::int64_t FileStream::Size() {
  // Bytes read ahead stay valid: reading does not change the size.
  if (status_ != StreamStatus::Ok || !HasFile() || !WritePending()) return -1;
  std::int64_t size = 0;
  if (platform::ErrorCode error = ops_->size(file_, &size)) {
    Fail(StreamStatus::OsError, error);
    return -1;
  }
  return size;
}

void FileStream::Seek(std::int64_t position) {
  if (status_ != StreamStatus::Ok || !HasFile()) return;
  position = std::max<std::int64_t>(position, 0);
  // Moving within the bytes read ahead (a line reader giving back one
  // byte) needs no OS call.
  if (buffered_ == Buffered::ReadAhead && position >= buffer_start_ &&
      position <= buffer_start_ + static_cast<std::int64_t>(buffer_used_)) {
    buffer_next_ = static_cast<std::size_t>(position - buffer_start_);
    return;
  }
  if (!WritePending()) return;
  buffered_ = Buffered::Nothing;
  if (platform::ErrorCode error = ops_->seek(file_, position)) {
    Fail(StreamStatus::OsError, error);
    return;
  }
  os_position_ = position;
}

void FileStream::Truncate() {
  if (status_ != StreamStatus::Ok || !HasFile() || !EmptyBuffer()) return;
  if (platform::ErrorCode error = ops_->truncate(file_)) Fail(StreamStatus::OsError, error);
}

void FileStream::Flush() {
  if (status_ == StreamStatus::Ok) WritePending();
}

void FileStream::SyncToDisk() {
  if (status_ != StreamStatus::Ok || !HasFile() || !WritePending()) return;
  if (platform::ErrorCode error = ops_->flush(file_)) Fail(StreamStatus::OsError, error);
}

void FileStream::Overwrite(std::string_view bytes) {
  Seek(0);
  Write(bytes.data(), bytes.size());
  Truncate();
  SyncToDisk();
}

void FileStream::StartSyncToDisk() {
  Flush();
  if (status_ == StreamStatus::Ok && HasFile() && ops_->start_flush) ops_->start_flush(file_);
}

platform::FileStamp FileStream::Stamp() {
  platform::FileStamp stamp;
  if (status_ != StreamStatus::Ok || !HasFile() || !WritePending()) return {};
  if (platform::ErrorCode error = ops_->stamp(file_, &stamp)) {
    Fail(StreamStatus::OsError, error);
    return {};
  }
  return stamp;
}

void FileStream::Reset() {
  status_ = StreamStatus::Ok;
  error_detail_ = 0;
}

void FileStream::Fail(StreamStatus status, platform::ErrorCode detail) {
  status_ = status;
  error_detail_ = detail;
}

// A stream whose file could not be opened fails every query again, with
// the reason the open failed.
bool FileStream::HasFile() {
  if (file_ != platform::kNoFile) return true;
  Fail(StreamStatus::OsError, open_error_);
  return false;
}

bool FileStream::FillBuffer() {
  std::size_t got = 0;
  platform::ErrorCode error = ops_->read(file_, buffer_.data(), buffer_.size(), &got);
  if (error != 0) {
    buffered_ = Buffered::Nothing;
    Fail(StreamStatus::OsError, error);
    return false;
  }
  if (got == 0) {
    buffered_ = Buffered::Nothing;
    Fail(StreamStatus::PastEnd, 0);
    return false;
  }
  buffered_ = Buffered::ReadAhead;
  buffer_start_ = os_position_;
  buffer_used_ = got;
  buffer_next_ = 0;
  os_position_ += static_cast<std::int64_t>(got);
  return true;
}

bool FileStream::WritePending() {
  if (buffered_ != Buffered::Pending) return true;
  buffered_ = Buffered::Nothing;
  os_position_ = buffer_start_;
  return WriteDirect(buffer_.data(), buffer_used_);
}

// Moves the OS's file position back over the bytes read ahead and not yet
// handed out, so that it is the stream's position again.
bool FileStream::GiveBackReadAhead() {
  if (buffered_ != Buffered::ReadAhead) return true;
  buffered_ = Buffered::Nothing;
  std::int64_t position = buffer_start_ + static_cast<std::int64_t>(buffer_next_);
  if (position == os_position_) return true;
  if (platform::ErrorCode error = ops_->seek(file_, position)) {
    Fail(StreamStatus::OsError, error);
    return false;
  }
  os_position_ = position;
  return true;
}

bool FileStream::EmptyBuffer() { return WritePending() && GiveBackReadAhead(); }

// With the buffer empty: reads all `count` bytes straight into `into`.
bool FileStream::ReadDirect(char* into, std::size_t count) {
  buffered_ = Buffered::Nothing;
  while (count > 0) {
    std::size_t got = 0;
    if (platform::ErrorCode error = ops_->read(file_, into, count, &got)) {
      Fail(StreamStatus::OsError, error);
      return false;
    }
    if (got == 0) {
      Fail(StreamStatus::PastEnd, 0);
      return false;
    }
    os_position_ += static_cast<std::int64_t>(got);
    into += got;
    count -= got;
  }
  return true;
}

// With the buffer empty: writes all `count` bytes straight from `from`.
// Fewer bytes written than asked is WriteFailed, with the OS's reason.
bool FileStream::WriteDirect(const char* from, std::size_t count) {
  std::size_t written = 0;
  platform::ErrorCode error = ops_->write(file_, from, count, &written);
  os_position_ += static_cast<std::int64_t>(written);
  if (written < count) {
    Fail(StreamStatus::WriteFailed, error);
    return false;
  }
  if (error != 0) {
    Fail(StreamStatus::OsError, error);
    return false;
  }
  return true;
}

}  // namespace kelmora::store

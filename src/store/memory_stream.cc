#include "store/memory_stream.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace kelmora::store {
namespace {

// Running out of memory is an outcome of a write, not a fault: the
// allocator's exception ends here.
bool TryResize(std::vector<char>& bytes, std::size_t size) {
  try {
    bytes.resize(size);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

}  // namespace

void MemoryStream::Read(void* into, std::size_t count) {
  auto position = static_cast<std::uint64_t>(position_);
  if (status_ != StreamStatus::Ok || position > bytes_.size() ||
      count > bytes_.size() - position) {
    if (status_ == StreamStatus::Ok) status_ = StreamStatus::PastEnd;
    std::memset(into, 0, count);
    return;
  }
  std::memcpy(into, bytes_.data() + position, count);
  position_ += static_cast<std::int64_t>(count);
}

void MemoryStream::Write(const void* from, std::size_t count) {
  if (status_ != StreamStatus::Ok || count == 0) return;
  auto position = static_cast<std::uint64_t>(position_);
  std::uint64_t end = position + count;
  if (end > bytes_.size() && !Resize(end)) return;
  std::memcpy(bytes_.data() + position, from, count);
  position_ = static_cast<std::int64_t>(end);
}

std::int64_t MemoryStream::Position() const {
  return status_ == StreamStatus::Ok ? position_ : -1;
}

std::int64_t MemoryStream::Size() const {
  return status_ == StreamStatus::Ok ? static_cast<std::int64_t>(bytes_.size()) : -1;
}

void MemoryStream::Seek(std::int64_t position) {
  if (status_ == StreamStatus::Ok) position_ = position < 0 ? 0 : position;
}

void MemoryStream::Truncate() {
  if (status_ != StreamStatus::Ok) return;
  auto position = static_cast<std::uint64_t>(position_);
  Resize(position);
}

void MemoryStream::Reset() {
  status_ = StreamStatus::Ok;
  error_detail_ = 0;
}

bool MemoryStream::Resize(std::uint64_t size) {
  if (size <= limit_ && size <= bytes_.max_size() &&
      TryResize(bytes_, static_cast<std::size_t>(size)))
    return true;
  status_ = StreamStatus::WriteFailed;
  error_detail_ = platform::kNotEnoughMemory;
  return false;
}

}  // namespace kelmora::store

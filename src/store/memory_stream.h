// A stream over bytes held in memory. It grows as it is written; when no
// memory is left for a write, the write does nothing and the status becomes
// WriteFailed, with the OS's "not enough memory" code as detail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "store/stream.h"

namespace kelmora::store {

class MemoryStream {
 public:
  static constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

  // `limit` is the most bytes the stream may hold: a write beyond it fails
  // as if memory had run out.
  explicit MemoryStream(std::size_t limit = kNoLimit) : limit_(limit) {}

  // Fills all of `into` with zero bytes when fewer than `count` bytes are
  // left (status PastEnd).
  void Read(void* into, std::size_t count);
  // Writing beyond the size first fills the gap with zero bytes.
  void Write(const void* from, std::size_t count);
  // -1 while the status is not Ok.
  std::int64_t Position() const;
  std::int64_t Size() const;
  // A negative position counts as 0; a position beyond the size is kept.
  void Seek(std::int64_t position);
  // The size becomes the position.
  void Truncate();

  StreamStatus status() const { return status_; }
  platform::ErrorCode error_detail() const { return error_detail_; }
  void Reset();

  // All bytes held, whatever the position.
  std::string_view contents() const { return {bytes_.data(), bytes_.size()}; }

 private:
  bool Resize(std::uint64_t size);

  std::vector<char> bytes_;
  std::size_t limit_;
  std::int64_t position_ = 0;
  StreamStatus status_ = StreamStatus::Ok;
  platform::ErrorCode error_detail_ = 0;
};

}  // namespace kelmora::store

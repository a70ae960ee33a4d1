// A file held in memory behind the file-operations seam, so the template
// pass runs over memory, hermetic and fast. One read and one write can be
// made to fail.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "store/file_ops.h"

namespace kelmora::fuzz {

class MemoryFile {
 public:
  // The 1-based read and write calls that fail, 0 for none.
  struct Faults {
    int read = 0;
    int write = 0;
  };

  MemoryFile(std::string bytes, Faults faults) : bytes_(std::move(bytes)), faults_(faults) {
    ops_.open = [](const std::string&, platform::FileAccess, platform::FileShare,
                   platform::FileHandle* out) -> platform::ErrorCode {
      *out = 1;
      return 0;
    };
    ops_.read = [this](platform::FileHandle, void* into, std::size_t size,
                       std::size_t* got) -> platform::ErrorCode {
      *got = 0;
      if (++reads_ == faults_.read) return kInjectedError;
      std::size_t at = std::min(Offset(), bytes_.size());
      *got = std::min(size, bytes_.size() - at);
      std::memcpy(into, bytes_.data() + at, *got);
      position_ += static_cast<std::int64_t>(*got);
      return 0;
    };
    ops_.write = [this](platform::FileHandle, const void* from, std::size_t size,
                        std::size_t* written) -> platform::ErrorCode {
      *written = 0;
      if (++writes_ == faults_.write) return kInjectedError;
      if (Offset() + size > bytes_.size()) bytes_.resize(Offset() + size);
      std::memcpy(bytes_.data() + Offset(), from, size);
      position_ += static_cast<std::int64_t>(size);
      *written = size;
      return 0;
    };
    ops_.seek = [this](platform::FileHandle, std::int64_t position) -> platform::ErrorCode {
      position_ = position;
      return 0;
    };
    ops_.size = [this](platform::FileHandle, std::int64_t* size) -> platform::ErrorCode {
      *size = static_cast<std::int64_t>(bytes_.size());
      return 0;
    };
    ops_.truncate = [this](platform::FileHandle) -> platform::ErrorCode {
      bytes_.resize(Offset());
      return 0;
    };
    ops_.close = [](platform::FileHandle) {};
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  static constexpr platform::ErrorCode kInjectedError = 5;

  const store::FileOps& ops() const { return ops_; }
  const std::string& bytes() const { return bytes_; }

 private:
  std::size_t Offset() const {
    return static_cast<std::size_t>(std::max<std::int64_t>(position_, 0));
  }

  std::string bytes_;
  std::int64_t position_ = 0;
  int reads_ = 0;
  int writes_ = 0;
  Faults faults_;
  store::FileOps ops_;
};

}  // namespace kelmora::fuzz

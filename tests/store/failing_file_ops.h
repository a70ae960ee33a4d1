// File calls that pass through to others (the OS's, or MemoryFiles'),
// except the one a test chooses to fail: the n-th call of a kind fails once
// (or, when persistent, it and every later call of that kind) with a chosen
// error code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/platform.h"
#include "store/file_ops.h"

namespace kelmora::store {

struct FaultPlan {
  // 1-based number of the call that fails; 0 for none.
  int open = 0, read = 0, write = 0, seek = 0, size = 0, truncate = 0;
  int create = 0, flush = 0, remove = 0, stamp = 0;
  // Bytes the failing write still writes before it fails.
  std::size_t written_before_failure = 0;
  platform::ErrorCode error = 5;
  bool persistent = false;
};

class FailingFileOps {
 public:
  explicit FailingFileOps(FaultPlan plan = {}, const FileOps& under = SystemFileOps())
      : plan_(plan) {
    const FileOps& os = under;
    ops_.open = [this, os](const std::string& path, platform::FileAccess access,
                           platform::FileShare share, platform::FileHandle* out) {
      *out = platform::kNoFile;
      return Fails(opens, plan_.open) ? plan_.error : os.open(path, access, share, out);
    };
    ops_.read = [this, os](platform::FileHandle file, void* into, std::size_t size,
                           std::size_t* got) {
      *got = 0;
      return Fails(reads, plan_.read) ? plan_.error : os.read(file, into, size, got);
    };
    ops_.write = [this, os](platform::FileHandle file, const void* from, std::size_t size,
                            std::size_t* written) {
      if (!Fails(writes, plan_.write)) return os.write(file, from, size, written);
      std::size_t part = plan_.written_before_failure < size ? plan_.written_before_failure : 0;
      os.write(file, from, part, written);
      return plan_.error;
    };
    ops_.seek = [this, os](platform::FileHandle file, std::int64_t position) {
      return Fails(seeks, plan_.seek) ? plan_.error : os.seek(file, position);
    };
    ops_.size = [this, os](platform::FileHandle file, std::int64_t* size) {
      return Fails(sizes, plan_.size) ? plan_.error : os.size(file, size);
    };
    ops_.truncate = [this, os](platform::FileHandle file) {
      return Fails(truncates, plan_.truncate) ? plan_.error : os.truncate(file);
    };
    ops_.close = [this, os](platform::FileHandle file) {
      ++closes;
      os.close(file);
    };
    ops_.create = [this, os](const std::string& path, platform::FileHandle* out) {
      *out = platform::kNoFile;
      return Fails(creates, plan_.create) ? plan_.error : os.create(path, out);
    };
    ops_.flush = [this, os](platform::FileHandle file) {
      return Fails(flushes, plan_.flush) ? plan_.error : os.flush(file);
    };
    ops_.remove = [this, os](const std::string& path) {
      return Fails(removes, plan_.remove) ? plan_.error : os.remove(path);
    };
    ops_.stamp = [this, os](platform::FileHandle file, platform::FileStamp* stamp) {
      return Fails(stamps, plan_.stamp) ? plan_.error : os.stamp(file, stamp);
    };
    ops_.query = os.query;  // reports no error, so it never fails
  }
  FailingFileOps(const FailingFileOps&) = delete;
  FailingFileOps& operator=(const FailingFileOps&) = delete;

  const FileOps& ops() const { return ops_; }

  // Calls made so far, the failed one included.
  int opens = 0, reads = 0, writes = 0, seeks = 0, sizes = 0, truncates = 0, closes = 0;
  int creates = 0, flushes = 0, removes = 0, stamps = 0;

 private:
  bool Fails(int& count, int failing) const {
    ++count;
    return failing != 0 && (count == failing || (plan_.persistent && count > failing));
  }

  FaultPlan plan_;
  FileOps ops_;
};

// The exact bytes of a file.
inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace kelmora::store

#include "store/run_lock.h"

namespace kelmora::store {

RunLock::~RunLock() {
  if (file_ != platform::kNoFile) ops_.close(file_);
}

platform::ErrorCode RunLock::Take(const std::string& path, int wait_ms) {
  constexpr int kPollMs = 20;
  platform::FileHandle file = platform::kNoFile;
  if (ops_.open(path, platform::FileAccess::ReadWrite, platform::FileShare::ReadWrite, &file) != 0)
    return 0;
  for (int waited = 0;; waited += kPollMs) {
    platform::ErrorCode error = ops_.try_lock(file);
    if (error == 0) {
      file_ = file;
      return 0;
    }
    if (error != platform::kInUse || waited >= wait_ms) {
      ops_.close(file);
      return error == platform::kInUse ? error : 0;
    }
    platform::Sleep(kPollMs);
  }
}

}  // namespace kelmora::store

// One run at a time on a file: a run holds the file's lock from before it
// looks for a journal until its journal is gone. Other programs ignore the
// lock; the rewrite's stamp check covers them.
#pragma once

#include <string>

#include "platform/platform.h"
#include "store/file_ops.h"

namespace kelmora::store {

// How long a run waits for another run on the same file.
inline constexpr int kRunLockWaitMs = 30000;

class RunLock {
 public:
  explicit RunLock(const FileOps& ops) : ops_(ops) {}
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Takes the lock on the file at `path`, trying again for up to `wait_ms`
  // while another run holds it: then platform::kInUse. A file this user
  // cannot open for writing, or on a file system without such locks, is
  // not locked (0): such a run cannot write it, or cannot be kept apart.
  platform::ErrorCode Take(const std::string& path, int wait_ms = kRunLockWaitMs);

 private:
  const FileOps& ops_;
  platform::FileHandle file_ = platform::kNoFile;
};

}  // namespace kelmora::store

// The run's lock on a file on Windows: one byte locked far past its end.
#include "platform/platform.h"

#include "platform/win32.h"

namespace kelmora::platform {

ErrorCode TryLockFile(FileHandle file) {
  // Byte-range locks are mandatory on Windows: the one byte locked lies
  // far past any end a file reaches, so no read or write meets it.
  OVERLAPPED at = {};
  at.Offset = 0xFFFFFFFE;
  at.OffsetHigh = 0x7FFFFFFF;
  if (::LockFileEx(ToHandle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &at))
    return 0;
  DWORD error = ::GetLastError();
  return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? kInUse : error;
}

}  // namespace kelmora::platform

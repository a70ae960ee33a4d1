// The run's lock on a file on Linux: an open file description's lock.
#include "platform/platform.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/posix.h"

namespace kelmora::platform {

ErrorCode TryLockFile(FileHandle file) {
  // An open file description's lock: it conflicts with the lock of any
  // other open of the file, in this process too, and goes with the last
  // close. It needs the file open for writing.
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (::fcntl(ToFd(file), F_OFD_SETLK, &lock) == 0) return 0;
  if (errno == EAGAIN || errno == EACCES) return kInUse;
  return LastError();
}

}  // namespace kelmora::platform

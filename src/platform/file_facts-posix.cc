// What tells whether a file on Linux may be trusted: its kind, links,
// identity and owner.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix.h"

namespace kelmora::platform {

ErrorCode FactsOfFile(FileHandle file, FileFacts* facts) {
  struct stat info;
  if (::fstat(ToFd(file), &info) != 0) return LastError();
  facts->regular = S_ISREG(info.st_mode);
  facts->links = info.st_nlink;
  facts->identity = {static_cast<std::uint64_t>(info.st_dev),
                     static_cast<std::uint64_t>(info.st_ino), 0};
  struct statx extra;
  if (::statx(ToFd(file), "", AT_EMPTY_PATH, STATX_BTIME, &extra) == 0 &&
      (extra.stx_mask & STATX_BTIME) != 0)
    facts->identity.born =
        static_cast<std::uint64_t>(extra.stx_btime.tv_sec) * 1000000000 + extra.stx_btime.tv_nsec;
  facts->owner = std::to_string(info.st_uid);
  facts->others_may_write = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  return 0;
}

std::string RunningUser() { return std::to_string(::geteuid()); }

ErrorCode OpenWithoutFollowing(const std::string& path, FileHandle* out) {
  *out = kNoFile;
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno == ELOOP ? kNotRegularFile : LastError();
  *out = fd;
  return 0;
}

}  // namespace kelmora::platform

// The mark on a file on Linux: an extended attribute in the user namespace.
#include "platform/platform.h"

#include <sys/xattr.h>

#include <cerrno>

#include "platform/posix.h"

namespace kelmora::platform {

namespace {

constexpr char kMarkName[] = "user.kelmora.journal";

ErrorCode MarkError() {
  if (errno == ENODATA) return kNoMark;
  if (errno == ENOTSUP) return kMarksUnsupported;
  return LastError();
}

}  // namespace

ErrorCode ReadFileMark(FileHandle file, std::string* mark) {
  char value[4096];
  ssize_t size = ::fgetxattr(ToFd(file), kMarkName, value, sizeof value);
  if (size < 0) return MarkError();
  mark->assign(value, static_cast<std::size_t>(size));
  return 0;
}

ErrorCode WriteFileMark(FileHandle file, const std::string& mark) {
  if (::fsetxattr(ToFd(file), kMarkName, mark.data(), mark.size(), 0) != 0) return MarkError();
  return 0;
}

ErrorCode ClearFileMark(FileHandle file) {
  if (::fremovexattr(ToFd(file), kMarkName) != 0) return MarkError();
  return 0;
}

}  // namespace kelmora::platform

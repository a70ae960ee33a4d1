// Files on Linux: opening, reading, writing, making and naming them, and
// the OS's errors.
#include "platform/platform.h"

#include <fcntl.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix.h"

namespace kelmora::platform {

ErrorCode OpenExistingFile(const std::string& path, FileAccess access,
                           FileShare /*share: POSIX has no sharing modes*/, FileHandle* out) {
  *out = kNoFile;
  int flags = O_CLOEXEC;
  switch (access) {
    case FileAccess::Read: flags |= O_RDONLY; break;
    case FileAccess::Write: flags |= O_WRONLY; break;
    case FileAccess::ReadWrite: flags |= O_RDWR; break;
  }
  // Opening a FIFO or a device may block or act on the device: such a path
  // is turned away on its attributes first. O_NONBLOCK and the check of
  // what was opened cover a path that changes in between.
  struct stat info;
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
    return kNotRegularFile;
  int fd = ::open(path.c_str(), flags | O_NONBLOCK);
  if (fd < 0) return LastError();
  ErrorCode error = 0;
  if (::fstat(fd, &info) != 0)
    error = LastError();
  else if (S_ISDIR(info.st_mode))
    error = EISDIR;
  else if (!S_ISREG(info.st_mode))
    error = kNotRegularFile;
  else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    error = LastError();
  if (error != 0) {
    ::close(fd);
    return error;
  }
  *out = fd;
  return 0;
}

namespace {

std::string FolderOf(const std::string& path) {
  std::string folder = path.substr(0, path.find_last_of('/') + 1);
  return folder.empty() ? "." : folder;
}

// A file made by O_TMPFILE has no link until it is given its name.
bool IsNameless(int fd) {
  struct stat info;
  return ::fstat(fd, &info) == 0 && info.st_nlink == 0;
}

}  // namespace

ErrorCode CreateNewFile(const std::string& path, FileHandle* out) {
  *out = kNoFile;
  // Where the file system can hold a file without a name, the file gets its
  // name only once it is whole, so that nothing at that name is ever cut
  // short.
  int fd = ::open(FolderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    *out = fd;
    return 0;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return LastError();
  fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return LastError();
  *out = fd;
  return 0;
}

ErrorCode CreateOutputFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return LastError();
  ::close(fd);
  return 0;
}

ErrorCode IdentifyFile(const std::string& path, FileId* id) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return LastError();
  id->volume = static_cast<std::uint64_t>(info.st_dev);
  id->index = static_cast<std::uint64_t>(info.st_ino);
  return 0;
}

ErrorCode PublishNewFile(FileHandle file, const std::string& path) {
  if (IsNameless(ToFd(file))) {
    std::string self = "/proc/self/fd/" + std::to_string(ToFd(file));
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0)
      return LastError();
  }
  // The new name must be on disk before anything relies on finding it there.
  return FlushFolderOf(path);
}

void AbandonNewFile(FileHandle file, const std::string& path) {
  bool named = !IsNameless(ToFd(file));
  ::close(ToFd(file));
  if (named) ::unlink(path.c_str());
}

void StartFlushingFile(FileHandle file) {
  ::sync_file_range(ToFd(file), 0, 0, SYNC_FILE_RANGE_WRITE);
}

ErrorCode FlushFile(FileHandle file) {
  if (::fsync(ToFd(file)) != 0) return LastError();
  return 0;
}

ErrorCode RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return LastError();
  return 0;
}

ErrorCode StampOfFile(FileHandle file, FileStamp* stamp) {
  struct stat info;
  if (::fstat(ToFd(file), &info) != 0) return LastError();
  stamp->size = info.st_size;
  stamp->modified =
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return 0;
}

ErrorCode ReadFromFile(FileHandle file, void* buffer, std::size_t size, std::size_t* got) {
  *got = 0;
  for (;;) {
    ssize_t n = ::read(ToFd(file), buffer, size);
    if (n >= 0) {
      *got = static_cast<std::size_t>(n);
      return 0;
    }
    if (errno != EINTR) return LastError();
  }
}

ErrorCode WriteToFile(FileHandle file, const void* data, std::size_t size, std::size_t* written) {
  *written = 0;
  const char* bytes = static_cast<const char*>(data);
  while (*written < size) {
    ssize_t n = ::write(ToFd(file), bytes + *written, size - *written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    *written += static_cast<std::size_t>(n);
  }
  return 0;
}

ErrorCode SeekFile(FileHandle file, std::int64_t position) {
  if (::lseek(ToFd(file), static_cast<off_t>(position), SEEK_SET) < 0) return LastError();
  return 0;
}

namespace {

// CopyFileRange through memory, for file systems and kernels that copy no
// range themselves.
ErrorCode CopyThroughMemory(int from, off_t from_at, int to, off_t to_at, std::uint64_t size) {
  char piece[64 * 1024];
  while (size > 0) {
    std::size_t want = size < sizeof piece ? static_cast<std::size_t>(size) : sizeof piece;
    ssize_t got = ::pread(from, piece, want, from_at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return LastError();
    if (got == 0) return kFileChanged;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = ::pwrite(to, piece + done, static_cast<std::size_t>(got - done), to_at + done);
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) return LastError();
      done += put;
    }
    from_at += got;
    to_at += got;
    size -= static_cast<std::uint64_t>(got);
  }
  return 0;
}

}  // namespace

ErrorCode CopyFileRange(FileHandle from, std::int64_t from_at, FileHandle to, std::int64_t to_at,
                        std::uint64_t size) {
  off_t in = static_cast<off_t>(from_at), out = static_cast<off_t>(to_at);
  while (size > 0) {
    std::size_t want =
        size < (std::uint64_t{1} << 30) ? static_cast<std::size_t>(size) : std::size_t{1} << 30;
    ssize_t copied = ::copy_file_range(ToFd(from), &in, ToFd(to), &out, want, 0);
    if (copied < 0 && errno == EINTR) continue;
    // Across file systems, or where the kernel or the file system has no
    // such copy, the bytes go through memory.
    if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL))
      return CopyThroughMemory(ToFd(from), in, ToFd(to), out, size);
    if (copied < 0) return LastError();
    if (copied == 0) return kFileChanged;
    size -= static_cast<std::uint64_t>(copied);
  }
  return 0;
}

ErrorCode TellFile(FileHandle file, std::int64_t* position) {
  off_t at = ::lseek(ToFd(file), 0, SEEK_CUR);
  if (at < 0) return LastError();
  *position = at;
  return 0;
}

ErrorCode SizeOfFile(FileHandle file, std::int64_t* size) {
  struct stat info;
  if (::fstat(ToFd(file), &info) != 0) return LastError();
  *size = info.st_size;
  return 0;
}

ErrorCode TruncateFile(FileHandle file) {
  std::int64_t at = 0;
  if (ErrorCode error = TellFile(file, &at)) return error;
  if (::ftruncate(ToFd(file), static_cast<off_t>(at)) != 0) return LastError();
  return 0;
}

void CloseFile(FileHandle file) {
  if (file != kNoFile) ::close(ToFd(file));
}

PathKind QueryPath(const std::string& path) {
  struct stat info;
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return PathKind::Missing;
  if (S_ISDIR(info.st_mode)) return PathKind::Directory;
  return S_ISREG(info.st_mode) ? PathKind::File : PathKind::Special;
}

ErrorCode FlushFolderOf(const std::string& path) {
  int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  ErrorCode error = ::fsync(fd) == 0 ? 0 : LastError();
  ::close(fd);
  return error;
}

std::string FullPath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char here[PATH_MAX];
  if (::getcwd(here, sizeof here) == nullptr) return path;
  return std::string(here) + "/" + path;
}

bool IsAccessDenied(ErrorCode error) { return error == EACCES || error == EPERM || error == EROFS; }

bool IsMissing(ErrorCode error) { return error == ENOENT || error == ENOTDIR; }

std::string ErrorText(ErrorCode code) { return ::strerror(static_cast<int>(code)); }

}  // namespace kelmora::platform

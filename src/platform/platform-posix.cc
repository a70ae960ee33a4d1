// POSIX half of the platform layer (Linux).
#include "platform/platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>
#include <unwind.h>

#include <cerrno>
#include <cstdio>

namespace kelmora::platform {
namespace {

std::vector<std::string> g_arguments;

ErrorCode LastError() { return static_cast<ErrorCode>(errno); }

int ToFd(FileHandle file) { return static_cast<int>(file); }

}  // namespace

void Init(int argc, char** argv) {
  g_arguments.assign(argv, argv + argc);
  // open() takes the lowest free descriptor, so each closed one of 0-2 is
  // filled in turn.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) ::open("/dev/null", O_RDWR);
  }
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
}

// ---------------------------------------------------------------- files

ErrorCode OpenExistingFile(const std::string& path, FileAccess access,
                           FileShare /*share: POSIX has no sharing modes*/,
                           FileHandle* out) {
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
  stamp->modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                    info.st_mtim.tv_nsec;
  return 0;
}

ErrorCode ReadFromFile(FileHandle file, void* buffer, std::size_t size,
                       std::size_t* got) {
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

ErrorCode WriteToFile(FileHandle file, const void* data, std::size_t size,
                      std::size_t* written) {
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
  if (::lseek(ToFd(file), static_cast<off_t>(position), SEEK_SET) < 0)
    return LastError();
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
    std::size_t want = size < (std::uint64_t{1} << 30) ? static_cast<std::size_t>(size)
                                                       : std::size_t{1} << 30;
    ssize_t copied = ::copy_file_range(ToFd(from), &in, ToFd(to), &out, want, 0);
    if (copied < 0 && errno == EINTR) continue;
    // Across file systems, or where the kernel or the file system has no
    // such copy, the bytes go through memory.
    if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP ||
                       errno == EINVAL))
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
    facts->identity.born = static_cast<std::uint64_t>(extra.stx_btime.tv_sec) * 1000000000 +
                           extra.stx_btime.tv_nsec;
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

ErrorCode FlushFolderOf(const std::string& path) {
  int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  ErrorCode error = ::fsync(fd) == 0 ? 0 : LastError();
  ::close(fd);
  return error;
}

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

std::string FullPath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char here[PATH_MAX];
  if (::getcwd(here, sizeof here) == nullptr) return path;
  return std::string(here) + "/" + path;
}

bool IsAccessDenied(ErrorCode error) {
  return error == EACCES || error == EPERM || error == EROFS;
}

bool IsMissing(ErrorCode error) { return error == ENOENT || error == ENOTDIR; }

std::string ErrorText(ErrorCode code) {
  return ::strerror(static_cast<int>(code));
}

// ------------------------------------------------------ process, command line

std::optional<std::string> RawCommandLine() { return std::nullopt; }

std::vector<std::string> ArgumentWords() { return g_arguments; }

std::string ExecutablePath() {
  // The kernel's link holds the path with every link already resolved; it
  // is read once a run.
  static const std::string path = [] {
    char resolved[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", resolved, sizeof resolved);
    constexpr std::string_view kDeleted = " (deleted)";
    if (size > 0 && static_cast<std::size_t>(size) < sizeof resolved) {
      std::string link(resolved, static_cast<std::size_t>(size));
      if (!link.ends_with(kDeleted)) return link;
    }
    return g_arguments.empty() ? std::string() : g_arguments[0];
  }();
  return path;
}

std::string_view PathSeparators() { return "/"; }

std::optional<std::string> UserSettingsFolder() {
  // A relative XDG_CONFIG_HOME is no folder to rely on: it is passed over.
  const char* xdg = ::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg);
  const char* home = ::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config";
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] != '\0')
    return std::string(found->pw_dir) + "/.config";
  return std::nullopt;
}

void ExitProcess(int code) { ::_exit(code); }

namespace {
sigset_t g_mask_before_write;
}  // namespace

void BeginCriticalWrite() {
  sigset_t stops;
  ::sigemptyset(&stops);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::sigaddset(&stops, signal_number);
  ::pthread_sigmask(SIG_BLOCK, &stops, &g_mask_before_write);
}

// A signal that arrived meanwhile is delivered here.
void EndCriticalWrite() { ::pthread_sigmask(SIG_SETMASK, &g_mask_before_write, nullptr); }

void PauseForTest() {
#ifdef KELMORA_TEST_HOOKS
  const char* fifo = ::getenv("KELMORA_TEST_PAUSE");
  if (fifo == nullptr) return;
  int fd = ::open(fifo, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char sink[64];
  while (::read(fd, sink, sizeof sink) > 0) {
  }
  ::close(fd);
#endif
}

// ---------------------------------------------------------------- clock

namespace {

// The file of the test clock, in a test build whose environment names one.
std::optional<std::string> TestClockPath() {
#ifdef KELMORA_TEST_HOOKS
  if (const char* path = ::getenv("KELMORA_TEST_CLOCK")) return std::string(path);
#endif
  return std::nullopt;
}

std::optional<LocalTime> ReadTestClock(const std::string& path) {
  LocalTime time{};
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return std::nullopt;
  int fields = std::fscanf(file, "%d %d %d %d %d %d", &time.year, &time.month, &time.day,
                           &time.hour, &time.minute, &time.second);
  std::fclose(file);
  if (fields != 6) return std::nullopt;
  return time;
}

}  // namespace

LocalTime ReadLocalTime() {
  if (std::optional<std::string> clock = TestClockPath()) {
    // A clock file caught while it is rewritten keeps the last reading.
    static LocalTime last{};
    if (std::optional<LocalTime> time = ReadTestClock(*clock)) last = *time;
    return last;
  }
  time_t now = ::time(nullptr);
  struct tm local;
  ::localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

// ------------------------------------------------------- sound and waiting

void Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  struct timespec wait = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

// No tone generator to drive: the caller relies only on the duration.
void Tone(int /*hertz*/, int milliseconds) { Sleep(milliseconds); }

void AlertSound() {
  // The terminal's own bell.
  if (::isatty(STDOUT_FILENO)) WriteStandardOutput("\a", 1);
}

// ------------------------------------------------------------- console

OutputKind StandardOutputKind() { return StandardStreamKind(StandardStream::Output); }

bool ReadScreenInfo(ScreenInfo* /*info*/) { return false; }
void WriteCells(int, int, const char*, std::size_t, std::uint8_t) {}
void ScrollUp(std::uint8_t) {}
void SetCursor(int, int) {}

namespace {
bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}
}  // namespace

bool WriteStandardOutput(const char* data, std::size_t size) {
  return WriteAll(STDOUT_FILENO, data, size);
}

bool WriteStandardError(const char* data, std::size_t size) {
  return WriteAll(STDERR_FILENO, data, size);
}

OutputKind StandardStreamKind(StandardStream stream) {
  int fd = stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO;
  return ::isatty(fd) ? OutputKind::Terminal : OutputKind::Stream;
}

// No console of cells here.
void UseConsoleOf(StandardStream) {}

ErrorCode ReadStandardInput(std::string* text) {
  text->clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    text->append(buffer, static_cast<std::size_t>(n));
  }
}

void SetUpConsoleInput() {
  // Ctrl+C does not stop the run; Ctrl+\ (SIGQUIT) keeps its default
  // action and ends the process at once, as Ctrl+Break does on Windows.
  ::signal(SIGINT, SIG_IGN);
  ::signal(SIGQUIT, SIG_DFL);
}

// A terminal moves its own cursor as text arrives.
void StartCursorFollower(int, int) {}
void RecordCursor(int, int) {}
void StopCursorFollower() {}

// ------------------------------------------------------------- faults

namespace {

FaultHandler g_fault_handler = nullptr;
std::uintptr_t g_load_address = 0;
// A stack that runs out faults close to the stack pointer of the code that
// ran out: a push or call one word below it, a probe or a store within the
// frame it has just made room for. Nothing else faults there, as the
// stack's pages from the stack pointer up are always mapped.
constexpr std::uintptr_t kStackReachBelow = 256;
constexpr std::uintptr_t kStackReachAbove = std::uintptr_t{1} << 20;

std::uintptr_t OffsetFromLoadAddress(std::uintptr_t address) {
  return address >= g_load_address ? address - g_load_address : address;
}

void FindLoadAddress() {
  Dl_info info;
  if (::dladdr(reinterpret_cast<void*>(&FindLoadAddress), &info) != 0)
    g_load_address = reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

// The interrupted code's instruction and stack pointers; zeros where the
// architecture is not known.
struct FaultRegisters {
  std::uintptr_t instruction = 0;
  std::uintptr_t stack = 0;
};

FaultRegisters RegistersAtFault(const void* context) {
  const auto& machine = static_cast<const ucontext_t*>(context)->uc_mcontext;
#if defined(__x86_64__)
  return {static_cast<std::uintptr_t>(machine.gregs[REG_RIP]),
          static_cast<std::uintptr_t>(machine.gregs[REG_RSP])};
#elif defined(__aarch64__)
  return {machine.pc, machine.sp};
#else
  (void)machine;
  return {};
#endif
}

// Judged at the fault from the registers alone, so that start-up pays
// nothing for it (the C library finds the stack's bounds by reading
// /proc/self/maps).
bool IsStackOverflow(int signal_number, const siginfo_t* info, std::uintptr_t stack_pointer) {
  if (signal_number != SIGSEGV || stack_pointer == 0) return false;
  auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  return address + kStackReachBelow >= stack_pointer &&
         address < stack_pointer + kStackReachAbove;
}

int FaultNumberForSignal(int signal_number, const siginfo_t* info, std::uintptr_t stack_pointer) {
  if (IsStackOverflow(signal_number, info, stack_pointer)) return 202;
  switch (signal_number) {
    case SIGSEGV:
    case SIGBUS: return 216;
    case SIGFPE: return 200;
    default: return 217;
  }
}

struct Frames {
  void** at;
  int wanted;
  int count = 0;
};

_Unwind_Reason_Code CollectFrame(struct _Unwind_Context* context, void* frames_argument) {
  auto* frames = static_cast<Frames*>(frames_argument);
  if (frames->count == frames->wanted) return _URC_END_OF_STACK;
  frames->at[frames->count++] = reinterpret_cast<void*>(_Unwind_GetIP(context));
  return _URC_NO_REASON;
}

// Runs on the alternate stack, so that a stack overflow can be reported.
void OnSignal(int signal_number, siginfo_t* info, void* context) {
  Fault fault;
  FaultRegisters registers = RegistersAtFault(context);
  fault.fault_number = FaultNumberForSignal(signal_number, info, registers.stack);
  fault.address = OffsetFromLoadAddress(registers.instruction);
  if (g_fault_handler != nullptr) g_fault_handler(fault);
  ::_exit(fault.fault_number);
}

}  // namespace

void InstallFaultHandler(FaultHandler handler) {
  g_fault_handler = handler;
  FindLoadAddress();

  static char alternate_stack[64 * 1024];
  stack_t stack = {};
  stack.ss_sp = alternate_stack;
  stack.ss_size = sizeof alternate_stack;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action = {};
  action.sa_sigaction = OnSignal;
  // SA_RESETHAND: a fault inside the report ends the process the default way
  // instead of looping.
  action.sa_flags = static_cast<int>(SA_SIGINFO | SA_ONSTACK | SA_RESETHAND);
  ::sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
    ::sigaction(signal_number, &action, nullptr);
}

std::uintptr_t CallerAddress() {
  // frames[0] lies in this function, frames[1] in its caller, frames[2] in
  // the code that called the caller. The unwinder is the one linked into
  // the program (no library to load, nothing allocated, so it works when
  // memory has run out) and needs no frame pointers.
  void* at[3] = {};
  Frames frames{at, 3};
  _Unwind_Backtrace(CollectFrame, &frames);
  if (frames.count < 3) return 0;
  return OffsetFromLoadAddress(reinterpret_cast<std::uintptr_t>(at[2]));
}

// ------------------------------------------------------------ player window

// No player window to look at on this platform.
std::optional<std::string> FindWindowCaption(const std::string& /*class*/) {
  return std::nullopt;
}

}  // namespace kelmora::platform

// POSIX half of the platform layer (Linux).
#include "platform/platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace kelmora::platform {
namespace {

std::vector<std::string> g_arguments;

ErrorCode LastError() { return static_cast<ErrorCode>(errno); }

int ToFd(FileHandle file) { return static_cast<int>(file); }

}  // namespace

void Init(int argc, char** argv) {
  g_arguments.assign(argv, argv + argc);
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
  int fd = ::open(path.c_str(), flags);
  if (fd < 0) return LastError();
  struct stat info;
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ErrorCode error = S_ISDIR(info.st_mode) ? EISDIR : LastError();
    ::close(fd);
    return error;
  }
  *out = fd;
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
  return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::File;
}

std::string ErrorText(ErrorCode code) {
  return ::strerror(static_cast<int>(code));
}

// ------------------------------------------------------ process, command line

std::optional<std::string> RawCommandLine() { return std::nullopt; }

std::vector<std::string> ArgumentWords() { return g_arguments; }

std::string ExecutablePath() {
  char resolved[PATH_MAX];
  if (::realpath("/proc/self/exe", resolved) != nullptr) return resolved;
  return g_arguments.empty() ? std::string() : g_arguments[0];
}

std::string_view PathSeparators() { return "/"; }

void ExitProcess(int code) { ::_exit(code); }

// ---------------------------------------------------------------- clock

LocalTime ReadLocalTime() {
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

OutputKind StandardOutputKind() {
  return ::isatty(STDOUT_FILENO) ? OutputKind::Terminal : OutputKind::Stream;
}

bool ReadScreenInfo(ScreenInfo* /*info*/) { return false; }
void WriteCells(int, int, const char*, std::size_t, std::uint8_t) {}
void ScrollUp(std::uint8_t) {}
void SetCursor(int, int) {}

namespace {
void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // console failures are ignored
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}
}  // namespace

void WriteStandardOutput(const char* data, std::size_t size) {
  WriteAll(STDOUT_FILENO, data, size);
}

void WriteStandardError(const char* data, std::size_t size) {
  WriteAll(STDERR_FILENO, data, size);
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
// Highest known address of the main thread's stack, set when the handler is
// installed.
std::uintptr_t g_stack_top = 0;

std::uintptr_t LoadAddress() {
  Dl_info info;
  if (::dladdr(reinterpret_cast<void*>(&LoadAddress), &info) != 0)
    return reinterpret_cast<std::uintptr_t>(info.dli_fbase);
  return 0;
}

int FaultNumberForSignal(int signal_number, bool on_alternate_stack_overflow) {
  if (on_alternate_stack_overflow) return 202;
  switch (signal_number) {
    case SIGSEGV:
    case SIGBUS: return 216;
    case SIGFPE: return 200;
    default: return 217;
  }
}

// Stack overflow shows up as SIGSEGV on an address just below the stack;
// telling it apart needs the current stack bounds.
// The handler runs on the alternate stack, so the fault address is compared
// with the main stack instead: within 64 MiB below its recorded top.
bool LooksLikeStackOverflow(const void* fault_address) {
  auto address = reinterpret_cast<std::uintptr_t>(fault_address);
  return g_stack_top != 0 && address < g_stack_top &&
         g_stack_top - address < (64u << 20);
}

void OnSignal(int signal_number, siginfo_t* info, void* context) {
  (void)context;
  Fault fault;
  bool overflow = signal_number == SIGSEGV && LooksLikeStackOverflow(info->si_addr);
  fault.fault_number = FaultNumberForSignal(signal_number, overflow);
  std::uintptr_t base = LoadAddress();
  std::uintptr_t pc = 0;
#if defined(__x86_64__)
  pc = static_cast<std::uintptr_t>(
      static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#endif
  fault.address = pc >= base ? pc - base : pc;
  if (g_fault_handler != nullptr) g_fault_handler(fault);
  ::_exit(fault.fault_number);
}

}  // namespace

void InstallFaultHandler(FaultHandler handler) {
  g_fault_handler = handler;
  char here;
  g_stack_top = reinterpret_cast<std::uintptr_t>(&here);
  static char alternate_stack[64 * 1024];
  stack_t stack = {};
  stack.ss_sp = alternate_stack;
  stack.ss_size = sizeof alternate_stack;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action = {};
  action.sa_sigaction = OnSignal;
  action.sa_flags = static_cast<int>(SA_SIGINFO | SA_ONSTACK | SA_RESETHAND);
  ::sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
    ::sigaction(signal_number, &action, nullptr);
}

std::uintptr_t CallerAddress() {
  auto pc = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
  std::uintptr_t base = LoadAddress();
  return pc >= base ? pc - base : pc;
}

// ------------------------------------------------------------ player window

// No player window to look at on this platform.
std::optional<std::string> FindWindowCaption(const std::string& /*class*/) {
  return std::nullopt;
}

}  // namespace kelmora::platform

// Win32 half of the platform layer (kernel32 and user32 only).
#include "platform/platform.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// <excpt.h> makes exception_code a macro, which would rename Fault's field.
#undef exception_code

#include <algorithm>
#include <atomic>

// The linker's symbol at the image's load address.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace kelmora::platform {
namespace {

std::vector<std::string> g_arguments;
// Set once a fault is being reported: from then on the process ends without
// the system's shutdown work, which needs stack the fault may have used up.
std::atomic<bool> g_fault_raised{false};

HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

ErrorCode LastError() { return static_cast<ErrorCode>(::GetLastError()); }

// ReadFile and WriteFile take at most a DWORD of bytes at a time.
DWORD ChunkSize(std::size_t size) {
  return static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000));
}

std::uintptr_t OffsetFromLoadAddress(std::uintptr_t address) {
  auto base = reinterpret_cast<std::uintptr_t>(&__ImageBase);
  return address >= base ? address - base : address;
}

}  // namespace

void Init(int argc, char** argv) {
  g_arguments.assign(argv, argv + argc);
  // A missing standard handle is given the null device, as on the other
  // builds; pipes closed by the reader already fail quietly on Windows and
  // there is no file-size signal.
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    HANDLE handle = ::GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) continue;
    HANDLE null_device = ::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    if (null_device != INVALID_HANDLE_VALUE) ::SetStdHandle(which, null_device);
  }
}

// ---------------------------------------------------------------- files

namespace {

DWORD DesiredAccess(FileAccess access) {
  switch (access) {
    case FileAccess::Read: return GENERIC_READ;
    case FileAccess::Write: return GENERIC_WRITE;
    case FileAccess::ReadWrite: return GENERIC_READ | GENERIC_WRITE;
  }
  return GENERIC_READ;
}

DWORD ShareMode(FileShare share) {
  switch (share) {
    case FileShare::None: return 0;
    case FileShare::Read: return FILE_SHARE_READ;
    case FileShare::Write: return FILE_SHARE_WRITE;
    case FileShare::ReadWrite: return FILE_SHARE_READ | FILE_SHARE_WRITE;
  }
  return 0;
}

// Moves the file pointer; *at receives the new position.
ErrorCode MoveFilePointer(FileHandle file, std::int64_t distance, DWORD method,
                          std::int64_t* at) {
  LONG high = static_cast<LONG>(distance >> 32);
  DWORD low = ::SetFilePointer(ToHandle(file), static_cast<LONG>(distance & 0xFFFFFFFF),
                               &high, method);
  // INVALID_SET_FILE_POINTER is also a valid low half; only GetLastError tells.
  if (low == INVALID_SET_FILE_POINTER) {
    if (ErrorCode error = LastError()) return error;
  }
  *at = (static_cast<std::int64_t>(high) << 32) | low;
  return 0;
}

}  // namespace

ErrorCode OpenExistingFile(const std::string& path, FileAccess access, FileShare share,
                           FileHandle* out) {
  *out = kNoFile;
  HANDLE handle = ::CreateFileA(path.c_str(), DesiredAccess(access), ShareMode(share),
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  // Opening a pipe or a device does not block; reading it might.
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    return kNotRegularFile;
  }
  *out = reinterpret_cast<FileHandle>(handle);
  return 0;
}

namespace {

// The running user's SID as text ("S-1-5-21-..."); empty when unknown.
std::string UserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  char buffer[256];
  DWORD size = 0;
  std::string sid;
  if (::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
    char* text = nullptr;
    if (::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
      sid = text;
      ::LocalFree(text);
    }
  }
  ::CloseHandle(token);
  return sid;
}

}  // namespace

ErrorCode CreateNewFile(const std::string& path, FileHandle* out) {
  *out = kNoFile;
  // Only the running user may touch the file (a protected DACL of one
  // entry), so the user's journal never looks writable by others. It may
  // be deleted while open.
  std::string descriptor = "D:P(A;;FA;;;" + UserSid() + ")";
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  PSECURITY_DESCRIPTOR made = nullptr;
  if (::ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptor.c_str(), SDDL_REVISION_1,
                                                             &made, nullptr))
    attributes.lpSecurityDescriptor = made;
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE,
                                &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ErrorCode error = handle == INVALID_HANDLE_VALUE ? LastError() : 0;
  if (made != nullptr) ::LocalFree(made);
  if (error != 0) return error;
  *out = reinterpret_cast<FileHandle>(handle);
  return 0;
}

ErrorCode CreateOutputFile(const std::string& path) {
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  ::CloseHandle(handle);
  return 0;
}

ErrorCode IdentifyFile(const std::string& path, FileId* id) {
  // No access asked for: the file is only looked at, even while another
  // program holds it without sharing.
  HANDLE handle = ::CreateFileA(path.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  BY_HANDLE_FILE_INFORMATION info;
  ErrorCode error = ::GetFileInformationByHandle(handle, &info) ? 0 : LastError();
  ::CloseHandle(handle);
  if (error != 0) return error;
  id->volume = info.dwVolumeSerialNumber;
  id->index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return 0;
}

// The file was given its name when it was made; NTFS logs the new entry.
ErrorCode PublishNewFile(FileHandle, const std::string&) { return 0; }

void AbandonNewFile(FileHandle file, const std::string& path) {
  ::CloseHandle(ToHandle(file));
  ::DeleteFileA(path.c_str());
}

// Windows has no call that starts writing a file out without waiting for
// it; FlushFile does all of it.
void StartFlushingFile(FileHandle) {}

ErrorCode FlushFile(FileHandle file) {
  if (!::FlushFileBuffers(ToHandle(file))) return LastError();
  return 0;
}

ErrorCode RemoveFile(const std::string& path) {
  if (!::DeleteFileA(path.c_str())) return LastError();
  return 0;
}

ErrorCode StampOfFile(FileHandle file, FileStamp* stamp) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(ToHandle(file), &info)) return LastError();
  stamp->size = (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp->modified = (static_cast<std::int64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                    info.ftLastWriteTime.dwLowDateTime;
  return 0;
}

ErrorCode ReadFromFile(FileHandle file, void* buffer, std::size_t size, std::size_t* got) {
  DWORD read = 0;
  *got = 0;
  if (!::ReadFile(ToHandle(file), buffer, ChunkSize(size), &read, nullptr))
    return LastError();
  *got = read;
  return 0;
}

ErrorCode WriteToFile(FileHandle file, const void* data, std::size_t size,
                      std::size_t* written) {
  const char* bytes = static_cast<const char*>(data);
  *written = 0;
  while (*written < size) {
    DWORD done = 0;
    if (!::WriteFile(ToHandle(file), bytes + *written, ChunkSize(size - *written), &done,
                     nullptr))
      return LastError();
    if (done == 0) return ERROR_WRITE_FAULT;
    *written += done;
  }
  return 0;
}

ErrorCode SeekFile(FileHandle file, std::int64_t position) {
  std::int64_t at = 0;
  return MoveFilePointer(file, position, FILE_BEGIN, &at);
}

ErrorCode CopyFileRange(FileHandle from, std::int64_t from_at, FileHandle to, std::int64_t to_at,
                        std::uint64_t size) {
  // CopyFileEx copies only whole files into new ones: the range goes
  // through memory.
  char piece[64 * 1024];
  while (size > 0) {
    std::size_t want = size < sizeof piece ? static_cast<std::size_t>(size) : sizeof piece;
    std::size_t got = 0, put = 0;
    if (ErrorCode error = SeekFile(from, from_at)) return error;
    if (ErrorCode error = ReadFromFile(from, piece, want, &got)) return error;
    if (got == 0) return kFileChanged;
    if (ErrorCode error = SeekFile(to, to_at)) return error;
    if (ErrorCode error = WriteToFile(to, piece, got, &put)) return error;
    from_at += static_cast<std::int64_t>(got);
    to_at += static_cast<std::int64_t>(got);
    size -= got;
  }
  return 0;
}

ErrorCode TellFile(FileHandle file, std::int64_t* position) {
  return MoveFilePointer(file, 0, FILE_CURRENT, position);
}

ErrorCode SizeOfFile(FileHandle file, std::int64_t* size) {
  std::int64_t at = 0;
  if (ErrorCode error = TellFile(file, &at)) return error;
  if (ErrorCode error = MoveFilePointer(file, 0, FILE_END, size)) return error;
  return SeekFile(file, at);
}

ErrorCode TruncateFile(FileHandle file) {
  if (!::SetEndOfFile(ToHandle(file))) return LastError();
  return 0;
}

void CloseFile(FileHandle file) {
  if (file != kNoFile) ::CloseHandle(ToHandle(file));
}

PathKind QueryPath(const std::string& path) {
  if (path.empty()) return PathKind::Missing;
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::File;
}

namespace {

bool IsSid(PSID sid, const char* text) {
  PSID other = nullptr;
  if (!::ConvertStringSidToSidA(text, &other)) return false;
  bool same = ::EqualSid(sid, other);
  ::LocalFree(other);
  return same;
}

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(sid, &text)) return {};
  std::string result = text;
  ::LocalFree(text);
  return result;
}

// Whether an entry of `dacl` lets a user other than `owner`, the running
// user, the system or the administrators write to the file. No DACL at
// all lets everyone.
bool OthersMayWrite(PACL dacl, PSID owner) {
  if (dacl == nullptr) return true;
  constexpr DWORD kWriting = FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_WRITE | GENERIC_ALL |
                             WRITE_DAC | WRITE_OWNER | DELETE;
  std::string user = UserSid();
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!::GetAce(dacl, i, reinterpret_cast<void**>(&header))) return true;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    if ((ace->Mask & kWriting) == 0) continue;
    PSID sid = &ace->SidStart;
    if ((owner != nullptr && ::EqualSid(sid, owner)) || SidText(sid) == user ||
        IsSid(sid, "S-1-5-18") || IsSid(sid, "S-1-5-32-544") || IsSid(sid, "S-1-3-4"))
      continue;
    return true;
  }
  return false;
}

}  // namespace

ErrorCode FactsOfFile(FileHandle file, FileFacts* facts) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(ToHandle(file), &info)) return LastError();
  facts->regular = ::GetFileType(ToHandle(file)) == FILE_TYPE_DISK &&
                   (info.dwFileAttributes &
                    (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
  facts->links = info.nNumberOfLinks;
  // NTFS's file ID carries a sequence number that changes when the number
  // is given to a new file, so no birth time is needed (and Wine reports a
  // creation time that moves with each write).
  facts->identity = {info.dwVolumeSerialNumber,
                     (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                     0};
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = ::GetSecurityInfo(ToHandle(file), SE_FILE_OBJECT,
                                  OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, nullptr, &dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return error;
  facts->owner = owner != nullptr ? SidText(owner) : std::string();
  facts->others_may_write = OthersMayWrite(dacl, owner);
  ::LocalFree(descriptor);
  return 0;
}

std::string RunningUser() { return UserSid(); }

ErrorCode OpenWithoutFollowing(const std::string& path, FileHandle* out) {
  *out = kNoFile;
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  *out = reinterpret_cast<FileHandle>(handle);
  return 0;
}

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

// NTFS puts a folder's changes in its own log before they take effect;
// there is no folder handle to flush.
ErrorCode FlushFolderOf(const std::string&) { return 0; }

// Alternate data streams could hold a mark; the program keeps none here.
ErrorCode ReadFileMark(FileHandle, std::string*) { return kMarksUnsupported; }
ErrorCode WriteFileMark(FileHandle, const std::string&) { return kMarksUnsupported; }
ErrorCode ClearFileMark(FileHandle) { return kMarksUnsupported; }

std::string FullPath(const std::string& path) {
  std::string full(32768, '\0');
  DWORD length = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                    nullptr);
  if (length == 0 || length >= full.size()) return path;
  full.resize(length);
  return full;
}

bool IsAccessDenied(ErrorCode error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}

bool IsMissing(ErrorCode error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::string ErrorText(ErrorCode code) {
  char buffer[512];
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) text = "system error " + std::to_string(code);
  return text;
}

// ------------------------------------------------------ process, command line

std::optional<std::string> RawCommandLine() { return std::string(::GetCommandLineA()); }

std::vector<std::string> ArgumentWords() { return g_arguments; }

std::string ExecutablePath() {
  // Long enough for any path the system can hand out, \\?\ forms included.
  std::string path(32768, '\0');
  DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path;
}

std::string_view PathSeparators() { return "\\/"; }

std::optional<std::string> UserSettingsFolder() { return std::nullopt; }

void ExitProcess(int code) {
  if (g_fault_raised) ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
  ::ExitProcess(static_cast<UINT>(code));
}

namespace {
// Held exclusively by the main thread during a critical write; the console
// control handler, which runs on a thread of its own, waits for it.
SRWLOCK g_write_lock = SRWLOCK_INIT;
}  // namespace

void BeginCriticalWrite() { ::AcquireSRWLockExclusive(&g_write_lock); }

void EndCriticalWrite() { ::ReleaseSRWLockExclusive(&g_write_lock); }

// The hook waits on a FIFO, which Windows does not have.
void PauseForTest() {}

// ---------------------------------------------------------------- clock

LocalTime ReadLocalTime() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

// ------------------------------------------------------- sound and waiting

void Sleep(int milliseconds) {
  if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

void Tone(int hertz, int milliseconds) {
  if (milliseconds <= 0) return;
  // Beep returns at once where no tone can be played; the caller relies on
  // the duration, so make up the rest of it.
  DWORD start = ::GetTickCount();
  ::Beep(static_cast<DWORD>(std::clamp(hertz, 37, 32767)), static_cast<DWORD>(milliseconds));
  DWORD spent = ::GetTickCount() - start;
  if (spent < static_cast<DWORD>(milliseconds))
    ::Sleep(static_cast<DWORD>(milliseconds) - spent);
}

void AlertSound() { ::MessageBeep(MB_OK); }

// ------------------------------------------------------------- console

namespace {

// The standard stream whose console the console calls act on.
DWORD g_console_stream = STD_OUTPUT_HANDLE;

HANDLE OutputHandle() { return ::GetStdHandle(g_console_stream); }

DWORD StandardHandleOf(StandardStream stream) {
  return stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
}

SHORT ToShort(int value) { return static_cast<SHORT>(value); }

COORD At(int x, int y) { return COORD{ToShort(x), ToShort(y)}; }

// A console may refuse a single transfer of more than about 64 KiB of cells.
constexpr int kMaxCellsPerCall = 8000;

// Copies rows [from, from + count) of the buffer to start at row `to`.
void CopyRows(int width, int from, int to, int count) {
  std::vector<CHAR_INFO> cells(static_cast<std::size_t>(width * count));
  COORD size = At(width, count);
  SMALL_RECT source = {0, ToShort(from), ToShort(width - 1), ToShort(from + count - 1)};
  if (!::ReadConsoleOutputA(OutputHandle(), cells.data(), size, At(0, 0), &source)) return;
  SMALL_RECT target = {0, ToShort(to), ToShort(width - 1), ToShort(to + count - 1)};
  ::WriteConsoleOutputA(OutputHandle(), cells.data(), size, At(0, 0), &target);
}

}  // namespace

OutputKind StandardStreamKind(StandardStream stream) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  return ::GetConsoleScreenBufferInfo(::GetStdHandle(StandardHandleOf(stream)), &info)
             ? OutputKind::Console
             : OutputKind::Stream;
}

OutputKind StandardOutputKind() { return StandardStreamKind(StandardStream::Output); }

void UseConsoleOf(StandardStream stream) { g_console_stream = StandardHandleOf(stream); }

ErrorCode ReadStandardInput(std::string* text) {
  text->clear();
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(input, buffer, sizeof buffer, &got, nullptr)) {
      // The writer closing its end of a pipe is the end of the input.
      ErrorCode error = LastError();
      return error == ERROR_BROKEN_PIPE ? 0 : error;
    }
    if (got == 0) return 0;
    text->append(buffer, got);
  }
}

bool ReadScreenInfo(ScreenInfo* info) {
  CONSOLE_SCREEN_BUFFER_INFO console;
  if (!::GetConsoleScreenBufferInfo(OutputHandle(), &console)) return false;
  info->width = console.dwSize.X;
  info->height = console.dwSize.Y;
  info->cursor_x = console.dwCursorPosition.X;
  info->cursor_y = console.dwCursorPosition.Y;
  WORD attribute = 0;
  DWORD read = 0;
  if (::ReadConsoleOutputAttribute(OutputHandle(), &attribute, 1, console.dwCursorPosition,
                                   &read) &&
      read == 1) {
    info->attribute_under_cursor = static_cast<std::uint8_t>(attribute & 0xFF);
  } else {
    info->attribute_under_cursor = static_cast<std::uint8_t>(console.wAttributes & 0xFF);
  }
  return true;
}

void WriteCells(int x, int y, const char* chars, std::size_t size, std::uint8_t attribute) {
  if (size == 0) return;
  std::vector<CHAR_INFO> cells(size);
  for (std::size_t i = 0; i < size; ++i) {
    cells[i].Char.AsciiChar = chars[i];
    cells[i].Attributes = attribute;
  }
  int count = static_cast<int>(size);
  SMALL_RECT target = {ToShort(x), ToShort(y), ToShort(x + count - 1), ToShort(y)};
  ::WriteConsoleOutputA(OutputHandle(), cells.data(), At(count, 1), At(0, 0), &target);
}

void ScrollUp(std::uint8_t fill_attribute) {
  CONSOLE_SCREEN_BUFFER_INFO console;
  if (!::GetConsoleScreenBufferInfo(OutputHandle(), &console)) return;
  int width = console.dwSize.X, height = console.dwSize.Y;
  if (width <= 0 || height <= 0) return;
  int rows_per_call = std::max(1, kMaxCellsPerCall / width);
  // Top to bottom, so every row is read before it is overwritten.
  for (int row = 1; row < height; row += rows_per_call)
    CopyRows(width, row, row - 1, std::min(rows_per_call, height - row));
  std::string blank(static_cast<std::size_t>(width), ' ');
  WriteCells(0, height - 1, blank.data(), blank.size(), fill_attribute);
}

void SetCursor(int x, int y) { ::SetConsoleCursorPosition(OutputHandle(), At(x, y)); }

namespace {

bool WriteAll(HANDLE handle, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD done = 0;
    if (!::WriteFile(handle, data, ChunkSize(size), &done, nullptr) || done == 0) return false;
    data += done;
    size -= done;
  }
  return true;
}

// Every break event goes on to the default handling, which ends the process
// at once, but only once a critical write is over; a close event is waited
// for as long as Windows lets its handler run. Ctrl+C never gets here: the
// input mode takes it as a key.
BOOL WINAPI PassBreakOn(DWORD /*event*/) {
  ::AcquireSRWLockShared(&g_write_lock);
  ::ReleaseSRWLockShared(&g_write_lock);
  return FALSE;
}

}  // namespace

bool WriteStandardOutput(const char* data, std::size_t size) {
  return WriteAll(::GetStdHandle(STD_OUTPUT_HANDLE), data, size);
}

bool WriteStandardError(const char* data, std::size_t size) {
  return WriteAll(::GetStdHandle(STD_ERROR_HANDLE), data, size);
}

void SetUpConsoleInput() {
  // Only mouse events: no line input, no echo, Ctrl+C as an ordinary key.
  ::SetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), ENABLE_MOUSE_INPUT);
  ::SetConsoleCtrlHandler(PassBreakOn, TRUE);
}

// ------------------------------------------------- cursor follower thread

namespace {

// Written by the main thread, read by the follower; a stale read only delays
// the cursor move by one wake-up.
std::atomic<int> g_recorded_x{0}, g_recorded_y{0};
std::atomic<bool> g_stop_following{false};
HANDLE g_cursor_event = nullptr;
HANDLE g_cursor_thread = nullptr;

constexpr DWORD kFollowerWakeUp = 300;
constexpr DWORD kFollowerStopWait = 2000;

DWORD WINAPI FollowCursor(LPVOID /*unused*/) {
  int applied_x = -1, applied_y = -1;
  while (!g_stop_following.load(std::memory_order_relaxed)) {
    ::WaitForSingleObject(g_cursor_event, kFollowerWakeUp);
    int x = g_recorded_x.load(std::memory_order_relaxed);
    int y = g_recorded_y.load(std::memory_order_relaxed);
    if (x != applied_x || y != applied_y) {
      SetCursor(x, y);
      applied_x = x;
      applied_y = y;
    }
  }
  return 0;
}

}  // namespace

void StartCursorFollower(int x, int y) {
  if (g_cursor_thread != nullptr) return;
  RecordCursor(x, y);
  g_stop_following = false;
  g_cursor_event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (g_cursor_event == nullptr) return;
  g_cursor_thread = ::CreateThread(nullptr, 0, FollowCursor, nullptr, 0, nullptr);
}

void RecordCursor(int x, int y) {
  g_recorded_x.store(x, std::memory_order_relaxed);
  g_recorded_y.store(y, std::memory_order_relaxed);
  if (g_cursor_event != nullptr) ::SetEvent(g_cursor_event);
}

void StopCursorFollower() {
  if (g_cursor_thread == nullptr) return;
  g_stop_following = true;
  ::SetEvent(g_cursor_event);
  // The thread must not move the cursor after the final placement below.
  ::WaitForSingleObject(g_cursor_thread, kFollowerStopWait);
  ::CloseHandle(g_cursor_thread);
  g_cursor_thread = nullptr;
  SetCursor(g_recorded_x.load(), g_recorded_y.load());
}

// ------------------------------------------------------------- faults

namespace {

FaultHandler g_fault_handler = nullptr;

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  g_fault_raised = true;
  Fault fault;
  fault.exception_code = static_cast<std::uint32_t>(record->ExceptionCode);
  fault.address = OffsetFromLoadAddress(reinterpret_cast<std::uintptr_t>(record->ExceptionAddress));
  if (g_fault_handler != nullptr) g_fault_handler(fault);
  // Only reached without a handler: the system ends the process with the
  // exception code.
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void InstallFaultHandler(FaultHandler handler) {
  g_fault_handler = handler;
  // After a stack overflow the handler runs on what is left of the stack;
  // keep enough in reserve for the exit procedures and the report.
  ULONG reserve = 64 * 1024;
  ::SetThreadStackGuarantee(&reserve);
  ::SetUnhandledExceptionFilter(OnUnhandledException);
}

std::uintptr_t CallerAddress() {
  // frames[0] lies in this function, frames[1] in its caller, frames[2] in
  // the code that called the caller. The unwind tables make this work
  // without frame pointers.
  void* frames[3] = {};
  if (::RtlCaptureStackBackTrace(0, 3, frames, nullptr) < 3) return 0;
  return OffsetFromLoadAddress(reinterpret_cast<std::uintptr_t>(frames[2]));
}

// ------------------------------------------------------------ player window

std::optional<std::string> FindWindowCaption(const std::string& window_class) {
  HWND window = ::FindWindowA(window_class.c_str(), nullptr);
  if (window == nullptr) return std::nullopt;
  char caption[256];
  int length = ::GetWindowTextA(window, caption, sizeof caption);
  if (length <= 0) return std::string();
  ::CharToOemBuffA(caption, caption, static_cast<DWORD>(length));
  return std::string(caption, static_cast<std::size_t>(length));
}

}  // namespace kelmora::platform

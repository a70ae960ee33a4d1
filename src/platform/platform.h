// Everything the program asks of the operating system. One implementation per
// OS: platform-win32.cc (the primary platform) and platform-posix.cc. No other
// file of the program includes an OS header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelmora::platform {

// Called once, first thing in main. Keeps argc/argv where the OS does not
// offer the raw command line; opens any closed standard stream on the null
// device, so that no file the program opens can take its place; makes a
// closed output pipe and a file-size limit ordinary write failures instead
// of signals that end the process.
void Init(int argc, char** argv);

// ---------------------------------------------------------------- files

// Opaque handle of an open file; kNoFile when no file is open.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

enum class FileAccess { Read, Write, ReadWrite };
// What other processes may do with the file while it is open.
enum class FileShare { None, Read, Write, ReadWrite };

// OS error code; 0 means success.
using ErrorCode = std::uint32_t;

// Codes the program reports in place of an OS error. Bit 29 marks an
// application's own code on Windows, and no errno value is that large.
inline constexpr ErrorCode kNotRegularFile = 0x20000001;
inline constexpr ErrorCode kFileChanged = 0x20000002;

// Opens an existing regular file; never creates one. Anything else that is
// not a directory (a FIFO, a device, a socket) gives kNotRegularFile, found
// without an open that could block.
ErrorCode OpenExistingFile(const std::string& path, FileAccess access,
                           FileShare share, FileHandle* out);
// Creates a file that must not exist yet, for writing it once, without
// sharing; its entry in the folder is on disk when this returns. Writes to
// it may go straight to the disk, past the OS's cache, where the file
// system allows it: each must be a multiple of kDirectWriteBlock bytes long,
// from memory aligned to it, so that every write starts at such a multiple.
inline constexpr std::size_t kDirectWriteBlock = 4096;
ErrorCode CreateNewFile(const std::string& path, FileHandle* out);
// Returns once everything written to the file is on disk.
ErrorCode FlushFile(FileHandle file);
// Asks the system to start writing to disk what was written to the file so
// far, and returns at once: a later FlushFile then has less to wait for.
void StartFlushingFile(FileHandle file);
ErrorCode RemoveFile(const std::string& path);

// What tells a change of the file by someone else: its size and the time
// it was last written, in the OS's own units.
struct FileStamp {
  std::int64_t size = 0;
  std::int64_t modified = 0;
  bool operator==(const FileStamp&) const = default;
};
ErrorCode StampOfFile(FileHandle file, FileStamp* stamp);
// Reads up to `size` bytes; *got is 0 at the end of the file.
ErrorCode ReadFromFile(FileHandle file, void* buffer, std::size_t size,
                       std::size_t* got);
ErrorCode WriteToFile(FileHandle file, const void* data, std::size_t size,
                      std::size_t* written);
ErrorCode SeekFile(FileHandle file, std::int64_t position);
ErrorCode TellFile(FileHandle file, std::int64_t* position);
ErrorCode SizeOfFile(FileHandle file, std::int64_t* size);
// Cuts the file at its current position.
ErrorCode TruncateFile(FileHandle file);
void CloseFile(FileHandle file);

// Special: something that is neither a regular file nor a directory (a FIFO,
// a device, a socket), which opening or reading could block or never end.
enum class PathKind { Missing, File, Directory, Special };
// Missing also covers a path whose attributes cannot be read. Never opens the
// path, so it cannot block.
PathKind QueryPath(const std::string& path);

// The OS's own message text for an error code, without a trailing line end.
std::string ErrorText(ErrorCode code);

// The OS's code for "not enough memory", for failures that the program
// detects itself rather than receives from an OS call.
#ifdef _WIN32
inline constexpr ErrorCode kNotEnoughMemory = 8;  // ERROR_NOT_ENOUGH_MEMORY
#else
inline constexpr ErrorCode kNotEnoughMemory = 12;  // ENOMEM
#endif

// ------------------------------------------------------ process, command line

// The command line as one text where the OS keeps it so (Windows); nullopt
// where the OS hands over split words (then use ArgumentWords).
std::optional<std::string> RawCommandLine();
// The words the OS split the command line into, word 0 the program name.
std::vector<std::string> ArgumentWords();
// Full path of the running executable (links resolved where the OS has them).
std::string ExecutablePath();
// Directory separators of this OS's paths; the first one is the one to add.
std::string_view PathSeparators();
// The folder where the user's settings of programs lie, where the OS has
// one: $XDG_CONFIG_HOME when it is an absolute path, otherwise the .config
// folder of the home folder. None on Windows, where settings lie only beside
// the executable, and where no home folder is known.
std::optional<std::string> UserSettingsFolder();
// The folders where system-wide settings of programs lie, as the OS lists
// them, unparsed: $XDG_CONFIG_DIRS, nullopt when it is unset. Asked only
// where UserSettingsFolder gives a folder; nullopt on Windows.
std::optional<std::string> SystemSettingsFolderList();

[[noreturn]] void ExitProcess(int code);

// Between these two, the requests to stop the process (SIGINT, SIGTERM,
// SIGHUP, SIGQUIT; Ctrl+C, Ctrl+Break and the console's close event) wait;
// they take effect when the second is called. Not nested.
void BeginCriticalWrite();
void EndCriticalWrite();

// Test builds only (KELMORA_TEST_HOOKS), Linux only: when the environment
// variable KELMORA_TEST_PAUSE names a FIFO, reads it to its end, so that a
// test can act on the file at this point of the run. Does nothing elsewhere.
void PauseForTest();

// ---------------------------------------------------------------- clock

struct LocalTime {
  int year, month, day, hour, minute, second;
};
LocalTime ReadLocalTime();

// ------------------------------------------------------- sound and waiting

void Sleep(int milliseconds);
// Returns after `milliseconds`; plays a tone where the OS has a generator.
void Tone(int hertz, int milliseconds);
// The system's default alert sound (BEL).
void AlertSound();

// ------------------------------------------------------------- console

enum class OutputKind {
  Console,   // a Windows console: text is placed as cells
  Terminal,  // a terminal that takes ANSI colour sequences
  Stream,    // a pipe or a file: bytes as they are
};
OutputKind StandardOutputKind();
// Terminal only: whether text may be coloured there. Not when the user
// said no by the common conventions: NO_COLOR set and not empty, or
// TERM=dumb. Windows has no terminal of this kind: always true there.
bool TerminalTakesColour();

struct ScreenInfo {
  int width = 80, height = 25;
  int cursor_x = 0, cursor_y = 0;
  std::uint8_t attribute_under_cursor = 0x07;
};
// Console only. False when the console cannot be asked.
bool ReadScreenInfo(ScreenInfo* info);
// Console only: puts `size` cells on row y from column x, all in `attribute`.
void WriteCells(int x, int y, const char* chars, std::size_t size,
                std::uint8_t attribute);
// Console only: moves rows 1..height-1 up by one and blanks the last row
// with spaces in `fill_attribute`.
void ScrollUp(std::uint8_t fill_attribute);
// Console only: places the visible cursor.
void SetCursor(int x, int y);

// Bytes to standard output / standard error, unchanged.
void WriteStandardOutput(const char* data, std::size_t size);
void WriteStandardError(const char* data, std::size_t size);

// Input mode without line input and echo, and break handling: an interrupt
// key typed during the run does not stop it; the break key (Ctrl+Break,
// Ctrl+\) ends the process at once.
void SetUpConsoleInput();

// A background thread that keeps the console cursor on the recorded
// position (console only; elsewhere these do nothing).
void StartCursorFollower(int x, int y);
void RecordCursor(int x, int y);
// Stops the thread and places the cursor on the last recorded position.
void StopCursorFollower();

// ------------------------------------------------------------- faults

struct Fault {
  // Windows exception code, when the fault came from one.
  std::optional<std::uint32_t> exception_code;
  // Fault number already known to the platform (signals); 0 if it is to be
  // taken from exception_code.
  int fault_number = 0;
  // Offset of the faulting instruction from the program's load address.
  std::uintptr_t address = 0;
};
using FaultHandler = void (*)(const Fault& fault);
// `handler` is called on the faulting thread and must end the process.
void InstallFaultHandler(FaultHandler handler);
// Address of the code that called the caller, as an offset from the load
// address (for faults the program raises itself).
std::uintptr_t CallerAddress();

// ------------------------------------------------------------ media player

// The song of a media player as the desktop's now-playing service reports it.
struct NowPlaying {
  std::vector<std::string> artists;  // in the player's order, none empty
  std::string title;                 // never empty
};
// The song of the player that is playing (else paused, else stopped) and has
// a title; nullopt when this OS has no such service, none is reachable, or no
// player answers with a title. Returns within about 250 ms, however the
// players behave.
std::optional<NowPlaying> QueryNowPlaying();

// ------------------------------------------------------------ player window

// Caption of the first top-level window of `window_class`, converted to the
// console's OEM code page; nullopt when there is no such window.
std::optional<std::string> FindWindowCaption(const std::string& window_class);

}  // namespace kelmora::platform

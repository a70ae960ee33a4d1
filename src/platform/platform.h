// Everything the program asks of the operating system. One implementation per
// OS, a file a concern: the *-win32.cc files (the primary platform) and the
// *-posix.cc files. No other file of the program includes an OS header.
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
// A write that moved no byte and gave no reason.
inline constexpr ErrorCode kNothingWritten = 0x20000006;

// Opens an existing regular file; never creates one. Anything else that is
// not a directory (a FIFO, a device, a socket) gives kNotRegularFile, found
// without an open that could block.
ErrorCode OpenExistingFile(const std::string& path, FileAccess access, FileShare share,
                           FileHandle* out);
// Creates a file to be written once and then given the name `path`, which
// must not exist yet: where the OS can, the file has no name until
// PublishNewFile; elsewhere it has it at once. Only the running user may
// open it; it may be removed while open. It is open for reading and
// writing.
ErrorCode CreateNewFile(const std::string& path, FileHandle* out);
// Creates `path` empty for the program's output, when nothing lies there
// yet: mode 0666 less the umask (default attributes on Windows). The OS's
// "exists" error when something does.
ErrorCode CreateOutputFile(const std::string& path);
// Gives the new file its name, if it has none yet (failing when the name
// is taken), and returns once its entry in the folder is on disk.
ErrorCode PublishNewFile(FileHandle file, const std::string& path);
// Closes a new file that is not wanted and removes the name it got, if it
// got one from CreateNewFile or PublishNewFile.
void AbandonNewFile(FileHandle file, const std::string& path);
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
ErrorCode ReadFromFile(FileHandle file, void* buffer, std::size_t size, std::size_t* got);
ErrorCode WriteToFile(FileHandle file, const void* data, std::size_t size, std::size_t* written);
ErrorCode SeekFile(FileHandle file, std::int64_t position);
// Copies `size` bytes of `from`, from offset `from_at`, into `to` at offset
// `to_at`; the file positions of both are left where they were, or moved,
// as the OS's call does (callers seek before they read or write again).
// Shares the data where the file system can (a clone), copies it within
// the kernel elsewhere, and through memory where neither works. A source
// that ends first gives kFileChanged.
ErrorCode CopyFileRange(FileHandle from, std::int64_t from_at, FileHandle to, std::int64_t to_at,
                        std::uint64_t size);
ErrorCode TellFile(FileHandle file, std::int64_t* position);
ErrorCode SizeOfFile(FileHandle file, std::int64_t* size);
// Cuts the file at its current position.
ErrorCode TruncateFile(FileHandle file);
void CloseFile(FileHandle file);

// What makes a file the one it is, whatever path names it: device and
// inode, or volume and file ID on Windows.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId&) const = default;
};
ErrorCode IdentifyFile(const std::string& path, FileId* id);

// Special: something that is neither a regular file nor a directory (a FIFO,
// a device, a socket), which opening or reading could block or never end.
enum class PathKind { Missing, File, Directory, Special };
// Missing also covers a path whose attributes cannot be read. Never opens the
// path, so it cannot block.
PathKind QueryPath(const std::string& path);

// Which file a handle is open on: the same for every name of the file,
// different for a file made anew under an old name.
struct FileIdentity {
  std::uint64_t volume = 0;  // device, or volume serial number
  std::uint64_t index = 0;   // inode, or file ID
  // When the file was made, where the file system keeps it (0 elsewhere):
  // an inode number is soon given to a new file.
  std::uint64_t born = 0;
  bool operator==(const FileIdentity&) const = default;
};

// What tells whether a file may be trusted.
struct FileFacts {
  bool regular = false;
  std::uint64_t links = 0;
  FileIdentity identity;
  // Who owns the file, in a form only compared with RunningUser() and with
  // the owners of other files.
  std::string owner;
  // Someone other than its owner (and the system) may write to it.
  bool others_may_write = false;
};
ErrorCode FactsOfFile(FileHandle file, FileFacts* facts);
// The user the program runs as, in the form of FileFacts::owner.
std::string RunningUser();

// Opens an existing file for reading without following a link at its
// name (kNotRegularFile for a link) and without blocking on a FIFO; what
// was opened may be anything else, which FactsOfFile tells.
ErrorCode OpenWithoutFollowing(const std::string& path, FileHandle* out);

// Tries once to take an exclusive lock on `file` that other processes
// taking it see (and no other program need honour); it lasts until the
// handle is closed and never stops reads or writes of the file through
// any handle. kInUse when someone holds it.
inline constexpr ErrorCode kInUse = 0x20000003;
ErrorCode TryLockFile(FileHandle file);

// Returns once the folder that holds `path` has its entries on disk, so a
// removal or creation in it outlives a power cut.
ErrorCode FlushFolderOf(const std::string& path);

// A short text kept on the file itself (an extended attribute), which every
// name of the file shows. kNoMark when the file has none; kMarksUnsupported
// where the file system or the OS keeps none.
inline constexpr ErrorCode kNoMark = 0x20000004;
inline constexpr ErrorCode kMarksUnsupported = 0x20000005;
ErrorCode ReadFileMark(FileHandle file, std::string* mark);
ErrorCode WriteFileMark(FileHandle file, const std::string& mark);
ErrorCode ClearFileMark(FileHandle file);

// `path` from the root, as it names the file now (links not resolved).
std::string FullPath(const std::string& path);

// The longest name of one folder entry, in bytes.
inline constexpr std::size_t kMaxNameLength = 255;

// True when `error` says this user may not do that there (permissions, a
// read-only file system), rather than that doing it failed.
bool IsAccessDenied(ErrorCode error);
// True when `error` says there is no file at the path.
bool IsMissing(ErrorCode error);

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
// Test builds only (KELMORA_TEST_HOOKS), Linux only: when the environment
// variable KELMORA_TEST_CLOCK names a file, the local clock is what that
// file holds ("year month day hour minute second"), and it moves only when
// the file is written.
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
// Terminal only: the width of the terminal of the messages, in columns; 0
// when it cannot be asked or does not tell.
int TerminalColumns();

struct ScreenInfo {
  int width = 80, height = 25;
  int cursor_x = 0, cursor_y = 0;
  std::uint8_t attribute_under_cursor = 0x07;
};
// Console only. False when the console cannot be asked.
bool ReadScreenInfo(ScreenInfo* info);
// Console only: puts `size` cells on row y from column x, all in `attribute`.
void WriteCells(int x, int y, const char* chars, std::size_t size, std::uint8_t attribute);
// Console only: moves rows 1..height-1 up by one and blanks the last row
// with spaces in `fill_attribute`.
void ScrollUp(std::uint8_t fill_attribute);
// Console only: places the visible cursor.
void SetCursor(int x, int y);

// Bytes to standard output / standard error, unchanged. False when they
// could not all be written (a closed pipe, a full disk).
bool WriteStandardOutput(const char* data, std::size_t size);
bool WriteStandardError(const char* data, std::size_t size);

enum class StandardStream { Output, Error };
OutputKind StandardStreamKind(StandardStream stream);
// The console calls above (screen info, cells, scrolling, cursor) act on
// the console of `stream` from now on; standard output's at first.
void UseConsoleOf(StandardStream stream);

// Reads standard input to its end.
ErrorCode ReadStandardInput(std::string* text);

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

// ------------------------------------------------------- waiting for change

// What woke a ChangeWaiter; Wait returns one or more of them.
enum Wake : unsigned {
  kWakeStop = 1,   // a request to stop the process
  kWakeSong = 2,   // the song may have changed (a player, the bus, the window)
  kWakeFiles = 4,  // a watched file was written, replaced, removed or made
  kWakeClock = 8,  // the local clock reached the second asked for
};

// Waits for what changes a filled text, without polling where the OS can
// tell: the media players (MPRIS signals on the session bus; on Windows a
// WinEvent hook on the player window's caption, and a check once a
// second), the files (inotify on their folders, so that a file replaced or
// made again is seen; on Windows a check of their time stamps once a
// second) and the clock. One at a time, on the main thread.
class ChangeWaiter {
 public:
  // From now on the requests to stop the process (SIGINT, SIGTERM, SIGHUP;
  // Ctrl+C, Ctrl+Break, the console's close) only wake Wait, so that a
  // write in progress is always completed.
  ChangeWaiter();
  ~ChangeWaiter();
  ChangeWaiter(const ChangeWaiter&) = delete;
  ChangeWaiter& operator=(const ChangeWaiter&) = delete;

  // Replaces the files watched; paths that do not exist are watched for
  // their coming.
  void WatchFiles(const std::vector<std::string>& paths);
  // Returns once something woke it. `seconds` > 0: kWakeClock at the start
  // of the `seconds`-th local second after the current one.
  unsigned Wait(int seconds);
  // False while the now-playing service (the session bus) is out of reach
  // after it has been reached; it is tried again once a second meanwhile.
  bool SongServiceReachable() const;

  struct State;

 private:
  State* state_;
};

}  // namespace kelmora::platform

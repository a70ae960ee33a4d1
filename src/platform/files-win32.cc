// Files on Windows: opening, reading, writing, making and naming them, and
// the OS's errors.
#include "platform/platform.h"

#include "platform/win32.h"

#include <sddl.h>

#include <string>

namespace kelmora::platform {

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
ErrorCode MoveFilePointer(FileHandle file, std::int64_t distance, DWORD method, std::int64_t* at) {
  LONG high = static_cast<LONG>(distance >> 32);
  DWORD low =
      ::SetFilePointer(ToHandle(file), static_cast<LONG>(distance & 0xFFFFFFFF), &high, method);
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
  HANDLE handle = ::CreateFileA(path.c_str(), DesiredAccess(access), ShareMode(share), nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  // Opening a pipe or a device does not block; reading it might.
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    return kNotRegularFile;
  }
  *out = reinterpret_cast<FileHandle>(handle);
  return 0;
}

ErrorCode CreateNewFile(const std::string& path, FileHandle* out) {
  *out = kNoFile;
  // Only the running user may touch the file (a protected DACL of one
  // entry), so the user's journal never looks writable by others. It may
  // be deleted while open.
  std::string descriptor = "D:P(A;;FA;;;" + RunningUser() + ")";
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
  HANDLE handle =
      ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
  if (!::ReadFile(ToHandle(file), buffer, ChunkSize(size), &read, nullptr)) return LastError();
  *got = read;
  return 0;
}

ErrorCode WriteToFile(FileHandle file, const void* data, std::size_t size, std::size_t* written) {
  const char* bytes = static_cast<const char*>(data);
  *written = 0;
  while (*written < size) {
    DWORD done = 0;
    if (!::WriteFile(ToHandle(file), bytes + *written, ChunkSize(size - *written), &done, nullptr))
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

// NTFS puts a folder's changes in its own log before they take effect;
// there is no folder handle to flush.
ErrorCode FlushFolderOf(const std::string&) { return 0; }

std::string FullPath(const std::string& path) {
  std::string full(32768, '\0');
  DWORD length =
      ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
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

}  // namespace kelmora::platform

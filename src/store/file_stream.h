// A file read and written through a buffer, for callers that move a few
// bytes at a time. Failures are not returned but kept as the stream's
// status (see StreamStatus); the first one stops every later operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "store/file_ops.h"
#include "store/stream.h"

namespace kelmora::store {

// Open modes. The low two bits give the access (0 read, 1 write, 2 read and
// write), bits 4 to 7 what other processes may do meanwhile (0 or 1
// nothing, 2 read, 3 write, 4 read and write).
inline constexpr std::uint16_t kOpenRead = 0x3D40;
inline constexpr std::uint16_t kOpenReadWrite = 0x3D42;

class FileStream {
 public:
  // Opens an existing file; never creates one. When the file cannot be
  // opened in `mode`, the stream has no file behind it and its status is
  // OpenFailed, with the OS's error code as detail. `ops` must outlive the
  // stream.
  FileStream(const std::string& path, std::uint16_t mode, std::size_t buffer_size,
             const FileOps& ops = SystemFileOps());
  // Writes out pending data and closes the file. A failure here is lost:
  // callers that care call Flush (or Truncate) first.
  ~FileStream();
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Fills all of `into` with zero bytes when the end of the file comes
  // first (status PastEnd) or a read fails. Reads and writes of at least a
  // buffer-full bypass the buffer: one OS call moves them.
  void Read(void* into, std::size_t count);
  void Write(const void* from, std::size_t count);
  // -1 while the status is not Ok.
  std::int64_t Position();
  // Pending data counts; -1 while the status is not Ok.
  std::int64_t Size();
  // A negative position counts as 0.
  void Seek(std::int64_t position);
  // Cuts the file at the current position.
  void Truncate();
  // Writes out pending data.
  void Flush();
  // Writes out pending data and returns once the file is on disk.
  void SyncToDisk();
  // Writes `bytes` over the file from position 0, cuts the file after them
  // and returns once it is on disk.
  void Overwrite(std::string_view bytes);
  // Writes out pending data and has the system start putting it on disk,
  // without waiting for it.
  void StartSyncToDisk();
  // The file's size and last-write time; a default stamp while the status
  // is not Ok.
  platform::FileStamp Stamp();

  const std::string& path() const { return path_; }
  const FileOps& ops() const { return *ops_; }
  // The OS's handle, for calls the stream does not make itself; kNoFile
  // when no file is open.
  platform::FileHandle handle() const { return file_; }

  StreamStatus status() const { return status_; }
  // The OS's error code of the failure, or 0.
  platform::ErrorCode error_detail() const { return error_detail_; }
  void Reset();

 private:
  // What the buffer holds: nothing, bytes read ahead of the position, or
  // bytes written but not yet in the file.
  enum class Buffered { Nothing, ReadAhead, Pending };

  void Fail(StreamStatus status, platform::ErrorCode detail);
  bool HasFile();
  bool FillBuffer();
  bool WritePending();
  bool GiveBackReadAhead();
  bool EmptyBuffer();
  bool ReadDirect(char* into, std::size_t count);
  bool WriteDirect(const char* from, std::size_t count);

  std::string path_;
  const FileOps* ops_;
  platform::FileHandle file_ = platform::kNoFile;
  platform::ErrorCode open_error_ = 0;
  StreamStatus status_ = StreamStatus::Ok;
  platform::ErrorCode error_detail_ = 0;

  std::vector<char> buffer_;
  Buffered buffered_ = Buffered::Nothing;
  // File offset of buffer_[0].
  std::int64_t buffer_start_ = 0;
  // ReadAhead: bytes in the buffer; Pending: bytes waiting to be written.
  std::size_t buffer_used_ = 0;
  // ReadAhead: the next byte to hand out.
  std::size_t buffer_next_ = 0;
  // Where the OS's file position stands: buffer_start_ + buffer_used_ with
  // ReadAhead, buffer_start_ with Pending, the stream's position otherwise.
  std::int64_t os_position_ = 0;
};

}  // namespace kelmora::store

// A file read from its start in pieces of the reader's choosing, for a
// text too large to hold whole. Others may read and write it meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "store/file_ops.h"

namespace kelmora::store {

class PieceFile {
 public:
  // Opens the file at `path`; error() tells whether that failed. `ops`
  // must outlive the file.
  explicit PieceFile(const std::string& path, const FileOps& ops = SystemFileOps());
  ~PieceFile();
  PieceFile(const PieceFile&) = delete;
  PieceFile& operator=(const PieceFile&) = delete;

  platform::ErrorCode error() const { return error_; }
  // The next bytes, at most `room`; *got is 0 at the end of the file.
  platform::ErrorCode Read(char* into, std::size_t room, std::size_t* got);
  platform::ErrorCode Size(std::uint64_t* size);

 private:
  const FileOps& ops_;
  platform::FileHandle file_ = platform::kNoFile;
  platform::ErrorCode error_;
};

}  // namespace kelmora::store

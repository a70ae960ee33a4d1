#include "store/piece_file.h"

namespace kelmora::store {

PieceFile::PieceFile(const std::string& path, const FileOps& ops)
    : ops_(ops),
      error_(ops.open(path, platform::FileAccess::Read, platform::FileShare::ReadWrite, &file_)) {}

PieceFile::~PieceFile() {
  if (error_ == 0) ops_.close(file_);
}

platform::ErrorCode PieceFile::Read(char* into, std::size_t room, std::size_t* got) {
  return ops_.read(file_, into, room, got);
}

platform::ErrorCode PieceFile::Size(std::uint64_t* size) {
  std::int64_t bytes = 0;
  platform::ErrorCode error = ops_.size(file_, &bytes);
  *size = static_cast<std::uint64_t>(bytes);
  return error;
}

}  // namespace kelmora::store

// Files held in memory behind the file-operations seam, so that a reader or
// a rewrite runs over memory, hermetic and fast, with any file it makes
// beside the one it works on. Calls never fail on their own: put
// FailingFileOps over ops() to make one fail.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "store/file_ops.h"

namespace kelmora::store {

class MemoryFiles {
 public:
  static constexpr platform::ErrorCode kNoSuchFile = 2;
  static constexpr platform::ErrorCode kFileExists = 17;

  MemoryFiles() {
    ops_.open = [this](const std::string& path, platform::FileAccess, platform::FileShare,
                       platform::FileHandle* out) { return Open(path, out); };
    ops_.read = [this](platform::FileHandle file, void* into, std::size_t size, std::size_t* got) {
      return Read(file, into, size, got);
    };
    ops_.write = [this](platform::FileHandle file, const void* from, std::size_t size,
                        std::size_t* written) { return Write(file, from, size, written); };
    ops_.seek = [this](platform::FileHandle file, std::int64_t position) {
      open_[file].position = position;
      return platform::ErrorCode{0};
    };
    ops_.size = [this](platform::FileHandle file, std::int64_t* size) {
      *size = static_cast<std::int64_t>(BytesOf(file).size());
      return platform::ErrorCode{0};
    };
    ops_.truncate = [this](platform::FileHandle file) {
      BytesOf(file).resize(Offset(file));
      return platform::ErrorCode{0};
    };
    ops_.close = [this](platform::FileHandle file) { open_.erase(file); };
    ops_.create = [this](const std::string& path, platform::FileHandle* out) {
      *out = platform::kNoFile;
      if (files_.contains(path)) return kFileExists;
      files_[path];
      return Open(path, out);
    };
    ops_.flush = [](platform::FileHandle) { return platform::ErrorCode{0}; };
    ops_.remove = [this](const std::string& path) {
      return files_.erase(path) == 1 ? platform::ErrorCode{0} : kNoSuchFile;
    };
    ops_.stamp = [this](platform::FileHandle file, platform::FileStamp* stamp) {
      *stamp = {static_cast<std::int64_t>(BytesOf(file).size()), 0};
      return platform::ErrorCode{0};
    };
    // Files made whole, named at once, owned by the one user, never locked
    // or marked.
    ops_.publish = [](platform::FileHandle, const std::string&) { return platform::ErrorCode{0}; };
    ops_.abandon = [this](platform::FileHandle file, const std::string& path) {
      open_.erase(file);
      files_.erase(path);
    };
    ops_.open_unfollowed = [this](const std::string& path, platform::FileHandle* out) {
      return Open(path, out);
    };
    ops_.facts = [this](platform::FileHandle file, platform::FileFacts* facts) {
      *facts = {true, 1, {1, std::hash<std::string>()(open_[file].path)}, "user", false};
      return platform::ErrorCode{0};
    };
    ops_.running_user = [] { return std::string("user"); };
    ops_.try_lock = [](platform::FileHandle) { return platform::ErrorCode{0}; };
    ops_.flush_folder = [](const std::string&) { return platform::ErrorCode{0}; };
    ops_.read_mark = [](platform::FileHandle, std::string*) { return platform::kMarksUnsupported; };
    ops_.write_mark = [](platform::FileHandle, const std::string&) {
      return platform::kMarksUnsupported;
    };
    ops_.clear_mark = [](platform::FileHandle) { return platform::kMarksUnsupported; };
    ops_.query = [this](const std::string& path) {
      return files_.contains(path) ? platform::PathKind::File : platform::PathKind::Missing;
    };
    // One file a path, as facts tells it.
    ops_.identify = [this](const std::string& path, platform::FileId* id) {
      if (!files_.contains(path)) return kNoSuchFile;
      *id = {1, std::hash<std::string>()(path)};
      return platform::ErrorCode{0};
    };
    ops_.copy = [this](platform::FileHandle from, std::int64_t from_at, platform::FileHandle to,
                       std::int64_t to_at, std::uint64_t size) {
      const std::string& source = BytesOf(from);
      if (static_cast<std::uint64_t>(from_at) + size > source.size()) return platform::kFileChanged;
      std::string piece = source.substr(static_cast<std::size_t>(from_at), size);
      std::string& target = BytesOf(to);
      const auto at = static_cast<std::size_t>(to_at);
      if (target.size() < at + piece.size()) target.resize(at + piece.size());
      target.replace(at, piece.size(), piece);
      return platform::ErrorCode{0};
    };
  }
  MemoryFiles(const MemoryFiles&) = delete;
  MemoryFiles& operator=(const MemoryFiles&) = delete;

  const FileOps& ops() const { return ops_; }
  // Every file by its path.
  std::map<std::string, std::string>& files() { return files_; }

 private:
  struct OpenFile {
    std::string path;
    std::int64_t position = 0;
  };

  platform::ErrorCode Open(const std::string& path, platform::FileHandle* out) {
    *out = platform::kNoFile;
    if (!files_.contains(path)) return kNoSuchFile;
    *out = next_handle_++;
    open_[*out] = {path, 0};
    return 0;
  }

  platform::ErrorCode Read(platform::FileHandle file, void* into, std::size_t size,
                           std::size_t* got) {
    *got = 0;
    const std::string& bytes = BytesOf(file);
    std::size_t at = std::min(Offset(file), bytes.size());
    *got = std::min(size, bytes.size() - at);
    std::memcpy(into, bytes.data() + at, *got);
    open_[file].position += static_cast<std::int64_t>(*got);
    return 0;
  }

  platform::ErrorCode Write(platform::FileHandle file, const void* from, std::size_t size,
                            std::size_t* written) {
    *written = 0;
    std::string& bytes = BytesOf(file);
    std::size_t at = Offset(file);
    if (at + size > bytes.size()) bytes.resize(at + size);
    std::memcpy(bytes.data() + at, from, size);
    open_[file].position += static_cast<std::int64_t>(size);
    *written = size;
    return 0;
  }

  std::string& BytesOf(platform::FileHandle file) { return files_[open_[file].path]; }
  std::size_t Offset(platform::FileHandle file) {
    return static_cast<std::size_t>(std::max<std::int64_t>(open_[file].position, 0));
  }

  std::map<std::string, std::string> files_;
  std::map<platform::FileHandle, OpenFile> open_;
  platform::FileHandle next_handle_ = 1;
  FileOps ops_;
};

}  // namespace kelmora::store

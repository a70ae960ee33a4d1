// The raw file calls of the program: every question it asks of a file
// goes through them. Tests swap them to make any one call fail, or to keep
// files in memory; the program uses the operating system's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

namespace kelmora::store {

struct FileOps {
  std::function<platform::ErrorCode(const std::string& path, platform::FileAccess,
                                    platform::FileShare, platform::FileHandle* out)>
      open;
  std::function<platform::ErrorCode(platform::FileHandle, void* into,
                                    std::size_t size, std::size_t* got)>
      read;
  std::function<platform::ErrorCode(platform::FileHandle, const void* from,
                                    std::size_t size, std::size_t* written)>
      write;
  std::function<platform::ErrorCode(platform::FileHandle, std::int64_t position)> seek;
  std::function<platform::ErrorCode(platform::FileHandle, std::int64_t* size)> size;
  // Cuts the file at the OS's current file position.
  std::function<platform::ErrorCode(platform::FileHandle)> truncate;
  std::function<void(platform::FileHandle)> close;
  // Creates a file that must not exist yet (see platform::CreateNewFile).
  std::function<platform::ErrorCode(const std::string& path, platform::FileHandle* out)> create;
  // Returns once what was written is on disk.
  std::function<platform::ErrorCode(platform::FileHandle)> flush;
  std::function<platform::ErrorCode(const std::string& path)> remove;
  std::function<platform::ErrorCode(platform::FileHandle, platform::FileStamp*)> stamp;
  // Starts writing what was written to disk and returns at once; a hint,
  // which may be left empty.
  std::function<void(platform::FileHandle)> start_flush;
  // What a path names (see platform::QueryPath); never opens it.
  std::function<platform::PathKind(const std::string& path)> query;
};

// The operating system's calls.
const FileOps& SystemFileOps();

}  // namespace kelmora::store

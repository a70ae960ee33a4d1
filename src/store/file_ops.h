// The raw file calls of the program: every question it asks of a file
// goes through them. Tests swap them to make any one call fail, to record
// the calls, or to keep files in memory; the program uses the operating
// system's own.
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
  std::function<platform::ErrorCode(platform::FileHandle, void* into, std::size_t size,
                                    std::size_t* got)>
      read;
  std::function<platform::ErrorCode(platform::FileHandle, const void* from, std::size_t size,
                                    std::size_t* written)>
      write;
  std::function<platform::ErrorCode(platform::FileHandle, std::int64_t position)> seek;
  std::function<platform::ErrorCode(platform::FileHandle, std::int64_t* size)> size;
  // Cuts the file at the OS's current file position.
  std::function<platform::ErrorCode(platform::FileHandle)> truncate;
  std::function<void(platform::FileHandle)> close;
  // Creates a file that must not exist yet, given its name by publish or
  // dropped by abandon (see platform::CreateNewFile).
  std::function<platform::ErrorCode(const std::string& path, platform::FileHandle* out)> create;
  std::function<platform::ErrorCode(platform::FileHandle, const std::string& path)> publish;
  std::function<void(platform::FileHandle, const std::string& path)> abandon;
  // Returns once what was written is on disk.
  std::function<platform::ErrorCode(platform::FileHandle)> flush;
  std::function<platform::ErrorCode(const std::string& path)> remove;
  std::function<platform::ErrorCode(platform::FileHandle, platform::FileStamp*)> stamp;
  // Starts writing what was written to disk and returns at once; a hint,
  // which may be left empty.
  std::function<void(platform::FileHandle)> start_flush;
  // Creates a file for the program's output (see platform::CreateOutputFile).
  std::function<platform::ErrorCode(const std::string& path)> create_output;
  // The questions a journal is trusted on (see platform::OpenWithoutFollowing,
  // platform::FactsOfFile, platform::RunningUser).
  std::function<platform::ErrorCode(const std::string& path, platform::FileHandle* out)>
      open_unfollowed;
  std::function<platform::ErrorCode(platform::FileHandle, platform::FileFacts*)> facts;
  std::function<std::string()> running_user;
  // One try at the run's lock on the file (platform::TryLockFile).
  std::function<platform::ErrorCode(platform::FileHandle)> try_lock;
  // Puts the entries of the folder holding the path on disk.
  std::function<platform::ErrorCode(const std::string& path)> flush_folder;
  // The mark on a file that names its journal (platform::ReadFileMark...).
  std::function<platform::ErrorCode(platform::FileHandle, std::string*)> read_mark;
  std::function<platform::ErrorCode(platform::FileHandle, const std::string&)> write_mark;
  std::function<platform::ErrorCode(platform::FileHandle)> clear_mark;
  // What a path names (see platform::QueryPath); never opens it.
  std::function<platform::PathKind(const std::string& path)> query;
  // Which file a path names (see platform::IdentifyFile).
  std::function<platform::ErrorCode(const std::string& path, platform::FileId*)> identify;
  // Copies a range of one file into another (see platform::CopyFileRange).
  std::function<platform::ErrorCode(platform::FileHandle from, std::int64_t from_at,
                                    platform::FileHandle to, std::int64_t to_at,
                                    std::uint64_t size)>
      copy;
};

// The operating system's calls.
const FileOps& SystemFileOps();

}  // namespace kelmora::store

#include "store/file_ops.h"

namespace kelmora::store {

const FileOps& SystemFileOps() {
  static const FileOps ops{
      platform::OpenExistingFile, platform::ReadFromFile,
      platform::WriteToFile,      platform::SeekFile,
      platform::SizeOfFile,       platform::TruncateFile,
      platform::CloseFile,        platform::CreateNewFile,
      platform::PublishNewFile,   platform::AbandonNewFile,
      platform::FlushFile,        platform::RemoveFile,
      platform::StampOfFile,      platform::StartFlushingFile,
      platform::CreateOutputFile, platform::OpenWithoutFollowing,
      platform::FactsOfFile,      platform::RunningUser,
      platform::TryLockFile,      platform::FlushFolderOf,
      platform::ReadFileMark,     platform::WriteFileMark,
      platform::ClearFileMark,    platform::QueryPath,
      platform::IdentifyFile,     platform::CopyFileRange,
  };
  return ops;
}

}  // namespace kelmora::store

#include "store/output_file.h"

#include "store/file_stream.h"

namespace kelmora::store {

bool SameFile(const std::string& first, const std::string& second, const FileOps& ops) {
  platform::FileId one, other;
  return ops.identify(first, &one) == 0 && ops.identify(second, &other) == 0 && one == other;
}

RewriteOutcome RewriteOutputFile(const std::string& path, const Producer& produce,
                                 const FileOps& ops) {
  if (ops.query(path) == platform::PathKind::Missing) {
    // Someone else may make it meanwhile: theirs is then rewritten.
    platform::ErrorCode error = ops.create_output(path);
    if (error != 0 && ops.query(path) == platform::PathKind::Missing) return FailedWith(error);
  }
  FileStream file(path, kOpenReadWrite, 4096, ops);
  return RewriteInPlace(file, produce);
}

}  // namespace kelmora::store

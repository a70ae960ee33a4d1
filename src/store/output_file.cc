#include "store/output_file.h"

#include "store/file_stream.h"

namespace kelmora::store {

bool SameFile(const std::string& first, const std::string& second, const FileOps& ops) {
  platform::FileId one, other;
  return ops.identify(first, &one) == 0 && ops.identify(second, &other) == 0 && one == other;
}

namespace {

// Makes the file at `path` when nothing lies there, and has `rewrite` put
// the new content over it.
RewriteOutcome RewriteMadeFile(const std::string& path, const FileOps& ops,
                               const std::function<RewriteOutcome(FileStream&)>& rewrite) {
  if (ops.query(path) == platform::PathKind::Missing) {
    // Someone else may make it meanwhile: theirs is then rewritten.
    platform::ErrorCode error = ops.create_output(path);
    if (error != 0 && ops.query(path) == platform::PathKind::Missing) return FailedWith(error);
  }
  FileStream file(path, kOpenReadWrite, 4096, ops);
  return rewrite(file);
}

}  // namespace

RewriteOutcome RewriteOutputFile(const std::string& path, const Producer& produce,
                                 const FileOps& ops) {
  return RewriteMadeFile(path, ops,
                         [&](FileStream& file) { return RewriteInPlace(file, produce); });
}

RewriteOutcome RewriteOutputFile(const std::string& path, const ContentMaker& make,
                                 const FileOps& ops) {
  return RewriteMadeFile(path, ops, [&](FileStream& file) {
    return RewriteInPlace(
        file, [&](std::string_view, const PieceSink& sink) { return make(sink); },
        [&](const OriginalPieces&, const PieceSink& sink) { return make(sink); });
  });
}

}  // namespace kelmora::store

// The file a run fills from a template that is kept: made when it is not
// there, otherwise rewritten in place, crash-safe (store/rewrite.h).
#pragma once

#include <functional>
#include <string>

#include "store/file_ops.h"
#include "store/rewrite.h"

namespace kelmora::store {

// True when both paths name one file (one device and inode, or one volume
// and file ID); false when either cannot be looked at.
bool SameFile(const std::string& first, const std::string& second,
              const FileOps& ops = SystemFileOps());

// Puts what `produce` makes over the file at `path` with RewriteInPlace,
// the file's original bytes given to `produce`. When nothing lies at
// `path`, an empty file is made there first (see FileOps::create_output);
// a failure to make it is the outcome's error.
RewriteOutcome RewriteOutputFile(const std::string& path, const Producer& produce,
                                 const FileOps& ops = SystemFileOps());
// Makes new content without looking at the file's original bytes.
using ContentMaker = std::function<Production(const PieceSink& sink)>;
// RewriteOutputFile for content made by `make`: a file of kWholeFile bytes
// or more is then not read into memory (see RewriteInPlace).
RewriteOutcome RewriteOutputFile(const std::string& path, const ContentMaker& make,
                                 const FileOps& ops = SystemFileOps());

}  // namespace kelmora::store

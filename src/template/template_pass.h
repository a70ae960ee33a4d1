// The template pass: every line of a file goes through an evaluator, and
// the file is rewritten in place with CR LF after each line.
#pragma once

#include <cstddef>
#include <functional>

#include "platform/platform.h"
#include "store/file_stream.h"
#include "store/memory_stream.h"
#include "text/bounded_string.h"

namespace kelmora::templating {

// Changes one line in place, within its capacity.
using LineEvaluator = std::function<void(text::LongLine& line)>;

// How a pass ended. When it failed, `error` is the OS's code for the reason
// and the file holds its original bytes again.
struct PassOutcome {
  bool ok = true;
  platform::ErrorCode error = 0;
};

// Reads the whole of `file` (opened for reading and writing), evaluates it
// line by line and only then writes the result over the file from position
// 0 and truncates it after the result. An empty file is not written at all.
// A stream that failed to open, a failed read, write or truncation, or
// running out of memory makes the pass fail; if writing had begun, the
// original bytes are written back first. `memory_limit` caps each of the
// two in-memory copies (tests use it to make memory run out).
PassOutcome ProcessTemplate(store::FileStream& file, const LineEvaluator& evaluate,
                            std::size_t memory_limit = store::MemoryStream::kNoLimit);

}  // namespace kelmora::templating

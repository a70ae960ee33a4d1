// The template pass: every line of a file goes through an evaluator, and
// the file is rewritten in place with one line end after each line, CR LF
// or the build's own (text::TemplateLineEnd).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "store/file_stream.h"
#include "store/memory_stream.h"

namespace kelmora::templating {

// Lines read from a file come in pieces of at most this many bytes.
inline constexpr std::size_t kPieceLimit = 1024;

// Changes one line in place; the line may grow to any length.
using LineEvaluator = std::function<void(std::string& line)>;

// For a run of lines: a place such that the evaluator changes no line that
// ends at or before it (a line ends where its line end or its piece's end
// stands); the text's size when it changes none. It may be early, never
// late: those lines are taken as they are, without the evaluator. Empty:
// every line is evaluated.
using ChangeFinder = std::function<std::size_t(std::string_view lines)>;

// How a pass ended. When it failed, `error` is the OS's code for the reason
// (or platform::kNotRegularFile, platform::kFileChanged) and the file holds
// its original bytes again, unless `damaged`.
struct PassOutcome {
  bool ok = true;
  platform::ErrorCode error = 0;
  // Writing the original bytes back failed too (for `restore_error`): the
  // file may be anything. They are kept in `journal`, unless that is empty.
  bool damaged = false;
  platform::ErrorCode restore_error = 0;
  std::string journal;
};

// The evaluated text is handed on in pieces of about this many bytes.
inline constexpr std::size_t kTextPiece = std::size_t{1} << 20;

// Takes the next piece of the evaluated text; false stops the evaluation.
using TextSink = std::function<bool(std::string_view piece)>;

enum class Evaluation { Done, OutOfMemory, Stopped };

// Evaluates every line of `original` (in pieces of kPieceLimit) through
// `evaluate`, but those `find_change` passes over, and hands the results,
// each followed by `line_end`, to `sink`, in order, in pieces of whole
// lines. OutOfMemory when memory runs out or the text would grow beyond
// `memory_limit` bytes; Stopped when `sink` said so. Nothing at all
// reaches `sink` before the first kTextPiece bytes are ready.
Evaluation EvaluateTextInto(std::string_view original, std::string_view line_end,
                            const LineEvaluator& evaluate, const ChangeFinder& find_change,
                            std::size_t memory_limit, const TextSink& sink);

// The whole evaluated text (see EvaluateTextInto), each line ended by
// text::TemplateLineEnd(original); nothing when memory runs out or it would
// hold more than `memory_limit` bytes.
std::optional<std::string> EvaluateText(std::string_view original,
                                        const LineEvaluator& evaluate,
                                        const ChangeFinder& find_change = {},
                                        std::size_t memory_limit = store::MemoryStream::kNoLimit);

// Reads the whole of `file` (opened for reading and writing), evaluates it
// line by line, each line ended by text::TemplateLineEnd of the whole
// file, and writes the result over the file from position 0, as it
// comes, once the first kTextPiece bytes of it are ready; then truncates
// the file after the result and flushes it to disk. An empty file is not
// written at all.
//
// While the file is written, its original bytes are kept in its journal
// (store/journal.h), which is removed once the file is complete again, and
// requests to stop the process wait. When no journal can be made the file
// is written all the same. Just before writing, the file's stamp is
// compared with the one it had when it was read: if someone else changed
// it, nothing is written (kFileChanged).
//
// A stream that failed to open, a failed read, write, truncation or flush,
// or running out of memory in any allocation of the pass, the evaluator's
// included, makes the pass fail; if writing had begun, the original bytes
// are written back first. `memory_limit` caps the copy of the file and the
// size of the result alike (tests use it to make memory run out).
PassOutcome ProcessTemplate(store::FileStream& file, const LineEvaluator& evaluate,
                            std::size_t memory_limit = store::MemoryStream::kNoLimit,
                            const ChangeFinder& find_change = {});

}  // namespace kelmora::templating

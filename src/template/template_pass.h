// The template pass: every line of a file goes through an evaluator, and
// the file is rewritten in place (store/rewrite.h) with one line end after
// each line, CR LF or the build's own (text::TemplateLineEnd).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "store/file_stream.h"
#include "store/line_source.h"
#include "store/rewrite.h"

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

// The evaluated text is handed on in pieces of about this many bytes.
inline constexpr std::size_t kTextPiece = std::size_t{1} << 20;

// A text read in pieces goes through a window of this many bytes.
inline constexpr std::size_t kWindow = std::size_t{1} << 20;

// Told how far the evaluation has read: `read` of the `total` bytes.
using ReadProgress = std::function<void(std::uint64_t read, std::uint64_t total)>;

// Evaluates every line of `lines` (in pieces of kPieceLimit) through
// `evaluate`, but those `find_change` passes over, and hands the results,
// each followed by `line_end`, to `sink`, in order, in pieces of whole
// lines. OutOfMemory when memory runs out or the text would grow beyond
// `memory_limit` bytes; Stopped when `sink` said so; ReadFailed when
// reading `lines` did. Nothing at all reaches `sink` before the first
// kTextPiece bytes are ready. `progress`, when given, is told after about
// every kTextPiece bytes read, of `original_size`.
store::Production EvaluateLinesInto(store::LineSource& lines, std::string_view line_end,
                                    const LineEvaluator& evaluate, const ChangeFinder& find_change,
                                    std::size_t memory_limit, const store::PieceSink& sink,
                                    const ReadProgress& progress = {},
                                    std::uint64_t original_size = 0);

// EvaluateLinesInto of `original` held whole, with the line end it calls
// for (text::TemplateLineEnd).
store::Production EvaluateTextInto(std::string_view original, const LineEvaluator& evaluate,
                                   const ChangeFinder& find_change, std::size_t memory_limit,
                                   const store::PieceSink& sink, const ReadProgress& progress = {});

// EvaluateLinesInto of the text `original` reads in pieces.
store::Production EvaluatePiecesInto(const store::OriginalPieces& original,
                                     const LineEvaluator& evaluate, const ChangeFinder& find_change,
                                     std::size_t memory_limit, const store::PieceSink& sink,
                                     const ReadProgress& progress = {});

// Rewrites `file` (opened for reading and writing) in place with each of
// its lines evaluated (see store::RewriteInPlace): a file of kWholeFile
// bytes or more is read in pieces from its journal. `memory_limit` caps the
// copy of the file and the size of the result alike (tests use it to make
// memory run out).
store::RewriteOutcome ProcessTemplate(store::FileStream& file, const LineEvaluator& evaluate,
                                      std::size_t memory_limit = store::kNoMemoryLimit,
                                      const ChangeFinder& find_change = {},
                                      const ReadProgress& progress = {});

}  // namespace kelmora::templating

#include "template/template_pass.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "text/text_rules.h"

namespace kelmora::templating {
namespace {

// Where the change finder keeps landing this close behind each line it is
// asked after (kNearRun times in a row), nearly every line changes, and
// looking ahead only reads each line twice: the next kUnsought lines are
// then evaluated without it. Evaluating a line the finder would have
// passed over gives the same bytes.
constexpr std::size_t kNear = 256;
constexpr std::size_t kNearRun = 16;
constexpr std::size_t kUnsought = 64;

}  // namespace

store::Production EvaluateLinesInto(store::LineSource& lines, std::string_view line_end,
                                    const LineEvaluator& evaluate,
                                    const ChangeFinder& find_change, std::size_t memory_limit,
                                    const store::PieceSink& sink, const ReadProgress& progress,
                                    std::uint64_t original_size) {
  std::string text;
  std::size_t total = 0;
  try {
    text.reserve(std::min(memory_limit, kTextPiece + kPieceLimit + line_end.size()));
    std::string line;
    std::string_view piece;
    // No line that ends at or before it needs the evaluator.
    std::uint64_t change_at = 0;
    std::size_t near_in_a_row = 0;
    std::size_t unsought = 0;  // lines to evaluate without the finder
    std::uint64_t next_progress = kTextPiece;
    while (lines.Next(piece)) {
      const std::uint64_t piece_end = lines.line_end();
      if (progress && piece_end >= next_progress) {
        progress(piece_end, original_size);
        next_progress = piece_end + kTextPiece;
      }
      std::string_view result = piece;
      if (!find_change || change_at < piece_end || unsought > 0) {
        line.assign(piece);
        evaluate(line);
        result = line;
        if (unsought > 0) {
          --unsought;
        } else if (find_change) {
          // Only the text at hand is looked at: an answer for less of the
          // text comes no later than one for all of it.
          const std::size_t ahead = find_change(lines.Ahead());
          change_at = piece_end + ahead;
          near_in_a_row = ahead < kNear ? near_in_a_row + 1 : 0;
          if (near_in_a_row == kNearRun) {
            near_in_a_row = 0;
            unsought = kUnsought;
          }
        }
      }
      total += result.size() + line_end.size();
      if (total > memory_limit) return store::Production::OutOfMemory;
      text.append(result);
      text.append(line_end);
      if (text.size() >= kTextPiece) {
        if (!sink(text)) return store::Production::Stopped;
        text.clear();
      }
    }
    if (lines.error() != 0) return store::Production::ReadFailed;
    if (!text.empty() && !sink(text)) return store::Production::Stopped;
  } catch (const std::bad_alloc&) {
    return store::Production::OutOfMemory;
  }
  return store::Production::Done;
}

store::Production EvaluateTextInto(std::string_view original, const LineEvaluator& evaluate,
                                   const ChangeFinder& find_change, std::size_t memory_limit,
                                   const store::PieceSink& sink, const ReadProgress& progress) {
  if (original.empty()) return store::Production::Done;
  store::LineSource lines(original, kPieceLimit);
  const bool holds_cr = std::memchr(original.data(), '\r', original.size()) != nullptr;
  return EvaluateLinesInto(lines, text::TemplateLineEnd(holds_cr), evaluate, find_change,
                           memory_limit, sink, progress, original.size());
}

store::Production EvaluatePiecesInto(const store::OriginalPieces& original,
                                     const LineEvaluator& evaluate,
                                     const ChangeFinder& find_change, std::size_t memory_limit,
                                     const store::PieceSink& sink, const ReadProgress& progress) {
  try {
    store::LineSource lines(original.read, kPieceLimit, kWindow);
    return EvaluateLinesInto(lines, text::TemplateLineEnd(original.holds_cr), evaluate,
                             find_change, memory_limit, sink, progress, original.size);
  } catch (const std::bad_alloc&) {
    return store::Production::OutOfMemory;
  }
}

store::RewriteOutcome ProcessTemplate(store::FileStream& file, const LineEvaluator& evaluate,
                                      std::size_t memory_limit, const ChangeFinder& find_change,
                                      const ReadProgress& progress) {
  return store::RewriteInPlace(
      file,
      [&](std::string_view original, const store::PieceSink& sink) {
        return EvaluateTextInto(original, evaluate, find_change, memory_limit, sink, progress);
      },
      [&](const store::OriginalPieces& original, const store::PieceSink& sink) {
        return EvaluatePiecesInto(original, evaluate, find_change, memory_limit, sink, progress);
      },
      memory_limit);
}

}  // namespace kelmora::templating

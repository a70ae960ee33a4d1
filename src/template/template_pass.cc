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

// Which lines the evaluator must see: those the change finder has not
// passed over, and all of a run where it keeps landing close behind.
class ChangeSchedule {
 public:
  explicit ChangeSchedule(const ChangeFinder& find_change) : find_change_(find_change) {}

  // Whether the line ending at `line_end` needs the evaluator.
  bool Needed(std::uint64_t line_end) const {
    return !find_change_ || change_at_ < line_end || unsought_ > 0;
  }

  // After the evaluator saw the line ending at `line_end`; `ahead` is the
  // text after it at hand. Only that text is looked at: an answer for less
  // of the text comes no later than one for all of it.
  void Evaluated(std::uint64_t line_end, std::string_view ahead) {
    if (unsought_ > 0) {
      --unsought_;
      return;
    }
    if (!find_change_) return;
    const std::size_t distance = find_change_(ahead);
    change_at_ = line_end + distance;
    near_in_a_row_ = distance < kNear ? near_in_a_row_ + 1 : 0;
    // Once a run is found, one landing close behind after the lines
    // evaluated without the finder is enough to go on without it.
    if (near_in_a_row_ >= kNearRun) unsought_ = kUnsought;
  }

 private:
  const ChangeFinder& find_change_;
  std::uint64_t change_at_ = 0;  // no line that ends at or before it changes
  std::size_t near_in_a_row_ = 0;
  std::size_t unsought_ = 0;  // lines to evaluate without the finder
};

}  // namespace

store::Production EvaluateLinesInto(store::LineSource& lines, std::string_view line_end,
                                    const LineEvaluator& evaluate, const ChangeFinder& find_change,
                                    std::size_t memory_limit, const store::PieceSink& sink,
                                    const ReadProgress& progress, std::uint64_t original_size) {
  std::string text;
  std::size_t total = 0;
  try {
    text.reserve(std::min(memory_limit, kTextPiece + kPieceLimit + line_end.size()));
    std::string line;
    std::string_view piece;
    ChangeSchedule schedule(find_change);
    std::uint64_t next_progress = kTextPiece;
    while (lines.Next(piece)) {
      const std::uint64_t piece_end = lines.line_end();
      if (progress && piece_end >= next_progress) {
        progress(piece_end, original_size);
        next_progress = piece_end + kTextPiece;
      }
      std::string_view result = piece;
      if (schedule.Needed(piece_end)) {
        line.assign(piece);
        evaluate(line);
        result = line;
        schedule.Evaluated(piece_end, lines.Ahead());
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
                                     const LineEvaluator& evaluate, const ChangeFinder& find_change,
                                     std::size_t memory_limit, const store::PieceSink& sink,
                                     const ReadProgress& progress) {
  try {
    store::LineSource lines(original.read, kPieceLimit, kWindow);
    return EvaluateLinesInto(lines, text::TemplateLineEnd(original.holds_cr), evaluate, find_change,
                             memory_limit, sink, progress, original.size);
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

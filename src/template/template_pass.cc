#include "template/template_pass.h"

#include <algorithm>
#include <new>
#include <string>
#include <string_view>

#include "store/line_reader.h"

namespace kelmora::templating {

store::Production EvaluateTextInto(std::string_view original, const LineEvaluator& evaluate,
                                   const ChangeFinder& find_change, std::size_t memory_limit,
                                   const store::PieceSink& sink) {
  std::string text;
  std::size_t total = 0;
  try {
    if (original.empty()) return store::Production::Done;
    text.reserve(std::min(memory_limit, kTextPiece + kPieceLimit + 2));
    store::LineSplitter lines(original, kPieceLimit);
    std::string line;
    std::string_view piece;
    // No line that ends at or before it needs the evaluator.
    std::size_t change_at = 0;
    while (lines.Next(piece)) {
      const std::size_t piece_end = static_cast<std::size_t>(piece.data() - original.data()) +
                                    piece.size();
      std::string_view result = piece;
      if (!find_change || change_at < piece_end) {
        line.assign(piece);
        evaluate(line);
        result = line;
        if (find_change)
          change_at = piece_end + find_change(original.substr(piece_end));
      }
      total += result.size() + 2;
      if (total > memory_limit) return store::Production::OutOfMemory;
      text.append(result);
      text.append("\r\n");
      if (text.size() >= kTextPiece) {
        if (!sink(text)) return store::Production::Stopped;
        text.clear();
      }
    }
    if (!text.empty() && !sink(text)) return store::Production::Stopped;
  } catch (const std::bad_alloc&) {
    return store::Production::OutOfMemory;
  }
  return store::Production::Done;
}

store::RewriteOutcome ProcessTemplate(store::FileStream& file, const LineEvaluator& evaluate,
                                      std::size_t memory_limit, const ChangeFinder& find_change) {
  return store::RewriteInPlace(
      file,
      [&](std::string_view original, const store::PieceSink& sink) {
        return EvaluateTextInto(original, evaluate, find_change, memory_limit, sink);
      },
      memory_limit);
}

}  // namespace kelmora::templating

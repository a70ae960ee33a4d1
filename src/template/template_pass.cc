#include "template/template_pass.h"

#include <algorithm>
#include <array>
#include <new>
#include <vector>
#include <string_view>

#include "store/line_reader.h"

namespace kelmora::templating {
namespace {

using store::FileStream;
using store::MemoryStream;
using store::StreamStatus;

template <class Stream>
PassOutcome FailureOf(const Stream& stream) {
  return {false, stream.error_detail()};
}

// Copies every byte of `file` into `copy`, reading up to the end rather
// than up to a size asked beforehand: the `size` bytes asked for are read
// in large blocks, then whatever the file grew by one byte at a time.
PassOutcome CopyWholeFile(FileStream& file, MemoryStream& copy, std::int64_t size) {
  file.Seek(0);
  copy.Reserve(static_cast<std::size_t>(size));
  std::vector<char> block(std::size_t{1} << 16);
  for (auto left = static_cast<std::uint64_t>(size); left > 0;) {
    std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
    file.Read(block.data(), count);
    if (file.status() != StreamStatus::Ok) break;
    copy.Write(block.data(), count);
    left -= count;
  }
  if (file.status() == StreamStatus::PastEnd) {
    // The file shrank meanwhile: read it again up to its end.
    file.Reset();
    copy.Seek(0);
    copy.Truncate();
    file.Seek(0);
  }
  std::array<char, 4096> chunk;
  std::size_t used = 0;
  for (;;) {
    file.Read(&chunk[used], 1);
    if (file.status() != StreamStatus::Ok) break;
    if (++used == chunk.size()) {
      copy.Write(chunk.data(), used);
      used = 0;
    }
  }
  copy.Write(chunk.data(), used);
  if (file.status() != StreamStatus::PastEnd) return FailureOf(file);
  file.Reset();
  if (copy.status() != StreamStatus::Ok) return FailureOf(copy);
  return {};
}

// Writes `bytes` over the file from position 0 and cuts the file after
// them.
void WriteWholeFile(FileStream& file, std::string_view bytes) {
  file.Seek(0);
  file.Write(bytes.data(), bytes.size());
  file.Truncate();
}

}  // namespace

std::optional<std::string> EvaluateText(std::string_view original,
                                        const LineEvaluator& evaluate,
                                        std::size_t memory_limit) {
  std::optional<std::string> result;
  try {
    result.emplace();
    if (original.empty()) return result;
    // Room for CR LF after short lines and for some growth, untouched (and
    // so not taken from memory) unless used.
    result->reserve(std::min(memory_limit, original.size() + original.size() / 4 + 4096));
    store::LineSplitter lines(original, kPieceLimit);
    std::string line;
    std::string_view piece;
    while (lines.Next(piece)) {
      line.assign(piece);
      evaluate(line);
      if (result->size() + line.size() + 2 > memory_limit) return std::nullopt;
      result->append(line);
      result->append("\r\n");
    }
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  return result;
}

PassOutcome ProcessTemplate(FileStream& file, const LineEvaluator& evaluate,
                            std::size_t memory_limit) {
  std::int64_t size = file.Size();
  if (file.status() != StreamStatus::Ok) return FailureOf(file);
  if (size == 0) return {};

  MemoryStream original(memory_limit);
  if (PassOutcome copied = CopyWholeFile(file, original, size); !copied.ok) return copied;

  std::optional<std::string> result = EvaluateText(original.contents(), evaluate, memory_limit);
  if (!result) return {false, platform::kNotEnoughMemory};

  WriteWholeFile(file, *result);
  if (file.status() == StreamStatus::Ok) return {};

  // Other programs may hold the file open, so it is repaired in place
  // rather than replaced. The first failure is the one to report.
  PassOutcome failed = FailureOf(file);
  file.Reset();
  WriteWholeFile(file, original.contents());
  return failed;
}

}  // namespace kelmora::templating

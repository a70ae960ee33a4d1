#include "template/template_pass.h"

#include <array>
#include <string_view>

#include "template/line_io.h"

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
// than up to a size asked beforehand.
PassOutcome CopyWholeFile(FileStream& file, MemoryStream& copy) {
  file.Seek(0);
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

// Reads `source` line by line, evaluates each line and writes it to
// `result` followed by CR LF. At least one line is read.
void EvaluateLines(MemoryStream& source, const LineEvaluator& evaluate,
                   MemoryStream& result) {
  text::LongLine line;
  source.Seek(0);
  do {
    ReadLongLine(source, line);
    evaluate(line);
    WriteLongLine(result, line, "\r\n");
  } while (source.Position() != source.Size() && source.status() == StreamStatus::Ok &&
           result.status() == StreamStatus::Ok);
}

// Writes `bytes` over the file from position 0 and cuts the file after
// them.
void WriteWholeFile(FileStream& file, std::string_view bytes) {
  file.Seek(0);
  file.Write(bytes.data(), bytes.size());
  file.Truncate();
}

}  // namespace

PassOutcome ProcessTemplate(FileStream& file, const LineEvaluator& evaluate,
                            std::size_t memory_limit) {
  std::int64_t size = file.Size();
  if (file.status() != StreamStatus::Ok) return FailureOf(file);
  if (size == 0) return {};

  MemoryStream original(memory_limit);
  if (PassOutcome copied = CopyWholeFile(file, original); !copied.ok) return copied;

  MemoryStream result(memory_limit);
  EvaluateLines(original, evaluate, result);
  if (result.status() != StreamStatus::Ok) return FailureOf(result);

  WriteWholeFile(file, result.contents());
  if (file.status() == StreamStatus::Ok) return {};

  // Other programs may hold the file open, so it is repaired in place
  // rather than replaced. The first failure is the one to report.
  PassOutcome failed = FailureOf(file);
  file.Reset();
  WriteWholeFile(file, original.contents());
  return failed;
}

}  // namespace kelmora::templating

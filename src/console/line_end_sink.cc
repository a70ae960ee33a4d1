#include "console/line_end_sink.h"

#include <algorithm>
#include <string>

namespace kelmora::console {
namespace {

constexpr std::string_view kCrLf = "\r\n";

}  // namespace

LineEndSink::LineEndSink(ConsoleSink& next, std::string_view line_end)
    : next_(next), line_end_(line_end) {}

void LineEndSink::Write(std::string_view bytes, std::uint8_t attribute) {
  if (line_end_ == kCrLf || bytes.find(kCrLf) == std::string_view::npos) {
    next_.Write(bytes, attribute);
    return;
  }
  std::string changed;
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t pair = std::min(bytes.find(kCrLf, at), bytes.size());
    changed.append(bytes.substr(at, pair - at));
    if (pair == bytes.size()) break;
    changed.append(line_end_);
    at = pair + kCrLf.size();
  }
  next_.Write(changed, attribute);
}

void LineEndSink::EndOfWrite() { next_.EndOfWrite(); }

}  // namespace kelmora::console

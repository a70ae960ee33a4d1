// The sink in front of a terminal or a stream: the program writes its
// messages with CR LF, and where the build's own line end is another (LF on
// Linux), each CR LF on the way out becomes it. A screen of cells takes
// CR and LF as cursor moves and needs no such sink.
#pragma once

#include <string_view>

#include "console/sink.h"

namespace kelmora::console {

class LineEndSink : public ConsoleSink {
 public:
  // `next` must outlive the sink.
  LineEndSink(ConsoleSink& next, std::string_view line_end);

  // Hands `bytes` on with each CR LF in them made `line_end`; a CR and an LF
  // that reach it in two writes, and a lone CR or LF, pass unchanged.
  void Write(std::string_view bytes, std::uint8_t attribute) override;
  void EndOfWrite() override;

 private:
  ConsoleSink& next_;
  std::string_view line_end_;
};

}  // namespace kelmora::console

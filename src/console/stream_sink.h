// The sink for a pipe or a file: every byte is written as it is; attributes
// are dropped (the markup has already been interpreted).
#pragma once

#include "console/sink.h"

namespace kelmora::console {

class StreamSink : public ConsoleSink {
 public:
  void Write(std::string_view bytes, std::uint8_t attribute) override;
  bool ShowsAttributes() const override { return false; }
};

}  // namespace kelmora::console

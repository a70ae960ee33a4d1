// The sink for a pipe or a file: every byte is written as it is; attributes
// are dropped (the markup has already been interpreted).
#pragma once

#include <functional>
#include <string_view>

#include "console/sink.h"

namespace kelmora::console {

class StreamSink : public ConsoleSink {
 public:
  using Output = std::function<void(std::string_view)>;
  // Writes to standard output.
  StreamSink();
  explicit StreamSink(Output output);

  void Write(std::string_view bytes, std::uint8_t attribute) override;
  bool ShowsAttributes() const override { return false; }

 private:
  Output output_;
};

}  // namespace kelmora::console

// Where placed text goes: a run of bytes in one text attribute at a time.
// The Windows console, an ANSI terminal and a plain byte stream are sinks;
// tests record what reaches a sink.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelmora::console {

class ConsoleSink {
 public:
  virtual ~ConsoleSink() = default;
  // Places `bytes` (CR, LF, BS and BEL included) in `attribute`.
  virtual void Write(std::string_view bytes, std::uint8_t attribute) = 0;
  // Called when a write of the program ends.
  virtual void EndOfWrite() {}
  // False for a sink that drops the attributes: a text in several
  // attributes may then reach it in one write.
  virtual bool ShowsAttributes() const { return true; }
};

}  // namespace kelmora::console

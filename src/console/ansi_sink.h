// The sink for a terminal: text attributes become ANSI colour sequences
// (SGR); all bytes, CR, LF, BS and BEL included, go out unchanged. Attribute
// 0x07 stands for the terminal's own default colours.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "console/sink.h"

namespace kelmora::console {

inline constexpr std::uint8_t kDefaultAttribute = 0x07;

// The SGR sequence that shows `attribute`: 0x07 as the default colours;
// otherwise the foreground as 30-37 (colours 0-7) or 90-97 (8-15), the
// background as the default background (0), 41-47 (1-7) or, with bit 7,
// 100-107, each PC colour taken to the ANSI colour of the same name; text
// whose foreground equals its background is concealed.
std::string SgrSequence(std::uint8_t attribute);

class AnsiSink : public ConsoleSink {
 public:
  using Output = std::function<void(std::string_view)>;
  // Writes to standard output.
  AnsiSink();
  explicit AnsiSink(Output output);

  // Sends a colour sequence only when `attribute` differs from the one the
  // terminal shows.
  void Write(std::string_view bytes, std::uint8_t attribute) override;
  // Puts the terminal back into its default colours.
  void EndOfWrite() override;

 private:
  Output output_;
  std::uint8_t shown_ = kDefaultAttribute;
};

}  // namespace kelmora::console

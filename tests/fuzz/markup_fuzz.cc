// The colour markup writer over a recording sink: the characters that
// reach the sink are the message without its colour codes, "~~" showing
// one tilde; each character is in the attribute its code set (the attribute
// of the call where none did); the attribute of the call is current again
// afterwards. Hexadecimal texts read back the numbers they spell.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "check.h"
#include "console/console.h"
#include "console/recording_sink.h"
#include "units.h"

namespace kelmora::fuzz {
namespace {

// Characters and the attribute of each.
struct Shown {
  std::string text;
  std::basic_string<std::uint8_t> attributes;
  friend bool operator==(const Shown&, const Shown&) = default;
};

void Show(Shown& shown, std::string_view text, std::uint8_t attribute) {
  shown.text += text;
  shown.attributes.append(text.size(), attribute);
}

// What a message shows, read from its left end: "~~" is a tilde; "~code~"
// sets the attribute to the low byte of the code's value; a tilde without
// a closing one sets attribute 0 and the text after it shows.
Shown Expected(std::string_view message, std::uint8_t attribute) {
  Shown shown;
  while (!message.empty()) {
    std::size_t tilde = message.find('~');
    Show(shown, message.substr(0, tilde), attribute);
    if (tilde == std::string_view::npos) break;
    message.remove_prefix(tilde + 1);
    if (message.starts_with('~')) {
      Show(shown, "~", attribute);
      message.remove_prefix(1);
      continue;
    }
    std::size_t closing = message.find('~');
    std::string_view code = closing == std::string_view::npos ? "" : message.substr(0, closing);
    attribute = static_cast<std::uint8_t>(HexToInt(code) & 0xFF);
    if (closing != std::string_view::npos) message.remove_prefix(closing + 1);
  }
  return shown;
}

Shown Recorded(const console::RecordingSink& sink) {
  Shown shown;
  for (const console::Run& run : sink.runs()) Show(shown, run.text, run.attribute);
  return shown;
}

void CheckMarkup(std::string_view text, std::uint8_t attribute) {
  std::string message = ShortText(text);
  FUZZ_CHECK(message.size() <= text::ShortString::kCapacity);
  console::RecordingSink sink;
  console::SetCurrentAttribute(attribute);
  WriteMarkup(message);
  FUZZ_CHECK(console::CurrentAttribute() == attribute);
  FUZZ_CHECK(Recorded(sink) == Expected(message, attribute));
}

// Any 32-bit number written in hexadecimal, with the decorations allowed
// around it, reads back as itself.
void CheckHex(std::uint32_t number, std::uint8_t style) {
  static const char* const kPrefixes[] = {"", "$", "0x", "0X", "x", "000", "$0x"};
  static const char* const kSuffixes[] = {"", "h", "H", "$", "xh"};
  char digits[16];
  std::snprintf(digits, sizeof digits, (style & 1) ? "%x" : "%X", number);
  std::string hex = std::string(kPrefixes[(style >> 1) % 7]) + digits + kSuffixes[(style >> 4) % 5];
  FUZZ_CHECK(HexToInt(hex) == static_cast<std::int32_t>(number));
}

}  // namespace
}  // namespace kelmora::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  auto attribute = input.ConsumeIntegral<std::uint8_t>();
  kelmora::fuzz::CheckHex(input.ConsumeIntegral<std::uint32_t>(),
                          input.ConsumeIntegral<std::uint8_t>());
  kelmora::fuzz::CheckMarkup(input.ConsumeRemainingBytesAsString(), attribute);
  return 0;
}

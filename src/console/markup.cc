#include "console/markup.h"

#include <string>

#include "console/console.h"
#include "text/char_case.h"
#include "text/number.h"
#include "text/search.h"

namespace kelmora::console {

using text::ShortString;

void WriteMarkup(ShortString rest) {
  const std::uint8_t entry_attribute = CurrentAttribute();
  // A sink that drops the attributes gets the whole text in one write.
  const bool in_one_write = !SinkShowsAttributes();
  std::string whole;
  auto write = [&](std::string_view bytes) {
    if (in_one_write) {
      whole += bytes;
    } else {
      ConsoleWrite(bytes);
    }
  };
  while (!rest.empty()) {
    if (rest[0] != '~') {
      std::size_t tilde = text::Pos("~", rest.view());
      std::size_t plain = tilde == 0 ? rest.size() : tilde - 1;
      write(rest.view().substr(0, plain));
      text::Delete(rest, 1, static_cast<long>(plain));
    }
    // Every doubled tilde in a row is a literal one: a file name holding
    // "~~" reaches here as "~~~~" and must show both of its tildes.
    while (rest.size() >= 2 && rest[0] == '~' && rest[1] == '~') {
      write("~");
      text::Delete(rest, 1, 2);
    }
    if (!rest.empty() && rest[0] == '~') {
      text::Delete(rest, 1, 1);
      std::size_t closing = text::Pos("~", rest.view());
      ShortString code =
          closing == 0 ? ShortString() : text::Copy(rest, 1, static_cast<long>(closing) - 1);
      SetCurrentAttribute(static_cast<std::uint8_t>(HexToInt(code) & 0xFF));
      if (closing != 0) text::Delete(rest, 1, static_cast<long>(closing));
    }
  }
  if (in_one_write) ConsoleWrite(whole);
  SetCurrentAttribute(entry_attribute);
}

std::int32_t HexToInt(ShortString code) {
  static const text::CharSet kLeading("$0HXhx");
  static const text::CharSet kTrailing("$HXhx");
  text::TrimLeftSet(code, kLeading);
  text::TrimRightSet(code, kTrailing);
  code = text::UpperCaseKeyword(code);
  for (char c : code.view()) {
    bool hex_digit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    if (!hex_digit) return 0;
  }
  std::string hexadecimal = "$";
  hexadecimal.append(code.view());
  return text::Val(hexadecimal).value;
}

}  // namespace kelmora::console

#include "template/formatting.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

#include "text/char_case.h"
#include "text/columns.h"
#include "text/number.h"
#include "text/words.h"

namespace kelmora::templating {
namespace {

using text::ShortString;

const text::CharSet kArgumentDelimiters("|");

ShortString Word(int n, const ShortString& argument) {
  return text::ExtractWord(n, argument.view(), kArgumentDelimiters);
}

// The first whole character of `word`; an empty word yields a space, which
// no caller can show (its width word is then missing too, so it reads as 0).
ShortString FirstCharacter(const ShortString& word) {
  return word.empty() ? ShortString(" ") : ShortString(text::LeadingChar(word.view()));
}

// `count` fill characters; a result past 255 bytes loses whole ones.
ShortString Fill(std::string_view fill, std::size_t count) {
  std::string fills;
  for (; count > 0 && fills.size() < ShortString::kCapacity; --count) fills += fill;
  return ShortString(fills);
}

std::size_t Columns(const ShortString& text) {
  return static_cast<std::size_t>(text::Columns(text.view()));
}

bool AllDigits(const ShortString& word) {
  for (char c : word.view()) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

ShortString PadLeft(const ShortString& text, std::string_view fill, std::uint8_t width) {
  if (Columns(text) >= width) return text;
  return Fill(fill, width - Columns(text)) + text;
}

ShortString PadRight(const ShortString& text, std::string_view fill, std::uint8_t width) {
  if (Columns(text) >= width) return text;
  return text + Fill(fill, width - Columns(text));
}

ShortString PadCenter(const ShortString& text, std::string_view fill, std::uint8_t width) {
  if (Columns(text) >= width) return text;
  std::size_t left = (width - Columns(text)) / 2;
  return PadRight(Fill(fill, left) + text, fill, width);
}

void PadText(ShortString& argument) {
  ShortString alignment = text::UpperCaseKeyword(Word(1, argument));
  ShortString fill = FirstCharacter(Word(2, argument));
  std::int32_t width = text::StrToInt(Word(3, argument).view());
  ShortString body = Word(4, argument);

  // The cut compares with the whole width; padding sees only its low 8 bits.
  std::int32_t length = text::Columns(body.view());
  bool too_long = length > width;
  std::int32_t keep = std::max(width, 0);  // a width of 0 or below keeps nothing
  auto pad_width = static_cast<std::uint8_t>(static_cast<std::uint32_t>(width) & 0xFF);
  auto cut = [&](std::int32_t from) {
    return ShortString(text::ColumnSpan(body.view(), from, keep, fill.view()));
  };
  if (alignment == "LEFT") {
    argument = too_long ? cut(length - keep) : PadLeft(body, fill.view(), pad_width);
  } else if (alignment == "RIGHT") {
    argument = too_long ? cut(0) : PadRight(body, fill.view(), pad_width);
  } else if (alignment == "CENTER") {
    argument =
        too_long ? cut((length - keep + 1) / 2 - 1) : PadCenter(body, fill.view(), pad_width);
  } else {
    argument = PadCenter(body, fill.view(), pad_width);
  }
}

void GroupDigits(ShortString& argument) {
  // One byte, as in either build's first code page.
  char separator = FirstCharacter(Word(1, argument)).front();
  ShortString number = Word(2, argument);
  if (!AllDigits(number)) {
    argument = number;
    return;
  }
  // Built in full, then cut: a result over 255 characters loses its end.
  std::string grouped(number.view());
  for (std::size_t at = number.size(); at > 3; at -= 3) {
    grouped.insert(at - 3, 1, separator);
  }
  argument = grouped;
}

void ScaleSize(ShortString& argument) {
  static constexpr std::array<std::string_view, 4> kUnits = {"b", "Kb", "Mb", "Gb"};
  std::int64_t wanted = text::StrToInt(Word(1, argument).view());
  // Byte counts are 64-bit: files and disks pass 2 GiB.
  std::int64_t value = text::StrToInt64(Word(2, argument).view());
  std::size_t unit = 0;
  ShortString result;
  // Stops at "Gb" whatever the length: the table has no larger unit.
  do {
    value /= 1024;
    ++unit;
    result = text::IntToStr64(value) + kUnits[unit];
  } while (std::abs(wanted - static_cast<std::int64_t>(result.size())) > 1 && value != 0 &&
           unit + 1 < kUnits.size());
  argument = result;
}

}  // namespace kelmora::templating

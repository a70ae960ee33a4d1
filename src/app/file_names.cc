#include "app/file_names.h"

#include <algorithm>

#include "console/markup.h"
#include "text/number.h"
#include "text/text_rules.h"

namespace kelmora::app {
namespace {

const char kShortened[] = "...";

// The bytes of the first character of `text` (not empty): a whole, valid
// sequence of the build's text, or one byte.
std::size_t FirstCharLength(std::string_view text) {
  for (std::size_t length = 1; length < 4; ++length)
    if (text::WholeCharPrefix(text, length) > 0) return length;
  return std::max<std::size_t>(text::WholeCharPrefix(text, 4), 1);
}

bool IsC1(unsigned char byte) { return byte >= 0x80 && byte <= 0x9F; }

// A character a terminal could act on: C0 controls and DEL, and where the
// build's text has them, the C1 controls, whole or as a lone byte.
bool IsControl(std::string_view c) {
  auto first = static_cast<unsigned char>(c[0]);
  if (c.size() == 1)
    return first < 0x20 || first == 0x7F || (text::kNativeText.c1_controls && IsC1(first));
  return text::kNativeText.c1_controls && c.size() == 2 && first == 0xC2 &&
         IsC1(static_cast<unsigned char>(c[1]));
}

}  // namespace

bool ExistsAsFile(platform::PathKind kind) {
  return kind == platform::PathKind::File || kind == platform::PathKind::Special;
}

bool FileExists(const std::string& path, const store::FileOps& ops) {
  return ExistsAsFile(ops.query(path));
}

bool IsRegularFile(const std::string& path, const store::FileOps& ops) {
  return ops.query(path) == platform::PathKind::File;
}

text::ShortString DoubleTildes(std::string_view text) {
  text::ShortString doubled;
  for (char c : text) {
    doubled.Append(c);
    if (c == '~') doubled.Append('~');
  }
  return doubled;
}

std::string InertName(std::string_view name) {
  std::string shown;
  for (std::size_t at = 0; at < name.size();) {
    std::string_view c = name.substr(at, FirstCharLength(name.substr(at)));
    at += c.size();
    if (!IsControl(c)) {
      shown += c;
      continue;
    }
    for (char each : c) {
      shown += "\\x";
      shown += text::HexDigits(static_cast<unsigned char>(each), 2).view();
    }
  }
  return shown;
}

namespace {

std::string InertMarkup(std::string_view name) {
  std::string shown;
  for (char c : InertName(name)) {
    shown += c;
    if (c == '~') shown += '~';
  }
  return shown;
}

}  // namespace

std::string MarkupName(std::string_view name, std::size_t room) {
  std::string shown = InertMarkup(name);
  if (shown.size() <= room) return shown;
  std::size_t mark = sizeof kShortened - 1;
  if (room < mark) return {};
  // Whole characters of the name are dropped from its end, so that neither
  // a character, an escape nor a doubled tilde is split. The shown form is
  // never shorter than the name.
  std::size_t keep = text::WholeCharPrefix(name, room - mark);
  while (keep > 0 && InertMarkup(name.substr(0, keep)).size() > room - mark)
    keep = text::WholeCharPrefix(name, keep - 1);
  return InertMarkup(name.substr(0, keep)) + kShortened;
}

void FixLookalikes(text::ShortString& text) {
  if (!text::kNativeText.fix_lookalikes) return;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\x8D') text[i] = 'H';
    if (text[i] == '\xE0') text[i] = 'p';
  }
}

text::ShortString ErrorBullet() {
  return text::ShortString("~0C~ ") + text::kNativeText.bullet + " ~07~";
}

void WriteNamedLine(const text::ShortString& before, std::string_view name,
                    std::string_view after) {
  text::ShortString start = before + "[";
  text::ShortString end = text::ShortString("]") + after;
  std::size_t room = text::ShortString::kCapacity - start.size() - end.size();
  console::WriteMarkup(start + MarkupName(name, room) + end);
}

void WriteFileNotLine(std::string_view name, std::string_view what) {
  WriteNamedLine(ErrorBullet(), name, (text::ShortString(" ~0C~NOT~07~ ") + what + "!\r\n").view());
}

}  // namespace kelmora::app

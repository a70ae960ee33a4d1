#include "app/file_names.h"

#include "console/markup.h"
#include "text/number.h"
#include "text/text_rules.h"

namespace kelmora::app {
namespace {

const char kShortened[] = "...";

bool IsControl(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
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
  for (char c : name) {
    if (!IsControl(c)) {
      shown += c;
      continue;
    }
    shown += "\\x";
    shown += text::HexDigits(static_cast<unsigned char>(c), 2).view();
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
  WriteNamedLine(ErrorBullet(), name,
                 (text::ShortString(" ~0C~NOT~07~ ") + what + "!\r\n").view());
}

}  // namespace kelmora::app

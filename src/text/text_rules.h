// The text rule of each build, in one place. The Windows build keeps the
// console's single-byte OEM code page 866. The Linux build's text is UTF-8
// whatever the locale says, so a run from cron behaves like one from a
// terminal.
#pragma once

#include <cstddef>
#include <string_view>

#include "text/utf8.h"

namespace kelmora::text {

enum class Encoding { Cp866, Utf8 };

struct TextRules {
  Encoding encoding;
  // A lone LF ends a line of a text file, as CR and CR LF do.
  bool lone_line_feed_ends_line;
  // Bytes of Cyrillic letters that look Latin are made Latin (only bytes
  // of code page 866 mean such letters).
  bool fix_lookalikes;
  // The small filled square of error lines.
  std::string_view bullet;
  // The program as the usage line names it.
  std::string_view program_name;
  // The C1 controls (U+0080 to U+009F, and a lone byte 0x80 to 0x9F) are
  // controls a terminal acts on; in code page 866 those bytes are letters.
  bool c1_controls;
  // The line end of the build's own text: of console messages, and of a
  // rewritten template that holds no CR (see TemplateLineEnd).
  std::string_view line_end;
};

inline constexpr TextRules kCp866Rules{Encoding::Cp866, false, true,  "\xFE",
                                       "kelmora.exe",   false, "\r\n"};
inline constexpr TextRules kUtf8Rules{Encoding::Utf8, true, false, "\xE2\x96\xA0",
                                      "kelmora",      true, "\n"};

#ifdef _WIN32
inline constexpr const TextRules& kNativeText = kCp866Rules;
#else
inline constexpr const TextRules& kNativeText = kUtf8Rules;
#endif

// The line end that every line of a rewritten template gets, chosen once
// for the whole file, `holds_cr` telling whether it holds a CR anywhere: CR
// LF when it does, in either build; otherwise the build's own line end.
inline std::string_view TemplateLineEnd(bool holds_cr) {
  return holds_cr ? "\r\n" : kNativeText.line_end;
}

// The length of the longest prefix of `text` of at most `limit` bytes that
// does not end inside a character: where a text is cut or split, the cut is
// made there. In code page 866 every byte is a character; in UTF-8 see
// Utf8WholeCharPrefix.
inline std::size_t WholeCharPrefix(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  if constexpr (kNativeText.encoding == Encoding::Utf8) {
    return Utf8WholeCharPrefix(text, limit);
  } else {
    return limit;
  }
}

// The first character of `text` (not empty) and the columns it takes on a
// terminal: in code page 866 one byte and one column; in UTF-8 see
// Utf8FirstChar.
inline CharExtent FirstCharExtent(std::string_view text) {
  if constexpr (kNativeText.encoding == Encoding::Utf8) {
    return Utf8FirstChar(text);
  } else {
    return {1, 1};
  }
}

}  // namespace kelmora::text

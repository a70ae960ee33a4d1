// Small driver routines shared by the settings, the names file and the run.
#pragma once

#include <string_view>

#include "text/bounded_string.h"

namespace kelmora::app {

// True when `path` names something whose attributes can be read and that is
// not a directory.
bool FileExists(std::string_view path);

// `text` with every "~" doubled, so the markup writer shows it literally.
text::ShortString DoubleTildes(std::string_view text);

// In place: 0x8D (Cyrillic EN) becomes "H", 0xE0 (Cyrillic er) becomes "p",
// the Latin letters they look like.
void FixLookalikes(text::ShortString& text);

// Colour write of the error line "[path] NOT <what>!" ("found", "readable",
// "rewritten"), the path shown literally.
void WriteFileNotLine(const text::ShortString& path, std::string_view what);

}  // namespace kelmora::app

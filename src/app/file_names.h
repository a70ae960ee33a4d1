// Small driver routines shared by the settings, the names file and the run.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "store/file_ops.h"
#include "text/bounded_string.h"

namespace kelmora::app {

// True when `kind` is something that exists and is not a directory.
bool ExistsAsFile(platform::PathKind kind);

// True when `path` names something that exists and is not a directory.
bool FileExists(const std::string& path, const store::FileOps& ops = store::SystemFileOps());

// True when `path` names a regular file (links followed). Something else
// that exists (a FIFO, a device, a socket) is never opened for reading:
// that could block or never end.
bool IsRegularFile(const std::string& path, const store::FileOps& ops = store::SystemFileOps());

// `text` with every "~" doubled, so the markup writer shows it literally.
text::ShortString DoubleTildes(std::string_view text);

// A name as messages show it: its control bytes (below 0x20, and 0x7F)
// written as "\xHH", so that no name can steer the terminal.
std::string InertName(std::string_view name);

// InertName with the tildes doubled, for a markup message, shortened to at
// most `room` bytes between whole characters and marked "..." when it does
// not fit.
std::string MarkupName(std::string_view name, std::size_t room);

// In place: 0x8D (Cyrillic EN) becomes "H", 0xE0 (Cyrillic er) becomes "p",
// the Latin letters they look like. Only where text is code page 866: in
// UTF-8 these bytes are parts of other characters, and nothing changes.
void FixLookalikes(text::ShortString& text);

// The start of every error line: the bullet in light red, then light grey.
text::ShortString ErrorBullet();

// Colour write of `before` + "[" + name + "]" + `after`, the name shown by
// MarkupName, shortened so that the line keeps its ending.
void WriteNamedLine(const text::ShortString& before, std::string_view name, std::string_view after);

// WriteNamedLine of the error line "[name] NOT <what>!" ("found",
// "readable", "rewritten").
void WriteFileNotLine(std::string_view name, std::string_view what);

}  // namespace kelmora::app

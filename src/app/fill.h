// The pieces of a fill that a single run and a followed one share: the
// live values added to the table, the template read whole, and its text
// evaluated.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/settings.h"
#include "config/replace_table.h"
#include "platform/platform.h"
#include "store/rewrite.h"
#include "template/template_pass.h"
#include "text/bounded_string.h"

namespace kelmora::app {

// The counter text of the moment `now_seconds` (NowSeconds).
void AddBirthTime(config::ReplaceTable& table, const Settings& settings, std::int32_t now_seconds);

// Added after the names-file pairs, so it replaces a names-file line of its
// token. `title` is the song title (QuerySongTitle), empty for none.
void AddCurrentSong(config::ReplaceTable& table, const Settings& settings,
                    const text::ShortString& title);

// The whole of the template at `path`, or of standard input for "-".
platform::ErrorCode ReadTemplateText(const std::string& path, std::string* text);

// Every line of `template_text` through `table`, handed to `sink` (see
// templating::EvaluateTextInto).
store::Production FillText(std::string_view template_text, config::ReplaceTable& table,
                           const store::PieceSink& sink,
                           const templating::ReadProgress& progress = {});

// A template file read in pieces: its size, and whether it holds a CR,
// read to its end only when it is at least store::kWholeFile bytes long.
struct TemplateScan {
  std::uint64_t size = 0;
  bool holds_cr = false;
};
platform::ErrorCode ScanTemplateFile(const std::string& path, TemplateScan* scan);

// FillText of the template file at `path`, scanned as `scan`, read in
// pieces; ReadFailed, for *error, when reading it failed.
store::Production FillFile(const std::string& path, const TemplateScan& scan,
                           config::ReplaceTable& table, const store::PieceSink& sink,
                           platform::ErrorCode* error,
                           const templating::ReadProgress& progress = {});

// The in-place fill of `name` with `table`; the file is closed on return.
store::RewriteOutcome RewriteTemplate(const std::string& name, config::ReplaceTable& table,
                                      const templating::ReadProgress& progress = {});

}  // namespace kelmora::app

#include "app/fill.h"

#include "app/counter.h"
#include "app/options.h"
#include "app/song_title.h"
#include "store/file_stream.h"
#include "template/template_pass.h"
#include "text/text_rules.h"

namespace kelmora::app {

void AddBirthTime(config::ReplaceTable& table, const Settings& settings,
                  std::int32_t now_seconds) {
  table.Add("@BirthTime",
            CounterText(now_seconds, settings.birth_seconds, settings.time_count,
                        settings.time_format),
            false);
}

void AddCurrentSong(config::ReplaceTable& table, const Settings& settings,
                    const text::ShortString& title) {
  table.Add("@CurrentSong", SongValue(title, settings.no_wamp, settings.prefix, settings.suffix),
            false);
}

platform::ErrorCode ReadTemplateText(const std::string& path, std::string* text) {
  if (path == kStandardStream) return platform::ReadStandardInput(text);
  store::FileStream file(path, store::kOpenRead, 4096);
  std::int64_t size = file.Size();
  if (file.status() == store::StreamStatus::Ok) {
    text->resize(static_cast<std::size_t>(size));
    file.Read(text->data(), text->size());
  }
  if (file.status() == store::StreamStatus::Ok) return 0;
  // A file cut short while it was read fails with no code of the OS.
  return file.error_detail() != 0 ? file.error_detail() : platform::kFileChanged;
}

namespace {

templating::LineEvaluator EvaluatorOf(config::ReplaceTable& table) {
  return [&table](std::string& line) { table.Apply(line); };
}

templating::ChangeFinder ChangeFinderOf(config::ReplaceTable& table) {
  return [&table](std::string_view lines) { return table.FirstPossibleChange(lines); };
}

}  // namespace

store::Production FillText(std::string_view template_text, config::ReplaceTable& table,
                           const store::PieceSink& sink,
                           const templating::ReadProgress& progress) {
  return templating::EvaluateTextInto(template_text, text::TemplateLineEnd(template_text),
                                      EvaluatorOf(table), ChangeFinderOf(table),
                                      store::kNoMemoryLimit, sink, progress);
}

store::RewriteOutcome RewriteTemplate(const std::string& name, config::ReplaceTable& table,
                                      const templating::ReadProgress& progress) {
  store::FileStream stream(name, store::kOpenReadWrite, 4096);
  return templating::ProcessTemplate(stream, EvaluatorOf(table), store::kNoMemoryLimit,
                                     ChangeFinderOf(table), progress);
}

}  // namespace kelmora::app

#include "app/follow.h"

#include <optional>
#include <string>
#include <vector>

#include "app/counter.h"
#include "app/exits.h"
#include "app/file_names.h"
#include "app/fill.h"
#include "app/names_file.h"
#include "app/run.h"
#include "app/settings.h"
#include "app/song_title.h"
#include "config/replace_table.h"
#include "console/console.h"
#include "console/markup.h"
#include "platform/platform.h"
#include "store/output_file.h"
#include "store/run_lock.h"
#include "runtime/runtime.h"

namespace kelmora::app {
namespace {

const char kDone[] = "~0A~done!~07~\r\n";

// How a source of the fill stands; each change of it is said once.
enum class FileState { Read, NotFound, NotReadable };

class Follower {
 public:
  explicit Follower(const Options& options) : options_(options), output_(*options.output) {}

  [[noreturn]] void Run();

 private:
  void Start();
  void ReloadSettings();
  void ReloadNames();
  void ReloadTemplate();
  void QuerySong();
  void WatchFiles();
  void FillAndWrite();
  bool Write(const std::string& text);

  const Options& options_;
  const std::string output_;
  platform::ChangeWaiter waiter_;
  Settings settings_;
  SettingsLoad settings_load_;
  std::vector<NamePair> names_;
  NamesStatus names_status_ = NamesStatus::Off;
  std::string template_text_;
  FileState template_state_ = FileState::Read;
  text::ShortString song_;
  bool bus_reachable_ = true;
  // The clock reading of the last fill's counter.
  std::int32_t filled_at_ = 0;
  std::optional<std::string> written_;
  bool output_failing_ = false;
};

// As a single run: the same lines, and the same exits for settings and a
// template that are not there.
void Follower::Start() {
  if (output_ != kStandardStream) {
    store::RunLock lock(store::SystemFileOps());
    LockForTheRun(output_, lock);
    RecoverInterruptedRewrite(output_);
  }
  if (!options_.quiet) console::PlainWrite("reading config... ");
  settings_load_ = SettingsOrStop(options_.quiet);
  settings_ = settings_load_.settings;
  if (!FileExists(options_.template_path)) StopOnMissingFile(options_.template_path);
  names_status_ = LoadNamePairs(settings_, &names_);
  ReportNamesFile(settings_, names_status_);
  if (!options_.quiet) console::WriteMarkup(kDone);
  if (!options_.quiet)
    console::PlainWrite("processing [" + InertName(options_.template_path) + "] into [" +
                        InertName(output_) + "]... ");
  if (platform::ErrorCode error = ReadTemplateText(options_.template_path, &template_text_))
    StopOnUnreadable(options_.template_path, error);
  song_ = QuerySongTitle();
  WatchFiles();
}

void Follower::WatchFiles() {
  std::vector<std::string> paths{options_.template_path, settings_load_.path};
  if (settings_.change_names) paths.push_back(settings_.names_file);
  waiter_.WatchFiles(paths);
}

// Settings that have become bad are said once, and the last good ones kept.
void Follower::ReloadSettings() {
  SettingsLoad load = LoadSettings();
  bool same_state = load.status == settings_load_.status && load.path == settings_load_.path &&
                    load.wrong_lines == settings_load_.wrong_lines;
  if (!same_state && load.status != SettingsLoad::Status::Ok) ReportSettingsFile(load);
  if (!same_state && load.status == SettingsLoad::Status::Ok) ReportWrongLines(load, false);
  if (load.status == SettingsLoad::Status::Ok && load.wrong_lines.empty())
    settings_ = load.settings;
  settings_load_ = std::move(load);
}

void Follower::ReloadNames() {
  std::vector<NamePair> pairs;
  NamesStatus status = LoadNamePairs(settings_, &pairs);
  if (status != names_status_) ReportNamesFile(settings_, status);
  names_status_ = status;
  names_ = std::move(pairs);
}

// While the template is away the output keeps its last text.
void Follower::ReloadTemplate() {
  std::string text;
  FileState state = FileState::Read;
  platform::ErrorCode error = 0;
  if (!FileExists(options_.template_path))
    state = FileState::NotFound;
  else if ((error = ReadTemplateText(options_.template_path, &text)) != 0)
    state = FileState::NotReadable;
  if (state != template_state_ && state == FileState::NotFound)
    WriteFileNotLine(options_.template_path, "found");
  if (state != template_state_ && state == FileState::NotReadable) {
    WriteFileNotLine(options_.template_path, "readable");
    WriteReason(error);
  }
  template_state_ = state;
  if (state == FileState::Read) template_text_ = std::move(text);
}

void Follower::QuerySong() {
  bool reachable = waiter_.SongServiceReachable();
  if (!reachable && bus_reachable_)
    console::WriteMarkup(ErrorBullet() + "the session bus went away: no song until it is back\r\n");
  bus_reachable_ = reachable;
  song_ = QuerySongTitle();
}

// The whole text goes out at once: to standard output for a reader that
// takes it line by line, or over OUTPUT with the crash-safe rewrite.
bool Follower::Write(const std::string& text) {
  if (output_ == kStandardStream) {
    // Nobody reads any more: following is over.
    if (!platform::WriteStandardOutput(text.data(), text.size())) runtime::Halt(kExitOk);
    return true;
  }
  // Each write waits for any other run on OUTPUT, and holds it off.
  store::RunLock lock(store::SystemFileOps());
  store::RewriteOutcome outcome = store::FailedWith(lock.Take(output_));
  if (outcome.error != platform::kInUse) {
    outcome =
        store::RewriteOutputFile(output_, [&text](std::string_view, const store::PieceSink& sink) {
          if (!text.empty() && !sink(text)) return store::Production::Stopped;
          return store::Production::Done;
        });
  }
  if (outcome.ok) ReportStuckJournal(output_, outcome);
  if (!outcome.ok && !output_failing_) ReportNotRewritten(output_, outcome);
  output_failing_ = !outcome.ok;
  return outcome.ok;
}

void Follower::FillAndWrite() {
  // Read even while the template is away, so that the next wait is one
  // unit of the counter long.
  filled_at_ = NowSeconds();
  if (template_state_ != FileState::Read) return;
  config::ReplaceTable table;
  AddNamePairs(names_, table);
  AddBirthTime(table, settings_, filled_at_);
  AddCurrentSong(table, settings_, song_);
  std::string text;
  store::Production made = FillText(template_text_, table, [&text](std::string_view piece) {
    text.append(piece);
    return true;
  });
  if (made != store::Production::Done || text == written_) return;
  if (Write(text)) written_ = std::move(text);
}

void Follower::Run() {
  Start();
  FillAndWrite();
  if (!options_.quiet && !output_failing_) console::WriteMarkup(kDone);
  for (;;) {
    // Counted from the last fill's reading: a counter that moved on while
    // it was made is filled again at once.
    int seconds = SecondsToNextCount(filled_at_, settings_.birth_seconds, settings_.time_count) -
                  (NowSeconds() - filled_at_);
    unsigned wakes = seconds > 0 ? waiter_.Wait(seconds) : platform::kWakeClock;
    if (wakes & platform::kWakeStop) runtime::Halt(kExitOk);
    if (wakes & platform::kWakeFiles) {
      ReloadSettings();
      ReloadNames();
      ReloadTemplate();
      WatchFiles();
    }
    if ((wakes & platform::kWakeSong) || waiter_.SongServiceReachable() != bus_reachable_)
      QuerySong();
    FillAndWrite();
  }
}

}  // namespace

void Follow(const Options& options) {
  // Made before the first fill, so that no change during it is missed.
  Follower follower(options);
  follower.Run();
}

}  // namespace kelmora::app

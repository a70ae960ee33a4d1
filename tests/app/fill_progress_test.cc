#include "app/fill_progress.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "console/recording_sink.h"
#include "console/running_figure.h"

namespace kelmora::app {
namespace {

using platform::OutputKind;

struct Report {
  std::int64_t at_ms;  // since the fill started
  std::size_t read, total;
};

TEST(FillProgress, DrawsAfterHalfASecondAtMostTenTimesASecondAndErases) {
  const std::vector<Report> slow_fill = {
      {100, 10, 100}, {499, 20, 100}, {500, 50, 100}, {599, 60, 100}, {600, 100, 100}};
  const std::vector<Report> fast_fill = {{100, 50, 100}, {499, 100, 100}};
  struct Case {
    const char* name;
    OutputKind where;
    int columns_left;
    std::vector<Report> reports;
    std::string bytes;  // everything written, the erasing included
  } cases[] = {
      {"terminal: redrawn after a carriage return", OutputKind::Terminal, 60, slow_fill,
       "\rdoing... 50%\rdoing... 100%\rdoing...     \rdoing... "},
      {"console: the cursor goes back over the figure", OutputKind::Console, 60, slow_fill,
       "50%\b\b\b100%\b\b\b\b    \b\b\b\b"},
      {"a pipe or a file gets nothing", OutputKind::Stream, 60, slow_fill, ""},
      {"no room on the line for 100%", OutputKind::Terminal, 4, slow_fill, ""},
      {"room for it exactly", OutputKind::Console, 5, slow_fill,
       "50%\b\b\b100%\b\b\b\b    \b\b\b\b"},
      {"a fill done within half a second shows nothing", OutputKind::Terminal, 60, fast_fill, ""},
      {"an empty template", OutputKind::Terminal, 60, {{700, 0, 0}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    console::RecordingSink sink;
    std::int64_t now = 1000;
    FillProgress progress(
        console::RunningFigure("doing... ", c.where, c.columns_left, FillProgress::kWidest),
        [&now] { return now; });
    for (const Report& report : c.reports) {
      now = 1000 + report.at_ms;
      progress.Report(report.read, report.total);
    }
    progress.Erase();
    std::string written;
    for (const console::Run& run : sink.runs()) written += run.text;
    EXPECT_EQ(written, c.bytes);
  }
}

}  // namespace
}  // namespace kelmora::app

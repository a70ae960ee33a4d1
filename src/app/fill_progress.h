// The percentage of the template read, on the "processing" line of a fill
// that runs for more than half a second: drawn at most ten times a second,
// and erased before the line goes on. Where messages do not reach a
// terminal or a console, nothing is drawn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "console/running_figure.h"

namespace kelmora::app {

// Milliseconds on a clock that only moves forward.
using MonotonicClock = std::function<std::int64_t()>;
std::int64_t SteadyMilliseconds();

class FillProgress {
 public:
  // The most bytes a figure takes: "100%".
  static constexpr std::size_t kWidest = 4;

  // `figure`: at the end of the "processing" line. The fill starts now.
  explicit FillProgress(console::RunningFigure figure, MonotonicClock clock = SteadyMilliseconds);

  // `read` of `total` bytes of the template have been read.
  void Report(std::uint64_t read, std::uint64_t total);
  // Before the line goes on: no figure is left on it.
  void Erase() { figure_.Erase(); }

 private:
  console::RunningFigure figure_;
  MonotonicClock clock_;
  std::int64_t next_draw_;
};

}  // namespace kelmora::app

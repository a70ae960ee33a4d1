#include "app/fill_progress.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "text/number.h"

namespace kelmora::app {
namespace {

constexpr std::int64_t kQuietStart = 500;  // ms before the first figure
constexpr std::int64_t kDrawEvery = 100;   // ms between two figures

}  // namespace

std::int64_t SteadyMilliseconds() {
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  return duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

FillProgress::FillProgress(console::RunningFigure figure, MonotonicClock clock)
    : figure_(std::move(figure)), clock_(std::move(clock)), next_draw_(clock_() + kQuietStart) {}

void FillProgress::Report(std::uint64_t read, std::uint64_t total) {
  if (!figure_.shown_here() || total == 0) return;
  const std::int64_t now = clock_();
  if (now < next_draw_) return;
  next_draw_ = now + kDrawEvery;
  const auto percent = static_cast<std::int32_t>(std::min(read, total) * 100 / total);
  figure_.Show((text::IntToStr(percent) + "%").view());
}

}  // namespace kelmora::app

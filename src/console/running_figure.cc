#include "console/running_figure.h"

#include <algorithm>
#include <utility>

#include "console/console.h"

namespace kelmora::console {

RunningFigure::RunningFigure(std::string line_start, platform::OutputKind where, int columns_left,
                             std::size_t widest)
    : line_start_(std::move(line_start)),
      on_terminal_(where == platform::OutputKind::Terminal),
      shown_here_(where != platform::OutputKind::Stream &&
                  columns_left > static_cast<int>(widest)) {}

RunningFigure RunningFigure::AfterMessages(std::string line_start, std::size_t widest) {
  const int columns_left = ColumnsLeftOnLine(line_start.size());
  return RunningFigure(std::move(line_start), MessagesKind(), columns_left, widest);
}

void RunningFigure::Show(std::string_view figure) {
  if (!shown_here_) return;
  // Blanks cover what is left of a wider figure before.
  const std::string blanks(drawn_ - std::min(drawn_, figure.size()), ' ');
  std::string bytes;
  if (on_terminal_) {
    bytes = "\r" + line_start_ + std::string(figure) + blanks;
  } else {
    bytes = std::string(figure) + blanks + std::string(figure.size() + blanks.size(), '\b');
  }
  ConsoleWrite(bytes);
  drawn_ = figure.size();
}

void RunningFigure::Erase() {
  if (drawn_ == 0) return;
  const std::string blanks(drawn_, ' ');
  if (on_terminal_) {
    ConsoleWrite("\r" + line_start_ + blanks + "\r" + line_start_);
  } else {
    ConsoleWrite(blanks + std::string(drawn_, '\b'));
  }
  drawn_ = 0;
}

}  // namespace kelmora::console

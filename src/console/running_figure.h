// A short figure (a percentage) shown at the end of a line of messages and
// redrawn in place as it changes, then erased, leaving the line as it was:
// on a terminal by a carriage return and the line's text written again, on
// a console by moving its cursor back. Nothing reaches a byte stream (a
// pipe, a file), nor a line without room for the widest figure.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace kelmora::console {

class RunningFigure {
 public:
  // `line_start`: the text of the line so far, as written, without markup,
  // to `where`, with `columns_left` after it. `widest`: the most bytes a
  // figure takes.
  RunningFigure(std::string line_start, platform::OutputKind where, int columns_left,
                std::size_t widest);
  // On the line of messages written last (MessagesKind, ColumnsLeftOnLine).
  static RunningFigure AfterMessages(std::string line_start, std::size_t widest);

  // False where no figure is ever shown.
  bool shown_here() const { return shown_here_; }
  // Draws `figure` (at most `widest` bytes) over the one before.
  void Show(std::string_view figure);
  // Leaves the line as it was before the first Show.
  void Erase();

 private:
  std::string line_start_;
  bool on_terminal_;
  bool shown_here_;
  std::size_t drawn_ = 0;  // bytes of the figure on the line now
};

}  // namespace kelmora::console

#include "console/screen_sink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "console/markup.h"

namespace kelmora::console {
namespace {

constexpr std::uint8_t kUntouched = 0x01;
constexpr std::uint8_t kWritten = 0x1E;

// A screen whose row r starts as the digit r in every cell, in kUntouched.
class FakeScreen : public Screen {
 public:
  FakeScreen(int width, int height) : width_(width) {
    for (int row = 0; row < height; ++row) {
      chars_.emplace_back(static_cast<std::size_t>(width), static_cast<char>('0' + row));
      attributes_.emplace_back(static_cast<std::size_t>(width), kUntouched);
    }
  }

  void PutCells(int x, int y, std::string_view chars, std::uint8_t attribute) override {
    puts_.push_back(std::to_string(x) + "," + std::to_string(y) + ":" + std::string(chars));
    if (x < 0 || x + static_cast<int>(chars.size()) > width_ || y < 0 ||
        y >= static_cast<int>(chars_.size())) {
      ADD_FAILURE() << "cells outside the screen: " << puts_.back();
      return;
    }
    for (std::size_t i = 0; i < chars.size(); ++i) {
      auto column = static_cast<std::size_t>(x) + i;
      chars_[static_cast<std::size_t>(y)][column] = chars[i];
      attributes_[static_cast<std::size_t>(y)][column] = attribute;
    }
  }
  void ScrollUp(std::uint8_t fill_attribute) override {
    chars_.erase(chars_.begin());
    attributes_.erase(attributes_.begin());
    chars_.emplace_back(static_cast<std::size_t>(width_), ' ');
    attributes_.emplace_back(static_cast<std::size_t>(width_), fill_attribute);
  }
  void Alert() override { ++alerts_; }
  void MoveCursor(int x, int y) override { cursor_ = {x, y}; }

  const std::vector<std::string>& rows() const { return chars_; }
  // One mark a cell: '-' untouched, '#' kWritten, '?' any other attribute.
  std::vector<std::string> AttributeRows() const {
    std::vector<std::string> marks;
    for (const auto& row : attributes_) {
      std::string line;
      for (std::uint8_t a : row) line += a == kUntouched ? '-' : a == kWritten ? '#' : '?';
      marks.push_back(line);
    }
    return marks;
  }
  const std::vector<std::string>& puts() const { return puts_; }
  int alerts() const { return alerts_; }
  CursorPosition cursor() const { return cursor_; }

 private:
  int width_;
  std::vector<std::string> chars_;
  std::vector<std::vector<std::uint8_t>> attributes_;
  std::vector<std::string> puts_;
  int alerts_ = 0;
  CursorPosition cursor_{-1, -1};
};

struct PlacementCase {
  std::string name;
  CursorPosition start;
  std::string bytes;
  std::vector<std::string> rows;
  std::vector<std::string> attributes;
  CursorPosition cursor;
  std::vector<std::string> puts;
  int alerts = 0;
};

// Every case writes on a screen of 5 columns and 3 rows.
void ExpectPlacement(const PlacementCase& c) {
  SCOPED_TRACE(c.name);
  FakeScreen screen(5, 3);
  ScreenSink sink(screen, 5, 3, c.start);
  sink.Write(c.bytes, kWritten);
  EXPECT_EQ(screen.rows(), c.rows);
  EXPECT_EQ(screen.AttributeRows(), c.attributes);
  EXPECT_EQ(screen.cursor().x, c.cursor.x);
  EXPECT_EQ(screen.cursor().y, c.cursor.y);
  EXPECT_EQ(sink.cursor().x, c.cursor.x);
  EXPECT_EQ(sink.cursor().y, c.cursor.y);
  EXPECT_EQ(screen.puts(), c.puts);
  EXPECT_EQ(screen.alerts(), c.alerts);
}

TEST(ScreenSink, PlacesRunsAndControlBytes) {
  const std::vector<PlacementCase> cases = {
      {"run from the cursor",
       {1, 1},
       "abc",
       {"00000", "1abc1", "22222"},
       {"-----", "-###-", "-----"},
       {4, 1},
       {"1,1:abc"}},
      {"CR back to the first column",
       {0, 0},
       "ab\rX",
       {"Xb000", "11111", "22222"},
       {"##---", "-----", "-----"},
       {1, 0},
       {"0,0:ab", "0,0:X"}},
      {"LF keeps the column",
       {0, 0},
       "ab\nc",
       {"ab000", "11c11", "22222"},
       {"##---", "--#--", "-----"},
       {3, 1},
       {"0,0:ab", "2,1:c"}},
      {"CR LF starts the next line",
       {2, 0},
       "ab\r\ncd",
       {"00ab0", "cd111", "22222"},
       {"--##-", "##---", "-----"},
       {2, 1},
       {"2,0:ab", "0,1:cd"}},
      {"BS erases nothing",
       {0, 0},
       "abc\b\bX",
       {"aXc00", "11111", "22222"},
       {"###--", "-----", "-----"},
       {2, 0},
       {"0,0:abc", "1,0:X"}},
      {"BS stops at the first column",
       {0, 1},
       "\b\bX",
       {"00000", "X1111", "22222"},
       {"-----", "#----", "-----"},
       {1, 1},
       {"0,1:X"}},
      {"BEL sounds and does not end the run",
       {0, 0},
       "a\x07"
       "b",
       {"ab000", "11111", "22222"},
       {"##---", "-----", "-----"},
       {2, 0},
       {"0,0:ab"},
       1},
      {"TAB is one cell",
       {0, 0},
       "a\tb",
       {"a\tb00", "11111", "22222"},
       {"###--", "-----", "-----"},
       {3, 0},
       {"0,0:a\tb"}},
      {"NUL and ESC are cells too",
       {0, 0},
       std::string("\0\x1b", 2),
       {std::string("\0\x1b", 2) + "000", "11111", "22222"},
       {"##---", "-----", "-----"},
       {2, 0},
       {std::string("0,0:\0\x1b", 6)}},
      {"nothing to place",
       {3, 2},
       "",
       {"00000", "11111", "22222"},
       {"-----", "-----", "-----"},
       {3, 2},
       {}},
  };
  for (const PlacementCase& c : cases) ExpectPlacement(c);
}

TEST(ScreenSink, WrapsPastTheLastColumn) {
  const std::vector<PlacementCase> cases = {
      {"a full row leaves the cursor on the next row",
       {0, 0},
       "abcde",
       {"abcde", "11111", "22222"},
       {"#####", "-----", "-----"},
       {0, 1},
       {"0,0:abcde"}},
      {"the rest goes on the next row",
       {3, 0},
       "abcd",
       {"000ab", "cd111", "22222"},
       {"---##", "##---", "-----"},
       {2, 1},
       {"3,0:ab", "0,1:cd"}},
      {"a full row then CR LF leaves an empty row",
       {0, 0},
       "abcde\r\nx",
       {"abcde", "11111", "x2222"},
       {"#####", "-----", "#----"},
       {1, 2},
       {"0,0:abcde", "0,2:x"}},
      {"a long text takes several rows",
       {0, 0},
       "abcdefghijk",
       {"abcde", "fghij", "k2222"},
       {"#####", "#####", "#----"},
       {1, 2},
       {"0,0:abcde", "0,1:fghij", "0,2:k"}},
  };
  for (const PlacementCase& c : cases) ExpectPlacement(c);
}

TEST(ScreenSink, ScrollsBelowTheLastRow) {
  const std::vector<PlacementCase> cases = {
      {"LF on the last row scrolls with a blank row",
       {1, 2},
       "x\n",
       {"11111", "2x222", "     "},
       {"-----", "-#---", "#####"},
       {2, 2},
       {"1,2:x"}},
      {"CR LF on the last row",
       {0, 2},
       "ab\r\ncd",
       {"11111", "ab222", "cd   "},
       {"-----", "##---", "#####"},
       {2, 2},
       {"0,2:ab", "0,2:cd"}},
      {"wrap on the last row",
       {3, 2},
       "abc",
       {"11111", "222ab", "c    "},
       {"-----", "---##", "#####"},
       {1, 2},
       {"3,2:ab", "0,2:c"}},
      {"three LFs scroll three times",
       {0, 2},
       "\n\n\n",
       {"     ", "     ", "     "},
       {"#####", "#####", "#####"},
       {0, 2},
       {}},
  };
  for (const PlacementCase& c : cases) ExpectPlacement(c);
}

TEST(ScreenSink, CursorOutsideTheScreenStartsOnItsNearestCell) {
  FakeScreen screen(5, 3);
  ScreenSink sink(screen, 5, 3, {9, -4});
  sink.Write("x", kWritten);
  EXPECT_EQ(screen.puts(), std::vector<std::string>{"4,0:x"});
  EXPECT_EQ(sink.cursor().x, 0);
  EXPECT_EQ(sink.cursor().y, 1);
}

TEST(ScreenSink, MarkupReachesTheCellsInItsColours) {
  FakeScreen screen(12, 2);
  ScreenSink sink(screen, 12, 2, {0, 0});
  ConsoleSink* previous = SwapSink(&sink);
  SetCurrentAttribute(kWritten);
  WriteMarkup("~01~ \xFE ~1E~x\r\n");
  SwapSink(previous);
  EXPECT_EQ(screen.rows()[0], " \xFE x00000000");
  EXPECT_EQ(screen.AttributeRows()[0], "---#--------");
  EXPECT_EQ(screen.cursor().x, 0);
  EXPECT_EQ(screen.cursor().y, 1);
}

}  // namespace
}  // namespace kelmora::console

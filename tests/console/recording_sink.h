// A sink that keeps what reaches it as runs of one attribute each, and puts
// itself in place of the program's sink for the lifetime of the test.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/sink.h"

namespace kelmora::console {

struct Run {
  std::string text;
  std::uint8_t attribute;
  friend bool operator==(const Run&, const Run&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Run& run) {
    return out << "{\"" << run.text << "\", 0x" << std::hex << int{run.attribute} << std::dec
               << "}";
  }
};

class RecordingSink : public ConsoleSink {
 public:
  RecordingSink() : previous_(SwapSink(this)) {}
  ~RecordingSink() override { SwapSink(previous_); }
  RecordingSink(const RecordingSink&) = delete;
  RecordingSink& operator=(const RecordingSink&) = delete;

  void Write(std::string_view bytes, std::uint8_t attribute) override {
    ++writes_;
    if (!runs_.empty() && runs_.back().attribute == attribute) {
      runs_.back().text += bytes;
    } else {
      runs_.push_back({std::string(bytes), attribute});
    }
  }

  // Adjacent writes in one attribute are joined: what counts is the
  // attribute of every character.
  const std::vector<Run>& runs() const { return runs_; }
  int writes() const { return writes_; }

 private:
  ConsoleSink* previous_;
  std::vector<Run> runs_;
  int writes_ = 0;
};

}  // namespace kelmora::console

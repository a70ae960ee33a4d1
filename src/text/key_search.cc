#include "text/key_search.h"

#include <algorithm>
#include <limits>

namespace kelmora::text {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

struct Columns {
  std::array<std::uint32_t, 256> of{};
  std::uint32_t count = 1;
};

Columns ColumnsOf(const std::vector<std::string_view>& keys) {
  Columns columns;
  for (std::string_view key : keys) {
    for (char c : key) {
      std::uint32_t& column = columns.of[static_cast<unsigned char>(c)];
      if (column == 0) column = columns.count++;
    }
  }
  return columns;
}

}  // namespace

std::uint64_t KeySearch::TableEntries(const std::vector<std::string_view>& keys) {
  std::uint64_t bytes = 1;
  for (std::string_view key : keys) bytes += key.size();
  return bytes * ColumnsOf(keys).count;
}

KeySearch::KeySearch(const std::vector<std::string_view>& keys) {
  Columns columns = ColumnsOf(keys);
  class_of_ = columns.of;
  class_count_ = columns.count;
  const std::size_t width = class_count_;

  // The tree of the keys: state 0 is the root.
  std::vector<std::uint32_t> next(width, kNone);
  key_of_.assign(1, -1);
  for (std::size_t number = 0; number < keys.size(); ++number) {
    std::string_view key = keys[number];
    if (key.empty()) continue;
    longest_key_ = std::max(longest_key_, key.size());
    std::uint32_t state = 0;
    for (char c : key) {
      std::size_t at = state * width + class_of_[static_cast<unsigned char>(c)];
      if (next[at] == kNone) {
        next[at] = static_cast<std::uint32_t>(key_of_.size());
        key_of_.push_back(-1);
        next.resize(next.size() + width, kNone);
      }
      state = next[at];
    }
    key_of_[state] = static_cast<std::int32_t>(number);
  }

  // Breadth first, each missing step takes the step of the state's
  // fallback: the longest proper suffix of its text that is a state too.
  const std::size_t states = key_of_.size();
  std::vector<std::uint32_t> fallback(states, 0);
  output_link_.assign(states, 0);
  std::vector<std::uint32_t> order;
  order.reserve(states);
  for (std::size_t column = 0; column < width; ++column) {
    std::uint32_t& child = next[column];
    if (child == kNone) {
      child = 0;
    } else {
      order.push_back(child);
    }
  }
  for (std::size_t i = 0; i < order.size(); ++i) {
    std::uint32_t state = order[i];
    std::uint32_t back = fallback[state];
    for (std::size_t column = 0; column < width; ++column) {
      std::uint32_t& child = next[state * width + column];
      std::uint32_t via_back = next[back * width + column];
      if (child == kNone) {
        child = via_back;
        continue;
      }
      fallback[child] = via_back;
      output_link_[child] = key_of_[via_back] >= 0 ? via_back : output_link_[via_back];
      order.push_back(child);
    }
  }

  transitions_.resize(next.size());
  for (std::size_t at = 0; at < next.size(); ++at) {
    std::uint32_t state = next[at];
    bool reports = key_of_[state] >= 0 || output_link_[state] != 0;
    transitions_[at] = static_cast<std::uint32_t>(state * width * 2) + (reports ? 1u : 0u);
  }
  seen_.assign(states, 0);
  for (std::size_t byte = 0; byte < 256; ++byte)
    begins_key_[byte] = transitions_[class_of_[byte]] != 0;
}

void KeySearch::ReadAsciiAs(const std::array<char, 128>& fold) {
  for (std::size_t byte = 0; byte < fold.size(); ++byte) {
    auto folded = static_cast<unsigned char>(fold[byte]);
    ascii_class_of_[byte] = class_of_[folded];
    ascii_begins_key_[byte] = begins_key_[folded];
  }
}

void KeySearch::StopAsciiScanAt(const std::array<bool, 256>& stops) {
  ascii_stops_ = stops;
  for (std::size_t byte = 0; byte < 256; ++byte)
    ascii_passed_over_[byte] = !stops[byte] && !ascii_begins_key_[byte];
}

std::size_t KeySearch::FirstKeyOrStopInAscii(std::string_view text) const {
  // At the root, bytes that neither stop nor begin a key are passed over,
  // eight at a time while none of the eight does.
  const std::array<bool, 256>& passed = ascii_passed_over_;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::uint32_t entry = 0;
  std::size_t at = 0;
  while (at < size) {
    if (entry == 0) {
      while (at + 8 <= size &&
             (passed[bytes[at]] & passed[bytes[at + 1]] & passed[bytes[at + 2]] &
              passed[bytes[at + 3]] & passed[bytes[at + 4]] & passed[bytes[at + 5]] &
              passed[bytes[at + 6]] & passed[bytes[at + 7]]))
        at += 8;
      while (at < size && passed[bytes[at]]) ++at;
      if (at == size) break;
    }
    unsigned char byte = bytes[at];
    if (ascii_stops_[byte]) return at;
    if (!transitions_.empty()) {
      entry = transitions_[(entry >> 1) + ascii_class_of_[byte]];
      if (entry & 1) return at;
    }
    ++at;
  }
  return size;
}

void KeySearch::NextScan() const {
  if (++scan_ == 0) {
    std::fill(seen_.begin(), seen_.end(), 0);
    scan_ = 1;
  }
}

}  // namespace kelmora::text

#include "text/key_search.h"

#include <algorithm>
#include <bit>
#include <cstring>
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
  return bytes * std::bit_ceil(std::uint64_t{ColumnsOf(keys).count});
}

KeySearch::KeySearch(const std::vector<std::string_view>& keys,
                     const std::array<char, 128>& ascii_fold, std::string_view ascii_stops)
    : ascii_stops_(ascii_stops) {
  // Without a key there is nothing to find: no automaton, only the stops.
  if (std::all_of(keys.begin(), keys.end(), [](std::string_view key) { return key.empty(); }))
    return;
  Columns columns = ColumnsOf(keys);
  class_of_ = columns.of;
  class_count_ = columns.count;
  // Rows as wide as a power of two, so a state's number is a shift away
  // from its row's offset.
  const std::size_t width = std::bit_ceil(std::size_t{class_count_});
  row_shift_ = static_cast<unsigned>(std::countr_zero(width));
  std::vector<std::uint32_t> next = BuildTrie(keys, width);
  LinkFallbacks(next, width);
  MakeTables(next, keys, width);
  MakeAsciiTables(ascii_fold);
}

std::vector<std::uint32_t> KeySearch::BuildTrie(const std::vector<std::string_view>& keys,
                                                std::size_t width) {
  std::vector<std::uint32_t> next(width, kNone);
  key_of_.assign(1, -1);  // state 0 is the root
  for (std::size_t number = 0; number < keys.size(); ++number) {
    std::string_view key = keys[number];
    if (key.empty()) continue;
    longest_key_ = std::max(longest_key_, key.size());
    shortest_key_ = shortest_key_ == 0 ? key.size() : std::min(shortest_key_, key.size());
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
  return next;
}

void KeySearch::LinkFallbacks(std::vector<std::uint32_t>& next, std::size_t width) {
  // Breadth first, so that a state's fallback is complete before its
  // children take their steps from it.
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
}

void KeySearch::MakeTables(const std::vector<std::uint32_t>& next,
                           const std::vector<std::string_view>& keys, std::size_t width) {
  // The states that end a key are numbered after all others, so that the
  // walk tells them with one compare; the root stays 0, as it ends none.
  const std::size_t states = key_of_.size();
  auto ends_key = [&](std::size_t state) {
    return key_of_[state] >= 0 || output_link_[state] != 0;
  };
  std::vector<std::uint32_t> number(states);
  std::uint32_t numbered = 0;
  for (std::size_t state = 0; state < states; ++state)
    if (!ends_key(state)) number[state] = numbered++;
  first_ending_ = static_cast<std::uint32_t>(numbered * width);
  for (std::size_t state = 0; state < states; ++state)
    if (ends_key(state)) number[state] = numbered++;
  Renumber(number);
  transitions_.resize(next.size());
  for (std::size_t at = 0; at < next.size(); ++at) {
    const std::size_t row = number[at / width] * width;
    transitions_[row + at % width] = static_cast<std::uint32_t>(number[next[at]] * width);
  }
  key_ends_.clear();
  for (std::size_t state = first_ending_ / width; state < states; ++state) {
    const std::int32_t own = key_of_[state];
    const std::uint32_t link = output_link_[state];
    const bool alone = own >= 0 ? link == 0 : output_link_[link] == 0;
    const auto longest = static_cast<std::uint32_t>(own >= 0 ? own : key_of_[link]);
    key_ends_.push_back(longest * 2 + (alone ? 1u : 0u));
  }
  seen_.assign(states, 0);
  pair_in_key_.assign(256 * 256, false);
  for (std::string_view key : keys) {
    for (std::size_t i = 1; i < key.size(); ++i)
      pair_in_key_[static_cast<unsigned char>(key[i - 1]) * 256u +
                   static_cast<unsigned char>(key[i])] = true;
  }
  for (std::size_t byte = 0; byte < 256; ++byte)
    begins_key_[byte] = transitions_[class_of_[byte]] != 0;
}

void KeySearch::Renumber(const std::vector<std::uint32_t>& number) {
  std::vector<std::int32_t> key_of(key_of_.size());
  std::vector<std::uint32_t> output_link(output_link_.size());
  for (std::size_t state = 0; state < number.size(); ++state) {
    key_of[number[state]] = key_of_[state];
    output_link[number[state]] = number[output_link_[state]];
  }
  key_of_ = std::move(key_of);
  output_link_ = std::move(output_link);
}

void KeySearch::MakeAsciiTables(const std::array<char, 128>& fold) {
  for (std::size_t byte = 0; byte < fold.size(); ++byte) {
    auto folded = static_cast<unsigned char>(fold[byte]);
    ascii_class_of_[byte] = class_of_[folded];
    ascii_begins_key_[byte] = begins_key_[folded];
  }
  ascii_pair_in_key_.assign(128 * 128, 0);
  for (std::size_t first = 0; first < 128; ++first) {
    for (std::size_t second = 0; second < 128; ++second) {
      ascii_pair_in_key_[first * 128 + second] =
          pair_in_key_[static_cast<unsigned char>(fold[first]) * 256u +
                       static_cast<unsigned char>(fold[second])];
    }
  }
}

std::size_t KeySearch::FirstStop(const unsigned char* bytes, std::size_t from,
                                 std::size_t to) const {
  std::size_t stop = from;
  for (; stop + 8 <= to; stop += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + stop, 8);
    if (word & 0x8080808080808080u) break;
  }
  while (stop < to && bytes[stop] < 0x80) ++stop;
  for (char c : ascii_stops_) {
    const void* found = std::memchr(bytes + from, c, stop - from);
    if (found != nullptr)
      stop = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - bytes);
  }
  return stop;
}

std::size_t KeySearch::FirstKeyEnd(const unsigned char* bytes, std::size_t at, std::size_t end,
                                   std::uint32_t& entry) const {
  if (transitions_.empty()) return end;
  auto first = [](std::size_t, std::uint32_t) { return false; };
  return Walk<true>(bytes, at, end, entry, first);
}

std::size_t KeySearch::FirstKeyOrStopInAscii(std::string_view text) const {
  // Stops are looked for a stretch ahead, so that keys are looked for only
  // where no stop stands; the stretch grows, as a key usually comes soon
  // when it comes at all.
  constexpr std::size_t kLongestStretch = std::size_t{1} << 16;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::uint32_t entry = 0;
  std::size_t stretch = 64;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = std::min(text.size(), at + stretch);
    std::size_t stop = FirstStop(bytes, at, end);
    std::size_t key_end = FirstKeyEnd(bytes, at, stop, entry);
    if (key_end < stop || stop < end) return key_end;
    at = end;
    stretch = std::min(stretch * 2, kLongestStretch);
  }
  return text.size();
}

void KeySearch::NextScan() {
  if (++scan_ == 0) {
    std::fill(seen_.begin(), seen_.end(), 0);
    scan_ = 1;
  }
}

}  // namespace kelmora::text

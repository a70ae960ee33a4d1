// Which of many keys occur in a text, found in one pass over the text: an
// automaton over the bytes of the keys (each state knows its next state for
// every byte), so the cost per byte does not grow with the number of keys.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kelmora::text {

class KeySearch {
 public:
  // No keys: nothing is ever found.
  KeySearch() = default;
  // Key number i is keys[i]. Keys are distinct; an empty key is never found.
  explicit KeySearch(const std::vector<std::string_view>& keys);

  // The table size the automaton of `keys` would take, in entries, so a
  // caller can decide whether building it pays.
  static std::uint64_t TableEntries(const std::vector<std::string_view>& keys);

  // The length of the longest key.
  std::size_t longest_key() const { return longest_key_; }

  // Calls found(key number) once for every key that occurs in `text`, in no
  // particular order.
  template <class Found>
  void ForEachKeyIn(std::string_view text, Found&& found) const {
    if (transitions_.empty()) return;
    NextScan();
    std::uint32_t entry = 0;
    for (char c : text) {
      entry = transitions_[(entry >> 1) + class_of_[static_cast<unsigned char>(c)]];
      if (entry & 1) Report((entry >> 1) / class_count_, found);
    }
  }

 private:
  void NextScan() const;

  // Reports the key of `state` and of every state its output chain leads
  // to, each at most once per scan.
  template <class Found>
  void Report(std::uint32_t state, Found& found) const {
    for (; state != 0 && seen_[state] != scan_; state = output_link_[state]) {
      seen_[state] = scan_;
      if (key_of_[state] >= 0) found(static_cast<std::size_t>(key_of_[state]));
    }
  }

  // Byte to column; column 0 stands for every byte no key holds.
  std::array<std::uint32_t, 256> class_of_{};
  std::uint32_t class_count_ = 1;
  // Row by row, one entry per column: the next state's row offset times 2,
  // plus 1 when that state ends a key or leads to one that ends there.
  std::vector<std::uint32_t> transitions_;
  // Per state: the key that ends there (-1: none), and the nearest state on
  // its fallback chain that ends a key (0: none).
  std::vector<std::int32_t> key_of_;
  std::vector<std::uint32_t> output_link_;
  std::size_t longest_key_ = 0;
  mutable std::vector<std::uint32_t> seen_;
  mutable std::uint32_t scan_ = 0;
};

}  // namespace kelmora::text

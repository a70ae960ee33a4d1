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
    Scan(text, class_of_, begins_key_, found);
  }

  // Lets ForEachKeyInAscii read ASCII text as if each byte b were first
  // replaced by fold[b].
  void ReadAsciiAs(const std::array<char, 128>& fold);

  // ForEachKeyIn of the text whose bytes, all below 0x80, are replaced as
  // ReadAsciiAs says.
  template <class Found>
  void ForEachKeyInAscii(std::string_view ascii, Found&& found) const {
    Scan(ascii, ascii_class_of_, ascii_begins_key_, found);
  }

  // The bytes at which FirstKeyOrStopInAscii stops: every byte from 0x80
  // up, and these.
  void StopAsciiScanAt(std::string_view ascii_stops) { ascii_stops_ = ascii_stops; }

  // Where, reading `text` as ForEachKeyInAscii does, the first key found
  // ends (the place of its last byte), or the first stop byte stands,
  // whichever comes first; text.size() when neither does.
  std::size_t FirstKeyOrStopInAscii(std::string_view text) const;

 private:
  std::size_t FirstStop(const unsigned char* bytes, std::size_t from, std::size_t to) const;
  // From `at`, in the state `entry`, to `end`: where the first key ends,
  // or `end`; `entry` is the state there.
  std::size_t FirstKeyEnd(const unsigned char* bytes, std::size_t at, std::size_t end,
                          std::uint32_t& entry) const;

  template <class Found>
  void Scan(std::string_view text, const std::array<std::uint32_t, 256>& class_of,
            const std::array<bool, 256>& begins_key, Found& found) const {
    if (transitions_.empty()) return;
    NextScan();
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = at + text.size();
    const std::uint32_t* transitions = transitions_.data();
    std::uint32_t entry = 0;
    while (at != end) {
      // At the root, bytes that begin no key are passed over.
      if (entry == 0) {
        while (at != end && !begins_key[*at]) ++at;
        if (at == end) break;
      }
      entry = transitions[(entry >> 1) + class_of[*at++]];
      if (entry & 1) Report((entry >> 1) / class_count_, found);
    }
  }

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
  std::array<bool, 256> begins_key_{};
  std::array<std::uint32_t, 256> ascii_class_of_{};
  std::array<bool, 256> ascii_begins_key_{};
  std::string_view ascii_stops_;
  // Per two ASCII bytes (first * 128 + second): whether, read as
  // ReadAsciiAs says, they stand side by side in some key. Where two such
  // bytes do not, no key begins in the shortest key's length less one
  // bytes before the second.
  std::vector<bool> ascii_pair_in_key_;
  std::vector<bool> pair_in_key_;  // the same for the keys' own bytes
  // Row by row, one entry per column: the next state's row offset times 2,
  // plus 1 when that state ends a key or leads to one that ends there.
  std::vector<std::uint32_t> transitions_;
  // Per state: the key that ends there (-1: none), and the nearest state on
  // its fallback chain that ends a key (0: none).
  std::vector<std::int32_t> key_of_;
  std::vector<std::uint32_t> output_link_;
  std::size_t longest_key_ = 0;
  std::size_t shortest_key_ = 0;
  mutable std::vector<std::uint32_t> seen_;
  mutable std::uint32_t scan_ = 0;
};

}  // namespace kelmora::text

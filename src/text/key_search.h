// Which of many keys occur in a text, found in one pass over the text: an
// Aho-Corasick automaton over the bytes of the keys. Each state knows its
// next state for every byte (the fallbacks are folded into the table), so
// the cost per byte does not grow with the number of keys.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kelmora::text {

// Each ASCII byte read as itself.
inline constexpr std::array<char, 128> kAsciiAsItIs = [] {
  std::array<char, 128> same{};
  for (std::size_t byte = 0; byte < same.size(); ++byte) same[byte] = static_cast<char>(byte);
  return same;
}();

class KeySearch {
 public:
  // No keys: nothing is ever found, and FirstKeyOrStopInAscii finds only
  // stops (none).
  KeySearch() = default;
  // Key number i is keys[i]. Keys are distinct; an empty key is never
  // found. ForEachKeyInAscii and FirstKeyOrStopInAscii read each ASCII byte
  // b as ascii_fold[b]. FirstKeyOrStopInAscii stops at every byte from 0x80
  // up and at the bytes of `ascii_stops`, which must outlive the search (a
  // literal, as a rule): only the view is kept.
  explicit KeySearch(const std::vector<std::string_view>& keys,
                     const std::array<char, 128>& ascii_fold = kAsciiAsItIs,
                     std::string_view ascii_stops = {});

  // The table size the automaton of `keys` would take, in entries, so a
  // caller can decide whether building it pays.
  static std::uint64_t TableEntries(const std::vector<std::string_view>& keys);

  // The length of the longest key.
  std::size_t longest_key() const { return longest_key_; }

  // Calls found(key number) once for every key that occurs in `text`, in no
  // particular order. Not reentrant: `found` must not start another scan of
  // the same search (the marks of the keys reported are the search's own).
  template <class Found>
  void ForEachKeyIn(std::string_view text, Found&& found) {
    Scan(text, class_of_, begins_key_, found);
  }

  // ForEachKeyIn of the text whose bytes, all below 0x80, are read through
  // the ASCII fold. Not reentrant either.
  template <class Found>
  void ForEachKeyInAscii(std::string_view ascii, Found&& found) {
    Scan(ascii, ascii_class_of_, ascii_begins_key_, found);
  }

  // Where the next key ends in `text`, read from `at` on in the state
  // `state` (0: from the start of a key; it is left the state there, for
  // the next call to go on from): the place of its last byte, with `key`
  // the longest key that ends there; text.size() when none does.
  // NextKeyEndInAscii reads `text`, all below 0x80, through the ASCII
  // fold, and skips ahead as FirstKeyOrStopInAscii does.
  std::size_t NextKeyEnd(std::string_view text, std::size_t at, std::uint32_t& state,
                         std::size_t& key) const;
  std::size_t NextKeyEndInAscii(std::string_view ascii, std::size_t at, std::uint32_t& state,
                                std::size_t& key) const;
  // For a state where NextKeyEnd found a key: no shorter key ends there.
  bool OneKeyEndsIn(std::uint32_t state) const;

  // Where, reading `text` through the ASCII fold, the first key found ends
  // (the place of its last byte), or the first stop byte stands, whichever
  // comes first; text.size() when neither does.
  //
  // At the root it skips ahead: a key begins at none of the places `at` to
  // `at` + shortest key - 2 when the two bytes that end the shortest key's
  // length from there stand side by side in no key, and the search goes on
  // at the second of them. With the keys "name" and "size" in the text
  // "xxxxyyyname": at 0 the bytes at 2 and 3 ("xx") are together in no
  // key, so it goes on at 3; there the bytes at 5 and 6 ("yy") send it on
  // to 6; at 6 the bytes at 8 and 9 ("am") stand in "name", so from 6 the
  // bytes are read one by one, and "name" is found, ending at 10.
  std::size_t FirstKeyOrStopInAscii(std::string_view text) const;

 private:
  // The trie of the keys, one row of `width` next states per state, kNone
  // where no key goes on.
  std::vector<std::uint32_t> BuildTrie(const std::vector<std::string_view>& keys,
                                       std::size_t width);
  // Fills the missing steps of the trie with the steps of the fallbacks
  // (the longest proper suffix of a state's text that is a state too), and
  // links each state to the nearest state on its fallback chain that ends
  // a key.
  void LinkFallbacks(std::vector<std::uint32_t>& next, std::size_t width);
  void MakeTables(const std::vector<std::uint32_t>& next, const std::vector<std::string_view>& keys,
                  std::size_t width);
  // The tables of ASCII text read through `fold`.
  void MakeAsciiTables(const std::array<char, 128>& fold);

  std::size_t FirstStop(const unsigned char* bytes, std::size_t from, std::size_t to) const;
  // From `at`, in the state `entry`, to `end`: where the first key ends,
  // or `end`; `entry` is the state there.
  std::size_t FirstKeyEnd(const unsigned char* bytes, std::size_t at, std::size_t end,
                          std::uint32_t& entry) const;

  template <class Found>
  void Scan(std::string_view text, const std::array<std::uint32_t, 256>& class_of,
            const std::array<bool, 256>& begins_key, Found& found) {
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
      if (entry & 1) Report((entry >> 1) >> row_shift_, found);
    }
  }

  void NextScan();
  // The longest key that ends in the state of `entry`, which reports one.
  std::size_t LongestKeyOf(std::uint32_t entry) const;

  // Reports the key of `state` and of every state its output chain leads
  // to, each at most once per scan.
  template <class Found>
  void Report(std::uint32_t state, Found& found) {
    for (; state != 0 && seen_[state] != scan_; state = output_link_[state]) {
      seen_[state] = scan_;
      if (key_of_[state] >= 0) found(static_cast<std::size_t>(key_of_[state]));
    }
  }

  // Byte to column; column 0 stands for every byte no key holds.
  std::array<std::uint32_t, 256> class_of_{};
  std::uint32_t class_count_ = 1;
  unsigned row_shift_ = 0;  // log2 of a row's width
  std::array<bool, 256> begins_key_{};
  std::array<std::uint32_t, 256> ascii_class_of_{};
  std::array<bool, 256> ascii_begins_key_{};
  std::string_view ascii_stops_;
  // Per two ASCII bytes (first * 128 + second): whether, read through the
  // ASCII fold, they stand side by side in some key.
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
  // The scan that last reported each state.
  std::vector<std::uint32_t> seen_;
  std::uint32_t scan_ = 0;
};

}  // namespace kelmora::text

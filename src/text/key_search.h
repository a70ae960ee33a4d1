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
    ReportEach<false>(text, found);
  }

  // ForEachKeyIn of the text whose bytes, all below 0x80, are read through
  // the ASCII fold. Not reentrant either.
  template <class Found>
  void ForEachKeyInAscii(std::string_view ascii, Found&& found) {
    ReportEach<true>(ascii, found);
  }

  // Calls at_end(place, key, alone) for each place in `text`, first to
  // last, where a key ends, until it returns false: `key` is the longest
  // key that ends there, `alone` whether no shorter one does.
  // ForEachKeyEndInAscii reads `text`, all below 0x80, through the ASCII
  // fold, and skips ahead as FirstKeyOrStopInAscii does.
  template <class AtEnd>
  void ForEachKeyEnd(std::string_view text, AtEnd&& at_end) const {
    EachKeyEnd<false>(text, at_end);
  }
  template <class AtEnd>
  void ForEachKeyEndInAscii(std::string_view ascii, AtEnd&& at_end) const {
    EachKeyEnd<true>(ascii, at_end);
  }

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
  // Gives state s the number number[s] in key_of_ and output_link_.
  void Renumber(const std::vector<std::uint32_t>& number);
  // The tables of ASCII text read through `fold`.
  void MakeAsciiTables(const std::array<char, 128>& fold);

  std::size_t FirstStop(const unsigned char* bytes, std::size_t from, std::size_t to) const;
  // From `at`, in the state `entry`, to `end`: where the first key ends,
  // or `end`; `entry` is the state there.
  std::size_t FirstKeyEnd(const unsigned char* bytes, std::size_t at, std::size_t end,
                          std::uint32_t& entry) const;

  // The automaton's walk from `at` to `end` in the state `entry`: calls
  // at_end(place, entry) at each place where it enters a state that ends a
  // key, until that returns false, and returns that place (else `end`),
  // leaving `entry` the state there. kAscii reads through the ASCII fold
  // and skips ahead at the root.
  template <bool kAscii, class AtEnd>
  std::size_t Walk(const unsigned char* bytes, std::size_t at, std::size_t end,
                   std::uint32_t& entry, AtEnd& at_end) const {
    const std::uint32_t* transitions = transitions_.data();
    const auto& class_of = kAscii ? ascii_class_of_ : class_of_;
    const auto& begins_key = kAscii ? ascii_begins_key_ : begins_key_;
    // At the root: when the two bytes at the shortest key's length stand
    // side by side in no key, no key begins before the second of them.
    const std::size_t reach = kAscii && shortest_key_ >= 2 ? shortest_key_ - 1 : 0;
    // In locals: the calls of at_end could change what members hold, as far
    // as the compiler knows, so it would load them again at every step.
    const std::uint32_t first_ending = first_ending_;
    const std::uint8_t* pair_in_key = ascii_pair_in_key_.data();
    std::uint32_t state = entry;
    for (; at < end; ++at) {
      if (state == 0) {
        while (reach != 0 && at + reach < end &&
               pair_in_key[bytes[at + reach - 1] * 128u + bytes[at + reach]] == 0)
          at += reach;
        while (at < end && !begins_key[bytes[at]]) ++at;
        if (at == end) break;
      }
      // The column first, so that the state's own step is one load.
      const std::uint32_t* column = transitions + class_of[bytes[at]];
      state = column[state];
      if (state >= first_ending && !at_end(at, state)) {
        entry = state;
        return at;
      }
    }
    entry = state;
    return end;
  }

  template <bool kAscii, class AtEnd>
  void EachKeyEnd(std::string_view text, AtEnd& at_end) const {
    if (transitions_.empty()) return;
    const std::uint32_t* key_ends = key_ends_.data();
    const std::uint32_t first_ending = first_ending_;
    const unsigned row_shift = row_shift_;
    auto ends = [&](std::size_t place, std::uint32_t entry) {
      const std::uint32_t key_end = key_ends[(entry - first_ending) >> row_shift];
      return at_end(place, std::size_t{key_end >> 1}, (key_end & 1) != 0);
    };
    std::uint32_t entry = 0;
    Walk<kAscii>(reinterpret_cast<const unsigned char*>(text.data()), 0, text.size(), entry, ends);
  }

  template <bool kAscii, class Found>
  void ReportEach(std::string_view text, Found& found) {
    if (transitions_.empty()) return;
    NextScan();
    auto report = [&](std::size_t, std::uint32_t entry) {
      Report(entry >> row_shift_, found);
      return true;
    };
    std::uint32_t entry = 0;
    Walk<kAscii>(reinterpret_cast<const unsigned char*>(text.data()), 0, text.size(), entry,
                 report);
  }

  void NextScan();

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
  // Per two ASCII bytes (first * 128 + second): 1 when, read through the
  // ASCII fold, they stand side by side in some key.
  std::vector<std::uint8_t> ascii_pair_in_key_;
  std::vector<bool> pair_in_key_;  // the same for the keys' own bytes
  // Row by row, one entry per column: the next state's row offset. The
  // states that end a key, or lead to one that ends there, are numbered
  // last: their rows start at first_ending_.
  std::vector<std::uint32_t> transitions_;
  std::uint32_t first_ending_ = 0;
  // Per state from first_ending_ on: the longest key that ends there times
  // 2, plus 1 when no shorter key ends there.
  std::vector<std::uint32_t> key_ends_;
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

#include "text/key_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace kelmora::text {
namespace {

using namespace std::string_literals;

std::set<std::size_t> Found(KeySearch& search, std::string_view text) {
  std::set<std::size_t> found;
  search.ForEachKeyIn(text, [&](std::size_t key) {
    EXPECT_TRUE(found.insert(key).second) << "key " << key << " reported twice";
  });
  return found;
}

std::set<std::size_t> FoundPlainly(const std::vector<std::string>& keys, std::string_view text) {
  std::set<std::size_t> found;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (!keys[i].empty() && text.find(keys[i]) != std::string_view::npos) found.insert(i);
  }
  return found;
}

// Each place a key ends: the longest key ending there, and whether no
// shorter one does.
struct KeyEnd {
  std::size_t place, key;
  bool alone;
  bool operator==(const KeyEnd&) const = default;
};

std::vector<KeyEnd> EndsPlainly(const std::vector<std::string>& keys, std::string_view text) {
  std::vector<KeyEnd> ends;
  for (std::size_t place = 0; place < text.size(); ++place) {
    std::vector<std::size_t> ending;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const std::size_t size = keys[i].size();
      if (size != 0 && size <= place + 1 && text.substr(place + 1 - size, size) == keys[i])
        ending.push_back(i);
    }
    if (ending.empty()) continue;
    auto longer = [&](std::size_t a, std::size_t b) { return keys[a].size() < keys[b].size(); };
    ends.push_back(
        {place, *std::max_element(ending.begin(), ending.end(), longer), ending.size() == 1});
  }
  return ends;
}

template <class Walk>
std::vector<KeyEnd> Ends(Walk walk) {
  std::vector<KeyEnd> ends;
  walk([&](std::size_t place, std::size_t key, bool alone) {
    ends.push_back({place, key, alone});
    return true;
  });
  return ends;
}

std::vector<std::string_view> Views(const std::vector<std::string>& keys) {
  return {keys.begin(), keys.end()};
}

TEST(KeySearch, FindsKeysInsideAndAcrossEachOther) {
  const std::vector<std::string> keys = {
      "he", "she", "his", "hers", "", "s", "\0x"s.substr(0, 2), "\xFF\x80"};
  KeySearch search(Views(keys));
  EXPECT_EQ(search.longest_key(), 4u);
  struct Case {
    std::string text;
    std::set<std::size_t> found;
  };
  const Case cases[] = {
      {"", {}},
      {"ushers", {0, 1, 3, 5}},
      {"hi", {}},
      {"ahishe", {0, 1, 2, 5}},
      {std::string("a\0x\xFF\x80", 5), {6, 7}},
      {"HERS", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Found(search, c.text), c.found) << c.text;
  // A second scan reports again what the first one did.
  EXPECT_EQ(Found(search, "ushers"), (std::set<std::size_t>{0, 1, 3, 5}));
}

TEST(KeySearch, AgreesWithAPlainSearchOnRandomKeysAndTexts) {
  std::mt19937 random(5);
  auto text_of = [&](std::size_t most) {
    std::string text(std::uniform_int_distribution<std::size_t>(0, most)(random), 'a');
    for (char& c : text) c = "abcab\0\x80"[random() % 7];
    return text;
  };
  for (int round = 0; round < 300; ++round) {
    std::set<std::string> distinct;
    while (distinct.size() < 1 + random() % 12) distinct.insert(text_of(5));
    const std::vector<std::string> keys(distinct.begin(), distinct.end());
    KeySearch search(Views(keys));
    for (int i = 0; i < 20; ++i) {
      std::string text = text_of(40);
      ASSERT_EQ(Found(search, text), FoundPlainly(keys, text)) << text;
      const std::vector<KeyEnd> ends = EndsPlainly(keys, text);
      ASSERT_EQ(Ends([&](auto at_end) { search.ForEachKeyEnd(text, at_end); }), ends) << text;
      std::string ascii = text;
      std::replace(ascii.begin(), ascii.end(), '\x80', 'c');
      ASSERT_EQ(Ends([&](auto at_end) { search.ForEachKeyEndInAscii(ascii, at_end); }),
                EndsPlainly(keys, ascii))
          << ascii;
    }
  }
}

// Keys of 2 to 5 bytes, so that the scan also skips ahead, in texts long
// enough to cross the stretches it looks for stops in.
TEST(KeySearch, FirstKeyOrStopAgreesWithAPlainSearch) {
  std::mt19937 random(11);
  auto text_of = [&](std::size_t least, std::size_t most, std::string_view alphabet) {
    std::string text(std::uniform_int_distribution<std::size_t>(least, most)(random), 'a');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    return text;
  };
  for (int round = 0; round < 300; ++round) {
    std::set<std::string> distinct;
    while (distinct.size() < 1 + random() % 6) distinct.insert(text_of(2, 5, "abcd"));
    const std::vector<std::string> keys(distinct.begin(), distinct.end());
    const KeySearch search(Views(keys), kAsciiAsItIs, "{");
    for (int i = 0; i < 20; ++i) {
      // Mostly bytes no key holds; in one text of three, a stop.
      std::string text = text_of(0, 400, "abcdxyzxyzxyzxyz xyzxyz ");
      if (!text.empty() && random() % 3 == 0) text[random() % text.size()] = "{\x80"[random() % 2];
      std::size_t expected = text.find_first_of("{\x80");
      for (const std::string& key : keys) {
        std::size_t at = text.find(key);
        if (at != std::string::npos) expected = std::min(expected, at + key.size() - 1);
      }
      ASSERT_EQ(search.FirstKeyOrStopInAscii(text), std::min(expected, text.size())) << text;
    }
  }
}

TEST(KeySearch, ReadsAsciiThroughAFold) {
  const std::vector<std::string> keys = {"AB", "B@"};
  std::array<char, 128> upper{};
  for (std::size_t c = 0; c < upper.size(); ++c)
    upper[c] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  KeySearch search(Views(keys), upper);
  std::set<std::size_t> found;
  search.ForEachKeyInAscii("xaB@", [&](std::size_t key) { found.insert(key); });
  EXPECT_EQ(found, (std::set<std::size_t>{0, 1}));
}

// What a caller weighs before building: keys that share their bytes cost
// less than as many keys of other bytes, and every key costs.
TEST(KeySearch, TableEntriesGrowWithKeyBytesAndDistinctBytes) {
  EXPECT_LT(KeySearch::TableEntries({}), KeySearch::TableEntries({"a"}));
  EXPECT_LT(KeySearch::TableEntries({"ab", "ba"}), KeySearch::TableEntries({"ab", "cd"}));
  EXPECT_LT(KeySearch::TableEntries({"ab"}), KeySearch::TableEntries({"ab", "ab"}));
}

TEST(KeySearch, WithoutKeysFindsOnlyStops) {
  KeySearch none({""}, kAsciiAsItIs, "{");
  EXPECT_EQ(Found(none, "anything"), std::set<std::size_t>{});
  EXPECT_EQ(none.FirstKeyOrStopInAscii("abc{d"), 3u);
  EXPECT_EQ(none.FirstKeyOrStopInAscii("ab\x80"), 2u);
  EXPECT_EQ(none.FirstKeyOrStopInAscii("abc"), 3u);
}

}  // namespace
}  // namespace kelmora::text

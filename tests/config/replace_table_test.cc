#include "config/replace_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "config/line_search.h"
#include "config/single_scan.h"
#include "model/replace_model.h"
#include "text/char_case.h"

namespace kelmora::config {
namespace {

using text::ShortString;

struct Pair {
  std::string name, value;
  bool case_sensitive = false;
};

ReplaceTable TableOf(const std::vector<Pair>& pairs, bool functions = false) {
  ReplaceTable table;
  table.SetApplyFunctions(functions);
  for (const Pair& pair : pairs) table.Add(pair.name, pair.value, pair.case_sensitive);
  return table;
}

std::string ApplyShort(ReplaceTable& table, const std::string& text) {
  ShortString value(text);
  table.Apply(value);
  return value.str();
}

std::string ApplyLong(ReplaceTable& table, std::string text) {
  table.Apply(text);
  return text;
}

// а б в р я ё and their capitals, in the build's text.
#ifdef _WIN32
// Code page 866: 0xA0-0xA2, 0xE0, 0xEF, 0xF1.
const std::string kCyrillicLower = "\xA0\xA1\xA2\xE0\xEF\xF1";
const std::string kCyrillicUpper = "\x80\x81\x82\x90\x9F\xF0";
#else
// UTF-8.
const std::string kCyrillicLower = "\xD0\xB0\xD0\xB1\xD0\xB2\xD1\x80\xD1\x8F\xD1\x91";
const std::string kCyrillicUpper = "\xD0\x90\xD0\x91\xD0\x92\xD0\xA0\xD0\xAF\xD0\x81";
#endif

// The order of the pairs made visible: every value holds every name, so a
// pair applied later rewrites the values of those applied before it.
TEST(ReplaceTableAdd, KeepsPairsInDescendingOrderOfTheFoldedNames) {
  const std::vector<std::string> names = {"@BirthTime", "apple",        "@BirthTime2", "Zebra",
                                          "",           kCyrillicLower, "@CurrentSong"};
  std::string all;
  for (const std::string& name : names) all += name + " ";
  model::Table model;
  model.SetApplyFunctions(false);
  for (const std::string& name : names) model.Add(name, all, false);
  const std::string expected = model.Apply(all);
  // One explicit order: "apple" (after "Zebra" and the Cyrillic name, which
  // both fold to greater bytes) and the two birth times before the song.
  ASSERT_EQ(model.pairs().front().name, kCyrillicLower);
  ASSERT_EQ(model.pairs()[1].name, "Zebra");
  ASSERT_EQ(model.pairs()[2].name, "apple");
  ASSERT_EQ(model.pairs()[3].name, "@CurrentSong");
  ASSERT_EQ(model.pairs()[4].name, "@BirthTime2");
  std::vector<std::string> order = names;
  std::sort(order.begin(), order.end());
  // Every order of adding gives the same table.
  do {
    ReplaceTable table;
    table.SetApplyFunctions(false);
    for (const std::string& name : order) table.Add(name, all, false);
    ASSERT_EQ(ApplyLong(table, all), expected);
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(ReplaceTableAdd, SameNameInAnyCaseUpdatesTheFirstPairInPlace) {
  ReplaceTable table;
  table.Add("Zebra", "one", false);
  table.Add("apple", "fruit", false);
  table.Add("ZEBRA", "two", true);
  // The first spelling is kept and now matches only itself.
  EXPECT_EQ(ApplyLong(table, "Zebra ZEBRA zebra apple"), "two ZEBRA zebra fruit");
  table.Add(kCyrillicUpper, "x", false);
  table.Add(kCyrillicLower, "y", false);
  EXPECT_EQ(ApplyLong(table, kCyrillicLower + kCyrillicUpper), "yy");
}

TEST(ReplaceTableAdd, HoldsManyPairsInOrderAndAppliesEach) {
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i)
    names.push_back({'k', static_cast<char>('a' + i / 10), static_cast<char>('0' + i % 10)});
  std::vector<std::string> shuffled = names;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
  ReplaceTable table;
  table.SetApplyFunctions(false);
  for (const std::string& name : shuffled)
    table.Add(name, ShortString("<") + std::string_view(name).substr(1) + ">", false);
  EXPECT_EQ(ApplyLong(table, "ka0 kb6 kd9"), "<a0> <b6> <d9>");
}

struct ApplyCase {
  const char* what;
  std::vector<Pair> pairs;
  std::string text, result;
};

// Each case holds on a short string and on a long line alike.
std::vector<ApplyCase> ApplyCases() {
  return {
      {"a longer name is replaced first",
       {{"@BirthTime", "T"}, {"@BirthTime2", "U"}},
       "@BirthTime2 @BirthTime",
       "U T"},
      {"an at sign before the name keeps it literal",
       {{"@BirthTime", "T"}},
       "@@BirthTime",
       "@BirthTime"},
      {"only one at sign is used up", {{"@BirthTime", "T"}}, "@@@BirthTime", "@@BirthTime"},
      {"escape of a name without at sign", {{"ann", "X"}}, "@ann ann", "ann X"},
      {"an occurrence at the start is replaced, the next one escaped",
       {{"ann", "X"}},
       "ann@ann",
       "Xann"},
      {"an inserted at sign does not escape", {{"ab", "@"}}, "abab", "@@"},
      {"names match inside words", {{"ann", "X"}}, "banner", "bXer"},
      {"an empty value removes the name", {{"zebra", ""}}, "a zebra b ZEBRA", "a  b "},
      {"letter case is ignored", {{"zebra", "Z"}}, "ZEBRA Zebra zEbRa", "Z Z Z"},
      {"Cyrillic lower-case name, capitals in the text",
       {{kCyrillicLower, "C"}},
       "<" + kCyrillicUpper + ">",
       "<C>"},
      {"Cyrillic capitals in the name, lower case in the text",
       {{kCyrillicUpper, "C"}},
       "<" + kCyrillicLower + ">",
       "<C>"},
      {"a case-sensitive pair matches only its own spelling",
       {{"Zebra", "Z", true}},
       "zebra Zebra ZEBRA",
       "zebra Z ZEBRA"},
      {"the inserted value is searched as it is, not upper-cased",
       {{"ab", "xaby"}},
       "ab ab",
       "xaby xaby"},
      {"a value without its key is searched again from the start",
       {{"ab", "a", true}},
       "aabb",
       "aa"},
      {"an inserted lower-case value does not meet the upper-cased key",
       {{"ab", "a"}},
       "aabb",
       "aab"},
      {"a value holding its key does not loop",
       {{"loop", "LOOP LOOP"}},
       "loop loop",
       "LOOP LOOP LOOP LOOP"},
      {"a case-sensitive value holding its key", {{"ab", "abab", true}}, "ab-ab", "abab-abab"},
      {"an at sign at the end of an inserted value still escapes", {{"ab", "AB@"}}, "abab", "ABab"},
      {"a name before the song is applied first, so the title stays",
       {{"ann", "X"}, {"@CurrentSong", "Joanna"}},
       "ann: @CurrentSong",
       "X: Joanna"},
      {"a later pair changes the value of an earlier one",
       {{"zz", "@x"}, {"@x", "done"}},
       "zz",
       "done"},
      {"a pair without a name changes nothing", {{"", "x"}}, "abc", "abc"},
  };
}

TEST(ReplaceTableApply, ReplacesOnShortStringsAndLongLines) {
  for (const ApplyCase& c : ApplyCases()) {
    SCOPED_TRACE(c.what);
    ReplaceTable table = TableOf(c.pairs);
    EXPECT_EQ(ApplyShort(table, c.text), c.result);
    EXPECT_EQ(ApplyLong(table, c.text), c.result);
  }
}

TEST(ReplaceTableApply, CutsAShortStringAt255) {
  ReplaceTable table = TableOf({{"abc", std::string(20, 'v')}});
  std::string text = std::string(100, '.') + "abc" + std::string(147, '-');  // 250
  std::string expected = std::string(100, '.') + std::string(20, 'v') + std::string(135, '-');
  EXPECT_EQ(ApplyShort(table, text), expected);
}

TEST(ReplaceTableApply, GrowsATemplateLinePast1024Whole) {
  ReplaceTable table = TableOf({{"abc", std::string(100, 'v')}});
  std::string text = std::string(500, '.') + "abc" + std::string(497, '-');  // 1000
  std::string expected = std::string(500, '.') + std::string(100, 'v') + std::string(497, '-');
  EXPECT_EQ(ApplyLong(table, text), expected);
  EXPECT_EQ(ApplyLong(table, std::string(1000, 'a') + "abc abc"),
            std::string(1000, 'a') + std::string(100, 'v') + " " + std::string(100, 'v'));
}

// A value holding its own key doubles each occurrence once, however close
// to the limit: the scan ends.
TEST(ReplaceTableApply, SelfContainingValueEndsAtTheLimit) {
  ReplaceTable table = TableOf({{"a", "AA"}});
  EXPECT_EQ(ApplyShort(table, std::string(250, 'a')), std::string(255, 'A'));
  EXPECT_EQ(ApplyLong(table, std::string(1000, 'a')), std::string(2000, 'A'));
}

// Values that do not hold their key but make it again where they meet the
// text: the scan from the start keeps going until no occurrence is left, on
// a short string up to its limit; a template line stops searching from the
// start once the pair has grown it by more than 1024 bytes (where a value
// keeps remaking its key), and goes on behind each inserted value: byte for
// byte what the model makes.
TEST(ReplaceTableApply, ValuesThatRemakeTheirKeyEnd) {
  const Pair pairs[] = {
      {"ab", "bbaa", true}, {"ab", "baa", true}, {"ab", "bba", true}, {"ab", "bbbaaa", true}};
  for (const Pair& pair : pairs) {
    SCOPED_TRACE(pair.value);
    ReplaceTable table = TableOf({pair});
    for (const std::string& text : {std::string("abb"), std::string("aaaaabbbbb")}) {
      std::string shortened = ApplyShort(table, text);
      std::string long_line = ApplyLong(table, text);
      EXPECT_EQ(shortened.find("ab"), std::string::npos) << shortened;
      EXPECT_GT(long_line.size(), text.size());
      EXPECT_LT(long_line.size(), text.size() + 4096);
      model::Table model;
      model.Add(pair.name, pair.value, pair.case_sensitive);
      EXPECT_EQ(long_line, model.Apply(text));
    }
  }
}

TEST(ReplaceTableApply, EvaluatesFunctionCallsAfterThePairsWhenOn) {
  ReplaceTable fresh;  // calls are on from the start
  EXPECT_EQ(ApplyLong(fresh, "@SIZE{4|123456789}"), "117Mb");
  ReplaceTable table = TableOf({{"big", "123456789"}}, true);
  EXPECT_EQ(ApplyLong(table, "@SIZE{4|big}"), "117Mb");
  EXPECT_EQ(ApplyShort(table, "@SIZE{4|big}"), "117Mb");
  table.SetApplyFunctions(false);
  EXPECT_EQ(ApplyLong(table, "@SIZE{4|big}"), "@SIZE{4|123456789}");
}

// One clause of the one-scan condition broken, and a line on which the
// scan, left unchecked, gives other bytes than the pairs one after another.
struct ClauseCase {
  const char* clause;
  std::vector<Pair> pairs;
  std::string line;
  // True: the table is planned and the scan leaves this line to the pairs;
  // false: the table is not planned.
  bool checked_per_line;
  // The scan without the checks of its edges gives other bytes (false:
  // overlapping keys, which the scan always checks).
  bool differs_unwatched = true;
};

// Lines are read eight bytes at a time, the last eight overlapping: a byte
// from 0x80 up is told at every place of every length around those edges.
TEST(IsAscii, FindsAByteBeyondAsciiAnywhere) {
  for (std::size_t size = 0; size <= 20; ++size) {
    std::string text(size, '\x7F');
    EXPECT_TRUE(IsAscii(text)) << size;
    for (std::size_t at = 0; at < size; ++at) {
      text[at] = '\x80';
      EXPECT_FALSE(IsAscii(text)) << size << " " << at;
      text[at] = '\x7F';
    }
  }
}

class OneScanClause : public testing::TestWithParam<ClauseCase> {};

TEST_P(OneScanClause, IsNeededAndKept) {
  const ClauseCase& c = GetParam();
  SearchedPairs searched;
  for (const Pair& pair : c.pairs)
    searched.Add(ReplacePair{pair.name, pair.value, pair.case_sensitive,
                             text::FoldedForSearch(pair.name).str()});
  const std::vector<ReplacePair>& pairs = searched.Sorted();
  std::vector<std::string_view> keys;
  std::vector<std::uint32_t> pair_of_key;
  for (std::uint32_t i = 0; i < pairs.size(); ++i) {
    keys.push_back(pairs[i].upper_name);
    pair_of_key.push_back(i);
  }
  const text::KeySearch search(keys);
  std::array<char, 128> ascii_fold = text::kAsciiAsItIs;
  std::string folded_line = c.line;
  text::FoldForSearch(folded_line.data(), folded_line.size());
  auto scan = [&](const std::vector<ScanEdges>& edges, std::string& out) {
    return ScanAllPairs({search, pair_of_key, pairs, edges, ascii_fold}, c.line, folded_line, false,
                        out);
  };
  std::string one_after_another = c.line, folded, copy;
  ApplyEachPair(pairs, one_after_another, kGrowsWhole, folded, copy);

  const std::optional<std::vector<ScanEdges>> plan = PlanSingleScan(pairs);
  ASSERT_EQ(plan.has_value(), c.checked_per_line);
  std::string out;
  if (c.checked_per_line) {
    EXPECT_EQ(scan(*plan, out), ScanResult::PairByPair);
  }
  const std::vector<ScanEdges> unwatched(pairs.size());
  out.clear();
  const ScanResult unchecked = scan(unwatched, out);
  if (c.differs_unwatched) {
    ASSERT_EQ(unchecked, ScanResult::Scanned);
    EXPECT_NE(out, one_after_another);
  } else {
    EXPECT_EQ(unchecked, ScanResult::PairByPair);
  }
  ReplaceTable table = TableOf(c.pairs);
  EXPECT_EQ(ApplyLong(table, c.line), one_after_another);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OneScanClause,
    testing::Values(
        ClauseCase{"case-sensitive pair", {{"ab", "X", true}}, "AB", false},
        ClauseCase{"empty value", {{"x", ""}, {"ab", "Y"}}, "axb", false},
        ClauseCase{"value ends with @", {{"b", "Q@"}, {"c", "Z"}}, "bc", false},
        ClauseCase{"later key ends with @", {{"b", "Q"}, {"a@", "Z"}}, "a@b", false},
        ClauseCase{"value meets its own key", {{"ab", "B"}}, "aab", false},
        ClauseCase{"later key inside a value", {{"c", "xbx"}, {"b", "Z"}}, "c", false},
        ClauseCase{"keys overlap", {{"ab", "X"}, {"bc", "Y"}}, "abc", true, false},
        ClauseCase{"later key across a value's start", {{"n", "E"}, {"@time", "1"}}, "@timn", true},
        ClauseCase{"later key across a value's end", {{"n", "@TI"}, {"@time", "1"}}, "nme", true},
        ClauseCase{"later key across an escape", {{"b", "Q"}, {"ab", "Z"}}, "a@b", true}),
    [](const testing::TestParamInfo<ClauseCase>& param) {
      std::string name = param.param.clause;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

}  // namespace
}  // namespace kelmora::config

// The fast Apply against the plain model of model/replace_model.h, byte for
// byte, on random tables and lines made of the cases that are easy to get
// wrong: keys that are prefixes, suffixes and overlaps of each other,
// values that hold their own or a later key, "@" escapes, letters of both
// cases (Latin, Cyrillic in code page 866 and in UTF-8), NUL bytes, long
// lines and function calls, nested and escaped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "config/replace_table.h"
#include "config/single_scan.h"
#include "model/replace_model.h"
#include "template/template_pass.h"
#include "text/text_rules.h"

namespace kelmora::config {
namespace {

using namespace std::string_literals;

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }
  bool OneIn(std::size_t n) { return Below(n) == 0; }

  // A short run of the characters keys are made of.
  std::string Atom() {
    static const std::vector<std::string> kAtoms = {
        "a",        "b",        "A",        "B",        "ab",   "ba",   "@",
        "x",        " ",        "\xA0",     "\x80",     "\xE0", "\x90",  // code page 866 а А р Р
        "\xD0\xB0", "\xD0\x90", "\xD1\x8F", "\xD0\xAF",                  // UTF-8 а А я Я
        "\0"s,      "{",        "}",        "|",        "1",
    };
    return kAtoms[Below(kAtoms.size())];
  }

  std::string Atoms(std::size_t most) {
    std::string text;
    for (std::size_t n = Below(most + 1); n > 0; --n) text += Atom();
    return text;
  }

  // The same text with some letters in the other case.
  std::string Recased(std::string text) {
    for (char& c : text) {
      if (c >= 'a' && c <= 'z' && OneIn(2))
        c = static_cast<char>(c - 32);
      else if (c >= 'A' && c <= 'Z' && OneIn(2))
        c = static_cast<char>(c + 32);
    }
    return text;
  }

  std::string Call() {
    switch (Below(5)) {
      case 0: return "@NUM{,|" + std::to_string(Below(100000)) + "}";
      case 1: return "@pad{LEFT|.|" + std::to_string(Below(12)) + "|" + Atoms(3) + "}";
      case 2: return "@@SIZE{4|123456789}";
      case 3: return "@PAD{RIGHT|-|8|@NUM{ |" + std::to_string(Below(1000000)) + "}}";
      default: return "@SIZE{" + Atoms(2);
    }
  }

  std::vector<std::string> Keys() {
    std::vector<std::string> keys;
    for (std::size_t n = 1 + Below(8); n > 0; --n) {
      std::string key;
      switch (keys.empty() ? 0 : Below(4)) {
        case 0: key = Atoms(4); break;
        case 1: key = keys[Below(keys.size())] + Atom(); break;  // an extension
        case 2: key = Atom() + keys[Below(keys.size())]; break;  // a suffix
        default: key = std::string("@").append(Atoms(3)); break;
      }
      keys.push_back(key);
    }
    return keys;
  }

  std::string Value(const std::vector<std::string>& keys, const std::string& own) {
    switch (Below(6)) {
      case 0: return "";
      case 1: return Atoms(2) + text::FoldedForSearch(own).str() + Atoms(2);
      case 2: return Atoms(1) + keys[Below(keys.size())] + Atoms(1);
      case 3: return std::string("@").append(Atoms(2));
      case 4: return OneIn(2) ? Call() : Atoms(2) + "@";
      default: return Atoms(5);
    }
  }

  // The same random table as the program's and as the model's.
  struct Tables {
    ReplaceTable fast;
    model::Table model;
  };
  Tables Table() {
    if (OneIn(2)) return NearOneScan();
    Tables tables;
    bool functions = !OneIn(3);
    tables.fast.SetApplyFunctions(functions);
    tables.model.SetApplyFunctions(functions);
    std::vector<std::string> keys = Keys();
    for (const std::string& key : keys) {
      std::string value = Value(keys, key);
      bool case_sensitive = OneIn(6);
      tables.fast.Add(key, value, case_sensitive);
      tables.model.Add(key, value, case_sensitive);
    }
    return tables;
  }

  // A table just inside the condition of one scan (config/single_scan.cc)
  // or, half of the time, one byte or flag outside it.
  Tables NearOneScan() {
    static const std::vector<std::string> kKeyAtoms = {"a", "b", "B", "c", "1", "\xD0\xB0", "\xA0"};
    static const std::vector<std::string> kValueAtoms = {"x", "Y", "-", "@", "\xD1\x8F", "a"};
    std::vector<model::Pair> pairs;
    for (std::size_t n = 2 + Below(5); n > 0; --n) {
      std::string key = OneIn(4) ? "@" : "";
      for (std::size_t atoms = 1 + Below(3); atoms > 0; --atoms)
        key += kKeyAtoms[Below(kKeyAtoms.size())];
      std::string value;
      for (std::size_t atoms = 1 + Below(3); atoms > 0; --atoms)
        value += kValueAtoms[Below(kValueAtoms.size())];
      if (OneIn(4)) value += key;  // holds its own key
      if (value.back() == '@') value += "x";
      pairs.push_back({key, value, false});
    }
    if (OneIn(2)) {
      model::Pair& pair = pairs[Below(pairs.size())];
      switch (Below(5)) {
        case 0: pair.value.clear(); break;
        case 1: pair.value += "@"; break;
        case 2: pair.case_sensitive = true; break;
        case 3: pair.value = "x" + text::FoldedForSearch(pair.name).str().substr(0, 1); break;
        default: pair.value = "x" + pairs[Below(pairs.size())].name; break;
      }
    }
    Tables tables;
    bool functions = OneIn(2);
    tables.fast.SetApplyFunctions(functions);
    tables.model.SetApplyFunctions(functions);
    for (const model::Pair& pair : pairs) {
      tables.fast.Add(pair.name, pair.value, pair.case_sensitive);
      tables.model.Add(pair.name, pair.value, pair.case_sensitive);
    }
    return tables;
  }

  std::string Line(const model::Table& table) {
    const std::vector<model::Pair> pairs = table.pairs();
    std::string line;
    std::size_t parts = OneIn(200) ? 150 + Below(100) : Below(12);
    for (std::size_t n = parts; n > 0; --n) {
      switch (Below(6)) {
        case 0:
        case 1:
          if (!pairs.empty()) {
            line += Recased(pairs[Below(pairs.size())].name);
            break;
          }
          [[fallthrough]];
        case 2: line += Atom(); break;
        case 3: line += "@"; break;
        case 4: line += OneIn(3) ? Call() : Atoms(3); break;
        default: line += Atoms(2); break;
      }
    }
    return line;
  }

 private:
  std::mt19937 random_;
};

// Whether the table allows one scan, as the program's table decides it.
bool AllowsOneScan(const model::Table& table) {
  std::vector<ReplacePair> pairs;
  for (const model::Pair& pair : table.pairs())
    pairs.push_back({pair.name, pair.value, pair.case_sensitive, model::Folded(pair.name)});
  return PlanSingleScan(pairs).has_value();
}

TEST(ApplyDifferential, RandomLinesGiveTheReferenceBytes) {
  Generator random(20240611);
  std::size_t lines = 0;
  std::size_t one_scan_tables = 0, other_tables = 0;
  while (lines < 100000) {
    Generator::Tables tables = random.Table();
    ++(AllowsOneScan(tables.model) ? one_scan_tables : other_tables);
    // Enough lines per table for the fast pass to switch from searching
    // pair by pair to its automaton.
    for (int i = 0; i < 200; ++i, ++lines) {
      std::string line = random.Line(tables.model);
      std::string fast = line;
      tables.fast.Apply(fast);
      std::string expected = tables.model.Apply(line);
      if (fast != expected) {
        std::string pairs;
        for (const model::Pair& pair : tables.model.pairs())
          pairs += testing::PrintToString(pair.name) + " -> " + testing::PrintToString(pair.value) +
                   (pair.case_sensitive ? " (case)" : "") + "\n";
        FAIL() << "line " << testing::PrintToString(line) << "\nfast "
               << testing::PrintToString(fast) << "\nreference " << testing::PrintToString(expected)
               << "\npairs\n"
               << pairs;
      }
    }
  }
  // Both sides of the condition are well represented.
  EXPECT_GT(one_scan_tables, 50u);
  EXPECT_GT(other_tables, 200u);
}

TEST(ApplyDifferential, RandomTextsGiveTheReferenceBytes) {
  Generator random(7);
  const char* kLineEnds[] = {"\r\n", "\n", "\r", "\n\r", "\r\r", "\n\n"};
  for (int text_number = 0; text_number < 150; ++text_number) {
    Generator::Tables tables = random.Table();
    ReplaceTable& table = tables.fast;
    std::string text;
    for (std::size_t n = 1 + random.Below(20); n > 0; --n) {
      std::string line = random.Line(tables.model);
      if (random.OneIn(8)) line = std::string(1020 + random.Below(8), 'q') + line;
      text += line;
      if (n > 1 || random.OneIn(2)) text += kLineEnds[random.Below(6)];
    }
    const std::string_view line_end = text::TemplateLineEnd(text.find('\r') != std::string::npos);
    std::string expected;
    for (const std::string& line : model::Lines(text, templating::kPieceLimit))
      expected += tables.model.Apply(line) + std::string(line_end);
    auto evaluate = [&table](std::string& line) { table.Apply(line); };
    auto find_change = [&table](std::string_view lines) {
      return table.FirstPossibleChange(lines);
    };
    std::string fast;
    store::Production production = templating::EvaluateTextInto(
        text, evaluate, find_change, store::kNoMemoryLimit, [&fast](std::string_view piece) {
          fast.append(piece);
          return true;
        });
    ASSERT_EQ(production, store::Production::Done);
    ASSERT_EQ(fast, expected) << testing::PrintToString(text);

    // The same text read in pieces of any size through the smallest
    // window: lines, long-line cuts and line ends straddle its edges.
    std::size_t read_at = 0;
    store::LineSource lines(
        [&](char* into, std::size_t room, std::size_t* got) {
          *got = std::min({room, 1 + random.Below(700), text.size() - read_at});
          std::memcpy(into, text.data() + read_at, *got);
          read_at += *got;
          return platform::ErrorCode{0};
        },
        templating::kPieceLimit, random.Below(600));
    std::string streamed;
    production =
        templating::EvaluateLinesInto(lines, line_end, evaluate, find_change, store::kNoMemoryLimit,
                                      [&streamed](std::string_view piece) {
                                        streamed.append(piece);
                                        return true;
                                      });
    ASSERT_EQ(production, store::Production::Done);
    ASSERT_EQ(streamed, expected) << testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace kelmora::config

// The fast Apply against the plain one of reference_apply.h, byte for
// byte, on random tables and lines made of the cases that are easy to get
// wrong: keys that are prefixes, suffixes and overlaps of each other,
// values that hold their own or a later key, "@" escapes, letters of both
// cases (Latin, Cyrillic in code page 866 and in UTF-8), NUL bytes, long
// lines and function calls, nested and escaped.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "config/reference_apply.h"
#include "config/replace_table.h"
#include "template/template_pass.h"
#include "text/text_rules.h"

namespace kelmora::config {
namespace {

using namespace std::string_literals;

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
  bool OneIn(std::size_t n) { return Below(n) == 0; }

  // A short run of the characters keys are made of.
  std::string Atom() {
    static const std::vector<std::string> kAtoms = {
        "a", "b", "A", "B", "ab", "ba", "@", "x", " ",
        "\xA0", "\x80", "\xE0", "\x90",          // code page 866 а А р Р
        "\xD0\xB0", "\xD0\x90", "\xD1\x8F", "\xD0\xAF",  // UTF-8 а А я Я
        "\0"s, "{", "}", "|", "1",
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
      if (c >= 'a' && c <= 'z' && OneIn(2)) c = static_cast<char>(c - 32);
      else if (c >= 'A' && c <= 'Z' && OneIn(2)) c = static_cast<char>(c + 32);
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

  ReplaceTable Table() {
    ReplaceTable table;
    table.SetApplyFunctions(!OneIn(3));
    std::vector<std::string> keys = Keys();
    for (const std::string& key : keys) table.Add(key, Value(keys, key), OneIn(6));
    return table;
  }

  std::string Line(const ReplaceTable& table) {
    const std::vector<ReplacePair>& pairs = table.pairs();
    std::string line;
    std::size_t parts = OneIn(200) ? 150 + Below(100) : Below(12);
    for (std::size_t n = parts; n > 0; --n) {
      switch (Below(6)) {
        case 0: case 1:
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

TEST(ApplyDifferential, RandomLinesGiveTheReferenceBytes) {
  Generator random(20240611);
  std::size_t lines = 0;
  while (lines < 100000) {
    const ReplaceTable table = random.Table();
    // Enough lines per table for the fast pass to switch from searching
    // pair by pair to its automaton.
    for (int i = 0; i < 200; ++i, ++lines) {
      std::string line = random.Line(table);
      std::string fast = line;
      table.Apply(fast);
      std::string expected = ReferenceApply(table, line);
      if (fast != expected) {
        std::string pairs;
        for (const ReplacePair& pair : table.pairs())
          pairs += testing::PrintToString(pair.name) + " -> " +
                   testing::PrintToString(pair.value) + (pair.case_sensitive ? " (case)" : "") +
                   "\n";
        FAIL() << "line " << testing::PrintToString(line) << "\nfast " << testing::PrintToString(fast)
               << "\nreference " << testing::PrintToString(expected) << "\npairs\n"
               << pairs;
      }
    }
  }
}

TEST(ApplyDifferential, RandomTextsGiveTheReferenceBytes) {
  Generator random(7);
  const char* kLineEnds[] = {"\r\n", "\n", "\r", "\n\r", "\r\r", "\n\n"};
  for (int text_number = 0; text_number < 150; ++text_number) {
    const ReplaceTable table = random.Table();
    std::string text;
    for (std::size_t n = 1 + random.Below(20); n > 0; --n) {
      std::string line = random.Line(table);
      if (random.OneIn(8)) line = std::string(1020 + random.Below(8), 'q') + line;
      text += line;
      if (n > 1 || random.OneIn(2)) text += kLineEnds[random.Below(6)];
    }
    // CR LF, or the build's own line end when the text holds no CR.
    const std::string_view line_end =
        text.find('\r') == std::string::npos ? text::kNativeText.line_end : "\r\n";
    std::string expected;
    for (const std::string& line : ReferenceLines(text))
      expected += ReferenceApply(table, line) + std::string(line_end);
    std::optional<std::string> fast = templating::EvaluateText(
        text, [&table](std::string& line) { table.Apply(line); },
        [&table](std::string_view lines) { return table.FirstPossibleChange(lines); });
    ASSERT_TRUE(fast);
    ASSERT_EQ(*fast, expected) << testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace kelmora::config

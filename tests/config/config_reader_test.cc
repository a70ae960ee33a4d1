#include "config/config_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "config/settings_keys.h"
#include "store/failing_file_ops.h"
#include "text/temp_dir.h"

namespace kelmora::config {
namespace {

ConfigReader ReaderWithKeys() {
  ConfigReader reader;
  AddSettingsKeys(reader);
  return reader;
}

// The values of each key that has any, by key name, in file order.
using Values = std::map<std::string, std::vector<std::string>>;

Values ValuesOf(const ConfigReader& reader) {
  Values values;
  for (const SettingsKeyName& key : kSettingsKeys) {
    const auto number = static_cast<std::int32_t>(key.key);
    for (std::int32_t n = 1; !reader.GetValue(number, n).empty(); ++n)
      values[key.name].push_back(reader.GetValue(number, n).str());
  }
  return values;
}

std::vector<std::int32_t> WrongLinesOf(const ConfigReader& reader) {
  std::vector<std::int32_t> lines;
  for (std::int32_t n = 1; n <= reader.WrongLineCount(); ++n)
    lines.push_back(reader.WrongLineNumber(n));
  return lines;
}

struct Case {
  const char* what;
  std::string file;
  Values values;
  std::vector<std::int32_t> wrong_lines;
};

void ExpectCases(const std::vector<Case>& cases) {
  text::TempDir dir;
  for (const Case& c : cases) {
    ConfigReader reader = ReaderWithKeys();
    LoadResult result = reader.Load(dir.Write("kelmora.ctl", c.file));
    EXPECT_EQ(result.status, LoadStatus::Read) << c.what;
    EXPECT_EQ(ValuesOf(reader), c.values) << c.what;
    EXPECT_EQ(WrongLinesOf(reader), c.wrong_lines) << c.what;
  }
}

TEST(ConfigReader, KeysAndValues) {
  ExpectCases({
      {"empty file", "", {}, {}},
      {"key case ignored, value keeps its case", "prefix Hello", {{"Prefix", {"Hello"}}}, {}},
      {"first word must be the key", "Prefix=hello\nPrefixX hello\nPrefi x", {}, {1, 2, 3}},
      {"key alone, empty quotes, one quote", "Prefix\nPrefix \"\"\nPrefix \"", {}, {}},
      {"spaces inside quotes stay",
       "Prefix   \"  now playing: \"",
       {{"Prefix", {"  now playing: "}}},
       {}},
      {"quotes are not paired", "Suffix \"\"a\"b\"", {{"Suffix", {"a\"b"}}}, {}},
      {"TAB and several blanks separate", "Suffix\t \t x\t ", {{"Suffix", {"x"}}}, {}},
      {"the rest of the line is the value", "Suffix a b  c", {{"Suffix", {"a b  c"}}}, {}},
      {"every value in file order", "NoWamp one\nNoWamp two", {{"NoWamp", {"one", "two"}}}, {}},
      {"each key keeps its own values",
       "TimeCount WEEK\nTimeFormat dec",
       {{"TimeCount", {"WEEK"}}, {"TimeFormat", {"dec"}}},
       {}},
      {"leading blanks on the line",
       " \t BirthDate 15/03/1980",
       {{"BirthDate", {"15/03/1980"}}},
       {}},
  });
}

TEST(ConfigReader, CommentsAndBlankLines) {
  ExpectCases({
      {"comment after a value", "NoWamp nothing ; comment", {{"NoWamp", {"nothing"}}}, {}},
      {"value cannot hold a semicolon", "NoWamp \"a;b\"", {{"NoWamp", {"a"}}}, {}},
      {"blank and comment lines count", "; note\n\n \t \n;\nwrong", {}, {5}},
      {"comment right after the key", "Prefix;x", {}, {}},
  });
}

TEST(ConfigReader, Defines) {
  ExpectCases({
      {"defined name is replaced", "@Define SONG hello\nNoWamp SONG", {{"NoWamp", {"hello"}}}, {}},
      {"escape keeps the name", "@Define SONG hello\nNoWamp @SONG", {{"NoWamp", {"SONG"}}}, {}},
      {"only in later lines", "NoWamp SONG\n@Define SONG x", {{"NoWamp", {"SONG"}}}, {}},
      {"name found in any case", "@define song hello\nNoWamp Song", {{"NoWamp", {"hello"}}}, {}},
      {"escaped redefinition wins",
       "@Define SONG a\n@DEFINE @song b\nNoWamp SONG",
       {{"NoWamp", {"b"}}},
       {}},
      {"redefinition names the old value",
       "@Define X y\n@Define X z\nNoWamp [Y]",
       {{"NoWamp", {"[z]"}}},
       {}},
      {"value is the second word only", "@Define Q b c\nNoWamp Q", {{"NoWamp", {"b"}}}, {}},
      {"blanks after the directive", "@Define \t  Q\t b\nNoWamp [Q]", {{"NoWamp", {"[b]"}}}, {}},
      {"name inside the key word", "@Define ate X\nBirthDate 01/02/1999", {}, {2}},
      {"define can write the key", "@Define KEY Prefix\nKEY hi", {{"Prefix", {"hi"}}}, {}},
      {"directive without a name", "@Define\n@define   \n@DEFINE\t", {}, {}},
      {"empty define empties a line",
       "@Define EMPTY\nEMPTY\nNoWamp xEMPTYy",
       {{"NoWamp", {"xy"}}},
       {2}},
      {"@DefineX is no directive", "@DefineX a b", {}, {1}},
      {"defines do not evaluate calls",
       "@Define S @SIZE{4|2048}\nNoWamp S",
       {{"NoWamp", {"@SIZE{4|2048}"}}},
       {}},
  });
}

TEST(ConfigReader, LineEndsAndNumbers) {
  ExpectCases({
      {"every line end",
       "Prefix a\r\nSuffix b\rNoWamp c\nwrong\n\rTimeCount d",
       {{"Prefix", {"a"}}, {"Suffix", {"b"}}, {"NoWamp", {"c"}}, {"TimeCount", {"d"}}},
       {4}},
      {"CR CR is an empty line between", "x\r\ry", {}, {1, 3}},
      {"LF LF is an empty line between", "x\n\ny\n", {}, {1, 3}},
      {"last line without line end", "a\r\nPrefix z", {{"Prefix", {"z"}}}, {1}},
      {"255 cut, rest not carried",
       "Prefix " + std::string(300, 'v') + "\nwrong",
       {{"Prefix", {std::string(248, 'v')}}},
       {2}},
  });
}

TEST(ConfigReader, OutOfRangeNumbers) {
  text::TempDir dir;
  ConfigReader reader = ReaderWithKeys();
  reader.Load(dir.Write("kelmora.ctl", "Prefix a\nbad"));
  EXPECT_EQ(reader.GetValue(8, 1).str(), "a");
  for (auto [key, n] : {std::pair{0, 1}, {10, 1}, {8, 0}, {8, 2}, {-1, -1}})
    EXPECT_EQ(reader.GetValue(key, n).str(), "") << key << " " << n;
  EXPECT_EQ(reader.WrongLineCount(), 1);
  EXPECT_EQ(reader.WrongLineNumber(1), 2);
  EXPECT_EQ(reader.WrongLineNumber(0), -1);
  EXPECT_EQ(reader.WrongLineNumber(2), -1);
}

TEST(ConfigReader, NothingReadWithoutFileOrKeys) {
  text::TempDir dir;
  ConfigReader reader = ReaderWithKeys();
  EXPECT_EQ(reader.Load(dir.Path("missing.ctl")).status, LoadStatus::NotFound);
  dir.Write("sub/keep", "");
  EXPECT_EQ(reader.Load(dir.Path("sub")).status, LoadStatus::NotFound);

  ConfigReader no_keys;
  EXPECT_EQ(no_keys.Load(dir.Write("k.ctl", "bad line")).status, LoadStatus::NoKeys);
  EXPECT_EQ(no_keys.WrongLineCount(), 0);
}

TEST(ConfigReader, SecondLoadAddsValuesKeepsDefinesRenewsWrongLines) {
  text::TempDir dir;
  ConfigReader reader = ReaderWithKeys();
  reader.Load(dir.Write("one.ctl", "@Define X 1\nNoWamp a\nbad"));
  reader.Load(dir.Write("two.ctl", "NoWamp X"));
  EXPECT_EQ(ValuesOf(reader), (Values{{"NoWamp", {"a", "1"}}}));
  EXPECT_EQ(reader.WrongLineCount(), 0);
}

TEST(ConfigReader, UnreadableIsToldApartFromEmpty) {
  text::TempDir dir;
  std::string path = dir.Write("kelmora.ctl", "Prefix a\n");
  struct Failure {
    const char* what;
    store::FaultPlan plan;
  };
  const Failure cases[] = {{"open fails", {.open = 1, .error = 32}},
                           {"read fails", {.read = 1, .error = 33}}};
  for (const Failure& c : cases) {
    store::FailingFileOps ops(c.plan);
    ConfigReader reader = ReaderWithKeys();
    LoadResult result = reader.Load(path, ops.ops());
    EXPECT_EQ(result.status, LoadStatus::Unreadable) << c.what;
    EXPECT_EQ(result.error, c.plan.error) << c.what;
    EXPECT_EQ(reader.GetValue(8, 1).str(), "") << c.what;
  }
}

}  // namespace
}  // namespace kelmora::config

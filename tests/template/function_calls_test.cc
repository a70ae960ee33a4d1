#include "template/function_calls.h"

#include <gtest/gtest.h>

#include <string>

#include "text/number.h"

namespace kelmora::templating {
namespace {

using text::ShortString;

std::string EvaluateLong(const FunctionRegistry& registry, std::string line) {
  EvaluateCalls(registry, line);
  return line;
}

std::string EvaluateShort(const FunctionRegistry& registry, const std::string& line) {
  ShortString value(line);
  EvaluateCalls(registry, value);
  return value.str();
}

void LengthOf(ShortString& argument) {
  argument = text::IntToStr(static_cast<std::int32_t>(argument.size()));
}
void LastCharacter(ShortString& argument) {
  argument = Copy(argument, static_cast<long>(argument.size()), 1);
}
void TagA(ShortString& argument) { argument = ShortString("[A:") + argument + "]"; }
void TagB(ShortString& argument) { argument = ShortString("[B:") + argument + "]"; }

TEST(FunctionRegistry, SameNameReplacesTheHandlerAndKeepsTheFirstSpelling) {
  FunctionRegistry registry;
  registry.RegisterFunction("@num", LengthOf);
  ASSERT_EQ(registry.entries().size(), 3u);
  EXPECT_EQ(registry.entries()[1].name.str(), "@NUM");
  EXPECT_EQ(EvaluateLong(registry, "@NUM{,|1234}"), "6");

  registry.RegisterFunction("@Len", LengthOf);
  ASSERT_EQ(registry.entries().size(), 4u);
  EXPECT_EQ(registry.entries()[3].name.str(), "@Len");
}

TEST(EvaluateCalls, Examples) {
  struct Case {
    std::string line;
    std::string result;
  };
  const Case cases[] = {
      {"@NUM{,|1234567}", "1,234,567"},
      {"@num{,|1234567}", "1,234,567"},
      {"@PAD{LEFT| |10|@NUM{,|1234567}}", " 1,234,567"},
      {"x @SIZE{4|123456789} y", "x 117Mb y"},
      {"@NUM{,|1234", ",|1234"},
      {"@FOO{x}", "@FOO{x}"},
      {"{x}", "{x}"},
      {"@@NUM{,|1000}", "@NUM{,|1000}"},
      {"@@NUM{,|1000} @NUM{,|2000}", "@NUM{,|1000} 2,000"},
      {"@NUM{,|1000} @@NUM{,|2000}", "@NUM{,|1000} @NUM{,|2000}"},
      {"@PAD{RIGHT|x|3|a} @@NUM{,|1000}", "axx 1,000"},
      // More nesting, letter case, and text around the calls.
      {"@Pad{right|.|5|@size{3|2048}}", "2Kb.."},
      {"@PAD{LEFT|.|12|@NUM{.|@PAD{LEFT|0|7|1234}}}", "...0.001.234"},
      {"@NUM{,|1000} @NUM{,|2000}", "1,000 2,000"},
      {"a @NUM{,|1000}, b @SIZE{3|2048}; c", "a 1,000, b 2Kb; c"},
      {"}@NUM{,|1000}}", "}1,000}"},
      {"@NUM {,|1000}", "@NUM {,|1000}"},
      {"NUM{,|1000}", "NUM{,|1000}"},
      {"@NUMBER{,|1000}", "@NUMBER{,|1000}"},
      {"@PA{x}@SIZ{3|2048}", "@PA{x}@SIZ{3|2048}"},
      {"", ""},
      // Without a closing brace the argument is empty.
      {"@NUM{", ""},
      {"@SIZE{", "0Kb"},
      {"@SIZE{3|2048", "0Kb3|2048"},
      {"@NUM{,|1000} @SIZE{3|2048", "1,000 0Kb3|2048"},
      // Escapes: one per name and pass, consumed even when no call is left.
      {"@@@NUM{,|1000}", "@@NUM{,|1000}"},
      {"@@NUM{,|1000} @@NUM{,|2000} @NUM{,|3000}", "@@NUM{,|1000} @NUM{,|2000} 3,000"},
      {"@PAD{RIGHT|x|3|a} @@NUM{,|1000} @@SIZE{3|2048}", "axx 1,000 2Kb"},
      {"@@PAD{RIGHT|x|3|a} @@NUM{,|1000}", "@PAD{RIGHT|x|3|a} @NUM{,|1000}"},
      {"@@SIZE{3|2048} @PAD{RIGHT|x|3|a}", "2Kb axx"},
  };
  FunctionRegistry registry;
  for (const auto& c : cases) {
    EXPECT_EQ(EvaluateLong(registry, c.line), c.result) << c.line;
    EXPECT_EQ(EvaluateShort(registry, c.line), c.result) << c.line;
  }
}

TEST(EvaluateCalls, NamesFoldByTheTextOfTheBuild) {
  FunctionRegistry registry;
  // "@da" in lower-case Cyrillic letters, called in capitals.
#ifdef _WIN32
  registry.RegisterFunction("@\xA4\xA0", LengthOf);
  EXPECT_EQ(EvaluateLong(registry, "@\x84\x80{abc}"), "3");
  EXPECT_EQ(EvaluateLong(registry, "@\xA4\x80{abcd}"), "4");
#else
  registry.RegisterFunction("@\xD0\xB4\xD0\xB0", LengthOf);
  EXPECT_EQ(EvaluateLong(registry, "@\xD0\x94\xD0\x90{abc}"), "3");
  EXPECT_EQ(EvaluateLong(registry, "@\xD0\xB4\xD0\x90{abcd}"), "4");
#endif
}

TEST(EvaluateCalls, ArgumentIsCutTo255Characters) {
  FunctionRegistry registry;
  registry.RegisterFunction("@LEN", LengthOf);
  registry.RegisterFunction("@LAST", LastCharacter);
  std::string long_argument = std::string(255, 'a') + std::string(45, 'b');
  EXPECT_EQ(EvaluateLong(registry, "@LEN{" + long_argument + "}tail"), "255tail");
  EXPECT_EQ(EvaluateLong(registry, "@LAST{" + long_argument + "}tail"), "atail");
  EXPECT_EQ(EvaluateLong(registry, "@LEN{" + std::string(255, 'a') + "}"), "255");
}

TEST(EvaluateCalls, SharedBraceGoesToTheEarlierEntry) {
  FunctionRegistry a_first;
  a_first.RegisterFunction("@AB", TagA);
  a_first.RegisterFunction("B", TagB);
  EXPECT_EQ(EvaluateLong(a_first, "@AB{x}"), "[A:x]");
  EXPECT_EQ(EvaluateLong(a_first, "B{x}"), "[B:x]");

  FunctionRegistry b_first;
  b_first.RegisterFunction("B", TagB);
  b_first.RegisterFunction("@AB", TagA);
  EXPECT_EQ(EvaluateLong(b_first, "@AB{x}"), "@A[B:x]");
}

TEST(EvaluateCalls, RightmostBraceWinsOverRegistrationOrder) {
  FunctionRegistry registry;
  registry.RegisterFunction("@A", TagA);
  registry.RegisterFunction("@B", TagB);
  // The "@B" call stands right of the "{" of "@A": it is evaluated first.
  EXPECT_EQ(EvaluateLong(registry, "@A{@B{x}}"), "[A:[B:x]]");
  // Side by side, the right call first, then the left one.
  EXPECT_EQ(EvaluateLong(registry, "@B{1} @A{2}"), "[B:1] [A:2]");
}

TEST(EvaluateCalls, EscapeThatIsPartOfAnotherNameRemovesThatCall) {
  // "NUM" is escaped by the "@" of "@NUM"; once that "@" is gone the line
  // no longer holds "@NUM{", so nothing is evaluated.
  FunctionRegistry registry;
  registry.RegisterFunction("NUM", LengthOf);
  EXPECT_EQ(EvaluateLong(registry, "@NUM{,|1000}"), "NUM{,|1000}");
  EXPECT_EQ(EvaluateLong(registry, "NUM{,|1000}"), "6");
}

TEST(EvaluateCalls, TemplateLineGrowsPast1024Whole) {
  FunctionRegistry registry;
  std::string grown = std::string(1000, 'x') + "@PAD{RIGHT|.|100|z}";
  EXPECT_EQ(EvaluateLong(registry, grown), std::string(1000, 'x') + "z" + std::string(99, '.'));

  // An earlier call is still evaluated once the line has outgrown 1024.
  std::string with_call = "@NUM{,|1234}" + std::string(990, 'x') + "@PAD{RIGHT|.|100|z}";
  EXPECT_EQ(EvaluateLong(registry, with_call),
            "1,234" + std::string(990, 'x') + "z" + std::string(99, '.'));
}

TEST(EvaluateCalls, ShortStringDropsItsBeginningPastTheLimit) {
  FunctionRegistry registry;
  std::string grown = std::string(200, 'x') + "@PAD{RIGHT|.|100|z}";
  EXPECT_EQ(EvaluateShort(registry, grown), std::string(155, 'x') + "z" + std::string(99, '.'));
}

TEST(EvaluateCalls, ManyCallsOnAFullLine) {
  FunctionRegistry registry;
  std::string line;
  std::string expected;
  while (line.size() + 12 <= 1024) {
    line += "@NUM{,|1234}";
    expected += "1,234";
  }
  EXPECT_EQ(EvaluateLong(registry, line), expected);
}

}  // namespace
}  // namespace kelmora::templating

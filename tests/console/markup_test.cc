#include "console/markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/recording_sink.h"

namespace kelmora::console {
namespace {

struct MarkupCase {
  std::string text;
  std::uint8_t entry_attribute;
  std::vector<Run> expected;
};

void ExpectWrites(const MarkupCase& c) {
  SCOPED_TRACE("markup \"" + c.text + "\"");
  RecordingSink sink;
  SetCurrentAttribute(c.entry_attribute);
  WriteMarkup(c.text);
  EXPECT_EQ(sink.runs(), c.expected);
  EXPECT_EQ(CurrentAttribute(), c.entry_attribute);
}

TEST(WriteMarkup, PlainTextAndColourCodes) {
  const std::vector<MarkupCase> cases = {
      {"", 0x07, {}},
      {"abc", 0x1E, {{"abc", 0x1E}}},
      {"~0C~x~07~y", 0x07, {{"x", 0x0C}, {"y", 0x07}}},
      {"~0C~x~07~y", 0x1E, {{"x", 0x0C}, {"y", 0x07}}},
      {"a~0A~b", 0x07, {{"a", 0x07}, {"b", 0x0A}}},
      {"~1F~x", 0x07, {{"x", 0x1F}}},
      {"~123~x", 0x07, {{"x", 0x23}}},
      {"~FFFFFFFF~x", 0x07, {{"x", 0xFF}}},
      {"~0C~~0A~x", 0x07, {{"x", 0x0A}}},
      {"x~0C~", 0x07, {{"x", 0x07}}},
      {"~0A~done!~07~\r\n", 0x07, {{"done!", 0x0A}, {"\r\n", 0x07}}},
      // No switch back at the end: the next call starts from the entry
      // attribute all the same.
      {"~0C~   aborting...\r\n", 0x07, {{"   aborting...\r\n", 0x0C}}},
      {"~0C~ \xFE ~07~[a~~1~~] ~0C~NOT~07~ found!\r\n",
       0x07,
       {{" \xFE ", 0x0C}, {"[a~1~] ", 0x07}, {"NOT", 0x0C}, {" found!\r\n", 0x07}}},
      {"~0F~   ~07~usage: kelmora.exe <filename>\r\n",
       0x07,
       {{"   ", 0x0F}, {"usage: kelmora.exe <filename>\r\n", 0x07}}},
      {"a\tb\x07", 0x07, {{"a\tb\x07", 0x07}}},
  };
  for (const MarkupCase& c : cases) ExpectWrites(c);
}

TEST(WriteMarkup, SpellingsOfOneCodeGiveOneColour) {
  for (const char* text :
       {"~0C~x", "~0c~x", "~C~x", "~$0C~x", "~0x0C~x", "~0Ch~x", "~000C~x", "~$c$~x"})
    ExpectWrites({text, 0x07, {{"x", 0x0C}}});
}

TEST(WriteMarkup, DoubledTildeWritesOneTilde) {
  const std::vector<MarkupCase> cases = {
      {"a~~b", 0x07, {{"a~b", 0x07}}},
      {"~~~0A~x", 0x07, {{"~", 0x07}, {"x", 0x0A}}},
      {"ab~~", 0x07, {{"ab~", 0x07}}},
      {"~~", 0x1E, {{"~", 0x1E}}},
      // Doubled tildes in a row are each one literal tilde, so a doubled
      // name holding "~~" shows it whole.
      {"~~~~", 0x07, {{"~~", 0x07}}},
      {"a~~~~b", 0x07, {{"a~~b", 0x07}}},
      {"~0C~[x~~~~~~y]", 0x07, {{"[x~~~y]", 0x0C}}},
      {"~0C~a~~b", 0x07, {{"a~b", 0x0C}}},
  };
  for (const MarkupCase& c : cases) ExpectWrites(c);
}

TEST(WriteMarkup, MalformedCodeHidesTheRestOfTheCall) {
  const std::vector<MarkupCase> cases = {
      {"~G~x", 0x07, {{"x", 0x00}}},
      {"~ 0C~x", 0x07, {{"x", 0x00}}},
      {"~00~x", 0x07, {{"x", 0x00}}},
      {"~~~x", 0x07, {{"~", 0x07}, {"x", 0x00}}},
      {"~~x~", 0x07, {{"~x", 0x07}}},
      {"~x~~y", 0x07, {{"y", 0x00}}},
      {"a~0C", 0x1E, {{"a", 0x1E}, {"0C", 0x00}}},
      {"~0C", 0x07, {{"0C", 0x00}}},
      {"~", 0x07, {}},
      {"~~~", 0x07, {{"~", 0x07}}},
      {"~~0C~x", 0x07, {{"~0C", 0x07}, {"x", 0x00}}},
  };
  for (const MarkupCase& c : cases) ExpectWrites(c);
}

TEST(WriteMarkup, EmptyTextWritesNothing) {
  RecordingSink sink;
  SetCurrentAttribute(0x1E);
  WriteMarkup("");
  EXPECT_EQ(sink.writes(), 0);
  EXPECT_EQ(CurrentAttribute(), 0x1E);
}

TEST(WriteMarkup, LongestMessageIsWrittenWhole) {
  const std::string body(251, 'x');
  ExpectWrites({"~0C~" + body, 0x07, {{body, 0x0C}}});
}

struct HexCase {
  std::string text;
  std::int32_t expected;
};

TEST(HexToInt, ReadsDecoratedHexadecimal) {
  const std::vector<HexCase> cases = {
      {"C", 12},
      {"0C", 12},
      {"0c", 12},
      {"$0C", 12},
      {"0x0C", 12},
      {"0Ch", 12},
      {"000C", 12},
      {"FF", 255},
      {"ff", 255},
      {"123", 0x123},
      {"abcdef", 0xABCDEF},
      {"FFFFFFFF", -1},
      {"80000000", -2147483647 - 1},
      {"$$0X0cHh$", 12},
      {"h10", 16},
      {"0000000FF", 255},
      {"12345678", 0x12345678},
  };
  for (const HexCase& c : cases) EXPECT_EQ(HexToInt(c.text), c.expected) << c.text;
}

TEST(HexToInt, AnythingElseIsZero) {
  const std::vector<HexCase> cases = {
      {"", 0},    {"0", 0},   {"00", 0},  {"xyz", 0},  {"123456789", 0}, {"100000000", 0},
      {" 0C", 0}, {"0C ", 0}, {"-C", 0},  {"+C", 0},   {"1G", 0},        {"10h0", 0},
      {"0H", 0},  {"$", 0},   {"C$0", 0}, {"\xA0", 0}, {"~", 0},
  };
  for (const HexCase& c : cases) EXPECT_EQ(HexToInt(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace kelmora::console

#include "config/config_reader.h"

#include "store/file_stream.h"
#include "store/line_reader.h"
#include "text/words.h"
#include "text/char_case.h"
#include "text/search.h"

namespace kelmora::config {
namespace {

using text::ShortString;

const char kDefine[] = "@DEFINE";  // upper-cased, as it is compared
const text::CharSet kQuotes("\"");

ShortString Word(int n, const ShortString& line) {
  return text::ExtractWord(n, line.view(), text::kBlanks);
}

// True when `line` begins with `word` (letter case ignored) as its whole
// first word.
bool BeginsWithWord(const ShortString& line, std::string_view upper_word) {
  return text::UpperCaseKeyword(line).view().starts_with(upper_word) &&
         Word(1, line).size() == upper_word.size();
}

}  // namespace

ConfigReader::ConfigReader() { defines_.SetApplyFunctions(false); }

void ConfigReader::AddKey(const ShortString& name) { keys_.push_back(Key{name, {}}); }

LoadResult ConfigReader::Load(const std::string& file_name, const store::FileOps& ops) {
  platform::PathKind kind = ops.query(file_name);
  // Something that is no regular file is never opened: that could block.
  if (kind == platform::PathKind::Special) return {LoadStatus::Unreadable, 0};
  if (kind != platform::PathKind::File) return {LoadStatus::NotFound, 0};
  if (keys_.empty()) return {LoadStatus::NoKeys, 0};
  store::FileStream stream(file_name, store::kOpenRead, 4096, ops);
  wrong_lines_.clear();
  std::int32_t line_number = 0;
  // The size as the file was opened: asked once, not after every line.
  const auto size = stream.Size();
  do {
    ++line_number;
    ShortString line = store::ReadStreamLine(stream);
    // Past the end is no failure: ReadStreamLine has already cleared it.
    if (stream.status() != store::StreamStatus::Ok)
      return {LoadStatus::Unreadable, stream.error_detail()};
    if (!ParseLine(line)) wrong_lines_.push_back(line_number);
  } while (stream.Position() != size);
  return {LoadStatus::Read, 0};
}

bool ConfigReader::ParseLine(ShortString line) {
  std::size_t comment = text::Pos(";", line.view());
  if (comment != 0) line.resize(comment - 1);
  line = text::TrimSet(text::kBlanks, line);
  // Blank before the definitions are applied: a line that only they empty
  // is a wrong line.
  if (line.empty()) return true;
  defines_.Apply(line);
  return TryDefine(line) || TryKey(line);
}

bool ConfigReader::TryDefine(ShortString line) {
  if (!BeginsWithWord(line, kDefine)) return false;
  text::Delete(line, 1, 8);  // the word and the one separator after it
  if (!line.empty()) defines_.Add(Word(1, line), Word(2, line), false);
  return true;
}

bool ConfigReader::TryKey(ShortString line) {
  if (line.empty()) return false;
  for (Key& key : keys_) {
    if (!BeginsWithWord(line, text::UpperCaseKeyword(key.name).view())) continue;
    text::Delete(line, 1, static_cast<long>(key.name.size()) + 1);
    // Blanks first, then quotes: spaces inside the quotes stay.
    ShortString value = text::TrimSet(kQuotes, text::TrimSet(text::kBlanks, line));
    if (!value.empty()) key.values.push_back(value);
    return true;
  }
  return false;
}

ShortString ConfigReader::GetValue(std::int32_t key_number, std::int32_t value_number) const {
  if (key_number < 1 || static_cast<std::size_t>(key_number) > keys_.size()) return {};
  const std::vector<ShortString>& values = keys_[static_cast<std::size_t>(key_number - 1)].values;
  if (value_number < 1 || static_cast<std::size_t>(value_number) > values.size()) return {};
  return values[static_cast<std::size_t>(value_number - 1)];
}

std::int32_t ConfigReader::WrongLineCount() const {
  return static_cast<std::int32_t>(wrong_lines_.size());
}

std::int32_t ConfigReader::WrongLineNumber(std::int32_t index) const {
  if (index < 1 || index > WrongLineCount()) return -1;
  return wrong_lines_[static_cast<std::size_t>(index - 1)];
}

}  // namespace kelmora::config

#include "config/replace_table.h"

#include "text/char_case.h"

namespace kelmora::config {

void ReplaceTable::Add(const text::ShortString& name, const text::ShortString& value,
                       bool case_sensitive) {
  std::string upper_name(text::FoldedForSearch(name.view()).view());
  pairs_.Add(ReplacePair{name.str(), value.str(), case_sensitive, std::move(upper_name)});
}

void ReplaceTable::Apply(text::ShortString& text) {
  std::string work = text.str();
  std::string folded, search;
  ApplyEachPair(pairs_.Sorted(), work, text::ShortString::kCapacity, folded, search);
  text = work;
  if (pairs_.calls_evaluated()) templating::EvaluateCalls(functions_, text);
}

void ReplaceTable::Apply(std::string& line) {
  pairs_.Search().Apply(pairs_.Sorted(), line);
  if (pairs_.calls_evaluated() && line.find(templating::kCallOpen) != std::string::npos)
    templating::EvaluateCalls(functions_, line);
}

}  // namespace kelmora::config

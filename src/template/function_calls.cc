#include "template/function_calls.h"

#include <algorithm>
#include <optional>
#include <string>

#include "template/formatting.h"
#include "text/char_case.h"

namespace kelmora::templating {
namespace {

// A call found in one pass: where its name begins and its "{" stands.
struct Call {
  std::size_t name_at;
  std::size_t brace_at;
  FunctionHandler handler;
};

// Positions of `line` from which `removed` (sorted, distinct) were taken out.
std::size_t Shifted(std::size_t at, const std::vector<std::size_t>& removed) {
  auto before = std::lower_bound(removed.begin(), removed.end(), at);
  return at - static_cast<std::size_t>(before - removed.begin());
}

// Finds the rightmost occurrence of every name; removes the "@" escape in
// front of each escaped one; returns the call whose "{" stands furthest to
// the right (on a shared "{" the entry registered first).
std::optional<Call> FindCall(const FunctionRegistry& registry, std::string& line) {
  std::string upper = line;
  text::FoldForSearch(upper.data(), upper.size());

  std::vector<std::size_t> escapes;
  std::vector<Call> candidates;
  for (const FunctionEntry& entry : registry.entries()) {
    std::string key = text::FoldedForSearch(entry.name.view()).str().append(kCallOpen);
    std::size_t at = upper.rfind(key);
    if (at == std::string::npos) continue;
    if (at > 0 && line[at - 1] == '@') {
      escapes.push_back(at - 1);
    } else {
      candidates.push_back({at, at + entry.name.size(), entry.handler});
    }
  }

  std::sort(escapes.begin(), escapes.end());
  escapes.erase(std::unique(escapes.begin(), escapes.end()), escapes.end());
  for (auto at = escapes.rbegin(); at != escapes.rend(); ++at) line.erase(*at, 1);

  std::optional<Call> chosen;
  for (const Call& call : candidates) {
    // A name that lost one of its own characters as another name's escape
    // is no longer written in the line.
    auto first_removed = std::lower_bound(escapes.begin(), escapes.end(), call.name_at);
    if (first_removed != escapes.end() && *first_removed <= call.brace_at) continue;
    Call moved = {Shifted(call.name_at, escapes), Shifted(call.brace_at, escapes), call.handler};
    if (!chosen || moved.brace_at > chosen->brace_at) chosen = moved;
  }
  return chosen;
}

// One pass: evaluates the rightmost call of `line`, keeping the line within
// `limit` characters by dropping its beginning. False when no call was left.
bool EvaluateRightmostCall(const FunctionRegistry& registry, std::string& line, std::size_t limit) {
  std::optional<Call> call = FindCall(registry, line);
  if (!call) return false;

  // Without a closing "}" the argument is empty and the call is only the
  // name and "{"; the text after it stays.
  std::size_t open = call->brace_at + 1;
  std::size_t close = line.find('}', open);
  std::size_t call_end = close == std::string::npos ? open : close + 1;
  text::ShortString argument;  // holds at most the first 255 characters
  if (close != std::string::npos) {
    argument = std::string_view(line).substr(open, close - open);
  }

  call->handler(argument);
  line.replace(call->name_at, call_end - call->name_at, argument.view());
  if (line.size() > limit) line.erase(0, line.size() - limit);
  return true;
}

void EvaluateAllCalls(const FunctionRegistry& registry, std::string& line, std::size_t limit) {
  while (EvaluateRightmostCall(registry, line, limit)) {
  }
}

}  // namespace

FunctionRegistry::FunctionRegistry() {
  RegisterFunction("@PAD", PadText);
  RegisterFunction("@NUM", GroupDigits);
  RegisterFunction("@SIZE", ScaleSize);
}

void FunctionRegistry::RegisterFunction(const text::ShortString& name, FunctionHandler handler) {
  text::ShortString folded = text::UpperCaseKeyword(name);
  for (FunctionEntry& entry : entries_) {
    if (text::UpperCaseKeyword(entry.name) == folded) {
      entry.handler = handler;
      return;
    }
  }
  entries_.push_back({name, handler});
}

void EvaluateCalls(const FunctionRegistry& registry, std::string& line) {
  EvaluateAllCalls(registry, line, std::string::npos);
}

void EvaluateCalls(const FunctionRegistry& registry, text::ShortString& line) {
  std::string work = line.str();
  EvaluateAllCalls(registry, work, text::ShortString::kCapacity);
  line = work;
}

}  // namespace kelmora::templating

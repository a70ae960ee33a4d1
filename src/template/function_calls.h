// Function calls of the template language: a registered name, "{", an
// argument and "}", replaced by what the function's handler makes of the
// argument. Calls nest; the rightmost call is evaluated first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/bounded_string.h"

namespace kelmora::templating {

// What opens a call's argument: no call stands in a text without it.
inline constexpr std::string_view kCallOpen = "{";

// Receives the argument text and leaves its result in the same string.
using FunctionHandler = void (*)(text::ShortString& argument);

struct FunctionEntry {
  text::ShortString name;
  FunctionHandler handler;
};

// The functions a replacement table evaluates, in registration order.
class FunctionRegistry {
 public:
  // Holds "@PAD", "@NUM" and "@SIZE", in this order.
  FunctionRegistry();

  // Replaces the handler of an entry of the same name (letter case ignored;
  // the first spelling stays) or appends a new entry.
  void RegisterFunction(const text::ShortString& name, FunctionHandler handler);

  const std::vector<FunctionEntry>& entries() const { return entries_; }

 private:
  std::vector<FunctionEntry> entries_;
};

// Evaluates every call of `line` in place, in passes: each pass evaluates
// the call whose "{" stands furthest right, so inner calls go first. The
// argument runs to the first "}" (none: the argument is empty) and reaches
// the handler cut to 255 characters. A "@" before a name keeps that call
// literal for the pass and is removed. A template line grows as far as the
// results take it; a short string keeps within its capacity by losing
// characters at its beginning.
void EvaluateCalls(const FunctionRegistry& registry, std::string& line);
void EvaluateCalls(const FunctionRegistry& registry, text::ShortString& line);

}  // namespace kelmora::templating

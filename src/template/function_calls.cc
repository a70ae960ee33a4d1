// PLACEHOLDER until the function-call evaluation lands: evaluates nothing.
#include "template/function_calls.h"

namespace kelmora::templating {

FunctionRegistry::FunctionRegistry() = default;

void FunctionRegistry::RegisterFunction(const text::ShortString& name,
                                        FunctionHandler handler) {
  entries_.push_back({name, handler});
}

void EvaluateCalls(const FunctionRegistry&, text::LongLine&) {}
void EvaluateCalls(const FunctionRegistry&, text::ShortString&) {}

}  // namespace kelmora::templating

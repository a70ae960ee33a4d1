// Invariant checks of the fuzz targets. A broken invariant aborts, so the
// fuzzer keeps the input that broke it as a crash artifact.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace kelmora::fuzz {

[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::abort();
}

}  // namespace kelmora::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? void() : ::kelmora::fuzz::Fail(#condition, __FILE__, __LINE__))

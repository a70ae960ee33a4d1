// Invariant checks of the fuzz targets. A broken invariant aborts, so the
// fuzzer keeps the input that broke it as a crash artifact.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kelmora::fuzz {

[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::abort();
}

// Shows a text with its control and non-ASCII bytes escaped.
inline void PrintText(const char* label, std::string_view text) {
  std::fprintf(stderr, "%s (%zu bytes): \"", label, text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '\\')
      std::fputc(byte, stderr);
    else
      std::fprintf(stderr, "\\x%02X", byte);
  }
  std::fprintf(stderr, "\"\n");
}

[[noreturn]] inline void FailEqual(const char* condition, std::string_view got,
                                   std::string_view expected, const char* file, int line) {
  PrintText("got", got);
  PrintText("expected", expected);
  Fail(condition, file, line);
}

}  // namespace kelmora::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? void() : ::kelmora::fuzz::Fail(#condition, __FILE__, __LINE__))

// Two texts that must be equal; both are shown when they are not.
#define FUZZ_CHECK_EQ(got, expected)                                                          \
  do {                                                                                        \
    const auto& got_ = (got);                                                                 \
    const auto& expected_ = (expected);                                                       \
    if (std::string_view(got_) != std::string_view(expected_))                                \
      ::kelmora::fuzz::FailEqual(#got " == " #expected, got_, expected_, __FILE__, __LINE__); \
  } while (false)

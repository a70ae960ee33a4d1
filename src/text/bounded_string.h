// Texts of a fixed capacity: every operation that builds one cuts its result
// to the capacity instead of failing, and never inside a character
// (WholeCharPrefix). Indexes and lengths count bytes; the text is
// length-counted, so NUL bytes are ordinary characters.
//
// The 1-based operations (Copy, Pos, Delete) follow the short-string
// rules the program's texts rely on: out-of-range indexes clamp or do
// nothing, never fault.
#pragma once

#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "text/text_rules.h"

namespace kelmora::text {

template <std::size_t Capacity>
class BoundedString {
 public:
  static constexpr std::size_t kCapacity = Capacity;

  BoundedString() = default;
  // Implicit on purpose: assigning any text cuts it to the capacity.
  BoundedString(std::string_view text) { Assign(text); }
  BoundedString(const char* text) { Assign(text); }
  BoundedString(const std::string& text) { Assign(text); }
  template <std::size_t Other>
  explicit BoundedString(const BoundedString<Other>& other) {
    Assign(other.view());
  }

  void Assign(std::string_view text) {
    size_ = WholeCharPrefix(text, Capacity);
    std::memmove(chars_.data(), text.data(), size_);
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void clear() { size_ = 0; }
  // Shortens (or, up to the capacity, lengthens over whatever is stored).
  void resize(std::size_t size) { size_ = std::min(size, Capacity); }

  char* data() { return chars_.data(); }
  const char* data() const { return chars_.data(); }
  std::string_view view() const { return {chars_.data(), size_}; }
  std::string str() const { return std::string(view()); }

  // 0-based access, like the standard containers.
  char& operator[](std::size_t index) { return chars_[index]; }
  char operator[](std::size_t index) const { return chars_[index]; }
  char front() const { return chars_[0]; }
  char back() const { return chars_[size_ - 1]; }

  // Appends the whole characters that still fit.
  BoundedString& Append(std::string_view text) {
    std::size_t count = WholeCharPrefix(text, Capacity - size_);
    std::memmove(chars_.data() + size_, text.data(), count);
    size_ += count;
    return *this;
  }
  BoundedString& Append(char c) { return Append(std::string_view(&c, 1)); }
  BoundedString& operator+=(std::string_view text) { return Append(text); }
  BoundedString& operator+=(char c) { return Append(c); }

  friend bool operator==(const BoundedString& a, const BoundedString& b) {
    return a.view() == b.view();
  }
  friend bool operator==(const BoundedString& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const BoundedString& a, const char* b) {
    return a.view() == std::string_view(b);
  }
  // Byte by byte as unsigned values; a prefix is the smaller.
  friend std::strong_ordering operator<=>(const BoundedString& a, const BoundedString& b) {
    return a.view() <=> b.view();
  }

 private:
  std::size_t size_ = 0;
  std::array<char, Capacity> chars_{};
};

// A short string: at most 255 characters.
using ShortString = BoundedString<255>;

// The first Capacity characters of a joined with b.
template <std::size_t Capacity>
BoundedString<Capacity> operator+(BoundedString<Capacity> a, std::string_view b) {
  a.Append(b);
  return a;
}
template <std::size_t Capacity>
BoundedString<Capacity> operator+(BoundedString<Capacity> a, const BoundedString<Capacity>& b) {
  a.Append(b.view());
  return a;
}
template <std::size_t Capacity>
BoundedString<Capacity> operator+(BoundedString<Capacity> a, char c) {
  a.Append(c);
  return a;
}

// Up to `count` characters from the 1-based `index`; an index below 1 counts
// as 1, one beyond the length gives the empty text, a negative count as 0.
template <std::size_t Capacity>
BoundedString<Capacity> Copy(const BoundedString<Capacity>& s, long index, long count) {
  if (index < 1) index = 1;
  if (count < 0) count = 0;
  auto length = static_cast<long>(s.size());
  if (index > length) return {};
  long available = length - index + 1;
  return BoundedString<Capacity>(s.view().substr(
      static_cast<std::size_t>(index - 1), static_cast<std::size_t>(std::min(count, available))));
}

// 1-based position of the leftmost `sub` in `s`; 0 when `sub` is empty,
// longer than `s` or absent.
inline std::size_t Pos(std::string_view sub, std::string_view s) {
  if (sub.empty() || sub.size() > s.size()) return 0;
  std::size_t at = s.find(sub);
  return at == std::string_view::npos ? 0 : at + 1;
}

// Removes min(count, length - index + 1) characters at the 1-based index;
// does nothing when index < 1, count < 1 or index > length.
template <std::size_t Capacity>
void Delete(BoundedString<Capacity>& s, long index, long count) {
  auto length = static_cast<long>(s.size());
  if (index < 1 || count < 1 || index > length) return;
  long removed = std::min(count, length - index + 1);
  char* at = s.data() + (index - 1);
  std::memmove(at, at + removed, static_cast<std::size_t>(length - index + 1 - removed));
  s.resize(static_cast<std::size_t>(length - removed));
}

}  // namespace kelmora::text

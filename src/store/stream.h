// What the two kinds of stream have in common: the status they report and
// the operations the line reader and writer rely on.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>

namespace kelmora::store {

// The first failure of a stream. It stays until Reset; while it is not Ok,
// reads deliver zero bytes, writes, seeks and truncations do nothing, and
// position and size queries return -1.
enum class StreamStatus : int {
  Ok = 0,
  OsError = -1,      // an OS call failed; the detail is its error code
  OpenFailed = -2,   // the file could not be opened; no file is behind it
  PastEnd = -3,      // a read went past the end
  WriteFailed = -4,  // fewer bytes written than asked, or no memory for them
};

template <class S>
concept ByteStream = requires(S& stream, char* into, const char* from, std::size_t count,
                              std::int64_t position) {
  stream.Read(into, count);
  stream.Write(from, count);
  { stream.Position() } -> std::same_as<std::int64_t>;
  { stream.Size() } -> std::same_as<std::int64_t>;
  stream.Seek(position);
  { stream.status() } -> std::same_as<StreamStatus>;
  stream.Reset();
};

}  // namespace kelmora::store

#include "store/journal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "store/file_stream.h"

namespace kelmora::store {
namespace {

constexpr std::string_view kSuffix = ".kelmora-journal";
// Both layouts' magics are as long and differ only in their last byte.
constexpr std::string_view kMagic = "KELMJRN2";
constexpr std::string_view kFirstMagic = "KELMJRN1";
constexpr std::size_t kFirstHeaderSize = 24;

std::uint64_t Checksum(std::string_view bytes) {
  return XXH3_64bits(bytes.data(), bytes.size());
}

std::uint64_t FirstLayoutChecksum(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::size_t WholeBlocks(std::size_t size) {
  return (size + kJournalBlock - 1) / kJournalBlock * kJournalBlock;
}

void PutNumber(char* at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t GetNumber(const char* at) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(at[i]);
  return value;
}

platform::ErrorCode WriteAll(platform::FileHandle file, std::string_view bytes,
                             const FileOps& ops) {
  std::size_t written = 0;
  return ops.write(file, bytes.data(), bytes.size(), &written);
}

// The whole journal, or its first bytes when it cannot be read whole.
platform::ErrorCode ReadAll(const std::string& path, const FileOps& ops, std::string* bytes) {
  platform::FileHandle file = platform::kNoFile;
  if (platform::ErrorCode error =
          ops.open(path, platform::FileAccess::Read, platform::FileShare::Read, &file))
    return error;
  std::int64_t size = 0;
  platform::ErrorCode error = ops.size(file, &size);
  if (error == 0) {
    bytes->resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (error == 0 && done < bytes->size()) {
      std::size_t got = 0;
      error = ops.read(file, bytes->data() + done, bytes->size() - done, &got);
      if (got == 0) break;
      done += got;
    }
    bytes->resize(done);
  }
  ops.close(file);
  return error;
}

// Writes `bytes` over the file from its start, cuts it after them and
// returns once it is on disk.
platform::ErrorCode WriteBack(const std::string& file_path, std::string_view bytes,
                              const FileOps& ops) {
  FileStream file(file_path, kOpenReadWrite, 4096, ops);
  file.Overwrite(bytes);
  return file.status() == StreamStatus::Ok ? 0 : file.error_detail();
}

}  // namespace

std::string JournalPath(const std::string& file_path) {
  return file_path + std::string(kSuffix);
}

JournalImage::JournalImage(std::size_t size) : size_(size) {
  std::size_t length = kJournalBlock + WholeBlocks(size);
  // Not zeroed: the file is read over the original bytes, and only the
  // header and the padding need zeros.
  storage_ = std::make_unique_for_overwrite<char[]>(length + kJournalBlock - 1);
  auto address = reinterpret_cast<std::uintptr_t>(storage_.get());
  start_ = storage_.get() + (kJournalBlock - address % kJournalBlock) % kJournalBlock;
  std::memset(start_, 0, kJournalBlock);
  std::memset(start_ + kJournalBlock + size, 0, length - kJournalBlock - size);
}

std::string_view JournalImage::Seal() {
  std::memcpy(start_, kMagic.data(), kMagic.size());
  PutNumber(start_ + 8, size_);
  PutNumber(start_ + 16, Checksum(original()));
  return {start_, kJournalBlock + WholeBlocks(size_)};
}

platform::ErrorCode WriteJournal(const std::string& journal_path, JournalImage& image,
                                 const FileOps& ops) {
  platform::FileHandle file = platform::kNoFile;
  if (platform::ErrorCode error = ops.create(journal_path, &file)) return error;
  platform::ErrorCode error = WriteAll(file, image.Seal(), ops);
  if (error == 0) error = ops.flush(file);
  ops.close(file);
  if (error != 0) ops.remove(journal_path);
  return error;
}

Journal ReadJournal(const std::string& journal_path, const FileOps& ops) {
  if (platform::QueryPath(journal_path) == platform::PathKind::Missing) return {};
  std::string bytes;
  platform::ErrorCode error = ReadAll(journal_path, ops, &bytes);
  // A journal cut short may hold only part of the magic, or nothing; a file
  // that begins otherwise is someone else's. Until its last byte the magic
  // does not tell the layout.
  auto begins_like = [&bytes](std::string_view magic) {
    std::size_t part = std::min(bytes.size(), magic.size());
    return bytes.compare(0, part, magic, 0, part) == 0;
  };
  if (error != 0 || !(begins_like(kMagic) || begins_like(kFirstMagic)))
    return {JournalState::Foreign, {}};
  bool first_layout = bytes.compare(0, kFirstMagic.size(), kFirstMagic) == 0;
  std::size_t header_size = first_layout ? kFirstHeaderSize : kJournalBlock;
  if (bytes.size() < header_size) return {JournalState::Incomplete, {}};
  std::uint64_t size = GetNumber(bytes.data() + 8);
  std::size_t expected = first_layout ? header_size + size : header_size + WholeBlocks(size);
  if (size > bytes.size() || bytes.size() != expected) return {JournalState::Incomplete, {}};
  std::string_view original = std::string_view(bytes).substr(header_size, size);
  std::uint64_t checksum = first_layout ? FirstLayoutChecksum(original) : Checksum(original);
  if (checksum != GetNumber(bytes.data() + 16)) return {JournalState::Incomplete, {}};
  bytes.erase(0, header_size);
  bytes.resize(size);
  return {JournalState::Complete, std::move(bytes)};
}

Recovery RecoverFromJournal(const std::string& file_path, const FileOps& ops) {
  std::string journal_path = JournalPath(file_path);
  // Without the file there is nothing to put back; the journal stays for
  // whoever moved the file away.
  if (platform::QueryPath(file_path) != platform::PathKind::File) return {};
  Journal journal = ReadJournal(journal_path, ops);
  switch (journal.state) {
    case JournalState::Missing:
    case JournalState::Foreign: return {};
    case JournalState::Incomplete:
      ops.remove(journal_path);
      return {Recovery::Discarded, 0};
    case JournalState::Complete: break;
  }
  if (platform::ErrorCode error = WriteBack(file_path, journal.original, ops))
    return {Recovery::Failed, error};
  ops.remove(journal_path);
  return {Recovery::Restored, 0};
}

}  // namespace kelmora::store

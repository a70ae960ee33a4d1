#include "store/journal.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "store/file_stream.h"

namespace kelmora::store {
namespace {

constexpr std::string_view kSuffix = ".kelmora-journal";
constexpr std::string_view kMagic = "KELMJRN1";
constexpr std::size_t kHeaderSize = 24;

std::uint64_t Checksum(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
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
  file.Seek(0);
  file.Write(bytes.data(), bytes.size());
  file.Truncate();
  file.SyncToDisk();
  return file.status() == StreamStatus::Ok ? 0 : file.error_detail();
}

}  // namespace

std::string JournalPath(const std::string& file_path) {
  return file_path + std::string(kSuffix);
}

platform::ErrorCode WriteJournal(const std::string& journal_path, std::string_view original,
                                 const FileOps& ops) {
  platform::FileHandle file = platform::kNoFile;
  if (platform::ErrorCode error = ops.create(journal_path, &file)) return error;
  std::array<char, kHeaderSize> header;
  std::memcpy(header.data(), kMagic.data(), kMagic.size());
  PutNumber(header.data() + 8, original.size());
  PutNumber(header.data() + 16, Checksum(original));
  platform::ErrorCode error = WriteAll(file, {header.data(), header.size()}, ops);
  if (error == 0) error = WriteAll(file, original, ops);
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
  // that begins otherwise is someone else's.
  std::size_t magic_part = std::min(bytes.size(), kMagic.size());
  if (error != 0 || bytes.compare(0, magic_part, kMagic, 0, magic_part) != 0)
    return {JournalState::Foreign, {}};
  if (bytes.size() < kHeaderSize) return {JournalState::Incomplete, {}};
  std::uint64_t size = GetNumber(bytes.data() + 8);
  std::string_view original = std::string_view(bytes).substr(kHeaderSize);
  if (original.size() != size || Checksum(original) != GetNumber(bytes.data() + 16))
    return {JournalState::Incomplete, {}};
  bytes.erase(0, kHeaderSize);
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

#include "store/journal.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "store/file_stream.h"
#include "runtime/fault_report.h"

namespace kelmora::store {
namespace {

constexpr std::string_view kSuffix = ".kelmora-journal";
constexpr std::string_view kMagic = "KELMJRN3";
// Offsets of the header's numbers.
constexpr std::size_t kSizeAt = 8, kChecksumAt = 16, kVolumeAt = 24, kIndexAt = 32, kBornAt = 40,
                      kStampSizeAt = 48, kStampTimeAt = 56, kStateAt = 64, kHeaderSumAt = 72;
// Preparing: the original bytes are still being copied in, so the file
// has not been touched.
constexpr std::uint64_t kRunning = 0, kFinished = 1, kPreparing = 2;

std::uint64_t Checksum(std::string_view bytes) { return XXH3_64bits(bytes.data(), bytes.size()); }

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

void SealHeader(char* header) {
  PutNumber(header + kHeaderSumAt, Checksum({header, kHeaderSumAt}));
}

// Writes all of `bytes`, in as many calls as the system takes.
platform::ErrorCode WriteAll(platform::FileHandle file, std::string_view bytes,
                             const FileOps& ops) {
  while (!bytes.empty()) {
    std::size_t written = 0;
    if (platform::ErrorCode error = ops.write(file, bytes.data(), bytes.size(), &written))
      return error;
    if (written == 0) return platform::kNothingWritten;
    bytes.remove_prefix(std::min(written, bytes.size()));
  }
  return 0;
}

// Reads exactly `size` bytes; a file that ends first fails with kFileChanged.
platform::ErrorCode ReadExactly(platform::FileHandle file, char* into, std::size_t size,
                                const FileOps& ops) {
  for (std::size_t done = 0; done < size;) {
    std::size_t got = 0;
    if (platform::ErrorCode error = ops.read(file, into + done, size - done, &got)) return error;
    if (got == 0) return platform::kFileChanged;
    done += got;
  }
  return 0;
}

// Copies the `size` original bytes of `journal` over `file` from its start
// and cuts the file after them, without putting it on disk; allocates
// nothing.
platform::ErrorCode CopyOriginalOver(platform::FileHandle journal, std::uint64_t size,
                                     platform::FileHandle file, const FileOps& ops) {
  platform::ErrorCode error = ops.copy(journal, kJournalBlock, file, 0, size);
  if (error == 0) error = ops.seek(file, static_cast<std::int64_t>(size));
  if (error == 0) error = ops.truncate(file);
  return error;
}

// The checksum of the next `size` bytes of `file`, read in pieces.
platform::ErrorCode SumOf(platform::FileHandle file, std::uint64_t size, const FileOps& ops,
                          std::uint64_t* checksum) {
  XXH3_state_t state;
  XXH3_64bits_reset(&state);
  char piece[64 * 1024];
  for (std::uint64_t left = size; left > 0;) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof piece));
    if (platform::ErrorCode error = ReadExactly(file, piece, want, ops)) return error;
    XXH3_64bits_update(&state, piece, want);
    left -= want;
  }
  *checksum = XXH3_64bits_digest(&state);
  return 0;
}

}  // namespace

std::string JournalPath(const std::string& file_path) {
  std::size_t name_at = file_path.find_last_of(platform::PathSeparators()) + 1;
  std::size_t name_length = file_path.size() - name_at;
  if (name_length + kSuffix.size() <= platform::kMaxNameLength)
    return file_path + std::string(kSuffix);
  // "~", 16 hex digits of the whole name's hash, the suffix.
  char hash[18];
  std::snprintf(hash, sizeof hash, "~%016llx",
                static_cast<unsigned long long>(Checksum(file_path.substr(name_at))));
  std::size_t keep = platform::kMaxNameLength - kSuffix.size() - 17;
  return file_path.substr(0, name_at + keep) + hash + std::string(kSuffix);
}

namespace {

// Fills in `header` for `size` original bytes of checksum `checksum`.
void FillHeader(char* header, std::uint64_t size, std::uint64_t checksum,
                const platform::FileIdentity& identity, const platform::FileStamp& stamp,
                std::uint64_t state = kRunning) {
  std::memset(header, 0, kJournalBlock);
  std::memcpy(header, kMagic.data(), kMagic.size());
  PutNumber(header + kSizeAt, size);
  PutNumber(header + kChecksumAt, checksum);
  PutNumber(header + kVolumeAt, identity.volume);
  PutNumber(header + kIndexAt, identity.index);
  PutNumber(header + kBornAt, identity.born);
  PutNumber(header + kStampSizeAt, static_cast<std::uint64_t>(stamp.size));
  PutNumber(header + kStampTimeAt, static_cast<std::uint64_t>(stamp.modified));
  PutNumber(header + kStateAt, state);
  SealHeader(header);
}

// Reads the `size` bytes of `file` from its position on, for their
// checksum and whether they hold a CR, then writes the zero padding behind
// them.
platform::ErrorCode SumAndPad(platform::FileHandle file, std::uint64_t size, const FileOps& ops,
                              std::uint64_t* checksum, bool* holds_cr) {
  XXH3_state_t state;
  XXH3_64bits_reset(&state);
  std::string piece(std::size_t{1} << 20, '\0');
  *holds_cr = false;
  for (std::uint64_t left = size; left > 0;) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size()));
    if (platform::ErrorCode error = ReadExactly(file, piece.data(), want, ops)) return error;
    XXH3_64bits_update(&state, piece.data(), want);
    *holds_cr = *holds_cr || std::memchr(piece.data(), '\r', want) != nullptr;
    left -= want;
  }
  *checksum = XXH3_64bits_digest(&state);
  const std::size_t padding = WholeBlocks(static_cast<std::size_t>(size)) - size;
  std::memset(piece.data(), 0, padding);
  return WriteAll(file, {piece.data(), padding}, ops);
}

}  // namespace

JournalImage::JournalImage(std::size_t size) : size_(size) {
  std::size_t length = kJournalBlock + WholeBlocks(size);
  // Not zeroed: the file is read over the original bytes, and only the
  // header and the padding need zeros.
  storage_ = std::make_unique_for_overwrite<char[]>(length);
  std::memset(storage_.get(), 0, kJournalBlock);
  std::memset(storage_.get() + kJournalBlock + size, 0, length - kJournalBlock - size);
}

std::string_view JournalImage::Seal(const platform::FileIdentity& identity,
                                    const platform::FileStamp& stamp) {
  FillHeader(storage_.get(), size_, Checksum(original()), identity, stamp);
  return {storage_.get(), kJournalBlock + WholeBlocks(size_)};
}

JournalFile::~JournalFile() {
  if (made()) ops_.close(file_);
}

platform::ErrorCode JournalFile::Write(const platform::FileIdentity& identity,
                                       const platform::FileStamp& stamp) {
  platform::FileHandle file = platform::kNoFile;
  if (platform::ErrorCode error = ops_.create(path_, &file)) return error;
  std::string_view journal = image_->Seal(identity, stamp);
  std::memcpy(header_.data(), journal.data(), kJournalBlock);
  size_ = image_->original().size();
  return Publish(file, WriteAll(file, journal, ops_));
}

platform::ErrorCode JournalFile::WriteCopyOf(platform::FileHandle file, std::uint64_t size,
                                             const platform::FileIdentity& identity,
                                             const platform::FileStamp& stamp, bool* holds_cr) {
  platform::FileHandle journal = platform::kNoFile;
  if (platform::ErrorCode error = ops_.create(path_, &journal)) return error;
  // Where the journal has its name from the start, a run killed while
  // copying leaves it behind: its header says first that it is not ready.
  FillHeader(header_.data(), size, 0, identity, stamp, kPreparing);
  std::uint64_t checksum = 0;
  platform::ErrorCode error = WriteAll(journal, {header_.data(), kJournalBlock}, ops_);
  if (error == 0) error = ops_.copy(file, 0, journal, kJournalBlock, size);
  if (error == 0) error = ops_.seek(journal, kJournalBlock);
  if (error == 0) error = SumAndPad(journal, size, ops_, &checksum, holds_cr);
  if (error == 0) {
    FillHeader(header_.data(), size, checksum, identity, stamp);
    size_ = size;
    error = ops_.seek(journal, 0);
  }
  if (error == 0) error = WriteAll(journal, {header_.data(), kJournalBlock}, ops_);
  return Publish(journal, error);
}

// Unless writing the new journal `file` failed for `error`, puts it on
// disk under its name; on failure nothing is left behind.
platform::ErrorCode JournalFile::Publish(platform::FileHandle file, platform::ErrorCode error) {
  if (error == 0) error = ops_.flush(file);
  if (error == 0) error = ops_.publish(file, path_);
  if (error != 0) {
    ops_.abandon(file, path_);
    return error;
  }
  file_ = file;
  return 0;
}

PieceReader JournalFile::Reader() {
  platform::ErrorCode error = ops_.seek(file_, kJournalBlock);
  return [this, error, left = size_](char* into, std::size_t room,
                                     std::size_t* got) mutable -> platform::ErrorCode {
    *got = 0;
    if (error != 0 || left == 0) return error;
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, room));
    error = ops_.read(file_, into, want, got);
    // The journal is padded past the original bytes: it never ends early.
    if (error == 0 && *got == 0) error = platform::kFileChanged;
    left -= *got;
    return error;
  };
}

platform::ErrorCode JournalFile::PutBack(platform::FileHandle file) {
  return CopyOriginalOver(file_, size_, file, ops_);
}

JournalFile::End JournalFile::Remove() {
  if (!made()) return {};
  End end;
  end.error = RemoveDurably(path_, ops_);
  if (end.error != 0) {
    // Kept, or maybe back after a power cut: the header says the rewrite
    // ended, through the handle, which reaches the file whatever its name.
    PutNumber(header_.data() + kStateAt, kFinished);
    SealHeader(header_.data());
    platform::ErrorCode marking = ops_.seek(file_, 0);
    if (marking == 0) marking = WriteAll(file_, {header_.data(), kJournalBlock}, ops_);
    if (marking == 0) marking = ops_.flush(file_);
    end.marked = marking == 0;
  }
  ops_.close(file_);
  file_ = platform::kNoFile;
  return end;
}

namespace {

Journal Judged(Journal::State state, Journal::Why why = Journal::Unknown,
               platform::ErrorCode error = 0) {
  Journal journal;
  journal.state = state;
  journal.why = why;
  journal.error = error;
  return journal;
}

// What the journal's own facts say: only the program's own, for this file's
// owner or this user, writable by no one else, passes.
std::optional<Journal> JudgeFacts(platform::FileHandle file, const platform::FileFacts& of,
                                  const FileOps& ops) {
  platform::FileFacts facts;
  if (platform::ErrorCode error = ops.facts(file, &facts))
    return Judged(Journal::Unreadable, Journal::Unknown, error);
  if (!facts.regular) return Judged(Journal::NotTrusted, Journal::NotRegular);
  if (facts.links != 1) return Judged(Journal::NotTrusted, Journal::ManyLinks);
  bool owned =
      !facts.owner.empty() && (facts.owner == of.owner || facts.owner == ops.running_user());
  if (!owned || facts.others_may_write) return Judged(Journal::NotTrusted, Journal::Stranger);
  return std::nullopt;
}

// What its header says, `length` being the journal's length. Complete
// means only that the length fits: the original bytes are yet to be read.
Journal JudgeHeader(const char* header, std::int64_t length, const platform::FileFacts& of) {
  if (std::string_view(header, kMagic.size()) != kMagic)
    return Judged(Journal::NotTrusted, Journal::NotAJournal);
  if (Checksum({header, kHeaderSumAt}) != GetNumber(header + kHeaderSumAt))
    return Judged(Journal::Damaged);
  platform::FileIdentity identity{GetNumber(header + kVolumeAt), GetNumber(header + kIndexAt),
                                  GetNumber(header + kBornAt)};
  if (identity != of.identity) return Judged(Journal::NotTrusted, Journal::OtherFile);
  Journal journal;
  journal.header_intact = true;
  journal.size = GetNumber(header + kSizeAt);
  journal.checksum = GetNumber(header + kChecksumAt);
  std::uint64_t room = static_cast<std::uint64_t>(length) - kJournalBlock;
  if (GetNumber(header + kStateAt) == kFinished) {
    journal.state = Journal::Finished;
  } else if (GetNumber(header + kStateAt) == kPreparing) {
    journal.state = Journal::Unfinished;
  } else if (journal.size > room || WholeBlocks(journal.size) > room) {
    journal.state = Journal::Unfinished;
  } else {
    journal.state = WholeBlocks(journal.size) < room ? Journal::Damaged : Journal::Complete;
  }
  return journal;
}

// The journal open as `file`, judged as a whole; its bytes are read only
// once its facts and header allow.
Journal Judge(platform::FileHandle file, const platform::FileFacts& of, const FileOps& ops) {
  if (std::optional<Journal> judged = JudgeFacts(file, of, ops)) return *judged;
  std::int64_t length = 0;
  if (platform::ErrorCode error = ops.size(file, &length))
    return Judged(Journal::Unreadable, Journal::Unknown, error);
  if (length < static_cast<std::int64_t>(kJournalBlock))
    return Judged(Journal::NotTrusted, Journal::NotAJournal);
  char header[kJournalBlock];
  if (platform::ErrorCode error = ReadExactly(file, header, kJournalBlock, ops))
    return Judged(Journal::Unreadable, Journal::Unknown, error);
  Journal journal = JudgeHeader(header, length, of);
  if (journal.state != Journal::Complete) return journal;
  std::uint64_t checksum = 0;
  if (platform::ErrorCode error = SumOf(file, journal.size, ops, &checksum))
    return Judged(Journal::Unreadable, Journal::Unknown, error);
  if (checksum != journal.checksum) journal.state = Journal::Damaged;
  return journal;
}

// Opens the journal at `path` without following a link; when it cannot,
// what that says of it.
std::optional<Journal> OpenJournal(const std::string& path, const FileOps& ops,
                                   platform::FileHandle* handle) {
  platform::ErrorCode error = ops.open_unfollowed(path, handle);
  if (error == 0) return std::nullopt;
  if (platform::IsMissing(error)) return Journal{};
  if (error == platform::kNotRegularFile) return Judged(Journal::NotTrusted, Journal::NotRegular);
  return Judged(Journal::NotTrusted, Journal::Unopened, error);
}

// Copies the `size` original bytes of the open journal over the file at
// `file_path` from its start, cuts the file after them and returns once it
// is on disk.
platform::ErrorCode CopyBack(platform::FileHandle journal, std::uint64_t size,
                             const std::string& file_path, const FileOps& ops) {
  FileStream file(file_path, kOpenReadWrite, 0, ops);
  if (file.status() != StreamStatus::Ok) return file.error_detail();
  if (platform::ErrorCode error = CopyOriginalOver(journal, size, file.handle(), ops)) return error;
  file.SyncToDisk();
  return file.status() == StreamStatus::Ok ? 0 : file.error_detail();
}

}  // namespace

Journal ReadJournal(const std::string& journal_path, const platform::FileFacts& file,
                    const FileOps& ops) {
  platform::FileHandle handle = platform::kNoFile;
  if (std::optional<Journal> unopened = OpenJournal(journal_path, ops, &handle)) return *unopened;
  Journal journal = Judge(handle, file, ops);
  ops.close(handle);
  return journal;
}

platform::ErrorCode PutBackJournal(const std::string& journal_path, const Journal& judged,
                                   const platform::FileFacts& of, const std::string& file_path,
                                   const FileOps& ops) {
  platform::FileHandle journal = platform::kNoFile;
  if (std::optional<Journal> unopened = OpenJournal(journal_path, ops, &journal))
    return unopened->error != 0 ? unopened->error : platform::kFileChanged;
  Journal now = Judge(journal, of, ops);
  platform::ErrorCode error = now.error;
  if (error == 0 && (now.state != Journal::Complete || now.size != judged.size ||
                     now.checksum != judged.checksum))
    error = platform::kFileChanged;
  if (error == 0) error = CopyBack(journal, judged.size, file_path, ops);
  ops.close(journal);
  return error;
}

platform::ErrorCode RemoveDurably(const std::string& path, const FileOps& ops) {
  if (platform::ErrorCode error = ops.remove(path)) return error;
  return ops.flush_folder(path);
}

bool HoldsOriginal(const std::string& file_path, const Journal& journal, const FileOps& ops) {
  if (!journal.header_intact) return false;
  FileStream file(file_path, kOpenRead, 0, ops);
  if (file.Size() != static_cast<std::int64_t>(journal.size)) return false;
  std::uint64_t checksum = 0;
  return SumOf(file.handle(), journal.size, ops, &checksum) == 0 && checksum == journal.checksum;
}

}  // namespace kelmora::store

// File calls that pass through to others (the OS's, or MemoryFiles'),
// except the one a test chooses to fail: the n-th call of a kind fails once
// (or, when persistent, it and every later call of that kind) with a chosen
// error code. Every call that changes a file or asks for it to be on disk
// is logged, in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/file_ops.h"
#include "store/journal.h"

namespace kelmora::store {

struct FaultPlan {
  // 1-based number of the call that fails; 0 for none.
  int open = 0, read = 0, write = 0, seek = 0, size = 0, truncate = 0;
  int create = 0, flush = 0, remove = 0, stamp = 0;
  int publish = 0, folder = 0, facts = 0, unfollowed = 0, lock = 0, mark = 0, identify = 0;
  int copy = 0;
  // Bytes the failing write or copy still writes before it fails.
  std::size_t written_before_failure = 0;
  platform::ErrorCode error = 5;
  bool persistent = false;
};

class FailingFileOps {
 public:
  explicit FailingFileOps(FaultPlan plan = {}, const FileOps& under = SystemFileOps())
      : plan_(plan) {
    const FileOps& os = under;
    ops_.open = [this, os](const std::string& path, platform::FileAccess access,
                           platform::FileShare share, platform::FileHandle* out) {
      *out = platform::kNoFile;
      if (Fails(opens, plan_.open)) return plan_.error;
      platform::ErrorCode error = os.open(path, access, share, out);
      if (error == 0) names_[*out] = NameOf(path);
      return error;
    };
    ops_.read = [this, os](platform::FileHandle file, void* into, std::size_t size,
                           std::size_t* got) {
      *got = 0;
      return Fails(reads, plan_.read) ? plan_.error : os.read(file, into, size, got);
    };
    ops_.write = [this, os](platform::FileHandle file, const void* from, std::size_t size,
                            std::size_t* written) {
      Log("write", file);
      if (!Fails(writes, plan_.write)) return os.write(file, from, size, written);
      std::size_t part = plan_.written_before_failure < size ? plan_.written_before_failure : 0;
      os.write(file, from, part, written);
      return plan_.error;
    };
    ops_.seek = [this, os](platform::FileHandle file, std::int64_t position) {
      return Fails(seeks, plan_.seek) ? plan_.error : os.seek(file, position);
    };
    ops_.size = [this, os](platform::FileHandle file, std::int64_t* size) {
      return Fails(sizes, plan_.size) ? plan_.error : os.size(file, size);
    };
    ops_.truncate = [this, os](platform::FileHandle file) {
      Log("truncate", file);
      return Fails(truncates, plan_.truncate) ? plan_.error : os.truncate(file);
    };
    ops_.close = [this, os](platform::FileHandle file) {
      ++closes;
      os.close(file);
    };
    ops_.create = [this, os](const std::string& path, platform::FileHandle* out) {
      *out = platform::kNoFile;
      calls.push_back("create " + NameOf(path));
      if (Fails(creates, plan_.create)) return plan_.error;
      platform::ErrorCode error = os.create(path, out);
      if (error == 0) names_[*out] = NameOf(path);
      return error;
    };
    ops_.publish = [this, os](platform::FileHandle file, const std::string& path) {
      Log("publish", file);
      return Fails(publishes, plan_.publish) ? plan_.error : os.publish(file, path);
    };
    ops_.abandon = [this, os](platform::FileHandle file, const std::string& path) {
      Log("abandon", file);
      os.abandon(file, path);
    };
    ops_.flush = [this, os](platform::FileHandle file) {
      Log("flush", file);
      return Fails(flushes, plan_.flush) ? plan_.error : os.flush(file);
    };
    ops_.remove = [this, os](const std::string& path) {
      calls.push_back("remove " + NameOf(path));
      return Fails(removes, plan_.remove) ? plan_.error : os.remove(path);
    };
    ops_.stamp = [this, os](platform::FileHandle file, platform::FileStamp* stamp) {
      return Fails(stamps, plan_.stamp) ? plan_.error : os.stamp(file, stamp);
    };
    ops_.start_flush = os.start_flush;
    ops_.open_unfollowed = [this, os](const std::string& path, platform::FileHandle* out) {
      *out = platform::kNoFile;
      return Fails(unfollowed_opens, plan_.unfollowed) ? plan_.error
                                                       : os.open_unfollowed(path, out);
    };
    ops_.facts = [this, os](platform::FileHandle file, platform::FileFacts* facts) {
      return Fails(facts_asked, plan_.facts) ? plan_.error : os.facts(file, facts);
    };
    ops_.running_user = [this, os] {
      return running_user.empty() ? os.running_user() : running_user;
    };
    ops_.try_lock = [this, os](platform::FileHandle file) {
      return Fails(locks, plan_.lock) ? plan_.error : os.try_lock(file);
    };
    ops_.flush_folder = [this, os](const std::string& path) {
      calls.push_back("flush folder");
      return Fails(folder_flushes, plan_.folder) ? plan_.error : os.flush_folder(path);
    };
    ops_.read_mark = os.read_mark;
    ops_.write_mark = [this, os](platform::FileHandle file, const std::string& mark) {
      Log("mark", file);
      return Fails(marks, plan_.mark) ? plan_.error : os.write_mark(file, mark);
    };
    ops_.clear_mark = [this, os](platform::FileHandle file) {
      Log("unmark", file);
      return os.clear_mark(file);
    };
    ops_.query = os.query;  // reports no error, so it never fails
    ops_.identify = [this, os](const std::string& path, platform::FileId* id) {
      return Fails(identifies, plan_.identify) ? plan_.error : os.identify(path, id);
    };
    ops_.copy = [this, os](platform::FileHandle from, std::int64_t from_at, platform::FileHandle to,
                           std::int64_t to_at, std::uint64_t size) {
      Log("copy", to);
      if (!Fails(copies, plan_.copy)) return os.copy(from, from_at, to, to_at, size);
      std::size_t part = plan_.written_before_failure < size ? plan_.written_before_failure : 0;
      if (part > 0) os.copy(from, from_at, to, to_at, part);
      return plan_.error;
    };
  }
  FailingFileOps(const FailingFileOps&) = delete;
  FailingFileOps& operator=(const FailingFileOps&) = delete;

  const FileOps& ops() const { return ops_; }

  // Calls made so far, the failed one included.
  int opens = 0, reads = 0, writes = 0, seeks = 0, sizes = 0, truncates = 0, closes = 0;
  int creates = 0, flushes = 0, removes = 0, stamps = 0;
  int publishes = 0, folder_flushes = 0, facts_asked = 0, unfollowed_opens = 0, locks = 0;
  int marks = 0, identifies = 0, copies = 0;
  // The calls that change files or put them on disk, as "<call> <file name>".
  std::vector<std::string> calls;
  // Who the running user is said to be; the OS's answer when empty.
  std::string running_user;

 private:
  bool Fails(int& count, int failing) const {
    ++count;
    return failing != 0 && (count == failing || (plan_.persistent && count > failing));
  }

  static std::string NameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
  }

  void Log(const char* call, platform::FileHandle file) {
    calls.push_back(std::string(call) + " " + names_[file]);
  }

  FaultPlan plan_;
  FileOps ops_;
  std::map<platform::FileHandle, std::string> names_;
};

// The exact bytes of a file.
inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The facts of the file at `path`, as the OS tells them.
inline platform::FileFacts FactsOf(const std::string& path) {
  const FileOps& os = SystemFileOps();
  platform::FileFacts facts;
  platform::FileHandle file = platform::kNoFile;
  if (os.open(path, platform::FileAccess::Read, platform::FileShare::ReadWrite, &file) == 0) {
    os.facts(file, &facts);
    os.close(file);
  }
  return facts;
}

// What lies at the journal's place of the file at `file_path`.
inline Journal JournalBeside(const std::string& file_path) {
  return ReadJournal(JournalPath(file_path), FactsOf(file_path), SystemFileOps());
}

// The original bytes held by a complete journal beside the file at
// `file_path`; empty when there is none.
inline std::string OriginalInJournal(const std::string& file_path) {
  Journal journal = JournalBeside(file_path);
  if (journal.state != Journal::Complete) return {};
  return ReadBytes(JournalPath(file_path)).substr(kJournalBlock, journal.size);
}

}  // namespace kelmora::store

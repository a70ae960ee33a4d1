// A file of the fuzzer's bytes for the readers that take a path. One file
// per process, rewritten for every input, removed at exit. It lives in
// memory (/dev/shm) where there is one: a disk makes the targets crawl.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace kelmora::fuzz {

class ScratchFile {
 public:
  explicit ScratchFile(std::string_view kind)
      : path_(Folder() / ("kelmora-fuzz-" + std::to_string(getpid()) + "-" + std::string(kind))) {}
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Replaces the file's bytes; returns its path.
  std::string Hold(std::string_view bytes) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path_.string();
  }

 private:
  static std::filesystem::path Folder() {
    std::error_code error;
    if (std::filesystem::is_directory("/dev/shm", error)) return "/dev/shm";
    return std::filesystem::temp_directory_path();
  }

  std::filesystem::path path_;
};

}  // namespace kelmora::fuzz

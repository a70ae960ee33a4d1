// Reading a text file line by line into short strings. A line ends at CR,
// and one LF right after the CR belongs to that line end; a LF on its own
// ends a line too under the Linux build's text rule, and is an ordinary
// character under the Windows one. The byte Ctrl+Z (0x1A) ends the text.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "platform/platform.h"
#include "store/file_ops.h"
#include "text/bounded_string.h"
#include "text/text_rules.h"

namespace kelmora::store {

class TextFileReader {
 public:
  explicit TextFileReader(
      const FileOps& ops = SystemFileOps(),
      bool lone_line_feed_ends_line = text::kNativeText.lone_line_feed_ends_line)
      : ops_(&ops), lone_line_feed_ends_line_(lone_line_feed_ends_line) {}
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;
  ~TextFileReader() { Close(); }

  // Opens an existing file for reading; others may read and write it
  // meanwhile. Returns the OS error code (0 on success), also kept in error().
  platform::ErrorCode Open(const std::string& path);

  // Reads the next line as a short string keeps it (see ShortLine). At the
  // end of the text, after a failure, or when no file is open, the line is
  // empty. Returns error().
  platform::ErrorCode ReadLine(text::ShortString* line);

  // True at the physical end of the file, when the next byte is Ctrl+Z,
  // after a failure, and when no file is open.
  bool AtEnd();

  // The first failure of Open or of a read, 0 when there was none. A failure
  // is kept until the file is opened again; reads after it do nothing.
  platform::ErrorCode error() const { return error_; }

  void Close();

 private:
  // Makes at least one unread byte available; false at the end or on error.
  bool Fill();

  const FileOps* ops_;
  bool lone_line_feed_ends_line_;
  platform::FileHandle file_ = platform::kNoFile;
  platform::ErrorCode error_ = 0;
  std::array<char, 4096> buffer_{};
  std::size_t next_ = 0;
  std::size_t end_ = 0;
};

}  // namespace kelmora::store

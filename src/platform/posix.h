// What the files of the Linux half of the platform layer share.
#pragma once

#include <cerrno>

#include "platform/platform.h"

namespace kelmora::platform {

inline ErrorCode LastError() { return static_cast<ErrorCode>(errno); }

inline int ToFd(FileHandle file) { return static_cast<int>(file); }

// The file of the test clock, in a test build whose environment names one.
std::optional<std::string> TestClockPath();

}  // namespace kelmora::platform

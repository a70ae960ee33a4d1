// What the files of the Linux half of the platform layer share.
#pragma once

#include <cerrno>

#include "platform/platform.h"

namespace kelmora::platform {

inline ErrorCode LastError() { return static_cast<ErrorCode>(errno); }

inline int ToFd(FileHandle file) { return static_cast<int>(file); }

}  // namespace kelmora::platform

// What the files of the Win32 half of the platform layer share.
#pragma once

#include <windows.h>
// <excpt.h> makes exception_code a macro, which would rename Fault's field.
#undef exception_code

#include <algorithm>
#include <cstddef>

#include "platform/platform.h"

namespace kelmora::platform {

inline HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

inline ErrorCode LastError() { return static_cast<ErrorCode>(::GetLastError()); }

// ReadFile and WriteFile take at most a DWORD of bytes at a time.
inline DWORD ChunkSize(std::size_t size) {
  return static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000));
}

// True once a fault is being reported: from then on the process ends
// without the system's shutdown work, which needs stack the fault may have
// used up.
bool FaultBeingReported();

}  // namespace kelmora::platform

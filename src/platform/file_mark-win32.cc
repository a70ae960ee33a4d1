// The mark on a file on Windows: none is kept.
#include "platform/platform.h"

#include "platform/win32.h"

namespace kelmora::platform {

// Alternate data streams could hold a mark; the program keeps none here.
ErrorCode ReadFileMark(FileHandle, std::string*) { return kMarksUnsupported; }
ErrorCode WriteFileMark(FileHandle, const std::string&) { return kMarksUnsupported; }
ErrorCode ClearFileMark(FileHandle) { return kMarksUnsupported; }

}  // namespace kelmora::platform

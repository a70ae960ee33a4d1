// What tells whether a file on Windows may be trusted: its kind, links,
// identity, owner and who else may write to it.
#include "platform/platform.h"

#include "platform/win32.h"

#include <aclapi.h>
#include <sddl.h>

namespace kelmora::platform {

namespace {

bool IsSid(PSID sid, const char* text) {
  PSID other = nullptr;
  if (!::ConvertStringSidToSidA(text, &other)) return false;
  bool same = ::EqualSid(sid, other);
  ::LocalFree(other);
  return same;
}

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(sid, &text)) return {};
  std::string result = text;
  ::LocalFree(text);
  return result;
}

// Whether an entry of `dacl` lets a user other than `owner`, the running
// user, the system or the administrators write to the file. No DACL at
// all lets everyone.
bool OthersMayWrite(PACL dacl, PSID owner) {
  if (dacl == nullptr) return true;
  constexpr DWORD kWriting = FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_WRITE | GENERIC_ALL |
                             WRITE_DAC | WRITE_OWNER | DELETE;
  std::string user = RunningUser();
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!::GetAce(dacl, i, reinterpret_cast<void**>(&header))) return true;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    if ((ace->Mask & kWriting) == 0) continue;
    PSID sid = &ace->SidStart;
    if ((owner != nullptr && ::EqualSid(sid, owner)) || SidText(sid) == user ||
        IsSid(sid, "S-1-5-18") || IsSid(sid, "S-1-5-32-544") || IsSid(sid, "S-1-3-4"))
      continue;
    return true;
  }
  return false;
}

}  // namespace

ErrorCode FactsOfFile(FileHandle file, FileFacts* facts) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(ToHandle(file), &info)) return LastError();
  facts->regular =
      ::GetFileType(ToHandle(file)) == FILE_TYPE_DISK &&
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
  facts->links = info.nNumberOfLinks;
  // NTFS's file ID carries a sequence number that changes when the number
  // is given to a new file, so no birth time is needed (and Wine reports a
  // creation time that moves with each write).
  facts->identity = {info.dwVolumeSerialNumber,
                     (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                     0};
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = ::GetSecurityInfo(ToHandle(file), SE_FILE_OBJECT,
                                  OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                  nullptr, &dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return error;
  facts->owner = owner != nullptr ? SidText(owner) : std::string();
  facts->others_may_write = OthersMayWrite(dacl, owner);
  ::LocalFree(descriptor);
  return 0;
}

// The running user's SID as text ("S-1-5-21-..."); empty when unknown.
std::string RunningUser() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  char buffer[256];
  DWORD size = 0;
  std::string sid;
  if (::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
    char* text = nullptr;
    if (::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
      sid = text;
      ::LocalFree(text);
    }
  }
  ::CloseHandle(token);
  return sid;
}

ErrorCode OpenWithoutFollowing(const std::string& path, FileHandle* out) {
  *out = kNoFile;
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  *out = reinterpret_cast<FileHandle>(handle);
  return 0;
}

}  // namespace kelmora::platform

#include "files.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The path in UTF-16, for the wide calls: the runtime's own take the ANSI code page.
bool wide_path(const char* path, wchar_t (&wide)[MAX_PATH * 4]) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, MAX_PATH * 4) > 0;
}

}  // namespace

FILE* create_file(const char* path) {
  wchar_t wide[MAX_PATH * 4];
  if (!wide_path(path, wide)) {
    errno = EINVAL;
    return nullptr;
  }
  return _wfopen(wide, L"wb");
}

bool replace_file(const char* from, const char* to) {
  wchar_t wide_from[MAX_PATH * 4], wide_to[MAX_PATH * 4];
  if (!wide_path(from, wide_from) || !wide_path(to, wide_to)) {
    errno = EINVAL;
    return false;
  }
  // rename() refuses a target that is there; this replaces it.
  if (MoveFileExW(wide_from, wide_to, MOVEFILE_REPLACE_EXISTING) != 0) return true;
  errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return false;
}

void remove_file(const char* path) {
  wchar_t wide[MAX_PATH * 4];
  if (wide_path(path, wide)) _wremove(wide);
}

namespace {

// A file's volume and 128-bit index, which name it whatever path leads to it. Under Wine
// a redirected standard stream answers only FileIdInfo, with volume 0; before Windows 8
// only GetFileInformationByHandle answers, with a 64-bit index.
bool identity_of(HANDLE handle, FILE_ID_INFO* identity) {
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) return false;
  if (GetFileInformationByHandleEx(handle, FileIdInfo, identity, sizeof *identity)) return true;
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information)) return false;
  *identity = FILE_ID_INFO{};
  identity->VolumeSerialNumber = information.dwVolumeSerialNumber;
  const ULONGLONG index =
      static_cast<ULONGLONG>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
  std::memcpy(identity->FileId.Identifier, &index, sizeof index);
  return true;
}

}  // namespace

bool is_file_of(const char* path, FILE* stream) {
  wchar_t wide[MAX_PATH * 4];
  if (!wide_path(path, wide)) return false;
  // No access asked: only the identity is read, and any sharing is allowed.
  const HANDLE named = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  FILE_ID_INFO a = {}, b = {};
  const bool known = identity_of(named, &a) &&
                     identity_of(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &b);
  if (named != INVALID_HANDLE_VALUE) CloseHandle(named);
  // A volume of serial number 0 is one Wine did not say: the index alone decides.
  const bool same_volume = a.VolumeSerialNumber == 0 || b.VolumeSerialNumber == 0 ||
                           a.VolumeSerialNumber == b.VolumeSerialNumber;
  return known && same_volume &&
         std::memcmp(a.FileId.Identifier, b.FileId.Identifier, sizeof a.FileId.Identifier) == 0;
}

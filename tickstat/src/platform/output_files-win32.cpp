#include "output_files.h"

#include <fcntl.h>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <cwchar>

namespace {

HANDLE handle_of(FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

void set_errno_from_last_error() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_DISK_FULL:
      errno = ENOSPC;
      break;
    default:
      errno = EINVAL;
  }
}

// A path past MAX_PATH works only as a full path behind \\?\, where Windows takes it as it is.
const wchar_t* long_path_of(const wchar_t* path, wchar_t* full, DWORD room) {
  if (std::wcslen(path) < MAX_PATH - 12) return path;
  std::wcscpy(full, L"\\\\?\\");
  const DWORD length = GetFullPathNameW(path, room - 8, full + 4, nullptr);
  if (length == 0 || length >= room - 8) return path;
  if (full[4] == L'\\' && full[5] == L'\\') {  // \\server\share becomes \\?\UNC\server\share
    std::wmemmove(full + 8, full + 6, length - 1);
    std::wmemcpy(full + 4, L"UNC\\", 4);
  }
  return full;
}

}  // namespace

FILE* open_output_file(const char* path) {
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  static wchar_t wide[32768], full[32768];
  if (size <= 0 || size > 32767 ||
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, size) <= 0) {
    errno = ENOENT;
    return nullptr;
  }
  const HANDLE file = CreateFileW(long_path_of(wide, full, 32768), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    set_errno_from_last_error();
    return nullptr;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
  FILE* stream = descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
  if (stream == nullptr) {
    if (descriptor < 0) CloseHandle(file);
    if (descriptor >= 0) _close(descriptor);
    errno = EINVAL;
  }
  return stream;
}

namespace {

// The volume serial number and file index; false for pipes, devices and the unknown.
bool identity_of(FILE* stream, FILE_ID_INFO* id) {
  const HANDLE handle = handle_of(stream);
  if (GetFileType(handle) != FILE_TYPE_DISK) return false;
  if (GetFileInformationByHandleEx(handle, FileIdInfo, id, sizeof *id)) return true;
  // Before Windows 8, and on volumes that know no 128-bit index.
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return false;
  *id = FILE_ID_INFO{};
  id->VolumeSerialNumber = info.dwVolumeSerialNumber;
  const ULONGLONG index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  std::memcpy(id->FileId.Identifier, &index, sizeof index);
  return true;
}

}  // namespace

// Under Wine, a redirected standard input answers only GetFileInformationByHandleEx, and
// with volume serial number 0: then the file index alone decides, erring towards refusal.
bool same_file(FILE* a, FILE* b) {
  FILE_ID_INFO x, y;
  if (!identity_of(a, &x) || !identity_of(b, &y)) return false;
  const bool volume_known = x.VolumeSerialNumber != 0 && y.VolumeSerialNumber != 0;
  return (!volume_known || x.VolumeSerialNumber == y.VolumeSerialNumber) &&
         std::memcmp(x.FileId.Identifier, y.FileId.Identifier, sizeof x.FileId.Identifier) == 0;
}

bool empty_file(FILE* file) {
  const HANDLE handle = handle_of(file);
  if (GetFileType(handle) != FILE_TYPE_DISK) return true;
  if (SetEndOfFile(handle)) return true;  // just opened, so at its start
  set_errno_from_last_error();
  return false;
}

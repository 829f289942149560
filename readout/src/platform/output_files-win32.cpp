#include "output_files.h"

#include <fcntl.h>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
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

// Paths as UTF-16, one or two at a time, kept off the stack.
wchar_t path_wide[32768], path_full[32768], target_wide[32768], target_full[32768];

// The path as UTF-16, full behind \\?\ where it is long; null with errno set.
const wchar_t* wide_path(const char* path, wchar_t (&wide)[32768], wchar_t (&full)[32768]) {
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (size <= 0 || size > 32767 ||
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, size) <= 0) {
    errno = ENOENT;
    return nullptr;
  }
  return long_path_of(wide, full, 32768);
}

FILE* stream_of(HANDLE file) {
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

// A hash of the handle's final path (FNV-1a), or 0 where Windows does not give it.
uint64_t final_path_hash(HANDLE handle) {
  const DWORD length = GetFinalPathNameByHandleW(handle, path_wide, 32768, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= 32768) return 0;
  uint64_t hash = 14695981039346656037ULL;
  for (DWORD i = 0; i < length; i++) hash = (hash ^ path_wide[i]) * 1099511628211ULL;
  return hash;
}

// The volume serial number and file index; false for pipes, devices and the unknown.
bool identity_of(HANDLE handle, FILE_ID_INFO* id) {
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

FileIdentity identify(FILE* stream) {
  FileIdentity identity = {};
  const intptr_t raw = _get_osfhandle(_fileno(stream));
  if (raw == -1 || raw == -2 || raw == 0) {
    identity.closed = true;
    return identity;
  }
  FILE_ID_INFO id;
  const HANDLE handle = reinterpret_cast<HANDLE>(raw);
  if (!identity_of(handle, &id)) return identity;
  identity.on_disk = true;
  identity.volume = id.VolumeSerialNumber;
  std::memcpy(identity.index, id.FileId.Identifier, sizeof identity.index);
  identity.path = final_path_hash(handle);
  FILE_BASIC_INFO basic;
  FILE_STANDARD_INFO standard;
  if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
      GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
    identity.written = basic.LastWriteTime.QuadPart;
    identity.size = standard.EndOfFile.QuadPart;
  }
  return identity;
}

// Under Wine, a redirected standard stream, and a file on some file systems (tmpfs),
// give volume serial number 0, and the file index alone would take two files on two
// volumes for one. Their final paths tell them apart where Wine gives both (never for a
// redirected stream); else a file taken later that is older or smaller than the one
// taken earlier is another file. Where neither tells, they are taken for one.
bool same_file(const FileIdentity& later, const FileIdentity& earlier) {
  if (!later.on_disk || !earlier.on_disk ||
      std::memcmp(later.index, earlier.index, sizeof later.index) != 0) {
    return false;
  }
  if (later.volume != 0 && earlier.volume != 0) return later.volume == earlier.volume;
  if (later.path != 0 && earlier.path != 0) return later.path == earlier.path;
  return later.written >= earlier.written && later.size >= earlier.size;
}

// A pipe's file index says nothing: no pipe is taken for another.
bool same_pipe(const FileIdentity&, const FileIdentity&) { return false; }

void keep_standard_streams_open() {
  for (int standard = 0; standard <= 2; standard++) {
    const intptr_t raw = _get_osfhandle(standard);
    if (raw != -1 && raw != -2 && raw != 0) continue;
    const int null = _open("NUL", standard == 0 ? _O_RDONLY : _O_WRONLY);
    if (null >= 0 && null != standard) {
      _dup2(null, standard);
      _close(null);
    }
  }
}

FILE* open_output_file(const char* path, bool* created) {
  *created = false;
  const wchar_t* name = wide_path(path, path_wide, path_full);
  if (name == nullptr) return nullptr;
  const HANDLE file =
      CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  *created = file != INVALID_HANDLE_VALUE && GetLastError() != ERROR_ALREADY_EXISTS;
  return stream_of(file);
}

bool empty_file(FILE* file) {
  const HANDLE handle = handle_of(file);
  if (GetFileType(handle) != FILE_TYPE_DISK) return true;
  if (SetEndOfFile(handle)) return true;  // just opened, so at its start
  set_errno_from_last_error();
  return false;
}

bool cut_file(FILE* file, int64_t size) {
  const HANDLE handle = handle_of(file);
  LARGE_INTEGER at = {};
  at.QuadPart = size;
  if (SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) && SetEndOfFile(handle)) return true;
  set_errno_from_last_error();
  return false;
}

bool remove_file(const char* path) {
  const wchar_t* name = wide_path(path, path_wide, path_full);
  if (name == nullptr) return false;
  if (DeleteFileW(name)) return true;
  set_errno_from_last_error();
  return false;
}

FILE* open_beside(const char* path, char* beside, size_t size) {
  const int length = std::snprintf(beside, size, "%s.%lu.part", path,
                                   static_cast<unsigned long>(GetCurrentProcessId()));
  if (length < 0 || static_cast<size_t>(length) >= size) {
    errno = ENAMETOOLONG;
    return nullptr;
  }
  const wchar_t* name = wide_path(beside, path_wide, path_full);
  if (name == nullptr) return nullptr;
  return stream_of(CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool replace_file(const char* from, const char* to) {
  const wchar_t* target = wide_path(to, target_wide, target_full);
  const wchar_t* source = target != nullptr ? wide_path(from, path_wide, path_full) : nullptr;
  if (source == nullptr) return false;
  // Another program may hold the file there for a moment (a virus scanner, or another run
  // putting its own file in the same place): try again for about half a second.
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 10; attempt++) {
    if (MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING)) return true;
    error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    Sleep(50);
  }
  SetLastError(error);
  set_errno_from_last_error();
  return false;
}

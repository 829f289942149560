#include "files.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>
#include <cstdio>

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

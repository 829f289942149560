#include "emulation_check.h"

#include "platform/platform.h"

namespace {

typedef UINT(WINAPI* Wow64DirectoryCall)(LPWSTR buffer, UINT size);

const UINT kPathCapacity = 260;

// Looked up by name, never imported, so that the program starts on systems without it.
Wow64DirectoryCall find_wow64_directory_call() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  FARPROC entry = GetProcAddress(kernel, "GetSystemWow64DirectoryW");
  return reinterpret_cast<Wow64DirectoryCall>(reinterpret_cast<void*>(entry));
}

}  // namespace

int running_under_emulation() {
  Wow64DirectoryCall wow64_directory = find_wow64_directory_call();
  if (wow64_directory == nullptr) return 0;
  WCHAR directory[kPathCapacity];
  if (wow64_directory(directory, kPathCapacity) != 0) return 1;
  // 32-bit Windows has the call but answers that it is not implemented there.
  return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? 0 : 1;
}

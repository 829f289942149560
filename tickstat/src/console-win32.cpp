#include "console.h"

#include <fcntl.h>
#include <io.h>

#include "console-win32.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "streams.h"

// msvcrt's own split of the command line, in UTF-16: the words argv holds, in full.
struct StartupInfo {
  // cppcheck-suppress unusedStructMember ; msvcrt reads it
  int new_mode;
};
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int glob,
                              StartupInfo* info);

namespace {

UINT console_output_page;

void restore_console_page() { SetConsoleOutputCP(console_output_page); }

// The word as UTF-8, in memory that lasts the run.
char* utf8_of(const wchar_t* word) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, word, -1, nullptr, 0, nullptr, nullptr);
  char* text = static_cast<char*>(std::malloc(static_cast<size_t>(size > 0 ? size : 1)));
  if (text == nullptr) std::abort();
  if (size <= 0 || WideCharToMultiByte(CP_UTF8, 0, word, -1, text, size, nullptr, nullptr) <= 0) {
    text[0] = '\0';
  }
  return text;
}

}  // namespace

// The ANSI argv would turn "Łódź.csv" into "Lodz.csv", or "日本.csv" into "??.csv".
char** arguments_in_utf8(int argc, char* argv[]) {
  int count = 0;
  wchar_t** words = nullptr;
  wchar_t** environment = nullptr;
  StartupInfo info = {0};
  if (__wgetmainargs(&count, &words, &environment, 0, &info) < 0 || count != argc) return argv;
  char** utf8 = static_cast<char**>(std::calloc(static_cast<size_t>(argc) + 1, sizeof(char*)));
  if (utf8 == nullptr) std::abort();
  for (int i = 0; i < argc; i++) utf8[i] = utf8_of(words[i]);
  // Messages name files in UTF-8; a console shows them so while tickstat runs.
  DWORD mode = 0;
  if (GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0) {
    console_output_page = GetConsoleOutputCP();
    if (SetConsoleOutputCP(CP_UTF8) != 0) std::atexit(restore_console_page);
  }
  return utf8;
}

void read_input_as_bytes() { _setmode(_fileno(stdin), _O_BINARY); }

namespace {

volatile LONG interrupts = 0;
volatile LONG input_ended = 0;
HANDLE main_thread;
HANDLE written;  // set once the files are written

void end_input() {
  InterlockedExchange(&input_ended, 1);
  if (main_thread != nullptr) CancelSynchronousIo(main_thread);
}

bool files_written_within(DWORD wait) {
  return written != nullptr && WaitForSingleObject(written, wait) == WAIT_OBJECT_0;
}

// Runs on a thread of its own.
BOOL WINAPI on_console_event(DWORD event) {
  const BOOL kept = answer_console_event(event, &interrupts, {end_input, files_written_within});
  if (kept == FALSE && console_output_page != 0) restore_console_page();
  return kept;
}

}  // namespace

BOOL answer_console_event(DWORD event, volatile LONG* count, const ConsoleActions& actions) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    return InterlockedIncrement(count) == 1 ? TRUE : FALSE;
  }
  if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT) {
    return FALSE;
  }
  for (DWORD waited = 0; waited < kCloseWaitMs; waited += kCloseSliceMs) {
    actions.end_input();
    if (actions.files_written_within(kCloseSliceMs)) break;
  }
  return TRUE;
}

void outlive_first_interrupt() { SetConsoleCtrlHandler(on_console_event, TRUE); }

void end_input_on_signals() {
  // The handler ends the read that the main thread waits in.
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &main_thread, 0,
                  FALSE, DUPLICATE_SAME_ACCESS);
  written = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

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

bool is_live(FILE* stream) {
  const DWORD type = GetFileType(handle_of(stream));
  return type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR;
}

// A console, not just any character device: NUL is one too, and _isatty says yes to it.
bool is_terminal(FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(handle_of(stream), &mode) != 0;
}

long read_some(FILE* stream, char* buffer, size_t size) {
  if (input_ended != 0) return kReadStopped;
  const unsigned most = size < (1U << 30) ? static_cast<unsigned>(size) : (1U << 30);
  const int got = _read(_fileno(stream), buffer, most);
  // A console reads a line at a time; in binary mode, Ctrl+Z at a line's start comes
  // through as a byte rather than as the end of the input it means there.
  if (got > 0 && buffer[0] == '\x1a' && is_terminal(stream)) return kReadEnd;
  if (got > 0) return got;
  if (input_ended != 0) return kReadStopped;
  return got == 0 ? kReadEnd : kReadFailed;
}

FILE* open_output(const char* path) {
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

void files_written() {
  if (written != nullptr) SetEvent(written);
}

// Ctrl+Z read at the start of a line is the console's end of input; the Enter sends it.
const char kEndOfTypedInput[] = "Ctrl+Z then Enter";

// The window's width, not the buffer's: text beyond the window would be out of sight.
int columns_of(FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  if (GetConsoleScreenBufferInfo(handle_of(stream), &info) == 0) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

void local_time(std::tm* now) {
  SYSTEMTIME time = {};
  GetLocalTime(&time);
  *now = std::tm{};
  now->tm_year = time.wYear - 1900;
  now->tm_mon = time.wMonth - 1;
  now->tm_mday = time.wDay;
  now->tm_hour = time.wHour;
  now->tm_min = time.wMinute;
  now->tm_sec = time.wSecond;
}

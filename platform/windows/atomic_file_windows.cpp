// The atomic file writer on Win32: CreateFileW, FlushFileBuffers, MoveFileExW.
#include <windows.h>

#include <algorithm>

#include "platform/atomic_file.h"
#include "platform/atomic_file_detail.h"
#include "platform/windows/wide_text.h"

namespace mirel {

namespace fs = std::filesystem;
using namespace atomic_detail;

namespace atomic_detail {

unsigned long CurrentProcessId() {
  return GetCurrentProcessId();
}

bool ProcessIsGone(unsigned long pid) {
  if (pid == GetCurrentProcessId()) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

}  // namespace atomic_detail

namespace {

std::string WinFailure(const char* what, const fs::path& path, DWORD error) {
  return std::string(what) + " (" + PathText(path) + ": " + windows_source::SystemMessage(error) +
         ")";
}

}  // namespace

std::string WriteFileAtomically(const fs::path& file, std::string_view bytes) {
  fs::path target = ReplaceTarget(file);
  RemoveStaleTemporaries(target);
  fs::path temp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    temp = TemporaryName(target);
    h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    return WinFailure(kCannotCreate, target.parent_path(), GetLastError());
  }

  auto fail = [&](const char* what, DWORD error) {
    CloseHandle(h);
    DeleteFileW(temp.c_str());
    return WinFailure(what, temp, error);
  };
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 20));
    if (!WriteFile(h, data, chunk, &written, nullptr)) return fail(kCannotWrite, GetLastError());
    data += written;
    left -= written;
  }
  // On the disk before the rename, or a crash could leave an empty file.
  if (!FlushFileBuffers(h)) return fail(kCannotFlush, GetLastError());
  if (!CloseHandle(h)) {
    const DWORD error = GetLastError();
    DeleteFileW(temp.c_str());
    return WinFailure(kCannotWrite, temp, error);
  }
  if (!MoveFileExW(temp.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileW(temp.c_str());
    return WinFailure(kCannotReplace, target, error);
  }
  return {};
}

bool IsFolderWritable(const fs::path& folder) {
  fs::path probe = TemporaryName(folder / ".write-probe");
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

}  // namespace mirel

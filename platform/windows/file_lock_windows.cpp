#include <windows.h>

#include "platform/file_lock.h"

namespace mirel {

namespace {

class WindowsFileLock final : public FileLock {
 public:
  explicit WindowsFileLock(HANDLE file) : file_(file) {}
  ~WindowsFileLock() override { CloseHandle(file_); }  // closing lets the lock go

 private:
  HANDLE file_;
};

}  // namespace

std::unique_ptr<FileLock> FileLock::TryLock(const std::filesystem::path& file, Result& result) {
  result = Result::kFailed;
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  OVERLAPPED at{};
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    if (GetLastError() == ERROR_LOCK_VIOLATION) result = Result::kHeldElsewhere;
    CloseHandle(h);
    return nullptr;
  }
  result = Result::kLocked;
  return std::make_unique<WindowsFileLock>(h);
}

}  // namespace mirel

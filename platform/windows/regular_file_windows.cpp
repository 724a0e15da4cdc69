// Reading regular files on Win32: a folder is told by its attributes, and a
// pipe or a device (CON, NUL, \\.\pipe\...) by the type of the open handle.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/regular_file.h"
#include "platform/windows/wide_text.h"

namespace mirel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNotRegularText = "通常のファイルではありません";
// 1601-01-01 to 1970-01-01 in the 100 ns steps of a FILETIME.
constexpr std::int64_t kEpochDifference = 116444736000000000LL;

std::int64_t UnixNanoseconds(std::int64_t fileTime) {
  return (fileTime - kEpochDifference) * 100;
}

std::int64_t FileTimeValue(const FILETIME& t) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime);
}

std::optional<FileVersion> VersionOfHandle(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return std::nullopt;
  FileVersion v;
  v.device = info.dwVolumeSerialNumber;
  v.id = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  v.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  v.modifiedNs = UnixNanoseconds(FileTimeValue(info.ftLastWriteTime));
  FILE_BASIC_INFO basic{};
  v.changedNs = GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)
                    ? UnixNanoseconds(basic.ChangeTime.QuadPart)
                    : v.modifiedNs;
  return v;
}

// The C library's texts for the common cases, as the other readers give them.
std::string ProblemText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return std::strerror(ENOENT);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return std::strerror(EACCES);
    default:
      return windows_source::SystemMessage(error);
  }
}

FileReadStatus StatusOfError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
             ? FileReadStatus::kMissing
             : FileReadStatus::kUnreadable;
}

// The handle of the regular file, or INVALID_HANDLE_VALUE with status and
// problem set.
HANDLE OpenRegular(const fs::path& file, FileReadStatus& status, std::string& problem) {
  const DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    status = StatusOfError(error);
    problem = ProblemText(error);
    return INVALID_HANDLE_VALUE;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    status = FileReadStatus::kNotRegular;
    problem = std::strerror(EISDIR);
    return INVALID_HANDLE_VALUE;
  }
  // Others may write, rename or delete the file meanwhile, as on POSIX.
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    status = StatusOfError(error);
    problem = ProblemText(error);
    return h;
  }
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    status = FileReadStatus::kNotRegular;
    problem = kNotRegularText;
    return INVALID_HANDLE_VALUE;
  }
  status = FileReadStatus::kOk;
  return h;
}

std::size_t ReadHandleAt(HANDLE h, std::uint64_t offset, void* buffer, std::size_t count) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    OVERLAPPED at{};
    const std::uint64_t position = offset + done;
    at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD step = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    DWORD n = 0;
    if (!ReadFile(h, out + done, step, &n, &at) || n == 0) break;
    done += n;
  }
  return done;
}

class WindowsRegularFile final : public OpenRegularFile {
 public:
  explicit WindowsRegularFile(HANDLE h) : h_(h) {}
  ~WindowsRegularFile() override { CloseHandle(h_); }
  WindowsRegularFile(const WindowsRegularFile&) = delete;
  WindowsRegularFile& operator=(const WindowsRegularFile&) = delete;

  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
    return ReadHandleAt(h_, offset, buffer, count);
  }
  std::optional<FileVersion> Version() override { return VersionOfHandle(h_); }

 private:
  HANDLE h_;
};

}  // namespace

std::optional<FileVersion> VersionOfFile(const fs::path& file) {
  FileReadStatus status = FileReadStatus::kOk;
  std::string problem;
  HANDLE h = OpenRegular(file, status, problem);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<FileVersion> version = VersionOfHandle(h);
  CloseHandle(h);
  return version;
}

FileRead ReadRegularFile(const fs::path& file, std::size_t maxBytes) {
  FileRead result;
  HANDLE h = OpenRegular(file, result.status, result.problem);
  if (h == INVALID_HANDLE_VALUE) return result;
  const std::optional<FileVersion> version = VersionOfHandle(h);
  if (version) result.version = *version;
  const auto tooLarge = [&] {
    CloseHandle(h);
    result.status = FileReadStatus::kTooLarge;
    result.bytes.clear();
    return result;
  };
  if (version && version->size > maxBytes) return tooLarge();
  if (version) result.bytes.reserve(static_cast<std::size_t>(version->size));
  char buffer[65536];
  for (;;) {
    // One byte more than the cap tells a file that grew meanwhile.
    const std::size_t room = maxBytes + 1 - result.bytes.size();
    DWORD n = 0;
    if (!ReadFile(h, buffer, static_cast<DWORD>(std::min(sizeof buffer, room)), &n, nullptr)) {
      const DWORD error = GetLastError();
      CloseHandle(h);
      result.status = FileReadStatus::kUnreadable;
      result.problem = ProblemText(error);
      result.bytes.clear();
      return result;
    }
    if (n == 0) break;
    result.bytes.append(buffer, n);
    if (result.bytes.size() > maxBytes) return tooLarge();
  }
  CloseHandle(h);
  return result;
}

std::unique_ptr<OpenRegularFile> OpenRegularFileForReading(const fs::path& file,
                                                           FileReadStatus* status) {
  FileReadStatus why = FileReadStatus::kOk;
  std::string problem;
  HANDLE h = OpenRegular(file, why, problem);
  if (status != nullptr) *status = why;
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WindowsRegularFile>(h);
}

}  // namespace mirel

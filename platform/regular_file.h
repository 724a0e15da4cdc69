// Reading files that the user or another program can replace while the
// program runs: only regular files are read (a FIFO or a device in a file's
// place never blocks a start and is never read from), never more than a cap
// that a real file stays far below, and never through a mapping, which a file
// shortened under the program would turn into a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace mirel {

// What tells one version of a file from the next: a write in place changes
// its size or its times, a replacement its identity.
struct FileVersion {
  std::uint64_t device = 0;  // the device (volume serial number on Windows)
  std::uint64_t id = 0;      // the inode (file index on Windows)
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;  // since 1970
  std::int64_t changedNs = 0;   // the last change of the file or its status
  bool operator==(const FileVersion&) const = default;
};

// The version of the file a path names (links followed); nullopt when there
// is none or it cannot be read.
std::optional<FileVersion> VersionOfFile(const std::filesystem::path& file);

enum class FileReadStatus {
  kOk,
  kMissing,
  kNotRegular,  // a folder, a FIFO, a device, a socket
  kTooLarge,    // over the cap given
  kUnreadable,  // no permission, an I/O error
};

struct FileRead {
  FileReadStatus status = FileReadStatus::kUnreadable;
  std::string bytes;  // the whole file when kOk
  // The system's text for what went wrong (for a folder, the system's
  // "is a directory"); empty when kOk.
  std::string problem;
  FileVersion version;  // of the file read (kOk and kTooLarge)
};

// Reads the whole of a regular file of at most maxBytes, in bounded steps:
// a huge or endless file costs no more than the cap.
FileRead ReadRegularFile(const std::filesystem::path& file, std::size_t maxBytes);

// A regular file kept open for reads at any offset, for a reader that needs
// only parts of it now and then (the strip font's glyphs).
class OpenRegularFile {
 public:
  virtual ~OpenRegularFile() = default;
  // Up to `count` bytes at `offset`; fewer at the end or on a failure.
  virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
  // The open file's version now; nullopt when it cannot be told.
  virtual std::optional<FileVersion> Version() = 0;
};

// Null when the file is missing, not a regular file or cannot be read;
// `status` then says which.
std::unique_ptr<OpenRegularFile> OpenRegularFileForReading(const std::filesystem::path& file,
                                                           FileReadStatus* status = nullptr);

}  // namespace mirel

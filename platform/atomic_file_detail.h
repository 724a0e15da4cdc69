// What the two bodies of the atomic file writer (platform/linux,
// platform/windows) share: naming and cleaning up the temporary files.
#pragma once

#include <filesystem>

namespace mirel::atomic_detail {

inline constexpr const char* kCannotCreate = "フォルダに一時ファイルを作れません";
inline constexpr const char* kCannotWrite = "一時ファイルに書き込めません";
inline constexpr const char* kCannotFlush = "一時ファイルをディスクに書き出せません";
inline constexpr const char* kCannotReplace = "ファイルを置き換えられません";

// The file a symbolic link points to is the one to replace; renaming over
// the link itself would turn it into a plain file.
std::filesystem::path ReplaceTarget(const std::filesystem::path& file);
// "NAME.tmp-PID-N" beside the target.
std::filesystem::path TemporaryName(const std::filesystem::path& target);
// A save cut short by a crash or a kill leaves its temporary file behind.
// Removes those of processes that no longer run; a live process may be in
// the middle of its own save.
void RemoveStaleTemporaries(const std::filesystem::path& target);

// Per OS.
unsigned long CurrentProcessId();
bool ProcessIsGone(unsigned long pid);

}  // namespace mirel::atomic_detail

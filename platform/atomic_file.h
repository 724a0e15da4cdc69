// Replacing a file so that a crash or a full disk never leaves it half
// written: the new content goes to a temporary file in the same folder, is
// flushed to the disk and then renamed over the old file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace mirel {

// Empty on success; otherwise what went wrong, in Japanese with the path and
// the system's error text after it (the old file is then intact and no
// temporary file is left behind). Temporary files "NAME.tmp-PID-N" that a
// process which no longer runs left beside the file are removed first.
std::string WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// Whether new files can be created in `folder`.
bool IsFolderWritable(const std::filesystem::path& folder);

// A path as UTF-8 text, for messages.
std::string PathText(const std::filesystem::path& path);
// The path that UTF-8 text names. (A path made straight from a std::string
// takes it in the system's narrow encoding, which on Windows is not UTF-8.)
std::filesystem::path PathFromUtf8(std::string_view text);

}  // namespace mirel

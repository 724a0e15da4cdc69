#include "platform/atomic_file.h"

#include <atomic>
#include <optional>
#include <string_view>
#include <system_error>

#include "platform/atomic_file_detail.h"

namespace mirel {

namespace fs = std::filesystem;

std::string PathText(const fs::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path PathFromUtf8(std::string_view text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

namespace atomic_detail {

fs::path ReplaceTarget(const fs::path& file) {
  std::error_code ec;
  if (fs::is_symlink(file, ec)) {
    fs::path resolved = fs::weakly_canonical(file, ec);
    if (!ec) return resolved;
  }
  return file;
}

fs::path TemporaryName(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  fs::path name = target.filename();
  name += ".tmp-" + std::to_string(CurrentProcessId()) + "-" + std::to_string(counter++);
  return target.parent_path() / name;
}

namespace {

// The process id in "NAME.tmp-PID-N" when `entry` is such a name for `target`.
std::optional<unsigned long> TemporaryOwner(const std::string& entry, const std::string& target) {
  const std::string prefix = target + ".tmp-";
  if (entry.size() <= prefix.size() || entry.compare(0, prefix.size(), prefix) != 0) {
    return std::nullopt;
  }
  std::string_view rest = std::string_view(entry).substr(prefix.size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) return std::nullopt;
  for (char c : rest) {
    if ((c < '0' || c > '9') && c != '-') return std::nullopt;
  }
  if (rest.find('-', dash + 1) != std::string_view::npos || dash > 9) return std::nullopt;
  return std::stoul(std::string(rest.substr(0, dash)));
}

}  // namespace

void RemoveStaleTemporaries(const fs::path& target) {
  fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const std::string name = PathText(target.filename());
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::optional<unsigned long> owner = TemporaryOwner(PathText(it->path().filename()), name);
    if (owner && ProcessIsGone(*owner)) {
      std::error_code ignored;
      fs::remove(it->path(), ignored);
    }
  }
}

}  // namespace atomic_detail

}  // namespace mirel

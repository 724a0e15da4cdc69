#include "settings/user_preferences.h"

#include <charconv>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/regular_file.h"

namespace mirel {

namespace fs = std::filesystem;

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool OneLine(std::string_view s) {
  return s.find('\n') == std::string_view::npos && s.find('\r') == std::string_view::npos;
}

}  // namespace

UserPreferences UserPreferences::Parse(std::string_view text) {
  UserPreferences p;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    Line line{{}, std::string(raw)};
    const std::string_view body = Trim(raw);
    const std::size_t eq = body.find('=');
    if (!body.empty() && body.front() != '#' && eq != std::string_view::npos) {
      line.key = std::string(Trim(body.substr(0, eq)));
    }
    p.lines_.push_back(std::move(line));
  }
  return p;
}

std::optional<std::string> UserPreferences::Get(std::string_view key) const {
  // The last line of a key wins, as a person editing the file would expect.
  for (auto it = lines_.rbegin(); it != lines_.rend(); ++it) {
    if (it->key != key) continue;
    const std::string_view body = Trim(it->text);
    return std::string(Trim(body.substr(body.find('=') + 1)));
  }
  return std::nullopt;
}

std::string UserPreferences::GetOr(std::string_view key, std::string_view fallback) const {
  std::optional<std::string> v = Get(key);
  return v ? *v : std::string(fallback);
}

std::optional<long long> UserPreferences::GetNumber(std::string_view key) const {
  const std::optional<std::string> v = Get(key);
  if (!v || v->empty()) return std::nullopt;
  long long n = 0;
  const char* first = v->data();
  const char* last = first + v->size();
  const auto [ptr, ec] = std::from_chars(first, last, n);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return n;
}

bool UserPreferences::Set(std::string_view key, std::string_view value) {
  key = Trim(key);
  if (key.empty() || !OneLine(key) || !OneLine(value) || key.find('=') != std::string_view::npos ||
      key.front() == '#') {
    return false;
  }
  std::string text = std::string(key) + " = " + std::string(Trim(value));
  for (auto it = lines_.rbegin(); it != lines_.rend(); ++it) {
    if (it->key == key) {
      it->text = std::move(text);
      return true;
    }
  }
  lines_.push_back({std::string(key), std::move(text)});
  return true;
}

void UserPreferences::Remove(std::string_view key) {
  std::erase_if(lines_, [key](const Line& l) { return l.key == key; });
}

std::string UserPreferences::Text() const {
  std::string out;
  for (const Line& l : lines_) out += l.text + "\n";
  return out;
}

PreferencesLoad LoadUserPreferences(const fs::path& file) {
  PreferencesLoad result;
  // Never opened unless it is a regular file, so a FIFO put in its place
  // (even between a check and the open) cannot block the start.
  FileRead read = ReadRegularFile(file, kPreferencesMaxBytes);
  const std::string name = PathText(file);
  switch (read.status) {
    case FileReadStatus::kOk:
      result.preferences = UserPreferences::Parse(read.bytes);
      break;
    case FileReadStatus::kMissing:
      break;  // not written yet: all defaults
    case FileReadStatus::kNotRegular:
      result.error = "設定ファイルが通常のファイルではありません (" + name + ")";
      break;
    case FileReadStatus::kTooLarge:
      result.error = "設定ファイルが大きすぎます (" + name + ")";
      break;
    case FileReadStatus::kUnreadable:
      result.error = "設定ファイルを読めません (" + name + ")";
      break;
  }
  return result;
}

std::string SaveUserPreferences(const fs::path& file, const UserPreferences& preferences) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  return WriteFileAtomically(file, preferences.Text());
}

}  // namespace mirel

#include "settings/user_preferences.h"

#include <charconv>
#include <fstream>
#include <system_error>

#include "platform/atomic_file.h"

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
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (!fs::exists(status)) return result;  // not written yet: all defaults
  const std::string name = PathText(file);
  if (!fs::is_regular_file(status)) {
    result.error = "設定ファイルが通常のファイルではありません (" + name + ")";
    return result;
  }
  const std::uintmax_t size = fs::file_size(file, ec);
  if (ec || size > kPreferencesMaxBytes) {
    result.error = "設定ファイルが大きすぎます (" + name + ")";
    return result;
  }
  std::ifstream in(file, std::ios::binary);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
    result.error = "設定ファイルを読めません (" + name + ")";
    return result;
  }
  result.preferences = UserPreferences::Parse(bytes);
  return result;
}

std::string SaveUserPreferences(const fs::path& file, const UserPreferences& preferences) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  return WriteFileAtomically(file, preferences.Text());
}

}  // namespace mirel

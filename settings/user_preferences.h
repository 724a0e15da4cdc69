// Settings that "設定.ini" has no line for. That file's 42 lines are fixed
// (Windows users carry theirs from version to version), so what the program
// learned to do since lives per user beside it, in "preferences.conf" in the
// user's configuration folder: UTF-8 text, one "key = value" per line, "#"
// starts a comment line. Keys are dotted names ("webcheck.base",
// "history.limit.monthly"); a file written by a newer version keeps its keys
// and comments through a save by an older one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirel {

inline constexpr const char* kPreferencesFileName = "preferences.conf";
// A real file holds a few lines; anything larger is not ours.
inline constexpr std::size_t kPreferencesMaxBytes = 256 * 1024;

class UserPreferences {
 public:
  // The value of a key; nullopt when the file does not have it.
  std::optional<std::string> Get(std::string_view key) const;
  std::string GetOr(std::string_view key, std::string_view fallback) const;
  // A whole number, or nullopt when the key is missing or not a number.
  std::optional<long long> GetNumber(std::string_view key) const;

  // Sets a key, keeping its place in the file; a new key goes to the end.
  // Keys and values are one line each: a line break in either is refused.
  bool Set(std::string_view key, std::string_view value);
  // Removes a key (the file then has no line for it).
  void Remove(std::string_view key);

  // The file's text as Save writes it (LF line ends).
  std::string Text() const;
  // Reads text as the file holds it; lines that are neither comments nor
  // "key = value" are kept as they are and otherwise passed over.
  static UserPreferences Parse(std::string_view text);

 private:
  struct Line {
    std::string key;   // empty for a comment, a blank or an unreadable line
    std::string text;  // the whole line as written
  };
  std::vector<Line> lines_;
};

struct PreferencesLoad {
  UserPreferences preferences;
  // Empty when the file was read or does not exist yet; otherwise what went
  // wrong, in Japanese with the file's name (the preferences are then empty
  // and the file is left as it is).
  std::string error;
};

PreferencesLoad LoadUserPreferences(const std::filesystem::path& file);
// Writes atomically; empty on success, else the reason in Japanese.
std::string SaveUserPreferences(const std::filesystem::path& file,
                                const UserPreferences& preferences);

}  // namespace mirel

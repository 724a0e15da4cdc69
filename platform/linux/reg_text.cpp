#include "platform/linux/reg_text.h"

#include <cstdio>

namespace mirel::reg {

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view Trim(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

// Reads a quoted string at the start of s (which begins with '"'); moves s
// past the closing quote. nullopt when the quote is not closed.
std::optional<std::string> TakeQuoted(std::string_view& s) {
  std::string out;
  std::size_t i = 1;
  while (i < s.size()) {
    char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c == '\\') {
      if (i + 1 >= s.size()) return std::nullopt;
      out += s[i + 1];
      i += 2;
      continue;
    }
    out += c;
    ++i;
  }
  return std::nullopt;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> ParseHexBytes(std::string_view s) {
  std::string out;
  s = Trim(s);
  if (s.empty()) return out;
  while (true) {
    std::string_view item = s.substr(0, s.find(','));
    item = Trim(item);
    if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) return std::nullopt;
    out += static_cast<char>(HexDigit(item[0]) * 16 + HexDigit(item[1]));
    std::size_t comma = s.find(',');
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 1);
  }
  return out;
}

std::optional<RegValue> ParseData(std::string_view s) {
  RegValue v;
  if (!s.empty() && s.front() == '"') {
    std::optional<std::string> text = TakeQuoted(s);
    if (!text || !Trim(s).empty()) return std::nullopt;
    v.kind = RegValue::Kind::kString;
    v.text = std::move(*text);
    return v;
  }
  if (s.starts_with("dword:")) {
    s.remove_prefix(6);
    s = Trim(s);
    if (s.size() != 8) return std::nullopt;
    std::uint32_t n = 0;
    for (char c : s) {
      int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      n = n * 16 + static_cast<std::uint32_t>(d);
    }
    v.kind = RegValue::Kind::kDword;
    v.dword = n;
    return v;
  }
  // "hex:" and the typed "hex(n):" forms: kept as raw bytes.
  if (s.starts_with("hex")) {
    std::size_t colon = s.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view type = s.substr(3, colon - 3);
    if (!type.empty() && (type.front() != '(' || type.back() != ')')) return std::nullopt;
    std::optional<std::string> bytes = ParseHexBytes(s.substr(colon + 1));
    if (!bytes) return std::nullopt;
    v.kind = RegValue::Kind::kBinary;
    v.text = std::move(*bytes);
    return v;
  }
  return std::nullopt;
}

// true for a value line whose data is hex bytes: only such data goes on over
// several lines. A comment, a key line or a text that merely contains "=hex"
// never swallows the line after it.
bool StartsHexData(std::string_view line) {
  if (line.starts_with('@')) {
    line.remove_prefix(1);
  } else if (line.starts_with('"')) {
    if (!TakeQuoted(line)) return false;
  } else {
    return false;
  }
  line = Trim(line);
  if (!line.starts_with('=')) return false;
  line.remove_prefix(1);
  return Trim(line).starts_with("hex");
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::string NormalKey(std::string_view path) {
  std::string out;
  std::size_t i = 0;
  while (i <= path.size()) {
    std::size_t j = path.find('\\', i);
    if (j == std::string_view::npos) j = path.size();
    if (j > i) {
      if (!out.empty()) out += '\\';
      out += path.substr(i, j - i);
    }
    i = j + 1;
  }
  return out;
}

Key* Data::FindKey(std::string_view path) {
  for (Key& k : keys) {
    if (SameName(k.path, path)) return &k;
  }
  return nullptr;
}

const Key* Data::FindKey(std::string_view path) const {
  for (const Key& k : keys) {
    if (SameName(k.path, path)) return &k;
  }
  return nullptr;
}

bool Data::KeyExists(std::string_view path) const {
  for (const Key& k : keys) {
    if (path.empty()) return true;
    if (k.path.size() < path.size() ||
        !SameName(path, std::string_view(k.path).substr(0, path.size())))
      continue;
    if (k.path.size() == path.size() || k.path[path.size()] == '\\') return true;
  }
  return false;
}

Key& Data::KeyForWrite(std::string_view path) {
  if (Key* k = FindKey(path)) return *k;
  keys.push_back(Key{std::string(path), {}});
  return keys.back();
}

const RegValue* Data::Find(std::string_view path, std::string_view name) const {
  const Key* k = FindKey(path);
  if (k == nullptr) return nullptr;
  for (const NamedValue& v : k->values) {
    if (SameName(v.name, name)) return &v.value;
  }
  return nullptr;
}

void PutValue(Key& key, std::string_view name, RegValue value) {
  for (NamedValue& v : key.values) {
    if (SameName(v.name, name)) {
      v.value = std::move(value);
      return;
    }
  }
  key.values.push_back(NamedValue{std::string(name), std::move(value)});
}

bool Writable(std::string_view s) {
  return s.find_first_of("\r\n") == std::string_view::npos;
}

std::optional<Data> Parse(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  // One line at a time, without copying the text.
  auto nextLine = [&text]() -> std::optional<std::string_view> {
    if (text.empty()) return std::nullopt;
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
  };
  Data data;
  Key* current = nullptr;
  bool sawHeader = false;
  std::string joined;
  while (std::optional<std::string_view> raw = nextLine()) {
    std::string_view line = Trim(*raw);
    if (line.empty() || line.front() == ';') continue;
    // Long hex data goes on over several lines, each but the last ending in
    // a backslash.
    if (line.back() == '\\' && StartsHexData(line)) {
      joined.assign(line);
      while (!joined.empty() && joined.back() == '\\' && !text.empty()) {
        joined.pop_back();
        joined += Trim(*nextLine());
      }
      line = joined;
    }
    if (!sawHeader) {
      if (line != "REGEDIT4") return std::nullopt;
      sawHeader = true;
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 2) return std::nullopt;
      std::string_view path = line.substr(1, line.size() - 2);
      if (!SameName(path.substr(0, kRoot.size()), kRoot)) return std::nullopt;
      path.remove_prefix(kRoot.size());
      if (!path.empty() && path.front() != '\\') return std::nullopt;
      current = &data.KeyForWrite(NormalKey(path));
      continue;
    }
    if (current == nullptr) return std::nullopt;
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (line.front() == '"') {
      std::optional<std::string> quoted = TakeQuoted(line);
      if (!quoted) return std::nullopt;
      name = std::move(*quoted);
    } else {
      return std::nullopt;
    }
    line = Trim(line);
    if (line.empty() || line.front() != '=') return std::nullopt;
    line.remove_prefix(1);
    std::optional<RegValue> value = ParseData(Trim(line));
    if (!value) return std::nullopt;
    PutValue(*current, name, std::move(*value));
  }
  if (!sawHeader) return std::nullopt;
  return data;
}

std::string Format(const Data& data) {
  std::string out = "REGEDIT4\r\n";
  for (const Key& key : data.keys) {
    out += "\r\n[";
    out += kRoot;
    if (!key.path.empty()) out += "\\" + key.path;
    out += "]\r\n";
    for (const NamedValue& v : key.values) {
      out += v.name.empty() ? std::string("@") : Quote(v.name);
      out += '=';
      char buf[16];
      switch (v.value.kind) {
        case RegValue::Kind::kString:
          out += Quote(v.value.text);
          break;
        case RegValue::Kind::kDword:
          std::snprintf(buf, sizeof buf, "dword:%08x", v.value.dword);
          out += buf;
          break;
        default:
          out += "hex:";
          for (std::size_t i = 0; i < v.value.text.size(); ++i) {
            std::snprintf(buf, sizeof buf, "%s%02x", i ? "," : "",
                          static_cast<unsigned char>(v.value.text[i]));
            out += buf;
          }
          break;
      }
      out += "\r\n";
    }
  }
  return out;
}

}  // namespace mirel::reg

#include "readings/history_export.h"

#include <cmath>
#include <cstdio>

namespace mirel {

namespace {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// A CSV field, quoted when it holds a separator, a quote or a line break.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string PadLeft(const std::string& text, int width) {
  const int pad = width - DisplayWidth(text);
  return pad > 0 ? std::string(static_cast<std::size_t>(pad), ' ') + text : text;
}

std::string PadRight(const std::string& text, int width) {
  const int pad = width - DisplayWidth(text);
  return pad > 0 ? text + std::string(static_cast<std::size_t>(pad), ' ') : text;
}

}  // namespace

std::string FormatOctets(std::uint64_t octets) {
  static constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB"};
  if (octets < 1024) return std::to_string(octets) + " B";
  double value = static_cast<double>(octets);
  int unit = 0;
  while (unit < 4 && std::round(value) >= 1000) {
    value /= 1024;
    ++unit;
  }
  // Three figures; the rounding may carry into a fourth (9.996 -> 10.0).
  const char* format = "%.0f %s";
  if (std::round(value * 100) < 1000) {
    format = "%.2f %s";
  } else if (std::round(value * 10) < 1000) {
    format = "%.1f %s";
  }
  char text[32];
  std::snprintf(text, sizeof text, format, value, kUnits[unit]);
  return text;
}

int DisplayWidth(const std::string& utf8) {
  int width = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    // Everything outside ASCII and the half-width katakana (EF BD A1 to EF
    // BE 9F) takes two cells in the fonts this program uses.
    const bool halfKana = length == 3 && c == 0xEF && i + 1 < utf8.size() &&
                          (static_cast<unsigned char>(utf8[i + 1]) == 0xBD ||
                           static_cast<unsigned char>(utf8[i + 1]) == 0xBE);
    width += length == 1 || halfKana ? 1 : 2;
    i += length;
  }
  return width;
}

std::string HistoryJson(const std::vector<HistoryTables>& interfaces) {
  std::string out = "{\"interfaces\": [";
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    const HistoryTables& iface = interfaces[i];
    out += i == 0 ? "\n  " : ",\n  ";
    out += "{\"name\": " + JsonString(iface.name);
    for (HistoryTable table : kHistoryTables) {
      out += ", \"" + std::string(HistoryTableKey(table)) + "\": [";
      const std::vector<HistoryBucket>& buckets = iface.tables[static_cast<int>(table)];
      for (std::size_t b = 0; b < buckets.size(); ++b) {
        out += b == 0 ? "\n    " : ",\n    ";
        out += "{\"start\": \"" + Iso8601(buckets[b].time) +
               "\", \"rx\": " + std::to_string(buckets[b].rx) +
               ", \"tx\": " + std::to_string(buckets[b].tx) + "}";
      }
      out += buckets.empty() ? "]" : "\n  ]";
    }
    out += "}";
  }
  out += interfaces.empty() ? "]}\n" : "\n]}\n";
  return out;
}

std::string HistoryCsvHeader() {
  return "interface,table,start,rx,tx\r\n";
}

std::string HistoryCsvLines(const std::string& name, HistoryTable table,
                            const std::vector<HistoryBucket>& buckets) {
  std::string out;
  const std::string prefix = CsvField(name) + "," + HistoryTableKey(table) + ",";
  for (const HistoryBucket& b : buckets) {
    out +=
        prefix + Iso8601(b.time) + "," + std::to_string(b.rx) + "," + std::to_string(b.tx) + "\r\n";
  }
  return out;
}

std::string HistoryCsv(const std::vector<HistoryTables>& interfaces) {
  std::string out = HistoryCsvHeader();
  for (const HistoryTables& iface : interfaces) {
    for (HistoryTable table : kHistoryTables)
      out += HistoryCsvLines(iface.name, table, iface.tables[static_cast<int>(table)]);
  }
  return out;
}

std::string HistoryText(const std::vector<HistoryTables>& interfaces) {
  constexpr int kLabel = 18, kAmount = 11;
  std::string out;
  for (const HistoryTables& iface : interfaces) {
    for (HistoryTable table : kHistoryTables) {
      const std::vector<HistoryBucket>& buckets = iface.tables[static_cast<int>(table)];
      if (buckets.empty()) continue;
      out += iface.name + " (" + HistoryTableCaption(table) + ")\n";
      out += "  " + PadRight("期間", kLabel) + PadLeft("受信", kAmount) + PadLeft("送信", kAmount) +
             PadLeft("合計", kAmount) + "\n";
      std::uint64_t rx = 0, tx = 0;
      for (const HistoryBucket& b : buckets) {
        out += "  " + PadRight(BucketLabel(table, b.time), kLabel) +
               PadLeft(FormatOctets(b.rx), kAmount) + PadLeft(FormatOctets(b.tx), kAmount) +
               PadLeft(FormatOctets(b.rx + b.tx), kAmount) + "\n";
        rx += b.rx;
        tx += b.tx;
      }
      out += "  " + PadRight("計", kLabel) + PadLeft(FormatOctets(rx), kAmount) +
             PadLeft(FormatOctets(tx), kAmount) + PadLeft(FormatOctets(rx + tx), kAmount) + "\n\n";
    }
  }
  return out;
}

}  // namespace mirel

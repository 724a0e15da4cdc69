// The traffic history as people and scripts read it: amounts in KB, MB, GB
// and TB, and the tables as text, CSV and JSON.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "readings/history_store.h"
#include "readings/history_time.h"

namespace mirel {

// Octets with three significant figures in the largest unit that keeps the
// number below 1000, kilo being 1024: "0 B", "512 B", "1.50 KB", "12.3 MB",
// "123 GB", "0.98 TB".
std::string FormatOctets(std::uint64_t octets);

// One interface's tables, each oldest first.
struct HistoryTables {
  std::string name;
  std::array<std::vector<HistoryBucket>, kHistoryTableCount> tables;
};

// {"interfaces": [{"name": "eth0", "fiveminutes": [{"start":
// "2026-12-08T00:00:00+09:00", "rx": 1, "tx": 2}, ...], "hours": [...],
// "days": [...], "months": [...], "years": [...]}]}
std::string HistoryJson(const std::vector<HistoryTables>& interfaces);
// "interface,table,start,rx,tx" and one line per bucket, octets in full.
std::string HistoryCsvHeader();
std::string HistoryCsvLines(const std::string& name, HistoryTable table,
                            const std::vector<HistoryBucket>& buckets);
std::string HistoryCsv(const std::vector<HistoryTables>& interfaces);
// Each interface's tables under headings, one line per bucket with the
// received, sent and total amounts, and the table's sums.
std::string HistoryText(const std::vector<HistoryTables>& interfaces);

// A display width in half-width cells (a full-width character is two).
int DisplayWidth(const std::string& utf8);

}  // namespace mirel

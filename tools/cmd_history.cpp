// mirel9x-tool history: the traffic history that the program records, as
// text tables, CSV or JSON, for scripts. It reads the same file the running
// program writes, without disturbing it.
#include <climits>
#include <iostream>

#include "platform/atomic_file.h"
#include "readings/history_export.h"
#include "readings/history_store.h"
#include "tools/tool_command.h"

namespace mirel::tool {
namespace {

enum class Format { kText, kCsv, kJson };

int Run(const Args& args) {
  Format format = Format::kText;
  std::string iface;
  std::filesystem::path file = UserDataDir() / kHistoryFileName;
  std::int64_t begin = INT64_MIN, end = INT64_MAX;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--csv") {
      format = Format::kCsv;
    } else if (args[i] == "--json") {
      format = Format::kJson;
    } else if (args[i] == "--iface" && hasValue) {
      iface = args[++i];
    } else if (args[i] == "--file" && hasValue) {
      file = PathFromUtf8(args[++i]);
    } else if ((args[i] == "--begin" || args[i] == "--end") && hasValue) {
      const std::optional<LocalSpan> span = ParseLocalTime(args[i + 1]);
      if (!span) {
        std::cerr << "history: " << args[i] << " には 2026-12-08 や 2026-12-08T10:30 の形で日時を"
                  << "指定してください ('" << args[i + 1] << "')\n";
        return 2;
      }
      // A date given as the end reaches to its end: "--end 2026-12-31"
      // includes that day.
      (args[i] == "--begin" ? begin : end) = args[i] == "--begin" ? span->begin : span->end;
      ++i;
    } else {
      std::cerr << "history: unexpected argument '" << args[i] << "'\n";
      return 2;
    }
  }

  HistoryOpen opened = HistoryStore::OpenForReading(file);
  if (opened.status == HistoryOpen::Status::kFailed) {
    std::cerr << "history: " << opened.message << "\n";
    return 1;
  }
  std::vector<HistoryTables> tables;
  if (opened.store) {
    HistoryStore& store = *opened.store;
    bool found = iface.empty();
    for (const HistoryInterface& known : store.Interfaces()) {
      if (!iface.empty() && known.name != iface) continue;
      found = true;
      HistoryTables t{known.name, {}};
      for (HistoryTable table : kHistoryTables) {
        // Every bucket that overlaps the span, the one the span begins in too.
        const std::int64_t from = begin == INT64_MIN ? begin : BucketOf(table, begin).start;
        t.tables[static_cast<int>(table)] = store.Query(table, HistoryScope{known.name}, from, end);
      }
      tables.push_back(std::move(t));
    }
    if (!found) {
      std::cerr << "history: インターフェース \"" << iface << "\" の通信履歴はありません\n";
      return 1;
    }
  } else {
    std::cerr << "history: " << opened.message << "\n";  // none yet: empty tables
  }
  switch (format) {
    case Format::kText:
      std::cout << HistoryText(tables);
      break;
    case Format::kCsv:
      std::cout << HistoryCsv(tables);
      break;
    case Format::kJson:
      std::cout << HistoryJson(tables);
      break;
  }
  return 0;
}

Register reg("history", &Run,
             "history [--csv | --json] [--iface NAME] [--begin TIME] [--end TIME] [--file FILE]   "
             "the traffic history the program records (TIME: 2026-12-08, 2026-12-08T10:30; the "
             "data folder's history.sqlite unless FILE)");

}  // namespace
}  // namespace mirel::tool

// The traffic history's file: an SQLite database in WAL mode, written in
// batches of one transaction each, so that a crash loses at most the batch
// it was writing and never damages what was written before. One program
// writes; any number of readers (mirel9x-tool history) read alongside.
//
// A file that is damaged, not this program's, or from a newer version is
// kept aside under a new name and a new one is started; the caller tells
// the user with the message it gets.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "readings/history_recorder.h"
#include "readings/history_settings.h"
#include "readings/history_time.h"

namespace mirel {

inline constexpr const char* kHistoryFileName = "history.sqlite";
inline constexpr int kHistorySchemaVersion = 1;

struct HistoryBucket {
  BucketTime time;
  std::uint64_t rx = 0;
  std::uint64_t tx = 0;
};

struct HistoryInterface {
  std::string name;
  bool loopback = false;
};

// Which interfaces a query sums: one by name, or every one but loopback.
struct HistoryScope {
  std::string name;  // empty: all summed
  bool All() const { return name.empty(); }
};

class HistoryStore;

struct HistoryOpen {
  enum class Status {
    kOk,
    kKeptAside,  // the old file was kept aside and a new one started (ok, with a message)
    kMissing,    // for reading: there is no history yet
    kFailed,     // cannot be opened or created (message says why)
  };
  Status status = Status::kFailed;
  std::unique_ptr<HistoryStore> store;  // null unless kOk or kKeptAside
  std::string message;                  // Japanese; empty for kOk
};

class HistoryStore {
 public:
  // Opens or creates the file (and its folder) for recording. `again`: this
  // program checked the file when it first opened it and now opens it for
  // another batch, so the whole-file check and the write probe are skipped
  // (a failed write still says so) and closing leaves the log for the next.
  static HistoryOpen OpenForWriting(const std::filesystem::path& file, bool again = false);
  // Opens an existing file without changing it, alongside a writer.
  static HistoryOpen OpenForReading(const std::filesystem::path& file);
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // Adds a batch in one transaction. Empty on success, else the reason in
  // Japanese (nothing of the batch is then written).
  std::string Commit(const HistoryBatch& batch);
  // Folds the write-ahead log into the file (at exit, so the file alone
  // holds everything).
  void Checkpoint();
  // Deletes the buckets older than the retention keeps, as of nowSeconds.
  std::string Prune(const HistoryRetention& retention, std::int64_t nowSeconds);

  // The last readings of every interface, as the recorder starts from.
  std::map<std::string, LastReading> LastReadings();
  std::vector<HistoryInterface> Interfaces();
  // The buckets of a table with begin <= start < end, oldest first.
  std::vector<HistoryBucket> Query(HistoryTable table, const HistoryScope& scope,
                                   std::int64_t begin, std::int64_t end);

  // Small notes kept with the history (which limit notices were given).
  std::optional<std::string> Note(const std::string& key);
  std::string SetNote(const std::string& key, const std::string& value);

  const std::filesystem::path& file() const { return file_; }

  struct Impl;  // the connection and its statements

 private:
  HistoryStore(std::filesystem::path file, std::unique_ptr<Impl> impl);
  std::filesystem::path file_;
  std::unique_ptr<Impl> impl_;
};

// Received and sent octets of a span.
struct Usage {
  std::uint64_t rx = 0;
  std::uint64_t tx = 0;
  std::uint64_t Total() const { return rx + tx; }
};

// A scope's octets over a span of whole days.
Usage UsageOf(HistoryStore& store, const HistoryScope& scope, Span span);
// Today's octets of a scope.
Usage TodayUsage(HistoryStore& store, const HistoryScope& scope, std::int64_t nowSeconds);
// The allowance's month (from the month start day) of a scope.
Usage MonthUsage(HistoryStore& store, const HistoryScope& scope, std::int64_t nowSeconds,
                 int monthStartDay);

}  // namespace mirel

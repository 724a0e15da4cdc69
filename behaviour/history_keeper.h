// The traffic history while the program runs: reads every interface's
// counters at start, at the first tick of every minute and at exit, writes
// each reading's octets to the store in one batch, prunes old buckets once
// an hour and watches the limits. A tick in between costs one comparison.
//
// When the history cannot be kept (a folder that cannot be written, a full
// disk) the user gets one message and the monitor goes on without it. Of
// two monitors of one user (two sessions) the first records; the other
// shows what it wrote and takes over when it ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/file_lock.h"
#include "platform/platform.h"
#include "readings/history_recorder.h"
#include "readings/history_settings.h"
#include "readings/history_store.h"

namespace mirel {

// What the shell should tell the user.
struct HistoryMessage {
  enum class Kind {
    kProblem,  // the history's file: kept aside, or no history from now on
    kLimit,    // a limit's notice
  };
  Kind kind = Kind::kProblem;
  std::string text;
};

// Milliseconds of the wall clock since 1970: what buckets are made of.
std::int64_t WallClockNowMs();

class HistoryKeeper {
 public:
  // Opens (or starts) the file and takes the first reading.
  HistoryKeeper(SystemSource& system, std::filesystem::path file, HistorySettings settings,
                std::int64_t nowMs);
  ~HistoryKeeper();
  HistoryKeeper(const HistoryKeeper&) = delete;
  HistoryKeeper& operator=(const HistoryKeeper&) = delete;

  // On every refresh tick.
  void Tick(std::int64_t nowMs);
  // Reads and writes now, so a view shows the figures up to this moment.
  void Flush(std::int64_t nowMs);
  // At exit: the last reading and batch; nothing is recorded after it.
  void Close(std::int64_t nowMs);

  std::vector<HistoryMessage> TakeMessages();
  bool recording() const { return recorder_ != nullptr; }
  // The history to show (read only while another monitor records); null
  // when there is none, and Unavailable() says why. Between batches the
  // file is closed (and SQLite let go of); this opens it again. The pointer
  // is good until the next Tick.
  HistoryStore* store() { return Use(); }
  // Whether the file is open now (it closes a few seconds after its last use).
  bool open() const { return store_ != nullptr; }
  std::string Unavailable() const;
  const std::filesystem::path& file() const { return file_; }

  const HistorySettings& settings() const { return settings_; }
  // New choices (from the history window); the limits are looked at again.
  void SetSettings(HistorySettings settings, std::int64_t nowMs);

  // Whether a limit that covers this interface (its own or all summed) is
  // used up, as of the last batch.
  bool OverLimit(const std::string& interfaceName) const;
  bool AnyOverLimit() const { return !overScopes_.empty(); }
  // Today's or this month's octets of an interface, as "総受信量"/"総送信量"
  // show them when the user chose so (nullopt: the session's, as always):
  // what is written plus what its counters moved since the last reading.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> TotalsFigure(const InterfaceRow& row,
                                                                      std::int64_t nowMs);
  // Counts the batches written: a view refreshes when it changes.
  std::uint64_t batches() const { return batches_; }

 private:
  void Start(std::int64_t nowMs);
  void ReadAndWrite(std::int64_t nowMs);
  void GiveUp(const std::string& reason);
  void CheckLimits(std::int64_t nowMs);
  // The open store, opened again if it was closed while idle; null when
  // there is no history.
  HistoryStore* Use();

  SystemSource& system_;
  std::filesystem::path file_;
  HistorySettings settings_;
  std::unique_ptr<FileLock> lock_;
  std::unique_ptr<HistoryStore> store_;
  std::unique_ptr<HistoryRecorder> recorder_;
  std::vector<HistoryMessage> messages_;
  std::int64_t lastMinute_ = 0;
  std::int64_t lastPruneHour_ = 0;
  std::set<std::string> overScopes_;
  // The written part of TotalsFigure, asked again after each batch.
  struct WrittenTotals {
    std::string name;
    TotalsSource source = TotalsSource::kSession;
    std::uint64_t batches = 0;
    std::int64_t periodBegin = 0;
    Usage usage;
  } written_;
  bool used_ = false;            // the store was used since the last Tick
  std::int64_t idleSinceMs_ = 0;  // the Tick that last saw it used
  bool passive_ = false;  // another monitor of this user records
  std::string problem_;   // why there is no history
  std::uint64_t batches_ = 0;
};

}  // namespace mirel

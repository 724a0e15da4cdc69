#include "behaviour/history_keeper.h"

#include <chrono>

#include "platform/atomic_file.h"
#include "platform/file_lock.h"
#include "platform/local_time.h"
#include "readings/counters.h"

namespace mirel {

namespace {

constexpr std::int64_t kMinuteMs = 60 * 1000;
constexpr std::int64_t kHourMs = 60 * kMinuteMs;
constexpr const char* kGoingOn = "。履歴なしで続けます。";
// How long the file stays open after its last use (a view refreshing, the
// minute's batch, the totals strips asking).
constexpr std::int64_t kIdleCloseMs = 5000;

std::int64_t FloorBy(std::int64_t value, std::int64_t unit) {
  return value >= 0 ? value / unit : -((-value + unit - 1) / unit);
}

std::string NoticeKey(const TrafficLimit& limit) {
  return "notice." + limit.scope + (limit.period == LimitPeriod::kDay ? ".daily" : ".monthly");
}

}  // namespace

std::int64_t WallClockNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

HistoryKeeper::HistoryKeeper(SystemSource& system, std::filesystem::path file,
                             HistorySettings settings, std::int64_t nowMs)
    : system_(system), file_(std::move(file)), settings_(std::move(settings)) {
  Start(nowMs);
}

HistoryKeeper::~HistoryKeeper() = default;

void HistoryKeeper::Start(std::int64_t nowMs) {
  lastMinute_ = FloorBy(nowMs, kMinuteMs);
  std::error_code ec;
  std::filesystem::create_directories(file_.parent_path(), ec);  // the store says what fails
  std::filesystem::path lockFile = file_;
  lockFile += ".lock";
  FileLock::Result locked = FileLock::Result::kFailed;
  lock_ = FileLock::TryLock(lockFile, locked);
  if (locked == FileLock::Result::kHeldElsewhere) {
    // Another monitor of this user records: this one shows what it wrote
    // and takes over when it ends.
    passive_ = true;
    if (!store_) store_ = HistoryStore::OpenForReading(file_).store;
    return;
  }
  passive_ = false;
  store_.reset();
  HistoryOpen opened = HistoryStore::OpenForWriting(file_);
  switch (opened.status) {
    case HistoryOpen::Status::kKeptAside:
      messages_.push_back({HistoryMessage::Kind::kProblem, opened.message});
      [[fallthrough]];
    case HistoryOpen::Status::kOk:
      store_ = std::move(opened.store);
      break;
    case HistoryOpen::Status::kMissing:
    case HistoryOpen::Status::kFailed:
      problem_ = opened.message + kGoingOn;
      messages_.push_back({HistoryMessage::Kind::kProblem, problem_});
      lock_.reset();
      return;
  }
  recorder_ = std::make_unique<HistoryRecorder>(system_.ReadBoot(), store_->LastReadings());
  lastPruneHour_ = FloorBy(nowMs, kHourMs);
  if (std::string error = store_->Prune(settings_.retention, FloorBy(nowMs, 1000));
      !error.empty()) {
    GiveUp(error);
    return;
  }
  ReadAndWrite(nowMs);
}

HistoryStore* HistoryKeeper::Use() {
  used_ = true;
  if (store_) return store_.get();
  if (passive_) {
    store_ = HistoryStore::OpenForReading(file_).store;
  } else if (recorder_) {
    HistoryOpen opened = HistoryStore::OpenForWriting(file_, true);
    if (opened.status == HistoryOpen::Status::kKeptAside) {
      // Damaged or replaced since the last batch: what the recorder holds
      // goes on in the new file.
      messages_.push_back({HistoryMessage::Kind::kProblem, opened.message});
    } else if (opened.status != HistoryOpen::Status::kOk) {
      messages_.push_back({HistoryMessage::Kind::kProblem, opened.message + kGoingOn});
      problem_ = opened.message + kGoingOn;
      recorder_.reset();
      overScopes_.clear();
      lock_.reset();
      return nullptr;
    }
    store_ = std::move(opened.store);
  }
  return store_.get();
}

void HistoryKeeper::Tick(std::int64_t nowMs) {
  if (used_) {
    used_ = false;
    idleSinceMs_ = nowMs;
  } else if (store_ && nowMs - idleSinceMs_ >= kIdleCloseMs) {
    store_.reset();
  }
  if (FloorBy(nowMs, kMinuteMs) == lastMinute_) return;
  if (passive_) {
    Start(nowMs);  // once a minute: is the other monitor gone?
    return;
  }
  if (!recorder_) return;
  ReadAndWrite(nowMs);
  const std::int64_t hour = FloorBy(nowMs, kHourMs);
  if (recorder_ && hour != lastPruneHour_) {
    lastPruneHour_ = hour;
    HistoryStore* store = Use();
    if (store == nullptr) return;
    if (std::string error = store->Prune(settings_.retention, FloorBy(nowMs, 1000));
        !error.empty())
      GiveUp(error);
  }
}

void HistoryKeeper::Flush(std::int64_t nowMs) {
  if (recorder_) ReadAndWrite(nowMs);
}

void HistoryKeeper::Close(std::int64_t nowMs) {
  if (recorder_) {
    ReadAndWrite(nowMs);
    if (HistoryStore* store = Use()) store->Checkpoint();
  }
  recorder_.reset();
  store_.reset();
  lock_.reset();
}

std::string HistoryKeeper::Unavailable() const {
  if (passive_) return "通信履歴は、ほかに起動しているモニタが記録しています。";
  return problem_;
}

void HistoryKeeper::ReadAndWrite(std::int64_t nowMs) {
  lastMinute_ = FloorBy(nowMs, kMinuteMs);
  // The time zone may have changed since the last reading (travel, the
  // user's choice): buckets follow the clock on the wall.
  ReloadTimeZone();
  recorder_->Feed(nowMs, system_.ReadAllCounters());
  const HistoryBatch batch = recorder_->TakeBatch();
  if (batch.Empty()) return;
  HistoryStore* store = Use();
  if (store == nullptr) return;
  if (std::string error = store->Commit(batch); !error.empty()) {
    GiveUp(error);
    return;
  }
  ++batches_;
  CheckLimits(nowMs);
}

void HistoryKeeper::GiveUp(const std::string& reason) {
  messages_.push_back(
      {HistoryMessage::Kind::kProblem,
       "通信履歴を書き込めません (" + PathText(file_) + ": " + reason + ")" + kGoingOn});
  store_.reset();
  recorder_.reset();
  overScopes_.clear();
}

std::vector<HistoryMessage> HistoryKeeper::TakeMessages() {
  std::vector<HistoryMessage> taken;
  taken.swap(messages_);
  return taken;
}

void HistoryKeeper::SetSettings(HistorySettings settings, std::int64_t nowMs) {
  settings_ = std::move(settings);
  if (recorder_) CheckLimits(nowMs);
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> HistoryKeeper::TotalsFigure(
    const InterfaceRow& row, std::int64_t nowMs) {
  if (settings_.totals == TotalsSource::kSession || !recorder_) return std::nullopt;
  const std::int64_t now = FloorBy(nowMs, 1000);
  const bool today = settings_.totals == TotalsSource::kToday;
  const Span period = today ? DayPeriod(now) : MonthPeriod(now, settings_.monthStartDay);
  if (written_.name != row.description || written_.source != settings_.totals ||
      written_.batches != batches_ || written_.periodBegin != period.begin) {
    const HistoryScope scope{row.description};
    HistoryStore* store = Use();
    if (store == nullptr) return std::nullopt;
    written_ = {row.description, settings_.totals, batches_, period.begin,
                today ? TodayUsage(*store, scope, now)
                      : MonthUsage(*store, scope, now, settings_.monthStartDay)};
  }
  std::uint64_t rx = written_.usage.rx, tx = written_.usage.tx;
  const LastReading* last = recorder_->LastOf(row.description);
  if (std::optional<OctetCounters> counters = system_.ReadCounters(row); counters && last) {
    const bool wide = counters->wide && last->counters.wide;
    rx += StepBetween(last->counters.rx, counters->rx, wide).octets;
    tx += StepBetween(last->counters.tx, counters->tx, wide).octets;
  }
  return std::pair{rx, tx};
}

bool HistoryKeeper::OverLimit(const std::string& interfaceName) const {
  return overScopes_.count(kAllInterfaces) != 0 || overScopes_.count(interfaceName) != 0;
}

void HistoryKeeper::CheckLimits(std::int64_t nowMs) {
  overScopes_.clear();
  if (settings_.limits.empty()) return;
  HistoryStore* store = Use();
  if (store == nullptr) return;
  const std::int64_t now = FloorBy(nowMs, 1000);
  for (const TrafficLimit& limit : settings_.limits) {
    const HistoryScope scope{limit.scope == kAllInterfaces ? std::string() : limit.scope};
    const bool daily = limit.period == LimitPeriod::kDay;
    const Span period = daily ? DayPeriod(now) : MonthPeriod(now, settings_.monthStartDay);
    const std::uint64_t used = (daily ? UsageOf(*store, scope, period)
                                      : MonthUsage(*store, scope, now, settings_.monthStartDay))
                                   .Total();
    const int level = LimitLevel(used, limit.octets, settings_.warnPercent);
    if (level >= 2) overScopes_.insert(limit.scope);
    // Each notice once per period, also across restarts.
    const std::string key = NoticeKey(limit);
    const std::string periodText = std::to_string(period.begin);
    int noticed = 0;
    if (std::optional<std::string> note = store->Note(key)) {
      const std::size_t colon = note->find(':');
      if (colon != std::string::npos && note->substr(0, colon) == periodText)
        noticed = std::atoi(note->c_str() + colon + 1);
    }
    if (level > noticed) {
      messages_.push_back({HistoryMessage::Kind::kLimit,
                           LimitNoticeText(limit, level, settings_.warnPercent, used)});
      store->SetNote(key, periodText + ":" + std::to_string(level));
    }
  }
}

}  // namespace mirel

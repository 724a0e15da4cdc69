#include "behaviour/history_keeper.h"

#include <chrono>

#include "platform/atomic_file.h"
#include "platform/local_time.h"

namespace mirel {

namespace {

constexpr std::int64_t kMinuteMs = 60 * 1000;
constexpr std::int64_t kHourMs = 60 * kMinuteMs;
constexpr const char* kGoingOn = "。履歴なしで続けます。";

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
      messages_.push_back({HistoryMessage::Kind::kProblem, opened.message + kGoingOn});
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

HistoryKeeper::~HistoryKeeper() = default;

void HistoryKeeper::Tick(std::int64_t nowMs) {
  if (!store_ || FloorBy(nowMs, kMinuteMs) == lastMinute_) return;
  ReadAndWrite(nowMs);
  const std::int64_t hour = FloorBy(nowMs, kHourMs);
  if (store_ && hour != lastPruneHour_) {
    lastPruneHour_ = hour;
    if (std::string error = store_->Prune(settings_.retention, FloorBy(nowMs, 1000));
        !error.empty())
      GiveUp(error);
  }
}

void HistoryKeeper::Flush(std::int64_t nowMs) {
  if (store_) ReadAndWrite(nowMs);
}

void HistoryKeeper::Close(std::int64_t nowMs) {
  if (!store_) return;
  ReadAndWrite(nowMs);
  store_.reset();  // closing checkpoints the log into the file
}

void HistoryKeeper::ReadAndWrite(std::int64_t nowMs) {
  lastMinute_ = FloorBy(nowMs, kMinuteMs);
  // The time zone may have changed since the last reading (travel, the
  // user's choice): buckets follow the clock on the wall.
  ReloadTimeZone();
  recorder_->Feed(nowMs, system_.ReadAllCounters());
  const HistoryBatch batch = recorder_->TakeBatch();
  if (batch.Empty()) return;
  if (std::string error = store_->Commit(batch); !error.empty()) {
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
  if (store_) CheckLimits(nowMs);
}

bool HistoryKeeper::OverLimit(const std::string& interfaceName) const {
  return overScopes_.count(kAllInterfaces) != 0 || overScopes_.count(interfaceName) != 0;
}

void HistoryKeeper::CheckLimits(std::int64_t nowMs) {
  overScopes_.clear();
  const std::int64_t now = FloorBy(nowMs, 1000);
  for (const TrafficLimit& limit : settings_.limits) {
    const HistoryScope scope{limit.scope == kAllInterfaces ? std::string() : limit.scope};
    const bool daily = limit.period == LimitPeriod::kDay;
    const Span period = daily ? DayPeriod(now) : MonthPeriod(now, settings_.monthStartDay);
    const std::uint64_t used = (daily ? UsageOf(*store_, scope, period)
                                      : MonthUsage(*store_, scope, now, settings_.monthStartDay))
                                   .Total();
    const int level = LimitLevel(used, limit.octets, settings_.warnPercent);
    if (level >= 2) overScopes_.insert(limit.scope);
    // Each notice once per period, also across restarts.
    const std::string key = NoticeKey(limit);
    const std::string periodText = std::to_string(period.begin);
    int noticed = 0;
    if (std::optional<std::string> note = store_->Note(key)) {
      const std::size_t colon = note->find(':');
      if (colon != std::string::npos && note->substr(0, colon) == periodText)
        noticed = std::atoi(note->c_str() + colon + 1);
    }
    if (level > noticed) {
      messages_.push_back({HistoryMessage::Kind::kLimit,
                           LimitNoticeText(limit, level, settings_.warnPercent, used)});
      store_->SetNote(key, periodText + ":" + std::to_string(level));
    }
  }
}

}  // namespace mirel

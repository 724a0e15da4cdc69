#include "behaviour/history_view.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "readings/history_export.h"

namespace mirel {

namespace {

HistoryFigureLine FigureLine(const std::string& when, const Usage& usage, const TrafficLimit* limit,
                             int warnPercent) {
  HistoryFigureLine line;
  line.text = when + "　受信 " + FormatOctets(usage.rx) + "　送信 " + FormatOctets(usage.tx) +
              "　合計 " + FormatOctets(usage.Total());
  if (limit != nullptr) {
    const auto percent = static_cast<int>(static_cast<double>(usage.Total()) * 100 /
                                          static_cast<double>(limit->octets));
    line.text +=
        "　（上限 " + FormatOctets(limit->octets) + " の " + std::to_string(percent) + "%）";
    line.level = LimitLevel(usage.Total(), limit->octets, warnPercent);
    if (line.level >= 2) line.text += " 上限を超えています";
  }
  return line;
}

}  // namespace

std::string LimitScopeOf(const HistoryScope& scope) {
  return scope.All() ? std::string(kAllInterfaces) : scope.name;
}

std::vector<HistoryInterface> HistoryChoices(HistoryStore* store) {
  std::vector<HistoryInterface> all;
  if (store == nullptr) return all;
  all = store->Interfaces();
  // Loopback last: it is seldom what anyone looks for.
  std::stable_partition(all.begin(), all.end(),
                        [](const HistoryInterface& i) { return !i.loopback; });
  return all;
}

HistoryView BuildHistoryView(HistoryStore* store, const std::string& unavailable,
                             const HistorySettings& settings, HistoryTable table,
                             const HistoryScope& scope, std::int64_t lastSeconds,
                             std::int64_t nowSeconds) {
  HistoryView view;
  std::vector<HistoryBucket> buckets;
  if (store == nullptr) {
    view.problem = unavailable.empty() ? std::string("通信履歴はありません") : unavailable;
  } else {
    const std::string limitScope = LimitScopeOf(scope);
    std::string monthCaption = "今月";
    if (settings.monthStartDay > 1) {
      const std::int64_t begin = MonthPeriod(nowSeconds, settings.monthStartDay).begin;
      const LocalFields f = FieldsAt(begin, UtcOffsetAt(begin));
      monthCaption += " (" + std::to_string(f.month) + "/" + std::to_string(f.day) + "〜)";
    }
    view.today = FigureLine("今日", TodayUsage(*store, scope, nowSeconds),
                            settings.Limit(limitScope, LimitPeriod::kDay), settings.warnPercent);
    view.month =
        FigureLine(monthCaption, MonthUsage(*store, scope, nowSeconds, settings.monthStartDay),
                   settings.Limit(limitScope, LimitPeriod::kMonth), settings.warnPercent);
    const ChartSpan span = ChartSpanOf(table, lastSeconds);
    buckets = store->Query(table, scope, span.begin, span.end);
  }
  view.chart = BuildChartModel(table, buckets, lastSeconds);
  for (const ChartColumn& c : view.chart.columns) {
    view.rows.push_back({BucketLabel(table, c.time), FormatOctets(c.rx), FormatOctets(c.tx),
                         FormatOctets(c.rx + c.tx)});
  }
  if (!view.chart.columns.empty()) {
    view.range = BucketLabel(table, view.chart.columns.front().time) + " 〜 " +
                 BucketLabel(table, view.chart.columns.back().time);
  }
  view.totals = "この期間の計　受信 " + FormatOctets(view.chart.totalRx) + "　送信 " +
                FormatOctets(view.chart.totalTx) + "　合計 " +
                FormatOctets(view.chart.totalRx + view.chart.totalTx);
  view.latest = view.chart.end > nowSeconds;
  return view;
}

std::int64_t HistoryPage(HistoryTable table, std::int64_t lastSeconds, int direction,
                         std::int64_t nowSeconds, bool& following) {
  const int count = ChartColumnCount(table);
  std::int64_t last = BucketOf(table, lastSeconds).start;
  if (direction < 0) {
    last = BucketsBack(table, last, count);
  } else {
    for (int i = 0; i < count; ++i) last = NextBucketStart(table, last);
  }
  following = last >= BucketOf(table, nowSeconds).start;
  return following ? nowSeconds : last;
}

std::string HistoryViewCsv(HistoryStore& store, HistoryTable table, const HistoryScope& scope,
                           const ChartModel& chart) {
  const std::vector<HistoryBucket> buckets = store.Query(table, scope, chart.begin, chart.end);
  const std::string name = scope.All() ? std::string("すべて") : scope.name;
  return "\xEF\xBB\xBF" + HistoryCsvHeader() + HistoryCsvLines(name, table, buckets);
}

namespace {

constexpr double kMegabyte = 1024.0 * 1024;
constexpr double kGigabyte = 1024.0 * kMegabyte;

}  // namespace

LimitAmount LimitAmountOf(const TrafficLimit* limit) {
  const double octets = limit ? static_cast<double>(limit->octets) : 0;
  const bool gigabytes = octets == 0 || octets >= kGigabyte;
  return {octets / (gigabytes ? kGigabyte : kMegabyte), gigabytes};
}

std::uint64_t LimitOctetsOf(const LimitAmount& amount) {
  if (!(amount.amount > 0)) return 0;
  return static_cast<std::uint64_t>(
      std::llround(amount.amount * (amount.gigabytes ? kGigabyte : kMegabyte)));
}

std::string LimitAmountText(double amount) {
  if (!(amount > 0)) return {};
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, amount, std::chars_format::fixed, 1).ptr;
  std::string s(text, end);
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

std::optional<double> ParseLimitAmount(const std::string& text) {
  // Full-width digits and point, as a Japanese input method types them.
  std::string ascii;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0xEF && i + 2 < text.size()) {
      const auto b1 = static_cast<unsigned char>(text[i + 1]);
      const auto b2 = static_cast<unsigned char>(text[i + 2]);
      if (b1 == 0xBC && b2 >= 0x90 && b2 <= 0x99) {  // ０..９
        ascii += static_cast<char>('0' + (b2 - 0x90));
        i += 2;
        continue;
      }
      if (b1 == 0xBC && b2 == 0x8E) {  // ．
        ascii += '.';
        i += 2;
        continue;
      }
    }
    if (c != ' ' && c != '\t') ascii += static_cast<char>(c);
  }
  if (ascii.empty()) return 0.0;
  int digits = 0, points = 0;
  for (char c : ascii) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.') {
      ++points;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0 || points > 1 || ascii.size() > 15) return std::nullopt;
  double value = 0;
  std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);  // whatever the locale
  return value;
}

void SetLimit(HistorySettings& settings, const std::string& scope, LimitPeriod period,
              std::uint64_t octets) {
  std::erase_if(settings.limits,
                [&](const TrafficLimit& l) { return l.scope == scope && l.period == period; });
  if (octets > 0) settings.limits.push_back({scope, period, octets});
}

}  // namespace mirel

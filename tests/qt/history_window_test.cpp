// The history window over a file of known buckets: the figures at the top,
// the table and interface choices, paging, the saved CSV, and a window
// without history.
#include "shell/qt/history_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QTabBar>
#include <QTableWidget>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "drawing/strip_font.h"
#include "readings/history_store.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;

HistoryBatch Batch(const std::string& name, bool loopback, std::int64_t at, std::uint64_t rx,
                   std::uint64_t tx) {
  HistoryBatch b;
  for (HistoryTable table : kHistoryTables) {
    const BucketTime t = BucketOf(table, at);
    b.buckets[{name, table, t.start}] = {t.utcOffset, rx, tx};
  }
  b.loopback[name] = loopback;
  return b;
}

template <typename T>
T* Child(QWidget& w, const char* name) {
  T* child = w.findChild<T*>(QString::fromUtf8(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

TEST(HistoryWindowTest, FiguresChoicesPagingAndCsv) {
  const fs::path dir = fs::temp_directory_path() / ("mirel9x-window-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  HistoryOpen opened = HistoryStore::OpenForWriting(dir / kHistoryFileName);
  ASSERT_TRUE(opened.store) << opened.message;
  const std::int64_t now = LocalStart(2026, 12, 8, 21);
  ASSERT_EQ(opened.store->Commit(Batch("eth0", false, now - 3600, 3 * 1024 * 1024, 512 * 1024)),
            "");
  ASSERT_EQ(opened.store->Commit(Batch("lo", true, now - 3600, 999 * 1024 * 1024, 0)), "");
  ASSERT_EQ(opened.store->Commit(Batch("eth0", false, LocalStart(2026, 10, 15, 12), 1024, 0)), "");

  StripFontLoad font = StripFont::Open();
  ASSERT_TRUE(font.font) << font.error;
  SettingsModel model;
  GradientImages gradients;
  HistorySettings settings;
  settings.limits = {{kAllInterfaces, LimitPeriod::kMonth, 4 * 1024 * 1024}};
  int flushes = 0;
  HistoryStore* store = opened.store.get();
  HistoryWindowHooks hooks;
  hooks.store = [&] { return store; };
  hooks.unavailable = [] { return std::string("通信履歴を記録できません (テスト)"); };
  hooks.flush = [&] { ++flushes; };
  hooks.nowSeconds = [&] { return now; };
  hooks.settings = [&] { return settings; };
  hooks.settingsChanged = [](const HistorySettings&) { return std::string(); };
  hooks.notificationsShown = [] { return false; };
  HistoryWindow window(hooks, model, gradients, *font.font);
  window.Open();
  EXPECT_EQ(flushes, 1);

  // Loopback is neither in "all summed" nor first in the list.
  QLabel* today = Child<QLabel>(window, "historyToday");
  EXPECT_EQ(today->text(), QStringLiteral("今日　受信 3.00 MB　送信 512 KB　合計 3.50 MB"));
  EXPECT_EQ(
      Child<QLabel>(window, "historyMonth")->text(),
      QStringLiteral("今月　受信 3.00 MB　送信 512 KB　合計 3.50 MB　（上限 4.00 MB の 87%）"));
  QComboBox* interfaces = Child<QComboBox>(window, "historyInterface");
  ASSERT_EQ(interfaces->count(), 3);
  EXPECT_EQ(interfaces->itemText(1), QStringLiteral("eth0"));
  EXPECT_EQ(interfaces->itemText(2), QStringLiteral("lo"));

  // Days: a month of them, the table row for row with the chart.
  QTableWidget* figures = Child<QTableWidget>(window, "historyFigures");
  EXPECT_EQ(window.chart().table, HistoryTable::kDays);
  EXPECT_EQ(figures->rowCount(), 31);
  EXPECT_EQ(figures->item(30, 0)->text(), QStringLiteral("2026-12-08"));
  EXPECT_EQ(figures->item(30, 3)->text(), QStringLiteral("3.50 MB"));
  EXPECT_EQ(Child<QLabel>(window, "historyTotals")->text(),
            QStringLiteral("この期間の計　受信 3.00 MB　送信 512 KB　合計 3.50 MB"));
  // A page back: October's day appears, and the way forward opens.
  QToolButton* forward = Child<QToolButton>(window, "historyForward");
  EXPECT_FALSE(forward->isEnabled());
  Child<QToolButton>(window, "historyBack")->click();
  EXPECT_TRUE(forward->isEnabled());
  EXPECT_EQ(window.chart().totalRx, 1024u);
  Child<QToolButton>(window, "historyLatest")->click();

  // Months, then loopback alone.
  Child<QTabBar>(window, "historyTables")->setCurrentIndex(static_cast<int>(HistoryTable::kMonths));
  EXPECT_EQ(window.chart().table, HistoryTable::kMonths);
  EXPECT_EQ(figures->rowCount(), 12);
  interfaces->setCurrentIndex(2);
  emit interfaces->activated(2);
  EXPECT_EQ(window.chart().totalRx, 999u * 1024 * 1024);

  const fs::path csv = dir / "months.csv";
  EXPECT_EQ(window.SaveCsv(QString::fromStdString(csv.string())), "");
  std::ifstream in(csv, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "\xEF\xBB\xBFinterface,table,start,rx,tx\r\n"
            "lo,months," +
                Iso8601(BucketOf(HistoryTable::kMonths, now)) + ",1047527424,0\r\n");

  // Without a history the window says why.
  store = nullptr;
  window.Refresh();
  EXPECT_TRUE(Child<QLabel>(window, "historyProblem")->isVisibleTo(&window));
  EXPECT_EQ(Child<QLabel>(window, "historyProblem")->text(),
            QStringLiteral("通信履歴を記録できません (テスト)"));
  EXPECT_EQ(figures->item(0, 1)->text(), QStringLiteral("0 B"));
  opened.store.reset();
  fs::remove_all(dir);
}

}  // namespace
}  // namespace mirel

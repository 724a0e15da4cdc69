// "通信履歴": today's and this month's traffic at the top, a choice of table
// (5分 / 時間 / 日 / 月 / 年) and of interface (or all summed), the bar chart
// of the chosen run of buckets with its figures in a table below, the run's
// totals, paging back and forth through time, the limits and what the
// totals strips show, and saving the shown table as CSV.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "drawing/canvas.h"
#include "drawing/gradient.h"
#include "drawing/history_chart.h"
#include "readings/history_settings.h"
#include "readings/history_store.h"

class QComboBox;
class QLabel;
class QTabBar;
class QTableWidget;
class QToolButton;

namespace mirel {

class StripFont;

struct HistoryWindowHooks {
  // The history to show; null when there is none (why: unavailable()).
  std::function<HistoryStore*()> store;
  std::function<std::string()> unavailable;
  // Writes what the recorder holds, so the figures reach this moment.
  std::function<void()> flush;
  std::function<std::int64_t()> nowSeconds;
  std::function<HistorySettings()> settings;
  // The user changed the limits or what the totals strips show; the text of
  // a failure to keep them (empty on success).
  std::function<std::string(const HistorySettings&)> settingsChanged;
  // Whether the desktop shows the tray's messages (else the limit's notices
  // are only here).
  std::function<bool()> notificationsShown;
};

// The chart: the core's picture of the model, one canvas pixel a pixel.
class HistoryChartView : public QWidget {
  Q_OBJECT

 public:
  HistoryChartView(const StripFont& font, QWidget* parent = nullptr);
  void SetModel(ChartModel model, ChartLook look);
  const Canvas& canvas() const { return canvas_; }
  QSize sizeHint() const override { return {640, 230}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Redraw();
  const StripFont& font_;
  ChartModel model_;
  ChartLook look_;
  Canvas canvas_;
};

class HistoryWindow : public QWidget {
  Q_OBJECT

 public:
  HistoryWindow(HistoryWindowHooks hooks, const SettingsModel& settings,
                const GradientImages& gradients, const StripFont& font, QWidget* parent = nullptr);

  // Brings the figures up to now and shows the window in front.
  void Open();
  // Reads everything again (after a batch was written).
  void Refresh();
  // Shows a table and an interface ("" for all summed) up to a time.
  void Show(HistoryTable table, const std::string& scope, std::int64_t lastSeconds);
  // Writes the shown table (all its buckets in the chart's run) as CSV.
  std::string SaveCsv(const QString& file);

  const ChartModel& chart() const { return model_; }

 private:
  void FillInterfaces();
  void UpdateView();
  void Page(int direction);
  void EditSettings();
  void ChooseCsvFile();
  HistoryScope Scope() const;
  std::string ScopeName() const;  // the limit's scope: a name or kAllInterfaces

  HistoryWindowHooks hooks_;
  const SettingsModel& settings_;
  const GradientImages& gradients_;
  QLabel* problem_;
  QLabel* today_;
  QLabel* month_;
  QTabBar* tables_;
  QComboBox* interfaces_;
  QToolButton* back_;
  QToolButton* forward_;
  QToolButton* latest_;
  QLabel* range_;
  HistoryChartView* chart_;
  QTableWidget* figures_;
  QLabel* totals_;
  ChartModel model_;
  std::int64_t lastSeconds_ = 0;  // the chart ends with the bucket of this time
  bool following_ = true;         // and follows the clock
};

}  // namespace mirel

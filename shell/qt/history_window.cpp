#include "shell/qt/history_window.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/atomic_file.h"
#include "readings/history_export.h"
#include "settings/settings_model.h"

namespace mirel {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

HistoryTable TableAt(int index) {
  return kHistoryTables[static_cast<std::size_t>(std::clamp(index, 0, kHistoryTableCount - 1))];
}

// A limit in the spin boxes: megabytes below a gigabyte, else gigabytes.
struct LimitEditor {
  QDoubleSpinBox* amount;
  QComboBox* unit;

  explicit LimitEditor(QWidget* parent)
      : amount(new QDoubleSpinBox(parent)), unit(new QComboBox(parent)) {
    amount->setRange(0, 1e6);
    amount->setDecimals(1);
    amount->setSpecialValueText(QStringLiteral("なし"));
    unit->addItems({QStringLiteral("MB"), QStringLiteral("GB")});
  }
  void Set(const TrafficLimit* limit) {
    const double octets = limit ? static_cast<double>(limit->octets) : 0;
    const bool gigabytes = octets == 0 || octets >= 1024.0 * 1024 * 1024;
    unit->setCurrentIndex(gigabytes ? 1 : 0);
    amount->setValue(octets / (gigabytes ? 1024.0 * 1024 * 1024 : 1024.0 * 1024));
  }
  std::uint64_t Octets() const {
    return static_cast<std::uint64_t>(
        amount->value() * (unit->currentIndex() == 1 ? 1024.0 * 1024 * 1024 : 1024.0 * 1024));
  }
  QWidget* Row(QWidget* parent) const {
    auto* row = new QWidget(parent);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(amount);
    h->addWidget(unit);
    return row;
  }
};

void SetLimit(HistorySettings& s, const std::string& scope, LimitPeriod period,
              std::uint64_t octets) {
  std::erase_if(s.limits,
                [&](const TrafficLimit& l) { return l.scope == scope && l.period == period; });
  if (octets > 0) s.limits.push_back({scope, period, octets});
}

}  // namespace

// --- The chart -----------------------------------------------------------------

HistoryChartView::HistoryChartView(const StripFont& font, QWidget* parent)
    : QWidget(parent), font_(font) {
  setObjectName(QStringLiteral("historyChart"));
  setMinimumSize(420, 160);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void HistoryChartView::SetModel(ChartModel model, ChartLook look) {
  model_ = std::move(model);
  look_ = look;
  Redraw();
}

void HistoryChartView::resizeEvent(QResizeEvent*) {
  Redraw();
}

void HistoryChartView::Redraw() {
  if (width() <= 0 || height() <= 0) return;
  canvas_.Resize(width(), height(), look_.back);
  DrawHistoryChart(canvas_, font_, model_, look_);
  update();
}

void HistoryChartView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // The bitmap font's pixels stay whole at any scale.
  const QImage image(reinterpret_cast<const uchar*>(canvas_.data()), canvas_.width(),
                     canvas_.height(), canvas_.width() * 4, QImage::Format_RGB32);
  painter.drawImage(rect(), image);
}

// --- The window ------------------------------------------------------------------

HistoryWindow::HistoryWindow(HistoryWindowHooks hooks, const SettingsModel& settings,
                             const GradientImages& gradients, const StripFont& font,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      hooks_(std::move(hooks)),
      settings_(settings),
      gradients_(gradients) {
  setObjectName(QStringLiteral("HistoryWindow"));
  setWindowTitle(QStringLiteral("通信履歴 - ") + QString::fromUtf8(kProgramTitle));
  auto* layout = new QVBoxLayout(this);

  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("historyProblem"));
  problem_->setWordWrap(true);
  problem_->setStyleSheet(QStringLiteral("color: #b00000"));
  problem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  problem_->hide();
  layout->addWidget(problem_);

  today_ = new QLabel(this);
  today_->setObjectName(QStringLiteral("historyToday"));
  month_ = new QLabel(this);
  month_->setObjectName(QStringLiteral("historyMonth"));
  for (QLabel* l : {today_, month_}) {
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 1.15);
    l->setFont(f);
    layout->addWidget(l);
  }

  auto* choice = new QHBoxLayout;
  tables_ = new QTabBar(this);
  tables_->setObjectName(QStringLiteral("historyTables"));
  for (HistoryTable table : kHistoryTables) tables_->addTab(Q(HistoryTableCaption(table)));
  tables_->setCurrentIndex(static_cast<int>(HistoryTable::kDays));
  tables_->setExpanding(false);
  choice->addWidget(tables_);
  choice->addStretch();
  choice->addWidget(new QLabel(QStringLiteral("インターフェース"), this));
  interfaces_ = new QComboBox(this);
  interfaces_->setObjectName(QStringLiteral("historyInterface"));
  interfaces_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  choice->addWidget(interfaces_);
  layout->addLayout(choice);

  auto* paging = new QHBoxLayout;
  back_ = new QToolButton(this);
  back_->setText(QStringLiteral("◀ 前"));
  back_->setObjectName(QStringLiteral("historyBack"));
  forward_ = new QToolButton(this);
  forward_->setText(QStringLiteral("次 ▶"));
  forward_->setObjectName(QStringLiteral("historyForward"));
  latest_ = new QToolButton(this);
  latest_->setText(QStringLiteral("最新"));
  latest_->setObjectName(QStringLiteral("historyLatest"));
  range_ = new QLabel(this);
  range_->setObjectName(QStringLiteral("historyRange"));
  paging->addWidget(back_);
  paging->addWidget(forward_);
  paging->addWidget(latest_);
  paging->addSpacing(8);
  paging->addWidget(range_);
  paging->addStretch();
  layout->addLayout(paging);

  chart_ = new HistoryChartView(font, this);
  layout->addWidget(chart_, 3);

  figures_ = new QTableWidget(0, 4, this);
  figures_->setObjectName(QStringLiteral("historyFigures"));
  figures_->setHorizontalHeaderLabels({QStringLiteral("期間"), QStringLiteral("受信"),
                                       QStringLiteral("送信"), QStringLiteral("合計")});
  figures_->verticalHeader()->hide();
  figures_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  figures_->setSelectionBehavior(QAbstractItemView::SelectRows);
  figures_->setAlternatingRowColors(true);
  figures_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  figures_->verticalHeader()->setDefaultSectionSize(figures_->fontMetrics().height() + 4);
  layout->addWidget(figures_, 2);

  totals_ = new QLabel(this);
  totals_->setObjectName(QStringLiteral("historyTotals"));
  totals_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(totals_);

  auto* buttons = new QHBoxLayout;
  auto* limits = new QPushButton(QStringLiteral("上限と表示の設定..."), this);
  limits->setObjectName(QStringLiteral("historySettings"));
  auto* csv = new QPushButton(QStringLiteral("CSV保存..."), this);
  csv->setObjectName(QStringLiteral("historyCsv"));
  auto* close = new QPushButton(QStringLiteral("閉じる"), this);
  buttons->addWidget(limits);
  buttons->addWidget(csv);
  buttons->addStretch();
  buttons->addWidget(close);
  layout->addLayout(buttons);
  resize(680, 640);

  connect(tables_, &QTabBar::currentChanged, this, [this] {
    following_ = true;
    Refresh();
  });
  connect(interfaces_, &QComboBox::activated, this, [this] {
    UpdateFigures();
    UpdateChart();
  });
  connect(back_, &QToolButton::clicked, this, [this] { Page(-1); });
  connect(forward_, &QToolButton::clicked, this, [this] { Page(1); });
  connect(latest_, &QToolButton::clicked, this, [this] {
    following_ = true;
    Refresh();
  });
  connect(limits, &QPushButton::clicked, this, [this] { EditSettings(); });
  connect(csv, &QPushButton::clicked, this, [this] { ChooseCsvFile(); });
  connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void HistoryWindow::Open() {
  hooks_.flush();
  following_ = true;
  Refresh();
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void HistoryWindow::Show(HistoryTable table, const std::string& scope, std::int64_t lastSeconds) {
  const QSignalBlocker block(tables_);
  tables_->setCurrentIndex(static_cast<int>(table));
  FillInterfaces();
  const int index = scope.empty() ? 0 : interfaces_->findData(Q(scope));
  if (index >= 0) interfaces_->setCurrentIndex(index);
  following_ = false;
  lastSeconds_ = lastSeconds;
  UpdateFigures();
  UpdateChart();
}

void HistoryWindow::Refresh() {
  if (following_) lastSeconds_ = hooks_.nowSeconds();
  FillInterfaces();
  UpdateFigures();
  UpdateChart();
}

HistoryScope HistoryWindow::Scope() const {
  return HistoryScope{interfaces_->currentData().toString().toStdString()};
}

std::string HistoryWindow::ScopeName() const {
  const HistoryScope scope = Scope();
  return scope.All() ? std::string(kAllInterfaces) : scope.name;
}

void HistoryWindow::FillInterfaces() {
  const QString chosen = interfaces_->currentData().toString();
  interfaces_->clear();
  interfaces_->addItem(QStringLiteral("すべて (ループバックを除く)"), QString());
  if (HistoryStore* store = hooks_.store()) {
    std::vector<HistoryInterface> all = store->Interfaces();
    // Loopback last: it is seldom what anyone looks for.
    std::stable_partition(all.begin(), all.end(),
                          [](const HistoryInterface& i) { return !i.loopback; });
    for (const HistoryInterface& i : all) interfaces_->addItem(Q(i.name), Q(i.name));
  }
  interfaces_->setCurrentIndex(std::max(0, interfaces_->findData(chosen)));
}

QString HistoryWindow::FigureLine(const char* when, const Usage& usage,
                                  const TrafficLimit* limit) const {
  QString line =
      QString::fromUtf8(when) + QStringLiteral("　受信 %1　送信 %2　合計 %3")
                                    .arg(Q(FormatOctets(usage.rx)), Q(FormatOctets(usage.tx)),
                                         Q(FormatOctets(usage.Total())));
  if (limit != nullptr) {
    const auto percent = static_cast<int>(static_cast<double>(usage.Total()) * 100 /
                                          static_cast<double>(limit->octets));
    line += QStringLiteral("　（上限 %1 の %2%）").arg(Q(FormatOctets(limit->octets))).arg(percent);
    if (usage.Total() >= limit->octets) line += QStringLiteral(" 上限を超えています");
  }
  return line;
}

void HistoryWindow::UpdateFigures() {
  HistoryStore* store = hooks_.store();
  problem_->setVisible(store == nullptr);
  if (store == nullptr) {
    problem_->setText(Q(hooks_.unavailable()));
    today_->clear();
    month_->clear();
    return;
  }
  const HistorySettings s = hooks_.settings();
  const std::int64_t now = hooks_.nowSeconds();
  const HistoryScope scope = Scope();
  const std::string limitScope = ScopeName();
  const TrafficLimit* dayLimit = s.Limit(limitScope, LimitPeriod::kDay);
  const TrafficLimit* monthLimit = s.Limit(limitScope, LimitPeriod::kMonth);
  const Usage today = TodayUsage(*store, scope, now);
  const Usage month = MonthUsage(*store, scope, now, s.monthStartDay);
  std::string monthCaption = "今月";
  if (s.monthStartDay > 1) {
    const LocalFields f = FieldsAt(MonthPeriod(now, s.monthStartDay).begin, UtcOffsetAt(now));
    monthCaption += " (" + std::to_string(f.month) + "/" + std::to_string(f.day) + "〜)";
  }
  today_->setText(FigureLine("今日", today, dayLimit));
  month_->setText(FigureLine(monthCaption.c_str(), month, monthLimit));
  for (auto [label, usage, limit] :
       {std::tuple{today_, today, dayLimit}, std::tuple{month_, month, monthLimit}}) {
    const int level = limit ? LimitLevel(usage.Total(), limit->octets, s.warnPercent) : 0;
    label->setStyleSheet(level >= 2   ? QStringLiteral("color: #c00000; font-weight: bold")
                         : level == 1 ? QStringLiteral("color: #a05000")
                                      : QString());
  }
  if (!hooks_.notificationsShown() && (dayLimit || monthLimit)) {
    today_->setToolTip(
        QStringLiteral("このデスクトップは通知を表示できないため、上限はここに示します"));
  }
}

void HistoryWindow::UpdateChart() {
  const HistoryTable table = TableAt(tables_->currentIndex());
  std::vector<HistoryBucket> buckets;
  if (HistoryStore* store = hooks_.store()) {
    const ChartSpan span = ChartSpanOf(table, lastSeconds_);
    buckets = store->Query(table, Scope(), span.begin, span.end);
  }
  model_ = BuildChartModel(table, buckets, lastSeconds_);
  ChartLook look{settings_.backColor(), settings_.textColor(), &gradients_.items[2],
                 &gradients_.items[3]};
  chart_->SetModel(model_, look);

  figures_->setRowCount(static_cast<int>(model_.columns.size()));
  for (std::size_t i = 0; i < model_.columns.size(); ++i) {
    const ChartColumn& column = model_.columns[i];
    const QString cells[] = {Q(BucketLabel(table, column.time)), Q(FormatOctets(column.rx)),
                             Q(FormatOctets(column.tx)), Q(FormatOctets(column.rx + column.tx))};
    for (int c = 0; c < 4; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (c > 0) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      figures_->setItem(static_cast<int>(i), c, item);
    }
  }
  figures_->scrollToBottom();
  if (!model_.columns.empty()) {
    const BucketTime first = model_.columns.front().time;
    const BucketTime last = model_.columns.back().time;
    range_->setText(Q(BucketLabel(table, first)) + QStringLiteral(" 〜 ") +
                    Q(BucketLabel(table, last)));
  }
  totals_->setText(QStringLiteral("この期間の計　受信 %1　送信 %2　合計 %3")
                       .arg(Q(FormatOctets(model_.totalRx)), Q(FormatOctets(model_.totalTx)),
                            Q(FormatOctets(model_.totalRx + model_.totalTx))));
  const std::int64_t now = hooks_.nowSeconds();
  forward_->setEnabled(model_.end <= now);
  latest_->setEnabled(model_.end <= now);
}

void HistoryWindow::Page(int direction) {
  const HistoryTable table = TableAt(tables_->currentIndex());
  const int count = ChartColumnCount(table);
  std::int64_t last = BucketOf(table, lastSeconds_).start;
  if (direction < 0) {
    last = BucketsBack(table, last, count);
  } else {
    for (int i = 0; i < count; ++i) last = NextBucketStart(table, last);
  }
  const std::int64_t now = hooks_.nowSeconds();
  following_ = last >= BucketOf(table, now).start;
  lastSeconds_ = following_ ? now : last;
  UpdateChart();
}

std::string HistoryWindow::SaveCsv(const QString& file) {
  const HistoryTable table = TableAt(tables_->currentIndex());
  std::vector<HistoryBucket> buckets;
  if (HistoryStore* store = hooks_.store())
    buckets = store->Query(table, Scope(), model_.begin, model_.end);
  const std::string name = Scope().All() ? std::string("すべて") : Scope().name;
  // With a byte order mark, spreadsheets take the file as UTF-8.
  const std::string text =
      "\xEF\xBB\xBF" + HistoryCsvHeader() + HistoryCsvLines(name, table, buckets);
  return WriteFileAtomically(std::filesystem::path(file.toStdU16String()), text);
}

void HistoryWindow::ChooseCsvFile() {
  const QString suggested =
      QStringLiteral("通信履歴-%1.csv")
          .arg(QString::fromUtf8(HistoryTableKey(TableAt(tables_->currentIndex()))));
  const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("CSV保存"), suggested,
                                                    QStringLiteral("CSV (*.csv)"));
  if (file.isEmpty()) return;
  if (const std::string error = SaveCsv(file); !error.empty())
    QMessageBox::critical(this, QString::fromUtf8(kProgramTitle), Q(error));
}

void HistoryWindow::EditSettings() {
  HistorySettings s = hooks_.settings();
  const std::string scope = ScopeName();
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("historySettingsDialog"));
  dialog.setWindowTitle(QStringLiteral("上限と表示の設定"));
  auto* form = new QFormLayout(&dialog);
  form->addRow(QStringLiteral("上限の対象"), new QLabel(Q(ScopeCaption(scope)), &dialog));
  LimitEditor daily(&dialog), monthly(&dialog);
  daily.amount->setObjectName(QStringLiteral("dailyLimit"));
  monthly.amount->setObjectName(QStringLiteral("monthlyLimit"));
  daily.Set(s.Limit(scope, LimitPeriod::kDay));
  monthly.Set(s.Limit(scope, LimitPeriod::kMonth));
  form->addRow(QStringLiteral("1日の上限 (受信+送信)"), daily.Row(&dialog));
  form->addRow(QStringLiteral("1か月の上限 (受信+送信)"), monthly.Row(&dialog));
  auto* warn = new QSpinBox(&dialog);
  warn->setRange(1, 100);
  warn->setSuffix(QStringLiteral(" %"));
  warn->setValue(s.warnPercent);
  form->addRow(QStringLiteral("先に知らせる使用率"), warn);
  auto* startDay = new QSpinBox(&dialog);
  startDay->setRange(1, 31);
  startDay->setSuffix(QStringLiteral(" 日"));
  startDay->setValue(s.monthStartDay);
  form->addRow(QStringLiteral("1か月の始まり"), startDay);
  auto* totals = new QComboBox(&dialog);
  totals->setObjectName(QStringLiteral("totalsSource"));
  totals->addItems({QStringLiteral("起動してから (これまでどおり)"), QStringLiteral("今日"),
                    QStringLiteral("今月")});
  totals->setCurrentIndex(static_cast<int>(s.totals));
  form->addRow(QStringLiteral("総受信量・総送信量の表示"), totals);
  struct Keep {
    const char* caption;
    const char* suffix;
    int HistoryRetention::*field;
  };
  const Keep keeps[] = {{"5分ごとの記録", " 時間", &HistoryRetention::fiveMinuteHours},
                        {"1時間ごとの記録", " 日", &HistoryRetention::hourDays},
                        {"1日ごとの記録", " 日", &HistoryRetention::dayDays},
                        {"1か月ごとの記録", " か月", &HistoryRetention::monthMonths},
                        {"1年ごとの記録", " 年", &HistoryRetention::yearYears}};
  std::vector<QSpinBox*> keepBoxes;
  for (const Keep& k : keeps) {
    auto* box = new QSpinBox(&dialog);
    box->setRange(0, 100000);
    box->setSuffix(QString::fromUtf8(k.suffix));
    box->setSpecialValueText(QStringLiteral("無期限"));
    box->setValue(s.retention.*k.field);
    form->addRow(QString::fromUtf8(k.caption) + QStringLiteral("を残す期間"), box);
    keepBoxes.push_back(box);
  }
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  form->addRow(box);
  connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return;

  SetLimit(s, scope, LimitPeriod::kDay, daily.Octets());
  SetLimit(s, scope, LimitPeriod::kMonth, monthly.Octets());
  s.warnPercent = warn->value();
  s.monthStartDay = startDay->value();
  s.totals = static_cast<TotalsSource>(totals->currentIndex());
  for (std::size_t i = 0; i < keepBoxes.size(); ++i)
    s.retention.*keeps[i].field = keepBoxes[i]->value();
  if (const std::string error = hooks_.settingsChanged(s); !error.empty())
    QMessageBox::critical(this, QString::fromUtf8(kProgramTitle), Q(error));
  UpdateFigures();
}

}  // namespace mirel

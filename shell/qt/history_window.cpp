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

#include "behaviour/history_view.h"
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

// A limit in a spin box and a unit.
struct LimitEditor {
  QDoubleSpinBox* amount;
  QComboBox* unit;

  explicit LimitEditor(QWidget* parent)
      : amount(new QDoubleSpinBox(parent)), unit(new QComboBox(parent)) {
    amount->setRange(0, 1e6);
    amount->setDecimals(1);
    amount->setSpecialValueText(QString::fromUtf8(kNoLimitCaption));
    unit->addItems({QStringLiteral("MB"), QStringLiteral("GB")});
  }
  void Set(const TrafficLimit* limit) {
    const LimitAmount a = LimitAmountOf(limit);
    unit->setCurrentIndex(a.gigabytes ? 1 : 0);
    amount->setValue(a.amount);
  }
  std::uint64_t Octets() const {
    return LimitOctetsOf({amount->value(), unit->currentIndex() == 1});
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
  connect(interfaces_, &QComboBox::activated, this, [this] { UpdateView(); });
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
  UpdateView();
}

void HistoryWindow::Refresh() {
  if (following_) lastSeconds_ = hooks_.nowSeconds();
  FillInterfaces();
  UpdateView();
}

HistoryScope HistoryWindow::Scope() const {
  return HistoryScope{interfaces_->currentData().toString().toStdString()};
}

std::string HistoryWindow::ScopeName() const {
  return LimitScopeOf(Scope());
}

void HistoryWindow::FillInterfaces() {
  const QString chosen = interfaces_->currentData().toString();
  interfaces_->clear();
  interfaces_->addItem(QString::fromUtf8(kAllSummedCaption), QString());
  for (const HistoryInterface& i : HistoryChoices(hooks_.store()))
    interfaces_->addItem(Q(i.name), Q(i.name));
  interfaces_->setCurrentIndex(std::max(0, interfaces_->findData(chosen)));
}

void HistoryWindow::UpdateView() {
  const HistoryTable table = TableAt(tables_->currentIndex());
  HistoryStore* store = hooks_.store();
  const HistoryView view =
      BuildHistoryView(store, store ? std::string() : hooks_.unavailable(), hooks_.settings(),
                       table, Scope(), lastSeconds_, hooks_.nowSeconds());
  problem_->setVisible(!view.problem.empty());
  problem_->setText(Q(view.problem));
  for (auto [label, line] : {std::pair{today_, &view.today}, std::pair{month_, &view.month}}) {
    label->setText(Q(line->text));
    label->setStyleSheet(line->level >= 2   ? QStringLiteral("color: #c00000; font-weight: bold")
                         : line->level == 1 ? QStringLiteral("color: #a05000")
                                            : QString());
  }
  if (!hooks_.notificationsShown() && (view.today.level > 0 || view.month.level > 0)) {
    today_->setToolTip(
        QStringLiteral("このデスクトップは通知を表示できないため、上限はここに示します"));
  }

  model_ = view.chart;
  ChartLook look{settings_.backColor(), settings_.textColor(), &gradients_.items[2],
                 &gradients_.items[3]};
  chart_->SetModel(model_, look);
  figures_->setRowCount(static_cast<int>(view.rows.size()));
  for (std::size_t i = 0; i < view.rows.size(); ++i) {
    const HistoryRow& row = view.rows[i];
    const std::string* cells[] = {&row.period, &row.rx, &row.tx, &row.total};
    for (int c = 0; c < 4; ++c) {
      auto* item = new QTableWidgetItem(Q(*cells[c]));
      if (c > 0) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      figures_->setItem(static_cast<int>(i), c, item);
    }
  }
  figures_->scrollToBottom();
  range_->setText(Q(view.range));
  totals_->setText(Q(view.totals));
  forward_->setEnabled(!view.latest);
  latest_->setEnabled(!view.latest);
}

void HistoryWindow::Page(int direction) {
  lastSeconds_ = HistoryPage(TableAt(tables_->currentIndex()), lastSeconds_, direction,
                             hooks_.nowSeconds(), following_);
  UpdateView();
}

std::string HistoryWindow::SaveCsv(const QString& file) {
  HistoryStore* store = hooks_.store();
  if (store == nullptr) return "通信履歴はありません";
  return WriteFileAtomically(
      std::filesystem::path(file.toStdU16String()),
      HistoryViewCsv(*store, TableAt(tables_->currentIndex()), Scope(), model_));
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
  form->addRow(QString::fromUtf8(kLimitScopeCaption), new QLabel(Q(ScopeCaption(scope)), &dialog));
  LimitEditor daily(&dialog), monthly(&dialog);
  daily.amount->setObjectName(QStringLiteral("dailyLimit"));
  monthly.amount->setObjectName(QStringLiteral("monthlyLimit"));
  daily.Set(s.Limit(scope, LimitPeriod::kDay));
  monthly.Set(s.Limit(scope, LimitPeriod::kMonth));
  form->addRow(QString::fromUtf8(kDailyLimitCaption), daily.Row(&dialog));
  form->addRow(QString::fromUtf8(kMonthlyLimitCaption), monthly.Row(&dialog));
  auto* warn = new QSpinBox(&dialog);
  warn->setRange(1, 100);
  warn->setSuffix(QStringLiteral(" %"));
  warn->setValue(s.warnPercent);
  form->addRow(QString::fromUtf8(kWarnPercentCaption), warn);
  auto* startDay = new QSpinBox(&dialog);
  startDay->setRange(1, 31);
  startDay->setSuffix(QStringLiteral(" 日"));
  startDay->setValue(s.monthStartDay);
  form->addRow(QString::fromUtf8(kMonthStartCaption), startDay);
  auto* totals = new QComboBox(&dialog);
  totals->setObjectName(QStringLiteral("totalsSource"));
  for (const char* choice : kTotalsChoices) totals->addItem(QString::fromUtf8(choice));
  totals->setCurrentIndex(static_cast<int>(s.totals));
  form->addRow(QString::fromUtf8(kTotalsCaption), totals);
  std::vector<QSpinBox*> keepBoxes;
  for (const RetentionChoice& k : kRetentionChoices) {
    auto* box = new QSpinBox(&dialog);
    box->setRange(0, kRetentionMax);
    box->setSuffix(QStringLiteral(" ") + QString::fromUtf8(k.unit));
    box->setSpecialValueText(QString::fromUtf8(kForEverCaption));
    box->setValue(s.retention.*k.field);
    form->addRow(QString::fromUtf8(k.caption), box);
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
    s.retention.*kRetentionChoices[i].field = keepBoxes[i]->value();
  if (const std::string error = hooks_.settingsChanged(s); !error.empty())
    QMessageBox::critical(this, QString::fromUtf8(kProgramTitle), Q(error));
  UpdateView();
}

}  // namespace mirel

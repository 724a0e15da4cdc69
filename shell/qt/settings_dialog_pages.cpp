// The controls of the six pages, each at its place and size in pixels
// relative to its page or frame. Object names are the control names that
// the rest of the program and the tests look them up by.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "behaviour/dialog_controls.h"
#include "settings/settings_model.h"
#include "shell/qt/settings_dialog.h"
#include "shell/qt/status_line.h"

namespace mirel {

namespace {

template <typename W>
W* Place(W* widget, const char* name, int x, int y, int w, int h) {
  widget->setObjectName(QString::fromUtf8(name));
  widget->setGeometry(x, y, w, h);
  return widget;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                    int h) {
  return Place(new QPushButton(QString::fromUtf8(caption), parent), name, x, y, w, h);
}

// Grouped by the binding of the dialog's table, which knows the members.
QRadioButton* Radio(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                    int h = 17) {
  return Place(new QRadioButton(QString::fromUtf8(caption), parent), name, x, y, w, h);
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                 int h = 17) {
  return Place(new QCheckBox(QString::fromUtf8(caption), parent), name, x, y, w, h);
}

QLabel* Label(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
              int h = 17) {
  return Place(new QLabel(QString::fromUtf8(caption), parent), name, x, y, w, h);
}

QGroupBox* Frame(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                 int h) {
  return Place(new QGroupBox(QString::fromUtf8(caption), parent), name, x, y, w, h);
}

// A 161 × 17 picture box: a 2-pixel sunken border around the 157 × 13
// gradient preview.
QLabel* Preview(QWidget* parent, const char* name, int x, int y) {
  auto* label = Place(new QLabel(parent), name, x, y, 161, 17);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setLineWidth(2);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QTreeWidget* CheckList(QWidget* parent, const char* name, const QStringList& columns, int x, int y,
                       int w, int h) {
  auto* list = Place(new QTreeWidget(parent), name, x, y, w, h);
  list->setColumnCount(static_cast<int>(columns.size()));
  list->setHeaderLabels(columns);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setAllColumnsShowFocus(true);
  list->header()->setSectionsMovable(false);
  list->header()->setStretchLastSection(false);
  // Key and colour columns are carried along with each row but never shown.
  for (int c = 0; c < columns.size(); ++c) {
    if (columns[c] == "No" || columns[c].startsWith("Color")) list->setColumnHidden(c, true);
  }
  return list;
}

// Range, page step and ticks come with the binding of the dialog's table.
QSlider* Slider(QWidget* parent, const char* name) {
  auto* slider = Place(new QSlider(Qt::Horizontal, parent), name, 8, 17, 185, 24);
  slider->setSingleStep(1);
  slider->setTickPosition(QSlider::TicksBelow);
  return slider;
}

QPushButton* Swatch(QWidget* parent, const char* name, int x, int y, int h) {
  auto* button = Button(parent, name, "彩", x, y, 25, h);
  button->setFocusPolicy(Qt::TabFocus);
  return button;
}

// The small picture of the version page: four strips with gradient bars,
// as the monitor window draws them.
QPixmap MonitorPicture() {
  QPixmap pixmap(48, 48);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath frame;
  frame.addRoundedRect(QRectF(1, 1, 46, 46), 6, 6);
  p.fillPath(frame, QColor(24, 28, 40));
  p.setPen(QPen(QColor(90, 100, 130), 1.5));
  p.drawPath(frame);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QColor ends[4][2] = {{QColor(0, 90, 255), QColor(0, 255, 255)},
                             {QColor(0, 160, 0), QColor(200, 255, 0)},
                             {QColor(255, 80, 0), QColor(255, 220, 0)},
                             {QColor(200, 0, 160), QColor(255, 140, 255)}};
  const int lengths[4] = {30, 20, 36, 14};
  for (int k = 0; k < 4; ++k) {
    const QRect bar(7, 8 + k * 9, lengths[k], 6);
    QLinearGradient g(7, 0, 41, 0);
    g.setColorAt(0, ends[k][0]);
    g.setColorAt(1, ends[k][1]);
    p.fillRect(QRect(7, bar.y(), 34, 6), QColor(45, 50, 66));
    p.fillRect(bar, g);
  }
  return pixmap;
}

// The banner of the version page: the program's name over a graph line.
QPixmap BannerPicture() {
  QPixmap pixmap(305, 40);
  QPainter p(&pixmap);
  QLinearGradient sky(0, 0, 0, 40);
  sky.setColorAt(0, QColor(16, 40, 72));
  sky.setColorAt(1, QColor(0, 96, 112));
  p.fillRect(pixmap.rect(), sky);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath graph;
  graph.moveTo(0, 36);
  const int heights[] = {30, 26, 31, 20, 24, 12, 18, 9, 22, 15, 27, 11, 19, 25, 14, 30, 21, 17};
  for (int i = 0; i < static_cast<int>(std::size(heights)); ++i) {
    graph.lineTo(i * 18 + 9, heights[i]);
  }
  graph.lineTo(305, 28);
  p.setPen(QPen(QColor(0, 255, 160, 150), 1.5));
  p.drawPath(graph);
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPixelSize(22);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(0, 0, 0, 120));
  p.drawText(QRect(12, 2, 290, 38), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromUtf8(kProgramTitle));
  p.setPen(Qt::white);
  p.drawText(QRect(10, 0, 290, 38), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromUtf8(kProgramTitle));
  return pixmap;
}

}  // namespace

void SettingsDialog::BuildFrame() {
  auto* tabs = Place(new QTabWidget(this), "TabStrip1", 0, 0, 425, 313);
  QWidget* pages[] = {BuildDisplayPage(), BuildLinePage(),  BuildProxyPage(),
                      BuildDrivePage(),   BuildOtherPage(), BuildVersionPage()};
  const char* captions[] = {"表示設定", "回線設定",     "プロキシ",
                            "HDD",      "その他の設定", "バージョン情報"};
  for (int k = 0; k < 6; ++k) {
    pages[k]->setObjectName(QStringLiteral("Picture1_%1").arg(k));
    tabs->addTab(pages[k], QString::fromUtf8(captions[k]));
  }

  Button(this, "Command4", "サイズ初期化", 0, 280, 97, 33);
  Button(this, "Command5", "位置初期化", 96, 280, 81, 33);
  Button(this, "Command3", "設定保存", 176, 280, 81, 33);
  Button(this, "Command2", "閉じる", 256, 280, 169, 33);

  Place(new StatusLine(this), "StatusBar1", 0, 312, 425, 17);

  // Colour buttons 2 to 5 hold colours that are only loaded and saved.
  for (int i = 2; i <= 5; ++i) {
    Swatch(this, QStringLiteral("color_%1").arg(i).toUtf8().constData(), 0, 0, 17)->hide();
  }
}

QWidget* SettingsDialog::BuildDisplayPage() {
  auto* page = new QWidget;
  QTreeWidget* itemList =
      CheckList(page, "ListView2", {"リスト", "No", "Color1", "Color2"}, 0, 0, 217, 201);
  itemList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  Button(page, "Command1_0", "↑", 224, 64, 33, 33);
  Button(page, "Command1_1", "↓", 224, 112, 33, 33);

  QGroupBox* graph = Frame(page, "Frame6", "グラフ表示設定", 296, 8, 113, 93);
  const char* sources[] = {"ＣＰＵ使用率", "メモリ使用率", "受信量/秒", "送信量/秒"};
  for (int i = 1; i <= 4; ++i) {
    Radio(graph, QStringLiteral("Option3_%1").arg(i).toUtf8().constData(), sources[i - 1], 8,
          16 + (i - 1) * 14, 100, 14);
  }
  Radio(graph, "Option3_0", "なし", 68, 72, 40, 16);

  Preview(page, "Picture2", 32, 204);
  Button(page, "Command9_0", "開始色", 0, 224, 93, 25);
  Button(page, "Command9_2", "単色", 92, 224, 37, 25);
  Button(page, "Command9_1", "終点色", 128, 224, 89, 25);

  Label(page, "Label4_0", "総受信量", 260, 196, 52, 19)->setAlignment(Qt::AlignVCenter);
  Label(page, "Label4_1", "総送信量", 260, 216, 52, 19)->setAlignment(Qt::AlignVCenter);
  Button(page, "Command6_0", "リセット", 312, 196, 49, 19);
  Button(page, "Command6_1", "リセット", 312, 216, 49, 19);
  Button(page, "Command6_2", "総量", 368, 196, 33, 19);
  Button(page, "Command6_3", "総量", 368, 216, 33, 19);

  // Three pixels below the design's row, so that the unit choice clears the
  // 19-pixel total buttons above it.
  Label(page, "Label4_2", "HDD容量単位", 236, 235, 76, 15);
  const char* tip = "総容量/残容量　使用率％";
  Radio(page, "Option6_0", "GB", 312, 235, 48, 15)->setToolTip(QString::fromUtf8(tip));
  Radio(page, "Option6_1", "MB", 368, 235, 44, 15)->setToolTip(QString::fromUtf8(tip));
  return page;
}

QWidget* SettingsDialog::BuildLinePage() {
  auto* page = new QWidget;
  QGroupBox* speed = Frame(page, "Frame12", "回線速度設定", 8, 8, 401, 129);
  QGroupBox* sendFrame = Frame(speed, "Frame8", "", 8, 16, 201, 45);
  Slider(sendFrame, "Slider3");
  QGroupBox* receiveFrame = Frame(speed, "Frame2", "", 8, 72, 201, 45);
  Slider(receiveFrame, "Slider1");

  QGroupBox* unit = Frame(speed, "Frame3", "速度表示タイプ", 216, 20, 177, 37);
  Radio(unit, "Option1_0", "Ｋｂｙｔｅ/秒", 4, 16, 90);
  Radio(unit, "Option1_1", "Ｋｂｉｔ/秒", 96, 16, 78);

  const char* presets[] = {"56kモデム、ISDN", "１．５M　ADSL", "　　８M　ADSL", "　１２M　ADSL"};
  for (int i = 0; i < 4; ++i) {
    Radio(speed, QStringLiteral("Option5_%1").arg(i).toUtf8().constData(), presets[i], 224,
          60 + 16 * i, 160, 16);
  }

  QGroupBox* adapter = Frame(page, "Frame10", "ネットワークアダプタ設定", 8, 144, 401, 105);
  adapter->setToolTip(QString::fromUtf8("使用するネットワークアダプタを選んでください"));
  Place(new QComboBox(adapter), "Combo2", 8, 18, 305, 22);
  QCheckBox* adapterAutoBox = Check(adapter, "Check1_1", "自動認識", 324, 20, 72);
  adapterAutoBox->setToolTip(
      QString::fromUtf8("ここにチェックを入れるとアダプタ設定が保存されません"));
  QLabel* note = Label(adapter, "Label4_3",
                       "モニタするネットワークアダプタを選びます。「自動認識」にチェックを"
                       "入れると、起動時に保存したアダプタではなく見つかったアダプタを"
                       "使います。",
                       8, 46, 385, 52);
  note->setWordWrap(true);
  note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return page;
}

QWidget* SettingsDialog::BuildProxyPage() {
  auto* page = new QWidget;
  Place(new QLineEdit(page), "Text1", 8, 16, 337, 18)
      ->setToolTip(QString::fromUtf8("入力例　localhost:8080"));
  Button(page, "Command7", "追加", 352, 16, 57, 17);
  Place(new QListWidget(page), "List1", 8, 40, 337, 184);
  Button(page, "Command8", "削除", 352, 232, 57, 17);
  Check(page, "Check2_0", "右クリックにプロキシメニューを表示する", 16, 232, 320);
  return page;
}

QWidget* SettingsDialog::BuildDrivePage() {
  auto* page = new QWidget;
  QGroupBox* frame = Frame(page, "Frame11", "ＨＤＤ表示設定", 8, 8, 401, 241);
  QTreeWidget* driveList =
      CheckList(frame, "ListView1", {"ドライブ", "種別", "Color1", "Color2"}, 8, 16, 173, 169);
  driveList->setColumnWidth(0, 72);
  driveList->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  Preview(frame, "Picture4", 16, 188);
  Button(frame, "Command10_0", "開始色", 8, 208, 69, 25);
  Button(frame, "Command10_2", "単色", 76, 208, 41, 25);
  Button(frame, "Command10_1", "終点色", 116, 208, 69, 25);
  return page;
}

QWidget* SettingsDialog::BuildOtherPage() {
  auto* page = new QWidget;
  QGroupBox* intervalFrame = Frame(page, "Frame5", "更新間隔", 8, 8, 185, 45);
  QSlider* intervalSlider = Slider(intervalFrame, "Slider2");
  intervalSlider->setGeometry(8, 17, 169, 24);
  intervalSlider->setToolTip(QString::fromUtf8("表示数値の取得間隔を設定します"));

  QGroupBox* top = Frame(page, "Frame4", "常に手前に表示", 8, 56, 185, 37);
  Radio(top, "Option2_0", "ＯＮ", 8, 16, 60);
  Radio(top, "Option2_1", "ＯＦＦ", 88, 16, 70);

  QGroupBox* hover = Frame(page, "Frame9", "マウスオーバー設定", 8, 96, 185, 57);
  hover->setToolTip(QString::fromUtf8("マウスを近づけると邪魔にならないように自動的に隠れます"));
  Radio(hover, "Option4_0", "無し", 8, 16, 160);
  Radio(hover, "Option4_1", "マウスオーバーで表示", 8, 34, 170);

  QGroupBox* draw = Frame(page, "Frame13", "描写タイプの設定", 8, 160, 185, 57);
  Radio(draw, "Option7_0", "ウインドウサイズ可変", 6, 16, 174);
  Radio(draw, "Option7_1", "サイズ固定で動作を軽くする", 6, 34, 176);

  QCheckBox* versionCheckBox =
      Check(page, "Check1_20", "Mirel君の最新バージョンを自動チェックする", 8, 224, 300);
  versionCheckBox->setToolTip(QString::fromUtf8(
      "Mirel君の最新バージョンがリリースされた時にメインウインドウに表示してお知らせします"));

  QGroupBox* toolbar = Frame(page, "Frame1", "ツールバー設定", 200, 8, 209, 77);
  Check(toolbar, "Check2_1", "ツールバーに表示する", 8, 16, 190);
  const char* readings[] = {"ＣＰＵ使用率", "メモリ使用率", "受信量/秒", "送信量/秒"};
  for (int k = 0; k < 4; ++k) {
    Check(toolbar, QStringLiteral("Check3_%1").arg(k).toUtf8().constData(), readings[k],
          k % 2 == 0 ? 8 : 104, k < 2 ? 36 : 55, 96);
  }

  QGroupBox* graph = Frame(page, "Frame7", "グラフ色設定", 200, 88, 209, 57);
  Label(graph, "Label1_0", "ラインカラー", 12, 18, 80);
  Swatch(graph, "color_6", 96, 17, 17);
  Label(graph, "Label1_1", "バックカラー", 12, 36, 80);
  Swatch(graph, "color_7", 96, 35, 17);

  QGroupBox* colours = Frame(page, "Frame14", "背景色、文字色設定", 200, 148, 209, 49);
  Label(colours, "Label1_2", "背景色", 12, 22, 44);
  Swatch(colours, "color_0", 56, 21, 17);
  Label(colours, "Label1_3", "文字色", 108, 22, 44);
  Swatch(colours, "color_1", 152, 21, 17);

  Check(page, "Check1_0", "右クリックにIPアドレスコピーを表示", 200, 200, 209);
  return page;
}

QWidget* SettingsDialog::BuildVersionPage() {
  auto* page = new QWidget;
  auto* icon = Place(new QLabel(page), "Image1", 28, 12, 48, 48);
  icon->setPixmap(MonitorPicture());
  auto* banner = Place(new QLabel(page), "Image2", 88, 12, 305, 40);
  banner->setPixmap(BannerPicture());

  Label(page, "Label2_0", kVersionLabel, 88, 56, 120, 20);

  QLabel* note = Label(page, "Label2_1",
                       "ＣＰＵとメモリの使用率、回線の送受信量、IPアドレス、プロキシ、"
                       "ディスクの空き容量などを小さなウインドウに表示するモニタです。"
                       "変更はすぐに反映されます。次回の起動にも残すには「設定保存」を"
                       "押してください。",
                       28, 80, 365, 72);
  note->setWordWrap(true);
  note->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  Label(page, "Label3", kHomePage, 40, 160, 329, 17);

  // Where the web check asks; nobody runs the pages for every user.
  const QString about = QString::fromUtf8(
      "最新版確認とグローバルIPアドレスの問い合わせ先。"
      "入力例　http://monitor.example.org:8080 (/cgi-bin/ の前まで)。"
      "次回の起動から使います。空欄のときは問い合わせません");
  Label(page, "Label5", "問い合わせ先", 28, 187, 76)->setToolTip(about);
  auto* base = Place(new QLineEdit(page), "Text2", 104, 185, 289, 20);
  base->setToolTip(about);
  base->setPlaceholderText(QString::fromUtf8("未設定　例 http://monitor.example.org:8080"));

  QLabel* disclaimer = Label(page, "lblDisclaimer",
                             "このソフトウェアは無保証です。使用したこと、または使用できなかった"
                             "ことによって生じたいかなる損害についても、作者は責任を負いません。",
                             28, 214, 365, 40);
  disclaimer->setWordWrap(true);
  disclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return page;
}

}  // namespace mirel

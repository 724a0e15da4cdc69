// Qt's own texts, which the program's windows show too (the colour chooser,
// the edit menu of a text box, message-box buttons), come in Japanese after
// start-up loads Qt's catalogue, whatever the locale (the widget tests run
// in C.UTF-8).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "shell/qt/qt_shell.h"
#include "shell/qt/qt_translation.h"

namespace mirel {
namespace {

// Kana or kanji somewhere in the text.
bool HasJapanese(const QString& text) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if ((u >= 0x3040 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF)) return true;
  }
  return false;
}

QString Visible(const QString& text) {
  QString t = text;
  return t.remove('&');
}

TEST(ShellQtTextsTest, ColourChooserEditMenuAndButtonsAreJapanese) {
  std::unique_ptr<QTranslator> texts = InstallQtJapanese();
  ASSERT_NE(texts, nullptr) << "qtbase_ja.qm missing (qt6-translations-l10n)";

  QColorDialog chooser;
  chooser.setOption(QColorDialog::DontUseNativeDialog);
  EXPECT_TRUE(HasJapanese(chooser.windowTitle())) << chooser.windowTitle().toStdString();
  QStringList labels;
  for (const QLabel* label : chooser.findChildren<QLabel*>()) {
    if (!label->text().isEmpty()) labels << Visible(label->text());
  }
  EXPECT_FALSE(labels.contains("Basic colors")) << labels.join('|').toStdString();
  EXPECT_FALSE(labels.contains("Custom colors")) << labels.join('|').toStdString();
  auto* box = chooser.findChild<QDialogButtonBox*>();
  ASSERT_NE(box, nullptr);
  const QString cancel = Visible(box->button(QDialogButtonBox::Cancel)->text());
  EXPECT_TRUE(HasJapanese(cancel)) << cancel.toStdString();

  QLineEdit edit;
  edit.setText("proxy:8080");
  std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
  QStringList entries;
  for (const QAction* a : menu->actions()) {
    if (a->isSeparator()) continue;
    entries << Visible(a->text());
    EXPECT_TRUE(HasJapanese(a->text())) << a->text().toStdString();
  }
  EXPECT_GE(entries.size(), 5) << entries.join('|').toStdString();

  const std::unique_ptr<QMessageBox> message = MakeMessageBox(QMessageBox::Critical, "x");
  message->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_TRUE(HasJapanese(message->button(QMessageBox::Cancel)->text()));

  // Without the catalogue Qt speaks English: the checks above can tell.
  texts.reset();
  QColorDialog english;
  EXPECT_EQ(english.windowTitle(), "Select Color");
}

// The start-up error names files and values from the settings file: it is
// shown whole, never taken for markup, and fits the screen.
TEST(ShellQtTextsTest, StartUpMessageShowsTheWholeTextAsPlainText) {
  const QString path = "/home/user/" + QString("very-long-folder-name/").repeated(12) + "設定.ini";
  const QString text = "設定ファイルを読み込めません: " + path +
                       " の 12 行目 (updateInterval) の値「<b>x</b>」が数値ではありません";
  const std::unique_ptr<QMessageBox> box = MakeMessageBox(QMessageBox::Critical, text);
  box->show();
  auto* label = box->findChild<QLabel*>("qt_msgbox_label");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  EXPECT_EQ(label->text(), text);
  EXPECT_TRUE(label->textInteractionFlags() & Qt::TextSelectableByMouse);
  // Laid out whole: the label is as tall as its wrapped text needs and the
  // box is not wider than the screen.
  const QRect screen = box->screen()->availableGeometry();
  EXPECT_LE(box->frameGeometry().width(), screen.width());
  EXPECT_TRUE(label->wordWrap());
  EXPECT_GE(label->height(), label->heightForWidth(label->width()));
  box->hide();
}

}  // namespace
}  // namespace mirel

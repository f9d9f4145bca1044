// The window's own commands: import, drop, clear, folder choice and the
// export button's empty-folder notice, each with the dialogs answered by
// the test.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "gui_test_support.h"
#include "text/codepage.h"

namespace zv::app::testing {

class CommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    window_ = MakeWindow(dialogs_);
    QVERIFY(folder_.isValid());
  }
  void cleanup() { window_.reset(); }

  void importTakesTheFileAsGbk_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("gbk lines") << QByteArray::fromStdString(text::Gbk("美食\r\n旅游\r\n"))
                               << U("美食\n旅游\n");
    QTest::newRow("empty file") << QByteArray() << U("");
    QTest::newRow("zero first") << QByteArray("\0abc", 4) << U("");
    QTest::newRow("zero in the middle") << QByteArray("ab\0cd", 5) << U("ab");
    QTest::newRow("utf-8 bytes unconverted") << QByteArray("caf\xC3\xA9") << U("caf茅");
    QTest::newRow("utf-16 cut at its first zero") << QByteArray("a\0b\0", 4) << U("a");
  }

  void importTakesTheFileAsGbk() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    keywordsBox()->setPlainText(U("old"));
    dialogs_->fileAnswers = {WriteFile("keywords.txt", bytes)};
    Click("按钮_导入");
    QCOMPARE(keywordsBox()->toPlainText(), shown);
  }

  void importCancelledChangesNothing() {
    keywordsBox()->setPlainText(U("kept"));
    dialogs_->fileAnswers = {QString()};
    Click("按钮_导入");
    QCOMPARE(keywordsBox()->toPlainText(), U("kept"));
  }

  void importOfAMissingFileEmptiesTheBox() {
    keywordsBox()->setPlainText(U("old"));
    dialogs_->fileAnswers = {folder_.filePath(U("missing.txt"))};
    Click("按钮_导入");
    QCOMPARE(keywordsBox()->toPlainText(), U(""));
  }

  void importOffersTheFileChosenLast() {
    const QString first = WriteFile("first.txt", "a");
    dialogs_->fileAnswers = {first, QString(), QString()};
    Click("按钮_导入");
    Click("按钮_导入");  // cancelled: the last choice stays
    Click("按钮_导入");
    QCOMPARE(dialogs_->offeredFiles, QStringList({QString(), first, first}));
  }

  void drop_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("plainText");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("shown");
    QTest::newRow("one file") << QStringList{"a.txt"} << QString() << true << U("甲");
    QTest::newRow("several files: the first")
        << QStringList{"b.txt", "a.txt"} << QString() << true << U("乙");
    QTest::newRow("any extension") << QStringList{"c.csv"} << QString() << true << U("丙");
    QTest::newRow("a folder empties the box") << QStringList{"."} << QString() << true << U("");
    QTest::newRow("text is not taken") << QStringList{} << U("dropped text") << false << U("old");
  }

  void drop() {
    QFETCH(QStringList, files);
    QFETCH(QString, plainText);
    QFETCH(bool, accepted);
    QFETCH(QString, shown);
    WriteFile("a.txt", QByteArray::fromStdString(text::Gbk("甲")));
    WriteFile("b.txt", QByteArray::fromStdString(text::Gbk("乙")));
    WriteFile("c.csv", QByteArray::fromStdString(text::Gbk("丙")));
    keywordsBox()->setPlainText(U("old"));

    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files) urls.append(QUrl::fromLocalFile(folder_.filePath(file)));
    if (!urls.isEmpty()) data.setUrls(urls);
    if (!plainText.isEmpty()) data.setText(plainText);
    QDragEnterEvent enter(QPoint(500, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    if (accepted) {
      QDropEvent drop(QPointF(500, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(window_.get(), &drop);
    }
    QCOMPARE(keywordsBox()->toPlainText(), shown);
  }

  void clearEmptiesOnlyTheTable() {
    auto& table = window_->Table();
    for (int i = 0; i < 3; ++i) table.AppendRow();
    auto* list = Find<QTableView>(*window_, "超级列表框1");
    QTRY_COMPARE(list->model()->rowCount(), 3);
    keywordsBox()->setPlainText(U("kept"));

    Click("按钮_清空");
    QCOMPARE(table.RowCount(), 0);
    QTRY_COMPARE(list->model()->rowCount(), 0);
    Click("按钮_清空");  // on an empty table: nothing changes
    QCOMPARE(table.RowCount(), 0);
    QCOMPARE(keywordsBox()->toPlainText(), U("kept"));
    QCOMPARE(Find<QStatusBar>(*window_, "状态条1")->currentMessage(), U("准备就绪"));
  }

  void folderChoice_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("shown");
    QTest::newRow("a folder") << U("/srv/out") << U("/srv/out");
    QTest::newRow("spaces trimmed") << U("  /srv/out ") << U("/srv/out");
    QTest::newRow("ideographic spaces trimmed") << U("\u3000/srv/out\u3000") << U("/srv/out");
    QTest::newRow("tabs stay") << U("\t/srv/out") << U("\t/srv/out");
    QTest::newRow("cancel empties the box") << QString() << U("");
  }

  void folderChoice() {
    QFETCH(QString, chosen);
    QFETCH(QString, shown);
    dialogs_->folderAnswers = {chosen};
    Click("按钮_保存路径");
    QCOMPARE(dialogs_->folderTitles, QStringList{U("保存路径")});
    QCOMPARE(Find<QLineEdit>(*window_, "编辑框_路径")->text(), shown);
  }

  void exportWithoutFolderShowsTheNotice() {
    QSignalSpy exports(window_.get(), &MainWindow::exportRequested);
    Find<QLineEdit>(*window_, "编辑框_路径")->clear();
    Click("按钮_导出");
    QCOMPARE(dialogs_->notices.size(), 1);
    QCOMPARE(dialogs_->notices[0].title, U("提示"));
    QCOMPARE(dialogs_->notices[0].text, U("请先选择要保存的路径"));
    QCOMPARE(dialogs_->notices[0].icon, QMessageBox::NoIcon);
    QCOMPARE(exports.count(), 0);
  }

  void exportWithFolderGoesOn() {
    QSignalSpy exports(window_.get(), &MainWindow::exportRequested);
    Find<QLineEdit>(*window_, "编辑框_路径")->setText(folder_.path());
    Click("按钮_导出");
    QCOMPARE(dialogs_->notices.size(), 0);
    QCOMPARE(exports.count(), 1);
  }

  void collectWithoutSettingsShowsTheNotice_data() {
    QTest::addColumn<QString>("keywords");
    QTest::addColumn<QString>("pages");
    QTest::newRow("no keywords") << U("") << U("1");
    QTest::newRow("no pages") << U("美食") << U("");
  }

  void collectWithoutSettingsShowsTheNotice() {
    QFETCH(QString, keywords);
    QFETCH(QString, pages);
    keywordsBox()->setPlainText(keywords);
    Find<QLineEdit>(*window_, "编辑框_采集页数")->setText(pages);
    Click("按钮_采集");
    QCOMPARE(dialogs_->notices.size(), 1);
    QCOMPARE(dialogs_->notices[0].title, U("提示"));
    QCOMPARE(dialogs_->notices[0].text, U("请保证参数设置正确"));
    QCOMPARE(dialogs_->notices[0].icon, QMessageBox::Information);
    QVERIFY(Find<QPushButton>(*window_, "按钮_采集")->isEnabled());
    QCOMPARE(Find<QStatusBar>(*window_, "状态条1")->currentMessage(), U("准备就绪"));
  }

 private:
  QPlainTextEdit* keywordsBox() { return Find<QPlainTextEdit>(*window_, "编辑框_关键词"); }
  void Click(const char* button) {
    QTest::mouseClick(Find<QPushButton>(*window_, button), Qt::LeftButton);
  }
  QString WriteFile(const char* name, const QByteArray& bytes) {
    const QString path = folder_.filePath(U(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
      qFatal("cannot write %s", qPrintable(path));
    }
    return path;
  }

  QTemporaryDir folder_;
  FakeDialogs* dialogs_ = nullptr;
  std::unique_ptr<MainWindow> window_;
};

ZV_GUI_TEST(CommandsTest);

}  // namespace zv::app::testing

#include "commands_test.moc"

// The window as it opens: every control's place, text and state, the result
// list's columns and the input rules of the small boxes.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include "gui_test_support.h"

namespace zv::app::testing {

namespace {

// The text a control shows, whatever its kind.
QString ShownText(QWidget* control) {
  if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* line = qobject_cast<QLineEdit*>(control)) return line->text();
  if (auto* box = qobject_cast<QPlainTextEdit*>(control)) return box->toPlainText();
  if (auto* list = qobject_cast<QComboBox*>(control)) return list->currentText();
  return {};
}

bool IsChecked(QWidget* control) {
  auto* button = qobject_cast<QAbstractButton*>(control);
  return button != nullptr && button->isChecked();
}

}  // namespace

class LayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { window_ = MakeWindow(dialogs_); }
  void cleanup() { window_.reset(); }

  void window() {
    QCOMPARE(window_->windowTitle(), U("Zorvane"));
    QCOMPARE(window_->size(), QSize(968, 588));
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    const Qt::WindowFlags flags = window_->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(window_->acceptDrops());
  }

  void control_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("checked");
    struct Row {
      const char* name;
      const char* kind;
      const char* parent;
      QRect geometry;
      const char* text;
      bool checked;
    };
    const Row rows[] = {
        {"分组框1", "QGroupBox", "", {4, 5, 196, 121}, "关键词(将TXT文档拖拽进来)", false},
        {"编辑框_关键词", "QPlainTextEdit", "分组框1", {7, 13, 182, 101}, "", false},
        {"分组框2", "QGroupBox", "", {208, 5, 225, 121}, "采集配置", false},
        {"透明标签1", "QLabel", "分组框2", {10, 14, 64, 32}, "采集页数：", false},
        {"编辑框_采集页数", "QLineEdit", "分组框2", {80, 20, 30, 19}, "1", false},
        {"透明标签2", "QLabel", "分组框2", {116, 14, 56, 32}, "线程总数：", false},
        {"组合框1", "QComboBox", "分组框2", {179, 21, 40, 20}, "5", false},
        {"按钮_采集", "QPushButton", "分组框2", {23, 50, 72, 24}, "采集", false},
        {"按钮_停止", "QPushButton", "分组框2", {121, 50, 72, 24}, "停止", false},
        {"按钮_导入", "QPushButton", "分组框2", {23, 86, 72, 24}, "导入关键词", false},
        {"按钮_清空", "QPushButton", "分组框2", {121, 86, 72, 24}, "清空", false},
        {"分组框4", "QGroupBox", "", {441, 5, 216, 121}, "二维码发布时间", false},
        {"单选框_一个月内", "QRadioButton", "分组框4", {29, 27, 80, 24}, "1个月内", false},
        {"单选框_一周内", "QRadioButton", "分组框4", {117, 27, 80, 24}, "1周内", false},
        {"单选框_一天内", "QRadioButton", "分组框4", {29, 66, 80, 24}, "1天内", true},
        {"单选框_全部时间", "QRadioButton", "分组框4", {117, 66, 80, 24}, "全部时间", false},
        {"分组框3", "QGroupBox", "", {666, 5, 294, 121}, "导出选项(XLS/GIF)", false},
        {"单选框1", "QRadioButton", "分组框3", {15, 14, 56, 20}, "全部", true},
        {"单选框2", "QRadioButton", "分组框3", {85, 14, 84, 20}, "全部二维码", false},
        {"单选框_微信群", "QRadioButton", "分组框3", {183, 14, 94, 20}, "微信群二维码", false},
        {"单选框_个人微信", "QRadioButton", "分组框3", {15, 37, 94, 20}, "个人二维码", false},
        {"按钮_保存路径", "QPushButton", "分组框3", {16, 62, 72, 21}, "路径...", false},
        {"按钮_导出", "QPushButton", "分组框3", {206, 91, 72, 21}, "导出", false},
        {"超级列表框1", "QTableView", "", {0, 130, 968, 441}, "", false},
        {"状态条1", "QStatusBar", "", {0, 568, 968, 20}, "", false},
    };
    for (const Row& row : rows) {
      QTest::newRow(row.name) << U(row.kind) << U(row.parent) << row.geometry << U(row.text)
                              << row.checked;
    }
  }

  void control() {
    QFETCH(QString, kind);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, checked);
    auto* control = Find<QWidget>(*window_, QTest::currentDataTag());
    QCOMPARE(QString::fromUtf8(control->metaObject()->className()), kind);
    QWidget* expectedParent =
        parent.isEmpty() ? window_.get() : Find<QWidget>(*window_, parent.toUtf8().constData());
    QCOMPARE(control->parentWidget(), expectedParent);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(ShownText(control), text);
    QCOMPARE(IsChecked(control), checked);
    QVERIFY(control->isEnabled());
  }

  void startUpTexts() {
    QCOMPARE(Find<QStatusBar>(*window_, "状态条1")->currentMessage(), U("准备就绪"));
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QCOMPARE(Find<QLineEdit>(*window_, "编辑框_路径")->text(), desktop + QLatin1Char('/'));
  }

  void radioGroupsAreExclusive_data() {
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("unchecked");
    QTest::newRow("time filter") << U("单选框_全部时间") << U("单选框_一天内");
    QTest::newRow("export option") << U("单选框_微信群") << U("单选框1");
  }

  void radioGroupsAreExclusive() {
    QFETCH(QString, pick);
    QFETCH(QString, unchecked);
    auto* picked = Find<QAbstractButton>(*window_, pick.toUtf8().constData());
    QTest::mouseClick(picked, Qt::LeftButton);
    QVERIFY(picked->isChecked());
    QVERIFY(!Find<QAbstractButton>(*window_, unchecked.toUtf8().constData())->isChecked());
  }

  void workerCapList() {
    auto* list = Find<QComboBox>(*window_, "组合框1");
    QVERIFY(!list->isEditable());
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->itemText(0), U("5"));
    QCOMPARE(list->itemText(1), U("10"));
    QCOMPARE(list->itemText(2), U("20"));
    QCOMPARE(list->currentIndex(), 0);
  }

  void resultColumns_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("width");
    const char* titles[] = {"ID",   "群/公众号名称", "URL",  "来自",   "简介",       "行业",
                            "时间", "地区",          "标签", "微信号", "二维码图片", "工作状态"};
    const int widths[] = {50, 100, 0, 100, 100, 80, 80, 80, 80, 100, 100, 70};
    for (int column = 0; column < 12; ++column) {
      QTest::newRow(titles[column]) << column << U(titles[column]) << widths[column];
    }
  }

  void resultColumns() {
    QFETCH(int, column);
    QFETCH(QString, title);
    QFETCH(int, width);
    auto* list = Find<QTableView>(*window_, "超级列表框1");
    QCOMPARE(list->model()->columnCount(), 12);
    QCOMPARE(list->model()->headerData(column, Qt::Horizontal).toString(), title);
    QCOMPARE(list->columnWidth(column), width);
  }

  void resultListBehaviour() {
    auto* list = Find<QTableView>(*window_, "超级列表框1");
    QVERIFY(list->showGrid());
    QVERIFY(list->horizontalHeader()->isVisibleTo(list));
    QVERIFY(!list->verticalHeader()->isVisibleTo(list));
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!list->isSortingEnabled());
    QCOMPARE(list->model()->rowCount(), 0);
  }

  void pagesBoxTyping_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("digits") << U("12") << U("12");
    QTest::newRow("minus") << U("-5") << U("-5");
    QTest::newRow("letters refused") << U("1a2") << U("12");
    QTest::newRow("space refused") << U(" 7") << U("7");
    QTest::newRow("full-width digit refused") << U("７") << U("");
    QTest::newRow("at most three") << U("1234") << U("123");
  }

  void pagesBoxTyping() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    auto* box = Find<QLineEdit>(*window_, "编辑框_采集页数");
    QCOMPARE(box->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    box->clear();
    for (const QChar c : typed) {  // keyClicks takes Latin-1 only
      QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QCOMPARE(box->text(), shown);
  }

  // Only typing is filtered; pasted text keeps its letters, but not its length.
  void pagesBoxPasteIsNotFiltered() {
    auto* box = Find<QLineEdit>(*window_, "编辑框_采集页数");
    box->clear();
    QApplication::clipboard()->setText(U("x9yz"));
    box->paste();
    QCOMPARE(box->text(), U("x9y"));
  }

 private:
  FakeDialogs* dialogs_ = nullptr;
  std::unique_ptr<MainWindow> window_;
};

ZV_GUI_TEST(LayoutTest);

}  // namespace zv::app::testing

#include "layout_test.moc"

// Whole harvest runs through the window's buttons against the local demo
// site: rows filled, status texts in order, the Collect button disabled for
// the run; Stop in the middle of a run; closing the window during a run.
#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include "demo-site/demo_site.h"
#include "gui_test_support.h"

namespace zv::app::testing {

namespace {

constexpr int kStatusColumn = 11;
constexpr int kRunTimeoutMs = 60000;

// Records every enabled/disabled change of one widget.
class EnabledRecorder final : public QObject {
 public:
  explicit EnabledRecorder(QWidget* watched) : watched_(watched) {
    watched->installEventFilter(this);
  }
  QList<bool> changes;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (object == watched_ && event->type() == QEvent::EnabledChange) {
      changes.append(watched_->isEnabled());
    }
    return false;
  }

 private:
  QWidget* watched_;
};

}  // namespace

class HarvestRunTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    CloseWindow();
    site_.reset();
  }

  void wholeRunThroughTheButtons() {
    StartSite({});
    OpenWindow();
    QStringList statuses;
    connect(statusBar(), &QStatusBar::messageChanged, this,
            [&statuses](const QString& text) { statuses.append(text); });
    EnabledRecorder collectChanges(collectButton());
    keywordsBox()->setPlainText(U("美食\n旅游"));
    pagesBox()->setText(U("2"));

    QTest::mouseClick(collectButton(), Qt::LeftButton);
    QVERIFY(!collectButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(collectButton()->isEnabled(), kRunTimeoutMs);

    QCOMPARE(statuses, QStringList({
                           U("正在采集关键词：美食1/2   第1页"),
                           U("正在采集关键词：美食1/2   第2页"),
                           U("正在采集关键词：旅游2/2   第1页"),
                           U("正在采集关键词：旅游2/2   第2页"),
                           U("正在采集详细信息,请稍候..."),
                           U("采集完成！共计采集结果：80条"),
                       }));
    QCOMPARE(collectChanges.changes, QList<bool>({false, true}));
    QTRY_VERIFY_WITH_TIMEOUT(AllRowsDone(80), kRunTimeoutMs);
    QAbstractItemModel* rows = list()->model();
    for (int row = 0; row < 80; ++row) {
      QCOMPARE(rows->index(row, 0).data().toString(), QString::number(row + 1));
      QVERIFY(!rows->index(row, 1).data().toString().isEmpty());                // name
      QVERIFY(rows->index(row, 2).data().toString().startsWith(U("http://")));  // hidden URL
    }
  }

  // Stopped in the search phase: the rows so far stay, no worker starts, the
  // status keeps its last page text; the next run is a whole one.
  void stopInTheMiddleOfTheSearch() {
    StartSite({.latencyMs = 100});
    OpenWindow();
    keywordsBox()->setPlainText(U("美食"));
    pagesBox()->setText(U("50"));
    QTest::mouseClick(collectButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(list()->model()->rowCount() >= 20, kRunTimeoutMs);

    QTest::mouseClick(Find<QPushButton>(*window_, "按钮_停止"), Qt::LeftButton);
    QVERIFY(collectButton()->isEnabled());
    const int rowsAtStop = window_->Table().RowCount();
    QTest::qWait(600);  // writes posted before the stop land now, and are dropped
    const QString statusAfterStop = statusBar()->currentMessage();
    QVERIFY2(statusAfterStop.startsWith(U("正在采集关键词：美食1/1   第")),
             qPrintable(statusAfterStop));
    QCOMPARE(window_->Table().RowCount(), rowsAtStop);
    QCOMPARE(list()->model()->rowCount(), rowsAtStop);
    QVERIFY(collectButton()->isEnabled());
    for (int row = 0; row < rowsAtStop; ++row) {
      QCOMPARE(list()->model()->index(row, kStatusColumn).data().toString(), QString());
    }

    pagesBox()->setText(U("1"));
    QTest::mouseClick(collectButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(statusBar()->currentMessage(), U("采集完成！共计采集结果：20条"),
                              kRunTimeoutMs);
    QVERIFY(collectButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(AllRowsDone(20), kRunTimeoutMs);
    QCOMPARE(list()->model()->index(0, 0).data().toString(), U("1"));
  }

  // Closing the window while five workers wait on slow pages and the
  // dispatcher waits for a free slot ends every thread before the window is
  // gone (checked by the sanitizer builds).
  void closingDuringARun() {
    StartSite({.latencyMs = 2000});
    OpenWindow();
    keywordsBox()->setPlainText(U("美食"));
    pagesBox()->setText(U("1"));
    QTest::mouseClick(collectButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(statusBar()->currentMessage(), U("正在采集详细信息,请稍候..."),
                              kRunTimeoutMs);
    QTest::qWait(200);  // workers are now waiting on their pages

    QElapsedTimer closing;
    closing.start();
    CloseWindow();
    qInfo("closing the window during a run took %lld ms", closing.elapsed());
  }

 private:
  void StartSite(demo::DemoSiteOptions options) {
    site_ = std::make_unique<demo::DemoSite>(options);
    QVERIFY(site_->Start());
  }
  void OpenWindow() {
    window_ = MakeWindow(dialogs_, site_->BaseUrl());
    tester_ = std::make_unique<QAbstractItemModelTester>(
        list()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  }
  void CloseWindow() {
    tester_.reset();
    if (window_) window_->close();
    window_.reset();
  }
  bool AllRowsDone(int rows) {
    QAbstractItemModel* model = list()->model();
    if (model->rowCount() != rows) return false;
    for (int row = 0; row < rows; ++row) {
      if (model->index(row, kStatusColumn).data().toString() != U("采集完成")) return false;
    }
    return true;
  }
  QPushButton* collectButton() { return Find<QPushButton>(*window_, "按钮_采集"); }
  QPlainTextEdit* keywordsBox() { return Find<QPlainTextEdit>(*window_, "编辑框_关键词"); }
  QLineEdit* pagesBox() { return Find<QLineEdit>(*window_, "编辑框_采集页数"); }
  QStatusBar* statusBar() { return Find<QStatusBar>(*window_, "状态条1"); }
  QTableView* list() { return Find<QTableView>(*window_, "超级列表框1"); }

  std::unique_ptr<demo::DemoSite> site_;
  FakeDialogs* dialogs_ = nullptr;
  std::unique_ptr<QAbstractItemModelTester> tester_;
  std::unique_ptr<MainWindow> window_;
};

ZV_GUI_TEST(HarvestRunTest);

}  // namespace zv::app::testing

#include "harvest_run_test.moc"

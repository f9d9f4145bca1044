// The list view's model over the result table: changes from any thread reach
// the view in batches, and what the view is told always matches what it can
// read.
#include "app/gui/result_table_model.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <thread>
#include <vector>

#include "gui_test_support.h"
#include "text/codepage.h"

namespace zv::app::testing {

using harvest::ResultColumn;

class ResultTableModelTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    table_ = std::make_unique<harvest::ResultTable>();
    model_ = std::make_unique<ResultTableModel>(*table_);
    tester_ = std::make_unique<QAbstractItemModelTester>(
        model_.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  }
  void cleanup() {
    tester_.reset();
    model_.reset();
    table_.reset();
  }

  // Thousands of appends between two turns of the event loop arrive as one
  // insertion.
  void appendsFromManyThreadsArriveTogether() {
    QSignalSpy inserted(model_.get(), &QAbstractItemModel::rowsInserted);
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
      writers.emplace_back([this] {
        for (int i = 0; i < 500; ++i) {
          const int row = table_->AppendRow();
          table_->SetCell(row, ResultColumn::Name, text::Gbk("群"));
        }
      });
    }
    for (std::thread& writer : writers) writer.join();
    QCOMPARE(model_->rowCount(), 0);  // nothing is shown before the flush

    QCoreApplication::processEvents();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted[0][1].toInt(), 0);
    QCOMPARE(inserted[0][2].toInt(), 1999);
    QCOMPARE(model_->rowCount(), 2000);
    QCOMPARE(model_->index(1999, static_cast<int>(ResultColumn::Name)).data().toString(), U("群"));
  }

  void cellChangesOfShownRowsAreOneRange() {
    for (int i = 0; i < 10; ++i) table_->AppendRow();
    QCoreApplication::processEvents();
    QSignalSpy changed(model_.get(), &QAbstractItemModel::dataChanged);
    table_->SetCell(7, ResultColumn::Status, text::Gbk("采集完成"));
    table_->SetCell(2, ResultColumn::Status, text::Gbk("正在采集中"));
    QCoreApplication::processEvents();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex().row(), 2);
    QCOMPARE(changed[0][1].toModelIndex().row(), 7);
    QCOMPARE(changed[0][1].toModelIndex().column(), harvest::kColumnCount - 1);
    QCOMPARE(model_->index(7, static_cast<int>(ResultColumn::Status)).data().toString(),
             U("采集完成"));
  }

  // A clearing followed by new rows before the flush: one reset, new rows only.
  void clearingResetsTheView() {
    for (int i = 0; i < 5; ++i) table_->AppendRow();
    QCoreApplication::processEvents();
    QSignalSpy reset(model_.get(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(model_.get(), &QAbstractItemModel::rowsInserted);
    table_->ClearRows();
    table_->AppendRow([](int index, harvest::Row& cells) {
      cells[static_cast<int>(ResultColumn::Id)] = std::to_string(index + 1);
    });
    QCoreApplication::processEvents();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(model_->rowCount(), 1);
    QCOMPARE(model_->index(0, 0).data().toString(), U("1"));
  }

 private:
  std::unique_ptr<harvest::ResultTable> table_;
  std::unique_ptr<ResultTableModel> model_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
};

ZV_GUI_TEST(ResultTableModelTest);

}  // namespace zv::app::testing

#include "result_table_model_test.moc"
